// Page placement: every rotation, several papers, margins, units and scales. The expected
// numbers are worked out by hand in the comments.
#include <gtest/gtest.h>

#include "engine/page/PagePlacement.h"

using namespace vx::engine::page;

namespace {

constexpr double kTol = 1e-9;

Media Sheet(double w, double h, Margins margins = {}) {
    return {FormatMediaName("Test", w, h, PaperUnits::Millimeters), w, h, PaperUnits::Millimeters,
            margins};
}

PlacementRequest Request(const Rect& area, const Media& media) {
    PlacementRequest r;
    r.plotArea = area;
    r.media = media;
    return r;
}

void ExpectPoint(Point got, double x, double y, const char* what) {
    EXPECT_NEAR(got.x, x, kTol) << what;
    EXPECT_NEAR(got.y, y, kTol) << what;
}

void ExpectRect(const Rect& r, double x0, double y0, double x1, double y1) {
    EXPECT_NEAR(r.xmin, x0, kTol);
    EXPECT_NEAR(r.ymin, y0, kTol);
    EXPECT_NEAR(r.xmax, x1, kTol);
    EXPECT_NEAR(r.ymax, y1, kTol);
}

// A landscape area 100 x 50 fitted and centred on a bare A4 portrait sheet (210 x 297).
struct FitOnA4 : ::testing::Test {
    PlacementRequest request = Request(Rect{0, 0, 100, 50}, Sheet(210, 297));
    Placement Place(Rotation rotation) {
        request.rotation = rotation;
        return PlacePage(request);
    }
};

// Unturned: scale = min(210/100, 297/50) = 2.1; 210 x 105 centred: y from (297-105)/2 = 96.
// Turned a quarter, the area is 50 wide and 100 high: scale = min(210/50, 297/100) = 2.97,
// 148.5 x 297 centred: x from (210-148.5)/2 = 30.75 to 179.25. Turns are counter-clockwise:
// at 90 the drawing's +x points up the sheet, at 270 down.
TEST_F(FitOnA4, EveryRotationFitsCentresAndTurnsCounterClockwise) {
    const struct {
        Rotation rotation;
        double scale;
        Rect plotted;
        Point origin, endOfX, endOfY;  // (0,0), (100,0) and (0,50) on paper
    } cases[] = {
        {Rotation::R0, 2.1, {0, 96, 210, 201}, {0, 96}, {210, 96}, {0, 201}},
        {Rotation::R90, 2.97, {30.75, 0, 179.25, 297}, {179.25, 0}, {179.25, 297}, {30.75, 0}},
        {Rotation::R180, 2.1, {0, 96, 210, 201}, {210, 201}, {0, 201}, {210, 96}},
        {Rotation::R270, 2.97, {30.75, 0, 179.25, 297}, {30.75, 297}, {30.75, 0}, {179.25, 297}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.rotation));
        const Placement p = Place(c.rotation);
        EXPECT_NEAR(p.mmPerDrawingUnit, c.scale, kTol);
        ExpectRect(p.plotted, c.plotted.xmin, c.plotted.ymin, c.plotted.xmax, c.plotted.ymax);
        ExpectPoint(p.drawingToPaper.Map({0, 0}), c.origin.x, c.origin.y, "origin");
        ExpectPoint(p.drawingToPaper.Map({100, 0}), c.endOfX.x, c.endOfX.y, "end of x");
        ExpectPoint(p.drawingToPaper.Map({0, 50}), c.endOfY.x, c.endOfY.y, "end of y");
        EXPECT_TRUE(p.fitsPrintable);
    }
}

TEST_F(FitOnA4, AreaAwayFromTheOriginLandsInTheSamePlace) {
    request.plotArea = Rect{1000, -500, 1100, -450};
    const Placement p = Place(Rotation::R90);
    ExpectRect(p.plotted, 30.75, 0, 179.25, 297);
    ExpectPoint(p.drawingToPaper.Map({1000, -500}), 179.25, 0, "area corner");
}

TEST(Placement, FitUsesThePrintableAreaAndCentresInIt) {
    // A3 portrait with margins left 5, bottom 10, right 15, top 20: printable x 5..282
    // (277 wide), y 10..400 (390 high). Area 200 x 100: scale = min(277/200, 390/100) =
    // 1.385; 277 x 138.5 centred on y = 205: y from 135.75 to 274.25.
    PlacementRequest r = Request(Rect{0, 0, 200, 100}, Sheet(297, 420, {5, 10, 15, 20}));
    const Placement p = PlacePage(r);
    EXPECT_NEAR(p.mmPerDrawingUnit, 1.385, kTol);
    ExpectRect(p.printable, 5, 10, 282, 400);
    ExpectRect(p.plotted, 5, 135.75, 282, 274.25);
    EXPECT_TRUE(p.fitsPrintable);
}

