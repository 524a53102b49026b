// Feature-control frames, subdivision meshes, arc-length dimensions and underlays, from DXF
// groups to what reaches the page.
#include <gtest/gtest.h>

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <fstream>
#include <set>

#include "RenderTools.h"
#include "dxf/TestDxf.h"
#include "engine/dxf/DxfReader.h"
#include "engine/fonts/FontResolver.h"
#include "engine/render/Kinds.h"
#include "engine/render/Pictures.h"

using namespace vx::engine;
using namespace vx::testing;

namespace {

// A drawing with text 2.5 and gap 1 (boxes 4.5 high), the given block definitions and
// model-space entities, plotted 1:1 without fonts (so only frames and lines are strokes).
Plot PlotDxf(const std::string& blocks, const std::string& entities, std::string* warnings,
             const std::string& objects = "", render::RenderOptions options = {}) {
    vx::test::TestDxf t;
    t.Section("HEADER").Groups("9 $ACADVER|1 AC1032|9 $DIMTXT|40 2.5|9 $DIMGAP|40 1.0");
    t.EndSection().Section("BLOCKS");
    if (!blocks.empty()) {
        t.Groups(blocks);
    }
    t.EndSection().Section("ENTITIES").Groups(entities).EndSection();
    if (!objects.empty()) {
        t.Section("OBJECTS").Groups(objects).EndSection();
    }
    t.Eof();
    const auto r = dxf::ReadDxf(t.Ascii());
    EXPECT_TRUE(r.Ok()) << r.error.Text();
    for (const auto& w : r.database->warnings) {
        *warnings += w.Text() + "\n";
    }
    return Draw(*r.database, 0, options, page::Affine::Translation(100, 100));
}

const char* kCube =
    "0 MESH|8 0|100 AcDbEntity|100 AcDbSubDMesh|71 2|72 0|91 0|92 8|10 0,0,0|10 10,0,0|"
    "10 10,10,0|10 0,10,0|10 0,0,10|10 10,0,10|10 10,10,10|10 0,10,10|93 30|"
    "90 4|90 0|90 1|90 2|90 3|90 4|90 4|90 5|90 6|90 7|90 4|90 0|90 1|90 5|90 4|"
    "90 4|90 1|90 2|90 6|90 5|90 4|90 2|90 3|90 7|90 6|90 4|90 3|90 0|90 4|90 7|"
    "94 12|90 0|90 1|95 0";

}  // namespace

