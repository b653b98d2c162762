// The about box.
#pragma once

#include <wx/dialog.h>

namespace ledgerix {

class CAboutDlg : public wxDialog {
 public:
  explicit CAboutDlg(wxWindow* parent);
};

}  // namespace ledgerix