TEST(Placement, FitOnARotatedA0WithMargins) {
    // A0 landscape feed 1189 x 841, margins 10 all round: printable 1169 x 821 from (10,10).
    // Area 300 x 400 turned by 90 lies 400 wide, 300 high: scale = min(1169/400, 821/300) =
    // 2.73666...; 1094.666... x 821, x from 10 + (1169 - 1094.666...)/2.
    PlacementRequest r = Request(Rect{0, 0, 300, 400}, Sheet(1189, 841, {10, 10, 10, 10}));
    r.rotation = Rotation::R90;
    const Placement p = PlacePage(r);
    const double s = 821.0 / 300.0;
    EXPECT_NEAR(p.mmPerDrawingUnit, s, kTol);
    const double x0 = 10 + (1169 - 400 * s) / 2;
    ExpectRect(p.plotted, x0, 10, x0 + 400 * s, 831);
    ExpectPoint(p.drawingToPaper.Map({0, 0}), x0 + 400 * s, 10, "origin");
}

TEST(Placement, CustomScaleWithOffsetFromThePrintableCorner) {
    // 1 mm = 2 units, offset (10, 20) mm from the printable corner (5, 5): the area's
    // lower-left (100, 100) lands at (15, 25) and it is 100 x 50 mm.
    PlacementRequest r = Request(Rect{100, 100, 300, 200}, Sheet(210, 297, {5, 5, 5, 5}));
    r.scale = PlotScale::Ratio(1, 2);
    r.center = false;
    r.offset = {10, 20};
    const Placement p = PlacePage(r);
    EXPECT_NEAR(p.mmPerDrawingUnit, 0.5, kTol);
    EXPECT_NEAR(p.paperUnitsPerDrawingUnit, 0.5, kTol);
    ExpectRect(p.plotted, 15, 25, 115, 75);
    ExpectPoint(p.drawingToPaper.Map({100, 100}), 15, 25, "area corner");
    EXPECT_TRUE(p.fitsPrintable);
}

TEST(Placement, InchPaperUnitsScaleAndOffsetInInches) {
    // ANSI A in inches, 1" = 10 units: 2.54 mm per unit. Area 40 x 20 turned by 90 lies
    // from x = -50.8 to 0, y 0 to 101.6 (mm); the offset (0.5", 1") puts its lower-left at
    // (12.7, 25.4).
    const Media ansiA = *ParseMediaName("ANSI_A_(8.50_x_11.00_Inches)");
    PlacementRequest r = Request(Rect{0, 0, 40, 20}, ansiA);
    r.paperUnits = PaperUnits::Inches;
    r.scale = PlotScale::Ratio(1, 10);
    r.rotation = Rotation::R90;
    r.center = false;
    r.offset = {0.5, 1};
    const Placement p = PlacePage(r);
    EXPECT_NEAR(p.mmPerDrawingUnit, 2.54, kTol);
    EXPECT_NEAR(p.paperUnitsPerDrawingUnit, 0.1, kTol);
    ExpectRect(p.plotted, 12.7, 25.4, 63.5, 127.0);
    ExpectPoint(p.drawingToPaper.Map({0, 0}), 63.5, 25.4, "origin");
}

TEST(Placement, ArchitecturalScaleAppliesInInchesOnAMetricLayout) {
    // 1/4" = 1'-0" (code 8): 0.25 inch shows 12 units: 0.25 * 25.4 / 12 mm per unit.
    PlacementRequest r = Request(Rect{0, 0, 120, 120}, Sheet(420, 594));
    r.scale = *StandardScaleFromCode(8);
    const Placement p = PlacePage(r);
    EXPECT_NEAR(p.mmPerDrawingUnit, 0.25 * 25.4 / 12, kTol);
    EXPECT_NEAR(p.plotted.Width(), 120 * 0.25 * 25.4 / 12, kTol);
}