TEST(Kinds, EntitiesDrawTheirBoxesEdgesAndPictures) {
    const struct {
        const char* name;
        std::string blocks, entities;
        std::size_t strokes, closed;
        std::set<double> rowTops;  // highest paper y of each closed stroke (frame box)
        const char* warning;
    } cases[] = {
        {"frame of three boxes",
         "",
         "0 TOLERANCE|8 0|100 AcDbEntity|100 AcDbFcf|3 Standard|10 0,0,0|"
         "1 {\\Fgdt;j}%%v{\\Fgdt;n}0.5%%vA",
         8,
         3,
         {100},
         ""},
        {"two rows, empty boxes left out, rows along the x-axis given",
         "",
         "0 TOLERANCE|8 0|100 AcDbEntity|100 AcDbFcf|10 0,0,0|11 -1,0,0|"
         "1 {\\Fgdt;j}%%v%%v%%v%%v%%v^J{\\Fgdt;d}%%v0.1%%V",
         7,
         3,
         {104.5, 109},
         ""},
        {"datum identifier and empty frame",
         "",
         "0 TOLERANCE|8 0|100 AcDbEntity|100 AcDbFcf|10 0,0,0|1 A|"
         "0 TOLERANCE|8 0|100 AcDbEntity|100 AcDbFcf|10 0,0,0|1 ",
         1,
         1,
         {100},
         ""},
        {"cube mesh draws each of its 12 edges once", "", kCube, 12, 0, {}, ""},
        {"mesh face beyond its vertices or its list",
         "",
         "0 MESH|8 0|100 AcDbEntity|100 AcDbSubDMesh|92 3|10 0,0,0|10 10,0,0|10 0,10,0|"
         "93 9|90 3|90 0|90 1|90 2|90 3|90 0|90 1|90 7|90 9",
         3,
         0,
         {},
         "mesh's face list is damaged"},
        {"arc dimension from its picture block",
         "0 BLOCK|8 0|2 *D1|70 1|10 0,0,0|3 *D1|0 LINE|8 0|10 0,0,0|11 5,5,0|0 ENDBLK|8 0",
         "0 ARC_DIMENSION|8 0|100 AcDbEntity|100 AcDbDimension|2 *D1|10 1,1,0|70 37|"
         "100 AcDbArcDimension|13 0,0,0|14 5,5,0|15 0,5,0|70 0|40 0.0|41 1.5",
         1,
         0,
         {},
         ""},
    };
    for (const auto& c : cases) {
        std::string warnings;
        const Plot p = PlotDxf(c.blocks, c.entities, &warnings);
        EXPECT_EQ(p->strokes.size(), c.strokes) << c.name;
        std::set<double> tops;
        std::size_t closed = 0;
        for (const auto& s : p->strokes) {
            if (s.closed) {
                ++closed;
                const page::Rect b = geom::BoundsOf(s.points);
                EXPECT_NEAR(b.Height(), 4.5, 1e-9) << c.name;
                tops.insert(std::round(b.ymax * 1e6) / 1e6);
            }
        }
        EXPECT_EQ(closed, c.closed) << c.name;
        EXPECT_EQ(tops, c.rowTops) << c.name;
        EXPECT_EQ(p.report.notDrawn.size(), 0u) << c.name;
        EXPECT_PRED2(Has, warnings, c.warning) << c.name;
    }
}

TEST(Kinds, FrameBoxesFollowTheirTextAndTheXAxis) {
    std::string warnings;
    const Plot p = PlotDxf("",
                           "0 TOLERANCE|8 0|100 AcDbEntity|100 AcDbFcf|10 0,0,0|11 0,1,0|"
                           "1 {\\Fgdt;j}%%v{\\Fgdt;n}0.5%%vA",
                           &warnings);
    // Rotated a quarter turn: the row runs up the page from the insertion point, the
    // boxes lie to its right (below the row in the frame's own plane).
    const page::Rect b = p->Bounds();
    EXPECT_TRUE(Near(geom::Vec2{b.xmin, b.ymin}, {100, 100})) << b.xmin << "," << b.ymin;
    EXPECT_NEAR(b.xmax, 104.5, 1e-9);
    EXPECT_GT(b.ymax - b.ymin, 3 * 2.0);  // three boxes, each at least two gaps wide
}

TEST(Kinds, GdtLettersBecomeSymbolsAndTheRestStaysText) {
    using P = render::TolerancePiece;
    const auto rows =
        render::ToleranceRows("{\\Fgdt;j}%%v{\\Fgdt;n}.5{\\fGDT|b0;m}\nA{\\Fgdt;9}{\\H2x;B}");
    const std::vector<std::vector<render::ToleranceBox>> want = {
        {{P{"", 'j'}}, {P{"", 'n'}, P{".5", 0}, P{"", 'm'}}}, {{P{"A9{\\H2x;B}", 0}}}};
    EXPECT_EQ(rows, want);
}

