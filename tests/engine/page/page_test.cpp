// Paper names (canonical and display forms, short names, names as drawings store them) and
// page placement: every rotation, several papers, margins, units and scales. The expected
// numbers are worked out by hand in the comments.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>

#include "engine/page/Media.h"
#include "engine/page/PagePlacement.h"

using namespace vx::engine::page;

namespace {

// A paper as "name width x height mm, units".
std::string Describe(const std::optional<Media>& m) {
    if (!m) {
        return "none";
    }
    std::ostringstream s;
    s << m->canonicalName << " " << m->widthMm << " x " << m->heightMm << " mm, "
      << (m->units == PaperUnits::Inches ? "inches" : "mm");
    return s.str();
}

TEST(MediaNames, CanonicalFormOfTheField) {
    EXPECT_EQ(FormatMediaName("ISO_A4", 210, 297, PaperUnits::Millimeters),
              "ISO_A4_(210.00_x_297.00_MM)");
    EXPECT_EQ(FormatMediaName("ISO full bleed A4", 210, 297, PaperUnits::Millimeters),
              "ISO_full_bleed_A4_(210.00_x_297.00_MM)");
    EXPECT_EQ(LocaleMediaName("ISO_full_bleed_A4_(210.00_x_297.00_MM)"),
              "ISO full bleed A4 (210.00 x 297.00 MM)");
}

TEST(MediaNames, EveryStandardPaperRoundTripsThroughItsDisplayName) {
    std::set<std::string> names;
    for (const Media& m : StandardMedia()) {
        EXPECT_TRUE(names.insert(m.canonicalName).second) << "twice: " << m.canonicalName;
        const std::string shown = LocaleMediaName(m.canonicalName);
        EXPECT_EQ(CanonicalFromLocale(shown), m.canonicalName);
        for (const std::string& form : {m.canonicalName, shown}) {
            EXPECT_EQ(Describe(ParseMediaName(form)), Describe(m)) << form;
        }
        EXPECT_LT(m.widthMm, m.heightMm) << "catalogue papers are portrait: " << m.canonicalName;
    }
}

TEST(MediaNames, ShortNamesFindTheStandardPaper) {
    const struct {
        const char* name;
        const char* canonical;
    } cases[] = {
        {"A4", "ISO_A4_(210.00_x_297.00_MM)"},
        {"iso a3", "ISO_A3_(297.00_x_420.00_MM)"},
        {"Letter", "Letter_(8.50_x_11.00_Inches)"},
        {"Tabloid", "ANSI_B_(11.00_x_17.00_Inches)"},
    };
    for (const auto& c : cases) {
        const auto m = ParseMediaName(c.name);
        EXPECT_EQ(m ? m->canonicalName : "none", c.canonical) << c.name;
    }
    EXPECT_EQ(Describe(ParseMediaName("ARCH E1")),
              "ARCH_E1_(30.00_x_42.00_Inches) 762 x 1066.8 mm, inches");
}

TEST(MediaNames, SizedNamesAsDrawingsStoreThem) {
    EXPECT_EQ(Describe(ParseMediaName("UserDefinedMetric (300.00 x 200.00MM)")),
              "UserDefinedMetric_(300.00_x_200.00MM) 300 x 200 mm, mm");
    EXPECT_TRUE(ParseMediaName("UserDefinedMetric (300.00 x 200.00MM)")->IsLandscape());
    EXPECT_EQ(Describe(ParseMediaName("  ISO_A4_(297.00_x_210.00_MM) ")),
              "ISO_A4_(297.00_x_210.00_MM) 297 x 210 mm, mm");
}

TEST(MediaNames, NamesWithoutAUsableSizeAreRefused) {
    for (const char* bad :
         {"", "A44", "X_(0.00_x_297.00_MM)", "X_(-210_x_297_MM)", "X_(210_x_297_Pixels)",
          "X_(210.00_x_297.00_MM", "X_(1e9_x_1_MM)", "X_(nan_x_1_MM)"}) {
        EXPECT_FALSE(ParseMediaName(bad)) << "'" << bad << "'";
    }
}

TEST(MediaNames, RotatedPaperSwapsSizeNameAndMargins) {
    Media a4 = *ParseMediaName("A4");
    a4.margins = {1, 2, 3, 4};
    const Media turned = Rotated(a4);
    EXPECT_EQ(Describe(turned), "ISO_A4_(297.00_x_210.00_MM) 297 x 210 mm, mm");
    // Turned a quarter counter-clockwise: the left border becomes the bottom one.
    EXPECT_EQ(turned.margins, (Margins{4, 1, 2, 3}));
    EXPECT_EQ(turned.PrintableArea(), (Rect{4, 1, 295, 207}));
}

Media Sheet(double w, double h, Margins margins = {}) {
    return {FormatMediaName("Test", w, h, PaperUnits::Millimeters), w, h, PaperUnits::Millimeters,
            margins};
}

PlacementRequest Request(const Rect& area, const Media& media, Rotation rotation = Rotation::R0) {
    PlacementRequest r;
    r.plotArea = area;
    r.media = media;
    r.rotation = rotation;
    return r;
}

// Numbers as text to the 1e-6, so that one comparison shows all of them.
std::string Str(std::initializer_list<double> values) {
    std::string s;
    char buf[32];
    for (double v : values) {
        std::snprintf(buf, sizeof buf, "%.6f ", std::abs(v) < 5e-7 ? 0.0 : v);
        s += buf;
    }
    return s;
}
std::string Str(const Rect& r) {
    return Str({r.xmin, r.ymin, r.xmax, r.ymax});
}
std::string Str(Point p) {
    return Str({p.x, p.y});
}

// A landscape area 100 x 50 fitted and centred on a bare A4 portrait sheet (210 x 297).
// Unturned: scale = min(210/100, 297/50) = 2.1; 210 x 105 centred: y from (297-105)/2 = 96.
// Turned a quarter, the area is 50 wide and 100 high: scale = min(210/50, 297/100) = 2.97,
// 148.5 x 297 centred: x from (210-148.5)/2 = 30.75 to 179.25. Turns are counter-clockwise:
// at 90 the drawing's +x points up the sheet, at 270 down.
TEST(Placement, EveryRotationFitsCentresAndTurnsCounterClockwise) {
    const struct {
        Rotation rotation;
        double scale;
        Rect plotted;
        Point origin, endOfX, endOfY;  // (0,0), (100,0) and (0,50) on paper
    } cases[] = {
        {Rotation::R0, 2.1, {0, 96, 210, 201}, {0, 96}, {210, 96}, {0, 201}},
        {Rotation::R90, 2.97, {30.75, 0, 179.25, 297}, {179.25, 0}, {179.25, 297}, {30.75, 0}},
        {Rotation::R270, 2.97, {30.75, 0, 179.25, 297}, {30.75, 297}, {30.75, 0}, {179.25, 297}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.rotation));
        const Placement p = PlacePage(Request({0, 0, 100, 50}, Sheet(210, 297), c.rotation));
        const auto& m = p.drawingToPaper;
        EXPECT_EQ(Str({p.mmPerDrawingUnit}) + Str(p.plotted) + Str(m.Map({0, 0})) +
                      Str(m.Map({100, 0})) + Str(m.Map({0, 50})),
                  Str({c.scale}) + Str(c.plotted) + Str(c.origin) + Str(c.endOfX) + Str(c.endOfY));
        EXPECT_TRUE(p.fitsPrintable);
    }
}

