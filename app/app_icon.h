// The program icon, drawn from the SVG the desktop entry also uses.
#pragma once

#include <wx/bmpbndl.h>
#include <wx/iconbndl.h>

namespace ledgerix {

wxBitmapBundle ProgramIcon(int size);
wxIconBundle ProgramIcons();

}  // namespace ledgerix