TEST(Kinds, PdfUnderlaysShowTheirPageInPlaceOrTheirFrame) {
    // A page 2 by 1 inches, black all over, beside the drawing; "notes.txt" is no PDF.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QPdfWriter pdf(dir.filePath("plan.pdf"));
        pdf.setPageSize(QPageSize(QSizeF(144, 72), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&pdf);
        painter.fillRect(QRect(0, 0, pdf.width(), pdf.height()), Qt::black);
    }
    std::ofstream(dir.filePath("notes.txt").toStdString()) << "not a page";
    const std::string defs =
        "0 PDFDEFINITION|5 A1|100 AcDbUnderlayDefinition|1 C:\\x\\plan.pdf|"
        "2 1|0 PDFDEFINITION|5 A2|1 gone.pdf|2 1|"
        "0 PDFDEFINITION|5 A3|1 notes.txt|2 1|0 DWFDEFINITION|5 A4|1 a.dwf|2 1";
    const auto underlay = [](const char* type, const char* def, const std::string& rest) {
        return std::string("0 ") + type + "|8 0|100 AcDbEntity|100 AcDbUnderlayReference|340 " +
               def + "|10 5,5,0|" + rest;
    };
    const std::string clip = "|11 0.5,0.25|11 1.5,0.75";
    const struct {
        const char* name;
        std::string entities;
        page::Rect image;  // empty: no image
        int middle;        // grey of the image's middle pixel; -1: cleared
        std::size_t clips, frames;
        const char* warning;
        std::int64_t notDrawn;
    } cases[] = {
        {"whole page, 10 units an inch",
         underlay("PDFUNDERLAY", "A1", "41 10|42 10|280 2"),
         {105, 105, 125, 115},
         0,
         0,
         0,
         "",
         0},
        {"clipped: the part inside the boundary",
         underlay("PDFUNDERLAY", "A1", "41 10|42 10|280 3" + clip),
         {110, 107.5, 120, 112.5},
         0,
         1,
         0,
         "",
         0},
        {"clipped inside out: the page but the boundary's inside",
         underlay("PDFUNDERLAY", "A1", "41 10|42 10|280 19" + clip),
         {105, 105, 125, 115},
         -1,
         0,
         0,
         "",
         0},
        {"boundary kept but clipping off",
         underlay("PDFUNDERLAY", "A1", "41 10|42 10|280 2" + clip),
         {105, 105, 125, 115},
         0,
         0,
         0,
         "",
         0},
        {"grey, contrast and fade halved",
         underlay("PDFUNDERLAY", "A1", "41 10|42 10|280 6|281 50|282 50"),
         {105, 105, 125, 115},
         160,
         0,
         0,
         "",
         0},
        {"a quarter turn",
         underlay("PDFUNDERLAY", "A1", "41 10|42 10|50 90|280 2"),
         {95, 105, 105, 125},
         0,
         0,
         0,
         "",
         0},
        {"turned off", underlay("PDFUNDERLAY", "A1", "41 10|42 10|280 0"), page::Rect::Empty(), 0,
         0, 0, "", 0},
        {"missing file: its boundary", underlay("PDFUNDERLAY", "A2", "280 3" + clip),
         page::Rect::Empty(), 0, 0, 1, "\"gone.pdf\" was not found", 0},
        {"missing file without boundary", underlay("PDFUNDERLAY", "A2", "280 2"),
         page::Rect::Empty(), 0, 0, 0, "\"gone.pdf\" was not found", 1},
        {"not a PDF file", underlay("PDFUNDERLAY", "A3", "280 3" + clip), page::Rect::Empty(), 0, 0,
         1, "\"notes.txt\" is not a PDF file", 0},
        {"DWF: its frame", underlay("DWFUNDERLAY", "A4", "280 3" + clip), page::Rect::Empty(), 0, 0,
         1, "DWF underlay \"a.dwf\" is drawn as its frame", 0},
        {"definition of another format", underlay("PDFUNDERLAY", "A4", "280 3" + clip),
         page::Rect::Empty(), 0, 0, 1, "\"(none)\" has no file", 0},
    };
    render::RenderOptions options;
    options.drawingFolder = dir.path().toStdString();
    for (const auto& c : cases) {
        std::string readWarnings;
        const Plot p = PlotDxf("", c.entities, &readWarnings, defs, options);
        EXPECT_EQ(p->images.size(), c.image.IsEmpty() ? 0u : 1u) << c.name;
        if (!p->images.empty() && !c.image.IsEmpty()) {
            const auto& im = p->images[0];
            // Whole pixels at 300 dpi: within a pixel (0.085 mm) of the part asked for.
            EXPECT_TRUE(Near(geom::BoundsOf(im.Corners()), c.image, 0.09)) << c.name;
            // The page is black: the middle as the underlay's colours make it, or cleared
            // with the page's corner still shown.
            const QRgb middle = im.image.pixel(im.image.width() / 2, im.image.height() / 2);
            if (c.middle < 0) {
                EXPECT_EQ(qAlpha(middle), 0) << c.name;
                EXPECT_EQ(im.image.pixel(1, 1), qRgb(0, 0, 0)) << c.name;
            } else {
                EXPECT_EQ(qAlpha(middle), 255) << c.name;
                EXPECT_NEAR(qGray(middle), c.middle, 2) << c.name;
            }
        }
        EXPECT_EQ(p->clips.size(), c.clips) << c.name;
        EXPECT_EQ(p->strokes.size(), c.frames) << c.name;
        std::string warnings;
        for (const auto& w : p.report.warnings) {
            warnings += w + "\n";
        }
        EXPECT_PRED2(Has, warnings, c.warning) << c.name;
        EXPECT_EQ(c.warning[0] == 0, p.report.warnings.empty()) << c.name << ": " << warnings;
        const auto nd = p.report.notDrawn.find("PDFUNDERLAY");
        EXPECT_EQ(nd == p.report.notDrawn.end() ? 0 : nd->second, c.notDrawn) << c.name;
    }
}

