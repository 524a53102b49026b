// The settings table: what load reads, what unload writes, and the position rules.
#include <gtest/gtest.h>

#include "ShellHarness.h"
#include "app/Settings.h"
#include "plot/PlotLists.h"

using namespace vx::app;

namespace {

TEST(SettingsRead, DefaultsStoredTextsAndPositionsThatAreNoNumber) {
    vx::testing::TempSettings s;
    LoadedSettings loaded = ReadSettings(s.Store());
    EXPECT_EQ(std::tie(loaded.leftTwips, loaded.topTwips), std::tuple(1000.0f, 1000.0f));
    EXPECT_EQ(std::tie(loaded.paper, loaded.printer, loaded.ctb), std::tuple("0", "0", "0"));

    s.Put("MainTop", "1500.5");
    s.Put("CadCTB", "");  // an empty stored text is a stored value, not a missing one
    for (const char* bad : {"12x", "", "nan", "1e39"}) {
        s.Put("MainLeft", bad);
        loaded = ReadSettings(s.Store());
        EXPECT_EQ(loaded.leftTwips, 1000.0f) << '"' << bad << '"';
    }
    EXPECT_EQ(loaded.topTwips, 1500.5f);
    EXPECT_EQ(loaded.ctb, "");
}

TEST(SettingsWrite, PositionsInTwipsAndAWindowLeftInPlaceKeepsTheStoredValue) {
    EXPECT_EQ(TwipsText(1000.5f), "1000.5");
    EXPECT_EQ(TwipsToPixels(-1e30f), -1000000);
    LoadedSettings loaded;
    loaded.leftTwips = 1000.0f;  // 66.67 pixels, shown at 67
    loaded.topTwips = 1003.0f;
    const WindowPosition p = PositionToSave(QPoint(100, 67), QPoint(67, 67), loaded);
    EXPECT_EQ(p.leftTwips, 1500.0f);
    EXPECT_EQ(p.topTwips, 1003.0f);
}

TEST(ScreenPlacement, AWindowOnAScreenStaysAndOneOffEveryScreenIsPulledOntoTheNearest) {
    const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const std::tuple<const char*, QRect, QPoint> cases[] = {
        {"partly off but enough to grab", QRect(1850, -20, 624, 440), QPoint(1850, -20)},
        {"beyond the right edge", QRect(5000, 100, 624, 440), QPoint(3200 - 624, 100)},
        {"only a sliver on it", QRect(1900 - 624 + 10, 1075, 624, 440),
         QPoint(1900 - 624 + 10, 1080 - 440)},
    };
    for (const auto& [name, window, expected] : cases) {
        EXPECT_EQ(PullOntoScreen(window, two), expected) << name;
    }
    EXPECT_EQ(PullOntoScreen(QRect(9000, 9000, 4000, 3000), {QRect(0, 0, 800, 600)}), QPoint());
}

}  // namespace
