#include "app/window_placement.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace ledgerix {
namespace {

const WindowRect kScreen{0, 0, 1280, 800};
const WindowRect kDefault{0, 0, 800, 560};
const WindowRect kMinimum{0, 0, 320, 200};

TEST(MainWindowPlacement, FirstStartCentresTheDefaultSizeOnThePrimaryDisplay) {
  MainWindowGeometry g = PlanMainWindow(std::nullopt, {kScreen}, kDefault, kMinimum);
  EXPECT_EQ(g.rect, (WindowRect{240, 120, 800, 560}));
  EXPECT_FALSE(g.maximized);
  // A second display beside the first; a panel taking the top of the primary one.
  g = PlanMainWindow(std::nullopt, {{0, 30, 1280, 770}, {1280, 0, 1920, 1080}}, kDefault, kMinimum);
  EXPECT_EQ(g.rect, (WindowRect{240, 135, 800, 560}));
  // A screen smaller than the default size: the window fits it.
  g = PlanMainWindow(std::nullopt, {{0, 0, 640, 480}}, kDefault, kMinimum);
  EXPECT_EQ(g.rect, (WindowRect{0, 0, 640, 480}));
}

TEST(MainWindowPlacement, ASavedPlaceIsKeptWhileItsTitleBarCanBeGrabbed) {
  const MainWindowGeometry saved{{100, 50, 900, 600}, false};
  EXPECT_EQ(PlanMainWindow(saved, {kScreen}, kDefault, kMinimum).rect, saved.rect);
  // On the second display.
  const MainWindowGeometry right{{1500, 100, 900, 600}, true};
  MainWindowGeometry g =
      PlanMainWindow(right, {kScreen, {1280, 0, 1920, 1080}}, kDefault, kMinimum);
  EXPECT_EQ(g.rect, right.rect);
  EXPECT_TRUE(g.maximized);
  // That display gone: centred again on the one left, still maximised as it was left.
  g = PlanMainWindow(right, {kScreen}, kDefault, kMinimum);
  EXPECT_EQ(g.rect, (WindowRect{240, 120, 800, 560}));
  EXPECT_TRUE(g.maximized);
  // The title bar above the screen's top, or only a sliver of it on the screen.
  EXPECT_EQ(
      PlanMainWindow(MainWindowGeometry{{100, -40, 900, 600}, false}, {kScreen}, kDefault, kMinimum)
          .rect,
      (WindowRect{240, 120, 800, 560}));
  EXPECT_EQ(PlanMainWindow(MainWindowGeometry{{1250, 100, 900, 600}, false}, {kScreen}, kDefault,
                           kMinimum)
                .rect,
            (WindowRect{240, 120, 800, 560}));
  // Sizes below the minimum or above the display are brought within them.
  EXPECT_EQ(
      PlanMainWindow(MainWindowGeometry{{10, 10, 50, 5000}, false}, {kScreen}, kDefault, kMinimum)
          .rect,
      (WindowRect{10, 10, 320, 800}));
}

TEST(MainWindowPlacement, TheGeometryRoundTripsThroughTheSettingsAndDamageIsIgnored) {
  testing::MemoryStore store;
  EXPECT_FALSE(ReadMainWindowGeometry(store));
  SaveMainWindowGeometry(store, {{-20, 35, 1024, 700}, true});
  std::optional<MainWindowGeometry> g = ReadMainWindowGeometry(store);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->rect, (WindowRect{-20, 35, 1024, 700}));
  EXPECT_TRUE(g->maximized);
  EXPECT_EQ(store.values["MainWindowWidth"], "1024");
  for (const char* bad : {"", "12px", "abc", "0"}) {
    testing::MemoryStore damaged = store;
    damaged.values["MainWindowWidth"] = bad;
    EXPECT_FALSE(ReadMainWindowGeometry(damaged)) << "width \"" << bad << "\"";
  }
}

}  // namespace
}  // namespace ledgerix