TEST(Kinds, UnderlayPagesShowInGreyWithLessContrastAndFaded) {
    const struct {
        bool monochrome;
        int contrast, fade;
        QRgb in, out;
    } cases[] = {
        {false, 100, 0, qRgb(200, 40, 0), qRgb(200, 40, 0)},
        {true, 100, 0, qRgb(255, 0, 0), qRgb(87, 87, 87)},     // luminance kept
        {false, 100, 50, qRgb(0, 0, 0), qRgb(128, 128, 128)},  // half way to the paper
        {false, 100, 50, qRgb(255, 255, 255), qRgb(255, 255, 255)},
        {false, 20, 0, qRgb(0, 0, 0), qRgb(102, 102, 102)},  // towards the middle grey
        {false, 20, 0, qRgb(255, 255, 255), qRgb(153, 153, 153)},
        {false, 50, 50, qRgb(0, 64, 255), qRgb(160, 176, 223)},  // contrast, then fade
        {false, 150, -5, qRgb(0, 64, 255), qRgb(0, 64, 255)},    // out of range: as is
    };
    for (const auto& c : cases) {
        QImage img(1, 1, QImage::Format_RGB32);
        img.setPixel(0, 0, c.in);
        render::AdjustPicture(img, c.monochrome, c.contrast, c.fade);
        EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(c.out))
            << c.monochrome << " " << c.contrast << " " << c.fade << " "
            << QColor(c.in).name().toStdString();
    }
}

