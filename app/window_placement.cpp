#include "app/window_placement.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace ledgerix {
namespace {

constexpr const char* kKeys[] = {"MainWindowX", "MainWindowY", "MainWindowWidth",
                                 "MainWindowHeight", "MainWindowMaximized"};

std::optional<int> ReadNumber(SettingsStore& store, const char* key) {
  const std::string text = store.Read(key);
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// How much of the title strip must be on a display for the user to grab the window.
constexpr int kGrabbableWidth = 64, kTitleStrip = 24;

bool Grabbable(const WindowRect& r, const WindowRect& area) {
  const int left = std::max(r.x, area.x), right = std::min(r.x + r.width, area.x + area.width);
  return right - left >= kGrabbableWidth && r.y >= area.y &&
         r.y + kTitleStrip <= area.y + area.height;
}

}  // namespace

std::optional<MainWindowGeometry> ReadMainWindowGeometry(SettingsStore& store) {
  int values[5];
  for (int i = 0; i < 5; ++i) {
    std::optional<int> v = ReadNumber(store, kKeys[i]);
    if (!v) return std::nullopt;
    values[i] = *v;
  }
  if (values[2] <= 0 || values[3] <= 0) return std::nullopt;
  return MainWindowGeometry{{values[0], values[1], values[2], values[3]}, values[4] != 0};
}

void SaveMainWindowGeometry(SettingsStore& store, const MainWindowGeometry& g) {
  const int values[] = {g.rect.x, g.rect.y, g.rect.width, g.rect.height, g.maximized ? 1 : 0};
  for (int i = 0; i < 5; ++i) store.Write(kKeys[i], std::to_string(values[i]));
}

WindowRect CentredIn(const WindowRect& area, int width, int height) {
  WindowRect r{0, 0, width, height};
  r.x = area.x + std::max(0, (area.width - width) / 2);
  r.y = area.y + std::max(0, (area.height - height) / 2);
  return r;
}

MainWindowGeometry PlanMainWindow(const std::optional<MainWindowGeometry>& saved,
                                  const std::vector<WindowRect>& workAreas,
                                  const WindowRect& defaultSize, const WindowRect& minimum) {
  if (workAreas.empty()) return saved ? *saved : MainWindowGeometry{defaultSize, false};
  if (saved) {
    for (const WindowRect& area : workAreas) {
      MainWindowGeometry g = *saved;
      g.rect.width = std::clamp(g.rect.width, minimum.width, std::max(minimum.width, area.width));
      g.rect.height =
          std::clamp(g.rect.height, minimum.height, std::max(minimum.height, area.height));
      if (Grabbable(g.rect, area)) return g;
    }
  }
  const WindowRect& first = workAreas.front();
  const int width = std::min(defaultSize.width, first.width);
  const int height = std::min(defaultSize.height, first.height);
  return {CentredIn(first, width, height), saved && saved->maximized};
}

}  // namespace ledgerix
