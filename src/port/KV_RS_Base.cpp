#include "port/KV_RS_Base.h"

#include <string>
#include <vector>

#include "common/ini_file.h"
#include "common/messages.h"
#include "link/link_texts.h"
#include "port/port_chooser.h"

namespace qv {

TKV_RS_Base::TKV_RS_Base(platform::SerialPlatform& platform, Messages& messages)
    : platform_(platform), messages_(messages) {
  if (ScanPorts()) {
    PortNumber = FirstFreePort();
    BaudRate = 115200;
    DataBits = 8;
    Parity = 0;
    StopBits = 2;
    SectionName = "RS232Base";
  } else {
    messages_.ShowError(texts::kNoFreePort);
  }
}

TKV_RS_Base::~TKV_RS_Base() {
  ClosePort();
}

bool TKV_RS_Base::ScanPorts() {
  PortHandle.reset();
  PortOpen = false;
  PortCount = 0;
  for (int n = 1; n <= kMaxPort; ++n) {
    PortPresent[n] = platform_.Probe(n);
    if (PortPresent[n]) ++PortCount;
  }
  return PortCount > 0;
}

int32_t TKV_RS_Base::FirstFreePort() const {
  for (int n = 1; n <= kMaxPort; ++n) {
    if (PortPresent[n]) return n;
  }
  return 0;
}

void TKV_RS_Base::SetActive(bool active) {
  if (active) {
    OpenPort(PortNumber);
  } else {
    ClosePort();
  }
}

void TKV_RS_Base::ClosePort() {
  PortHandle.reset();
  PortOpen = false;
}

void TKV_RS_Base::OpenPort(int32_t n) {
  if (n <= 0) return;
  PortNumber = n;
  if (!IsPresent(n)) PortNumber = FirstFreePort();
  if (PortNumber == 0) {
    messages_.ShowError(texts::kNoFreePort);
    return;
  }
  ClosePort();
  // The port asked for is opened, not the fallback: when n was absent at the last scan this open
  // fails and PortNumber names the port that the next SetActive(true) opens.
  std::error_code ec;
  PortHandle = platform_.Open(n, ec);
  if (!PortHandle) {
    PortOpen = false;
    return;
  }
  PortHandle->SetQueueSizes(kQueueBytes, kQueueBytes);
  SetBaudRate(BaudRate);
  SetDataBits(DataBits);
  SetParity(Parity);
  SetStopBits(StopBits);
  PortHandle->SetImmediateTimeouts();
  SetDTR();
  PortHandle->Purge(true, false);
  PortOpen = true;
}

template <typename Change>
void TKV_RS_Base::ChangeLine(Change change) {
  if (!PortHandle) return;
  platform::LineSettings line;
  if (PortHandle->GetLineSettings(line)) return;
  change(line);
  PortHandle->SetLineSettings(line);
}

void TKV_RS_Base::SetBaudRate(uint32_t rate) {
  BaudRate = rate;
  if (!PortHandle) return;
  ChangeLine([rate](platform::LineSettings& line) { line.baud_rate = rate; });
  // The rate the driver really took; a caller can compare it with the rate it asked for.
  platform::LineSettings back;
  if (!PortHandle->GetLineSettings(back) && back.baud_rate != 0) BaudRate = back.baud_rate;
}

void TKV_RS_Base::SetDataBits(uint8_t value) {
  DataBits = value;
  ChangeLine([value](platform::LineSettings& line) { line.data_bits = value; });
}

void TKV_RS_Base::SetParity(uint8_t code) {
  Parity = code;
  ChangeLine([code](platform::LineSettings& line) { line.parity = code; });
}

void TKV_RS_Base::SetStopBits(uint8_t code) {
  StopBits = code;
  ChangeLine([code](platform::LineSettings& line) { line.stop_bits = code; });
}

void TKV_RS_Base::SetDTR() {
  if (PortHandle) PortHandle->SetDTR();
}

void TKV_RS_Base::LoadSettings(TIniFile& ini) {
  OpenPort(ini.ReadInteger(SectionName, "Port", PortNumber));
}

void TKV_RS_Base::SaveSettings(TIniFile& ini) {
  ini.WriteInteger(SectionName, "Port", PortNumber);
}

void TKV_RS_Base::SelectPort() {
  ClosePort();
  if (!ScanPorts()) {
    messages_.ShowError(texts::kNoFreePort);
    return;
  }
  std::vector<std::string> entries;
  int selected = -1;
  for (int n = 1; n <= kMaxPort; ++n) {
    if (!PortPresent[n]) continue;
    entries.push_back("COM" + std::to_string(n));
    if (n == PortNumber) selected = static_cast<int>(entries.size()) - 1;
  }
  // OK with no entry selected changes nothing, like Cancel.
  if (chooser_ && chooser_->ShowModal(entries, selected) && selected >= 0 &&
      selected < static_cast<int>(entries.size())) {
    PortNumber = std::stoi(entries[selected].substr(3));
  }
  SetActive(false);
  OpenPort(PortNumber);
}

}  // namespace qv