TEST(Kinds, MultilinesKeepTheirBreaksAndDrawTheirStylesCaps) {
    // Styles by flags (16/256 square, 64/1024 round, 32 inner arcs at the start); elements
    // at +-0.5 (and +-1.5), scale 10: lines 10 apart, 100 long.
    const auto style = [](const char* handle, int flags, bool four) {
        return std::string("0 MLINESTYLE|5 ") + handle + "|100 AcDbMlineStyle|2 S" + handle +
               "|70 " + std::to_string(flags) + "|71 " + (four ? "4|49 1.5|62 256|" : "2|") +
               "49 0.5|62 256|49 -0.5|62 256" + (four ? "|49 -1.5|62 256" : "");
    };
    const std::string objects = style("B1", 0, false) + "|" + style("B2", 16 | 256, false) + "|" +
                                style("B3", 64 | 1024, false) + "|" + style("B4", 32 | 64, true);
    // `params[v]` holds each element's 41 values at vertex v.
    const auto mline = [](const char* handle, int flags, std::vector<std::string> at,
                          std::vector<std::vector<std::string>> params) {
        std::string s = std::string("0 MLINE|8 0|100 AcDbEntity|100 AcDbMline|340 ") + handle +
                        "|40 10|70 1|71 " + std::to_string(flags) + "|10 0,0,0";
        for (std::size_t v = 0; v < at.size(); ++v) {
            s += "|11 " + at[v] + "|12 " + (v == 0 ? "1,0,0" : "0,1,0") + "|13 0,1,0";
            for (const std::string& el : params[v]) {
                s += "|74 " + std::to_string(std::count(el.begin(), el.end(), '|') + 1) + "|41 " +
                     el + "|75 0";
            }
        }
        return s;
    };
    const std::vector<std::string> two = {"0,0,0", "100,0,0"};
    const std::vector<std::vector<std::string>> plain = {{"5|41 0", "-5|41 0"},
                                                         {"5|41 0", "-5|41 0"}};
    const double half5 = 3.14159265358979 * 5, half15 = 3.14159265358979 * 15;
    const struct {
        const char* name;
        std::string entity;
        std::vector<double> lengths;  // sorted
    } cases[] = {
        {"unbroken", mline("B1", 1, two, plain), {100, 100}},
        {"one break in the first element",
         mline("B1", 1, two, {{"5|41 0|41 30|41 60", "-5|41 0"}, {"5|41 0", "-5|41 0"}}),
         {30, 40, 100}},
        {"the first element starts late and ends early",
         mline("B1", 1, two, {{"5|41 20|41 90", "-5|41 0"}, {"5|41 0", "-5|41 0"}}),
         {70, 100}},
        {"square caps", mline("B2", 1, two, plain), {10, 10, 100, 100}},
        {"round caps", mline("B3", 1, two, plain), {half5, half5, 100, 100}},
        {"round start cap suppressed", mline("B3", 1 | 4, two, plain), {half5, 100, 100}},
        {"outer and inner arcs at the start",
         mline("B4", 1, two,
               {{"15|41 0", "5|41 0", "-5|41 0", "-15|41 0"},
                {"15|41 0", "5|41 0", "-5|41 0", "-15|41 0"}}),
         {half5, half15, 100, 100, 100, 100}},
        {"pieces meeting at a vertex run on",
         mline("B1", 1, {"0,0,0", "100,0,0", "100,50,0"},
               {{"0|41 0", "0|41 40"}, {"0|41 0", "0|41 0|41 10"}, {"0|41 0", "0|41 0"}}),
         {70, 150}},
    };
    for (const auto& c : cases) {
        std::string warnings;
        const Plot p = PlotDxf("", c.entity, &warnings, objects);
        std::vector<double> lengths = p->Lengths();
        std::sort(lengths.begin(), lengths.end());
        ASSERT_EQ(lengths.size(), c.lengths.size()) << c.name;
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            EXPECT_NEAR(lengths[i], c.lengths[i], 0.05) << c.name << " #" << i;
        }
    }
}