TEST(Placement, FitUsesThePrintableAreaAndCentresInIt) {
    // A3 portrait with margins left 5, bottom 10, right 15, top 20: printable x 5..282
    // (277 wide), y 10..400 (390 high). Area 200 x 100: scale = min(277/200, 390/100) =
    // 1.385; 277 x 138.5 centred on y = 205: y from 135.75 to 274.25.
    const Placement p = PlacePage(Request({0, 0, 200, 100}, Sheet(297, 420, {5, 10, 15, 20})));
    EXPECT_EQ(Str({p.mmPerDrawingUnit}) + Str(p.printable) + Str(p.plotted),
              Str({1.385, 5, 10, 282, 400, 5, 135.75, 282, 274.25}));
}

TEST(Placement, ScalesOffsetsAndUnits) {
    // ANSI A in inches, 1" = 10 units: 2.54 mm per unit. Area 40 x 20 turned by 90 lies
    // from x = -50.8 to 0, y 0 to 101.6 (mm); the offset (0.5", 1") puts its lower-left at
    // (12.7, 25.4).
    PlacementRequest r =
        Request({0, 0, 40, 20}, *ParseMediaName("ANSI_A_(8.50_x_11.00_Inches)"), Rotation::R90);
    r.paperUnits = PaperUnits::Inches;
    r.scale = PlotScale::Ratio(1, 10);
    r.center = false;
    r.offset = {0.5, 1};
    Placement p = PlacePage(r);
    EXPECT_EQ(Str({p.mmPerDrawingUnit, p.paperUnitsPerDrawingUnit}) + Str(p.plotted) +
                  Str(p.drawingToPaper.Map({0, 0})),
              Str({2.54, 0.1, 12.7, 25.4, 63.5, 127.0, 63.5, 25.4}));

    // Too large at 1:1: reported as not fitting, centred all the same.
    r = Request({0, 0, 1000, 10}, Sheet(210, 297));
    r.scale = PlotScale::Ratio(1, 1);
    p = PlacePage(r);
    EXPECT_FALSE(p.fitsPrintable);
    EXPECT_EQ(Str(p.drawingToPaper.Map({500, 5})), Str({105, 148.5}));
}

