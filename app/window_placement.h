// Where the main window opens, without any GUI toolkit: centred on the first start, then as
// the user left it, kept in the settings.
#pragma once

#include <optional>
#include <vector>

#include "app/folder_layout.h"

namespace ledgerix {

struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const WindowRect&) const = default;
};

struct MainWindowGeometry {
  WindowRect rect;  // the frame's outer rectangle while not maximised
  bool maximized = false;
};

// The geometry saved by SaveMainWindowGeometry; nullopt before the first save or when a value
// is missing or not a number.
std::optional<MainWindowGeometry> ReadMainWindowGeometry(SettingsStore& store);
void SaveMainWindowGeometry(SettingsStore& store, const MainWindowGeometry& geometry);

// Where the window opens. The saved rectangle when its top strip (where the title bar is) lies
// on one of the displays' work areas far enough to be grabbed, its size not below minimum and
// not above that display; otherwise defaultSize centred on the first display's work area. With
// no display known, the saved or default rectangle as it is.
MainWindowGeometry PlanMainWindow(const std::optional<MainWindowGeometry>& saved,
                                  const std::vector<WindowRect>& workAreas,
                                  const WindowRect& defaultSize, const WindowRect& minimum);

// rect centred in area (kept inside it when larger).
WindowRect CentredIn(const WindowRect& area, int width, int height);

}  // namespace ledgerix