TEST(Kinds, MultileadersFrameTheirTextAndCurveSplineLeaders) {
    const auto mleader = [](const char* own, const char* gap, const char* flow = "43 0|") {
        return std::string(
                   "0 MULTILEADER|8 0|100 AcDbEntity|100 AcDbMLeader|300 CONTEXT_DATA{|"
                   "41 2.5|140 0|145 ") +
               gap + "|290 1|304 HIT|12 10,10,0|13 1,0,0|" + flow +
               "45 1|171 7|302 LEADER{|290 1|"
               "10 10,10,0|11 1,0,0|40 0|304 LEADER_LINE{|10 0,0,0|10 3,8,0|305 }|303 }|301 }|"
               "291 0|172 2|" +
               own;
    };
    const struct {
        const char* name;
        std::string entity;
        std::size_t frames;
        double gap;             // of the frame from the text's strokes
        std::size_t leaderPts;  // points of the leader line
        double box = 0;         // the height of the text's box framed; 0: its ink framed
    } cases[] = {
        {"framed text, 2 from its ink", mleader("170 1|292 1", "2"), 1, 2, 3},
        {"framed text, no gap", mleader("170 1|292 1", "0"), 1, 0, 3},
        {"no frame", mleader("170 1|292 0", "2"), 0, 0, 3},
        {"spline leader through its three points", mleader("170 2|292 0", "2"), 0, 0, 4},
        {"top-to-bottom flow: its box of the reference width framed",
         mleader("170 1|292 1", "1", "43 12|172 3|"), 1, 1, 3, 12},
    };
    fonts::FontResolver resolver;
    render::RenderOptions options;
    options.fonts = &resolver;
    for (const auto& c : cases) {
        std::string warnings;
        const Plot p = PlotDxf("", c.entity, &warnings, "", options);
        std::vector<const RecordingSink::Stroke*> frames;
        page::Rect text = page::Rect::Empty();
        std::size_t leaderPts = 0;
        for (const auto& s : p->strokes) {
            if (s.closed) {
                frames.push_back(&s);
            } else if (geom::BoundsOf(s.points).ymin < 100.5) {  // from the arrow's point
                leaderPts = static_cast<std::size_t>(s.points.size());
            } else {
                text.Include(geom::BoundsOf(s.points));
            }
        }
        ASSERT_EQ(frames.size(), c.frames) << c.name;
        ASSERT_FALSE(text.IsEmpty()) << c.name;
        EXPECT_GE(leaderPts, c.leaderPts) << c.name;
        EXPECT_LE(leaderPts, c.leaderPts == 3 ? 3u : 1000u) << c.name;
        if (!frames.empty() && c.box > 0) {
            const page::Rect f = geom::BoundsOf(frames[0]->points);
            EXPECT_NEAR(f.ymax - f.ymin, c.box + 2 * c.gap, 0.05) << c.name;
            EXPECT_TRUE(f.xmin < text.xmin && f.xmax > text.xmax) << c.name;
        } else if (!frames.empty()) {
            const page::Rect f = geom::BoundsOf(frames[0]->points);
            EXPECT_EQ(frames[0]->points.size(), 4) << c.name;
            const page::Rect want{text.xmin - c.gap, text.ymin - c.gap, text.xmax + c.gap,
                                  text.ymax + c.gap};
            EXPECT_TRUE(Near(f, want, 0.05)) << c.name << ": frame " << f.xmin << "," << f.ymin
                                             << " " << f.xmax << "," << f.ymax;
        }
    }
}

TEST(Kinds, TextLinesFollowTheirSpacingStyleAndFlow) {
    // Capitals 2.5 high, so single spacing is 25 / 6; the height of the ink tells where the
    // lines went.
    const auto mtext = [](const char* style, const char* text) {
        return std::string("0 MTEXT|8 0|100 AcDbEntity|100 AcDbMText|10 0,0,0|40 2.5|71 1|") +
               style + "1 " + text;
    };
    const auto mleader = [](const char* flow) {
        return std::string(
                   "0 MULTILEADER|8 0|100 AcDbEntity|100 AcDbMLeader|300 CONTEXT_DATA{|41 2.5|"
                   "290 1|304 H\\PH\\PH|12 10,10,0|13 1,0,0|43 0|45 1|171 1|") +
               flow + "302 LEADER{|290 1|10 10,10,0|11 1,0,0|40 0|303 }|301 }|170 0|172 2";
    };
    const double single = 25.0 / 6;
    const struct {
        const char* name;
        std::string entity;
        double width, height;  // of the ink; width 0: not checked
    } cases[] = {
        {"at least: a tall line is spaced by its own height", mtext("", "H\\P{\\H2x;H}"), 0,
         2.5 + 2 * single},
        {"at least: a small line keeps the text's spacing", mtext("", "H\\P{\\H0.5x;H}"), 0,
         2.5 + single},
        {"exactly: the text's spacing for all", mtext("73 2|", "H\\P{\\H2x;H}"), 0, 2.5 + single},
        {"multileader, left to right: three lines", mleader("172 1|"), 0, 2.5 + 2 * single},
        {"multileader, top to bottom: one row", mleader("172 3|"), 10, 2.5},
    };
    fonts::FontResolver resolver;
    render::RenderOptions options;
    options.fonts = &resolver;
    for (const auto& c : cases) {
        std::string warnings;
        const Plot p = PlotDxf("", c.entity, &warnings, "", options);
        const page::Rect ink = p->Bounds();
        EXPECT_NEAR(ink.Height(), c.height, 0.1) << c.name;
        if (c.width > 0) {
            EXPECT_GT(ink.Width(), c.width) << c.name;
        }
    }
}