TEST(Placement, RefusesWhatCannotBePlaced) {
    const Rect square{0, 0, 10, 10};
    const struct {
        const char* name;
        Rect area;
        PlotScale scale;
        Media media;
    } cases[] = {
        {"empty area", Rect::Empty(), PlotScale::Fit(), Sheet(210, 297)},
        {"NaN", {0, 0, 10, std::nan("")}, PlotScale::Fit(), Sheet(210, 297)},
        {"scale 0:1", square, PlotScale::Ratio(0, 1), Sheet(210, 297)},
        {"no printable area", square, PlotScale::Fit(), Sheet(210, 297, {110, 0, 110, 0})},
    };
    for (const auto& c : cases) {
        PlacementRequest r = Request(c.area, c.media);
        r.scale = c.scale;
        EXPECT_THROW(PlacePage(r), PlacementError) << c.name;
    }
}

// The automation codes and the codes stored in drawings differ after 1:4.
TEST(StandardScales, AutomationCodesAndStoredCodes) {
    const auto ratio = [](std::optional<PlotScale> p) {
        return p ? Str({p->paperUnits / p->drawingUnits}) : "none";
    };
    const struct {
        int code;
        double automation, stored;  // 0: no such code
    } cases[] = {{16, 1.0, 0}, {19, 1.0 / 8, 1.0 / 5}, {33, -1, 1000.0}, {35, -1, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        if (c.automation != 0) {
            EXPECT_EQ(ratio(StandardScaleFromCode(c.code)),
                      c.automation < 0 ? "none" : Str({c.automation}));
        }
        if (c.stored != 0) {
            EXPECT_EQ(ratio(StoredStandardScaleFromCode(c.code)),
                      c.stored < 0 ? "none" : Str({c.stored}));
        }
    }
    EXPECT_TRUE(StandardScaleFromCode(0)->fit);
    EXPECT_EQ(StandardScaleFromCode(1)->units, PaperUnits::Inches);
}

}  // namespace