TEST(Placement, OversizedPlotIsReportedAsNotFitting) {
    PlacementRequest r = Request(Rect{0, 0, 1000, 10}, Sheet(210, 297));
    r.scale = PlotScale::Ratio(1, 1);
    const Placement p = PlacePage(r);
    EXPECT_FALSE(p.fitsPrintable);
    // Centred all the same: the middle of the area is the middle of the sheet.
    ExpectPoint(p.drawingToPaper.Map({500, 5}), 105, 148.5, "middle");
}

TEST(Placement, FitOfALineUsesItsOneExtent) {
    // A horizontal line: only the width constrains the fit (210/100); turned, only the
    // height (297/100).
    PlacementRequest r = Request(Rect{0, 5, 100, 5}, Sheet(210, 297));
    Placement p = PlacePage(r);
    EXPECT_NEAR(p.mmPerDrawingUnit, 2.1, kTol);
    ExpectPoint(p.drawingToPaper.Map({0, 5}), 0, 148.5, "start");
    r.rotation = Rotation::R90;
    p = PlacePage(r);
    EXPECT_NEAR(p.mmPerDrawingUnit, 2.97, kTol);
    ExpectPoint(p.drawingToPaper.Map({0, 5}), 105, 0, "start turned");
}

TEST(Placement, RefusesWhatCannotBePlaced) {
    PlacementRequest r = Request(Rect::Empty(), Sheet(210, 297));
    EXPECT_THROW(PlacePage(r), PlacementError);

    r.plotArea = Rect{3, 3, 3, 3};  // a point cannot be fitted
    EXPECT_THROW(PlacePage(r), PlacementError);
    r.scale = PlotScale::Ratio(1, 1);  // but it can be placed at a scale
    EXPECT_NO_THROW(PlacePage(r));

    r.plotArea = Rect{0, 0, 10, std::nan("")};
    EXPECT_THROW(PlacePage(r), PlacementError);

    r.plotArea = Rect{0, 0, 10, 10};
    r.scale = PlotScale::Ratio(0, 1);
    EXPECT_THROW(PlacePage(r), PlacementError);
    r.scale = PlotScale::Ratio(1, 0);
    EXPECT_THROW(PlacePage(r), PlacementError);
    r.scale = PlotScale::Ratio(-1, 2);
    EXPECT_THROW(PlacePage(r), PlacementError);

    r.scale = PlotScale::Fit();
    r.media = Sheet(210, 297, {110, 0, 110, 0});
    EXPECT_THROW(PlacePage(r), PlacementError);
    r.media = Sheet(0, 297);
    EXPECT_THROW(PlacePage(r), PlacementError);

    try {
        r.media = Sheet(210, 297);
        r.plotArea = Rect::Empty();
        PlacePage(r);
        FAIL() << "no error";
    } catch (const PlacementError& e) {
        EXPECT_NE(std::string(e.what()).find("empty"), std::string::npos) << e.what();
    }
}

TEST(StandardScales, AutomationCodesAndStoredCodesDifferAfterOneToFour) {
    EXPECT_TRUE(StandardScaleFromCode(0)->fit);
    const auto s = [](std::optional<PlotScale> p) { return p->paperUnits / p->drawingUnits; };
    EXPECT_DOUBLE_EQ(s(StandardScaleFromCode(16)), 1.0);
    EXPECT_DOUBLE_EQ(s(StandardScaleFromCode(19)), 1.0 / 8);
    EXPECT_DOUBLE_EQ(s(StandardScaleFromCode(26)), 1.0 / 100);
    EXPECT_DOUBLE_EQ(s(StandardScaleFromCode(32)), 1000.0);
    EXPECT_FALSE(StandardScaleFromCode(33));
    EXPECT_FALSE(StandardScaleFromCode(-1));
    EXPECT_FALSE(StandardScaleFromCode(16)->units);
    EXPECT_EQ(StandardScaleFromCode(1)->units, PaperUnits::Inches);
    EXPECT_DOUBLE_EQ(s(StandardScaleFromCode(15)), 1.0);  // 1'-0" = 1'-0"

    EXPECT_DOUBLE_EQ(s(StoredStandardScaleFromCode(19)), 1.0 / 5);
    EXPECT_DOUBLE_EQ(s(StoredStandardScaleFromCode(27)), 1.0 / 100);
    EXPECT_DOUBLE_EQ(s(StoredStandardScaleFromCode(33)), 1000.0);
    EXPECT_DOUBLE_EQ(s(StoredStandardScaleFromCode(34)), 1.5 / 12);
    EXPECT_FALSE(StoredStandardScaleFromCode(35));
}

}  // namespace