TEST(Kinds, RasterImagesTakeTheirBrightnessContrastAndFade) {
    const struct {
        int brightness, contrast, fade;
        QRgb in, out;
    } cases[] = {
        {50, 50, 0, qRgb(200, 40, 0), qRgb(200, 40, 0)},          // as is
        {100, 50, 0, qRgb(0, 40, 200), qRgb(255, 255, 255)},      // all white
        {30, 50, 0, qRgb(0, 140, 255), qRgb(0, 38, 153)},         // darker by a fifth
        {50, 0, 0, qRgb(0, 64, 255), qRgb(128, 128, 128)},        // all middle grey
        {50, 100, 0, qRgb(100, 130, 250), qRgb(0, 255, 255)},     // black or white
        {50, 75, 0, qRgb(100, 160, 128), qRgb(61, 206, 129)},     // spread from the middle
        {50, 50, 40, qRgb(0, 100, 255), qRgb(102, 162, 255)},     // 40 % towards the paper
        {60, 60, 20, qRgb(10, 150, 230), qRgb(80, 234, 255)},     // all three, in order
        {-20, 50, 300, qRgb(10, 150, 230), qRgb(255, 255, 255)},  // out of range: the ends
    };
    for (const auto& c : cases) {
        QImage img(1, 1, QImage::Format_RGB32);
        img.setPixel(0, 0, c.in);
        render::AdjustImage(img, c.brightness, c.contrast, c.fade);
        EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(c.out))
            << c.brightness << " " << c.contrast << " " << c.fade << " -> "
            << QColor(img.pixel(0, 0)).name().toStdString();
    }
}

