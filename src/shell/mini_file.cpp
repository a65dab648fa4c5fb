#include "shell/mini_file.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "shell/form_placement.h"
#include "shell/in_out_error.h"

namespace qv {
namespace {

std::error_code LastError() {
  return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

// Creates the file holding exactly one blank and one line end when nothing exists at the path.
const std::filesystem::path& CreateIfMissing(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return path;
  errno = 0;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw InOutError(LastError());
  file.write(" \r\n", 3);
  file.close();
  if (!file) throw InOutError(LastError());
  return path;
}

}  // namespace

std::filesystem::path TMIniFile::PathFor(const std::filesystem::path& executable) {
  std::filesystem::path path = executable;
  return path.replace_extension(".ini");
}

TMIniFile::TMIniFile(const std::filesystem::path& executable)
    : TIniFile(CreateIfMissing(PathFor(executable))) {}

void TMIniFile::ReadWindowPlacement(const std::string& section, TFormPlacement& form) {
  form.SetWindowState(ReadInteger(section, "State", form.WindowState()));
  if (form.WindowState() == static_cast<int>(TWindowState::wsMaximized)) return;
  form.SetLeft(ReadInteger(section, "Left", form.Left()));
  if (form.Left() < 0) form.SetLeft(0);
  form.SetTop(ReadInteger(section, "Top", form.Top()));
  if (form.Top() < 0) form.SetTop(0);
  if (!form.Sizeable()) return;
  form.SetWidth(ReadInteger(section, "Width", form.Width()));
  if (form.Width() < 0) form.SetWidth(100);
  form.SetHeight(ReadInteger(section, "Height", form.Height()));
  if (form.Height() < 0) form.SetHeight(100);
}

void TMIniFile::WriteWindowPlacement(const std::string& section, const TFormPlacement& form) {
  WriteInteger(section, "State", form.WindowState());
  WriteInteger(section, "Left", form.Left());
  WriteInteger(section, "Top", form.Top());
  WriteInteger(section, "Width", form.Width());
  WriteInteger(section, "Height", form.Height());
}

}  // namespace qv
