#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "link/KV_BI.h"
#include "platform/serial_port.h"

namespace qv {

class Messages;
class TKV_RS232_SetNumDlg;

// The serial port manager: which of COM1..COM32 can be opened, the chosen port number, opening
// and configuring the port, closing it, and keeping the port number in the ini file. It never
// raises: a port that cannot be opened is a closed port, and its only message is
// "Нет свободного COM-порта!".
class TKV_RS_Base : public TKVBaseInterface {
 public:
  static constexpr int kMaxPort = platform::SerialPlatform::kMaxPort;
  static constexpr uint32_t kQueueBytes = 1048576;

  TKV_RS_Base(platform::SerialPlatform& platform, Messages& messages);
  ~TKV_RS_Base() override;

  // Let the user choose the port by hand; needs a chooser view (SetChooser).
  virtual void SelectPort();
  virtual void ClosePort();

  void LoadSettings(TIniFile& ini) override;
  void SaveSettings(TIniFile& ini) override;

  bool ScanPorts();
  int32_t FirstFreePort() const;
  void SetActive(bool active);
  void OpenPort(int32_t n);
  void SetBaudRate(uint32_t rate);
  void SetDataBits(uint8_t value);
  void SetParity(uint8_t code);
  void SetStopBits(uint8_t code);
  void SetDTR();

  // Whether COMn was present at the last scan; false for n outside 1..32.
  bool IsPresent(int n) const { return n >= 1 && n <= kMaxPort && PortPresent[n]; }
  void SetChooser(TKV_RS232_SetNumDlg* chooser) { chooser_ = chooser; }
  platform::SerialPlatform& Platform() { return platform_; }
  Messages& UserMessages() { return messages_; }

  int32_t PortCount = 0;
  std::array<bool, kMaxPort + 1> PortPresent{};  // index 1..32
  std::unique_ptr<platform::SerialPort> PortHandle;
  bool PortOpen = false;
  int32_t PortNumber = 0;
  uint32_t BaudRate = 0;
  uint8_t DataBits = 0;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;

 private:
  // Changes one field of the port's line settings (read, change, write back).
  template <typename Change>
  void ChangeLine(Change change);

  platform::SerialPlatform& platform_;
  Messages& messages_;
  TKV_RS232_SetNumDlg* chooser_ = nullptr;
};

}  // namespace qv