TEST(Kinds, TablesWithoutTheirPictureBlockAreDrawnFromTheirCells) {
    // Columns 10 and 20 wide, rows 5 and 8 high: a title over both columns, then two cells.
    // The style gives data cells text 2 at the top centre on green, titles 3 in the middle,
    // and margins of 1; the title has a blue background of its own, cell B none. Cell A's
    // top edge is red and 0.5 mm wide, on top of the title's, and its left edge hidden.
    const std::string style =
        "0 TABLESTYLE|5 51|100 AcDbTableStyle|40 1|41 1|280 0|281 1|7 Standard|140 2|170 2|"
        "63 3|283 1|7 Standard|140 3|170 5|7 Standard|140 2|170 5";
    const auto table = [](const char* block, const std::string& cells) {
        return std::string("0 ACAD_TABLE|5 60|8 0|100 AcDbEntity|100 AcDbBlockReference|2 ") +
               block + "|10 0,0,0|100 AcDbTable|342 51|11 1,0,0|91 2|92 2|141 5|141 8|142 10|" +
               "142 20|" + cells;
    };
    const std::string before2007 =
        "171 1|173 0|175 2|176 1|63 5|283 0|1 Title|171 1|173 1|175 1|176 1|1 |"
        "171 1|173 0|175 1|176 1|69 1|279 50|288 0|1 A|"
        "171 1|173 0|175 1|176 1|140 4|170 9|283 1|1 B";
    const std::string from2007 =
        "171 1|173 0|175 2|176 1|63 5|283 0|301 CELL_VALUE|93 6|1 Title|302 Title|"
        "304 ACVALUE_END|171 1|173 1|175 1|176 1|301 CELL_VALUE|302 |304 ACVALUE_END|"
        "171 1|173 0|175 1|176 1|69 1|279 50|288 0|301 CELL_VALUE|140 0.5|302 A|"
        "304 ACVALUE_END|"
        "171 1|173 0|175 1|176 1|140 4|170 9|283 1|301 CELL_VALUE|302 B|304 ACVALUE_END";
    struct Text {
        std::string text;
        double x, y, height;
        int attachment;
        bool operator==(const Text&) const = default;
    };
    const std::vector<Text> texts = {
        {"Title", 15, -2.5, 3, 5}, {"A", 5, -6, 2, 2}, {"B", 29, -12, 4, 9}};
    using Fill = std::array<double, 5>;  // colour index, opposite corners
    const std::vector<Fill> fills = {{5, 0, 0, 30, -5}, {3, 0, -5, 10, -13}};
    // Cell A holding block *U1 (4 by 2) fitted: twice as large, at the top centre.
    std::string blockCell = before2007;
    blockCell.replace(blockCell.find("69 1"), blockCell.find("|1 A") + 4 - blockCell.find("69 1"),
                      "340 70|144 1|174 1");
    const struct {
        const char* name;
        std::string entity;
        std::size_t lines;
        std::vector<Text> texts;
        std::vector<Fill> fills;      // beneath the borders
        std::vector<double> block{};  // the block cell's reference: x, y, scale
    } cases[] = {
        {"cells before R2007", table("*T9", before2007), 11, texts, fills},
        {"cells with their values", table("*T9", from2007), 11, texts, fills},
        {"its picture block drawn instead", table("*T1", from2007), 1, {}, {}},
        {"a block cell", table("*T9", blockCell), 12, {texts[0], texts[2]}, fills, {1, -10, 2}},
    };
    for (const auto& c : cases) {
        vx::test::TestDxf t;
        t.Section("HEADER").Groups("9 $ACADVER|1 AC1032").EndSection().Section("TABLES");
        t.Groups("0 TABLE|2 BLOCK_RECORD|0 BLOCK_RECORD|5 70|2 *U1|0 ENDTAB").EndSection();
        t.Section("BLOCKS");
        t.Groups("0 BLOCK|8 0|2 *T1|70 1|10 0,0,0|3 *T1|0 LINE|8 0|10 0,0,0|11 5,5,0|0 ENDBLK|8 0");
        t.Groups("0 BLOCK|8 0|2 *U1|70 1|10 0,0,0|0 LINE|8 0|10 0,0,0|11 4,2,0|0 ENDBLK|8 0");
        t.EndSection().Section("ENTITIES").Groups(c.entity).EndSection();
        t.Section("OBJECTS").Groups(style).EndSection().Eof();
        const auto r = dxf::ReadDxf(t.Ascii());
        ASSERT_TRUE(r.Ok()) << r.error.Text();
        const db::Database& d = *r.database;
        const auto* g = d.blocks[d.modelSpace].entities[0].As<db::Insert>();
        ASSERT_TRUE(g && g->block < d.blocks.size()) << c.name;
        std::size_t lines = 0;
        std::vector<Text> got;
        std::vector<Fill> filled;
        std::vector<double> block;
        for (const db::Entity& e : d.blocks[g->block].entities) {
            lines += e.type == db::EntityType::Line;
            if (const auto* m = e.As<db::MText>()) {
                got.push_back({m->text, m->position.x, m->position.y, m->height, m->attachment});
            }
            if (const auto* ins = e.As<db::Insert>()) {
                block = {ins->position.x, ins->position.y, ins->scale.x};
            }
            if (const auto* f = e.As<db::Face>(); f && lines == 0) {
                filled.push_back({static_cast<double>(e.props.color.index), f->corners[0].x,
                                  f->corners[0].y, f->corners[3].x, f->corners[3].y});
            }
        }
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(got, c.texts) << c.name;
        EXPECT_EQ(filled, c.fills) << c.name;
        EXPECT_EQ(block, c.block) << c.name;
        if (c.lines == 11) {
            const db::Entity& top = d.blocks[g->block].entities.back();
            const auto* l = top.As<db::Line>();
            ASSERT_TRUE(l) << c.name;
            EXPECT_TRUE(top.props.color.index == 1 && top.props.lineweight == 50 &&
                        l->start.y == -5 && l->end.y == -5)
                << c.name;
            const page::Rect b = Draw(d, 0, {}, page::Affine::Translation(100, 100))->Bounds();
            EXPECT_TRUE(Near(b, {100, 87, 130, 100})) << c.name;
        }
    }
}
