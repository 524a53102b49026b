// The settings table: what load reads, what unload writes, and the position rules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ShellHarness.h"
#include "app/Settings.h"
#include "cad/PlotLists.h"

using namespace vx::app;
using vx::cad::PlotChoices;

namespace {

TEST(SettingsRead, FirstStartGivesTheDefaultsAndStoredValuesAreReadAsText) {
    vx::testing::TempSettings s;
    LoadedSettings loaded = ReadSettings(s.Store());
    EXPECT_EQ(std::tie(loaded.leftTwips, loaded.topTwips), std::tuple(1000.0f, 1000.0f));
    EXPECT_EQ(std::tie(loaded.paper, loaded.printer, loaded.ctb), std::tuple("0", "0", "0"));
    EXPECT_EQ(TwipsToPixels(loaded.leftTwips), 67);

    s.Put("MainLeft", "2250");
    s.Put("MainTop", "1500.5");
    s.Put("CadPaper", "ISO A3");
    s.Put("CadPrinter", "DWG To PDF.pc3");
    s.Put("CadCTB", "");  // an empty stored text is a stored value, not a missing one
    loaded = ReadSettings(s.Store());
    EXPECT_EQ(std::tie(loaded.leftTwips, loaded.topTwips), std::tuple(2250.0f, 1500.5f));
    EXPECT_EQ(std::tie(loaded.paper, loaded.printer, loaded.ctb),
              std::tuple("ISO A3", "DWG To PDF.pc3", ""));
}

TEST(SettingsRead, APositionThatIsNoNumberCountsAsMissing) {
    for (const char* bad : {"abc", "12x", "", " ", "nan", "inf", "1e39", "0x10"}) {
        vx::testing::TempSettings s;
        s.Put("MainLeft", bad);
        s.Put("MainTop", "300");
        const LoadedSettings loaded = ReadSettings(s.Store());
        EXPECT_EQ(loaded.leftTwips, 1000.0f) << '"' << bad << '"';
        EXPECT_EQ(loaded.topTwips, 300.0f);
    }
    EXPECT_EQ(ParseTwips(" -45 ").value_or(0), -45.0f);
}

TEST(SettingsWrite, WritesPositionAndEveryChoiceThatIsNotEmpty) {
    vx::testing::TempSettings s;
    s.Put("CadCTB", "kept.ctb");
    PlotChoices choices{"Plotter", "A3", "", 1};
    WriteSettings(s.Store(), false, {1005.0f, 750.0f}, choices);
    // The emptied choice leaves the stored value as it was.
    EXPECT_EQ(s.Stored({"MainLeft", "MainTop", "CadPrinter", "CadPaper", "CadCTB"}),
              "MainLeft=1005|MainTop=750|CadPrinter=Plotter|CadPaper=A3|CadCTB=kept.ctb");
}

TEST(SettingsWrite, PositionsAreSingleNumbersInTwips) {
    EXPECT_EQ(TwipsText(1000.0f), "1000");
    EXPECT_EQ(TwipsText(1000.5f), "1000.5");
    EXPECT_EQ(TwipsText(-150.0f), "-150");
    EXPECT_EQ(TwipsText(PixelsToTwips(1920)), "28800");
    EXPECT_EQ(TwipsToPixels(1000.0f), 67);
    EXPECT_EQ(TwipsToPixels(990.0f), 66);
    EXPECT_EQ(TwipsToPixels(-1e30f), -1000000);
}

TEST(SettingsWrite, AWindowLeftWhereTheSettingsPutItKeepsTheStoredValue) {
    LoadedSettings loaded;
    loaded.leftTwips = 1000.0f;  // 66.67 pixels, shown at 67
    loaded.topTwips = 1003.0f;
    const QPoint at(67, 67);
    WindowPosition p = PositionToSave(at, at, loaded);
    EXPECT_EQ(p.leftTwips, 1000.0f);
    EXPECT_EQ(p.topTwips, 1003.0f);
    p = PositionToSave(QPoint(100, 67), at, loaded);
    EXPECT_EQ(p.leftTwips, 1500.0f);
    EXPECT_EQ(p.topTwips, 1003.0f);
}

TEST(ScreenPlacement, AWindowOnAScreenStaysAndOneOffEveryScreenIsPulledOntoTheNearest) {
    const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QList<QRect> small{QRect(0, 0, 800, 600)};
    const std::tuple<const char*, QRect, const QList<QRect>&, QPoint> cases[] = {
        {"on the first", QRect(67, 67, 624, 440), two, QPoint(67, 67)},
        {"on the second", QRect(2500, 300, 624, 440), two, QPoint(2500, 300)},
        {"partly off but enough to grab", QRect(1850, -20, 624, 440), two, QPoint(1850, -20)},
        {"beyond the right edge", QRect(5000, 100, 624, 440), two, QPoint(3200 - 624, 100)},
        {"above and left of all", QRect(-4000, -4000, 624, 440), two, QPoint(0, 0)},
        {"only a sliver on it", QRect(1900 - 624 + 10, 1075, 624, 440), two,
         QPoint(1900 - 624 + 10, 1080 - 440)},
        {"larger than the screen", QRect(9000, 9000, 4000, 3000), small, QPoint(0, 0)},
    };
    for (const auto& [name, window, screens, expected] : cases) {
        EXPECT_EQ(PullOntoScreen(window, screens), expected) << name;
    }
}

}  // namespace
