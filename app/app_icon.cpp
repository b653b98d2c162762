#include "app/app_icon.h"

// Generated: the text of resources/desktop/ledgerix.svg.
extern const char kProgramIconSvg[];

namespace ledgerix {

wxBitmapBundle ProgramIcon(int size) {
  return wxBitmapBundle::FromSVG(kProgramIconSvg, wxSize(size, size));
}

wxIconBundle ProgramIcons() {
  wxIconBundle icons;
  for (int size : {16, 32, 48, 64}) {
    wxIcon icon;
    icon.CopyFromBitmap(ProgramIcon(size).GetBitmap(wxSize(size, size)));
    icons.AddIcon(icon);
  }
  return icons;
}

}  // namespace ledgerix
