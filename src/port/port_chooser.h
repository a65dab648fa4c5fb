#pragma once

#include <string>
#include <vector>

namespace qv {

// The view of the port chooser dialog "Выбор номера порта": a drop-down list of entries "COMn"
// with OK (default) and Cancel (Esc, close button).
class TKV_RS232_SetNumDlg {
 public:
  virtual ~TKV_RS232_SetNumDlg() = default;
  // Shows the dialog modally with the entries and the entry at `selected` selected (-1: none).
  // Returns true when the user closed it with OK; `selected` is then the entry chosen (-1: none).
  virtual bool ShowModal(const std::vector<std::string>& entries, int& selected) = 0;
};

}  // namespace qv
