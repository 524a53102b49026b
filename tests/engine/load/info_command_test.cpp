// vormex-cli info: the drawing summary as exact text, the JSON keys, and failures.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTextStream>

#include "Commands.h"
#include "dxf/TestDxf.h"

namespace vx::cli {
namespace {

using test::TestDxf;

struct Outcome {
    int status;
    QString out, err;
};

Outcome Info(const QStringList& args) {
    const Command* info = nullptr;
    for (const auto& c : AllCommands()) {
        if (QString(c.name) == "info") {
            info = &c;
        }
    }
    EXPECT_NE(info, nullptr);
    Outcome r;
    QTextStream out(&r.out), err(&r.err);
    CommandIo io{out, err, false};
    r.status = info->run(args, io);
    out.flush();
    err.flush();
    return r;
}

// A host drawing: a line and a circle in model space, one paper-space layout with a
// viewport, a loaded and a missing reference, and one broken entity.
void WriteDrawings(const std::filesystem::path& dir) {
    TestDxf base;
    base.Header("AC1015")
        .Section("ENTITIES")
        .G(0, "LINE")
        .G(8, "0")
        .Point(10, 0, 0)
        .Point(11, 50, 40)
        .EndSection()
        .Eof();
    test::WriteBytes(dir / "xref" / "base.dxf", base.Ascii());

    TestDxf t;
    t.Section("HEADER")
        .G(9, "$ACADVER")
        .G(1, "AC1018")
        .G(9, "$DWGCODEPAGE")
        .G(3, "ANSI_1252")
        .G(9, "$INSUNITS")
        .G(70, 4)
        .G(9, "$EXTMIN")
        .Point(10, 0, 0)
        .G(9, "$EXTMAX")
        .Point(10, 10, 10)
        .EndSection()
        .Section("TABLES")
        .G(0, "TABLE")
        .G(2, "LAYER")
        .G(0, "LAYER")
        .G(2, "0")
        .G(70, 0)
        .G(62, 7)
        .G(0, "LAYER")
        .G(2, "Walls")
        .G(70, 0)
        .G(62, 1)
        .G(0, "ENDTAB")
        .G(0, "TABLE")
        .G(2, "BLOCK_RECORD")
        .G(0, "BLOCK_RECORD")
        .G(5, "1F")
        .G(2, "*Model_Space")
        .G(0, "BLOCK_RECORD")
        .G(5, "1B")
        .G(2, "*Paper_Space")
        .G(0, "BLOCK_RECORD")
        .G(5, "30")
        .G(2, "BASE")
        .G(0, "BLOCK_RECORD")
        .G(5, "31")
        .G(2, "GONE")
        .G(0, "ENDTAB")
        .EndSection()
        .Section("BLOCKS")
        .G(0, "BLOCK")
        .G(330, "30")
        .G(2, "BASE")
        .G(70, 4)
        .Point(10, 0, 0)
        .G(1, "xref\\base.dxf")
        .G(0, "ENDBLK")
        .G(0, "BLOCK")
        .G(330, "31")
        .G(2, "GONE")
        .G(70, 12)
        .Point(10, 0, 0)
        .G(1, "C:\\old\\gone.dwg")
        .G(0, "ENDBLK")
        .EndSection()
        .Section("ENTITIES")
        .G(0, "LINE")
        .G(330, "1F")
        .G(8, "Walls")
        .Point(10, -10, 0)
        .Point(11, 10, 0)
        .G(0, "CIRCLE")
        .G(330, "1F")
        .G(8, "0")
        .Point(10, 0, 0)
        .G(40, 5.0)
        .G(0, "INSERT")
        .G(330, "1F")
        .G(8, "0")
        .G(2, "BASE")
        .Point(10, 100, 100)
        .G(0, "CIRCLE")
        .G(330, "1F")
        .G(8, "0")
        .Point(10, 0, 0)
        .G(40, "big")
        .G(0, "TOLERANCE")
        .G(330, "1F")
        .G(8, "0")
        .G(0, "VIEWPORT")
        .G(330, "1B")
        .G(8, "0")
        .G(67, 1)
        .Point(10, 100, 80)
        .G(40, 200.0)
        .G(41, 150.0)
        .G(68, 1)
        .G(69, 1)
        .EndSection()
        .Section("OBJECTS")
        .G(0, "DICTIONARY")
        .G(5, "C")
        .G(3, "ACAD_LAYOUT")
        .G(350, "1A")
        .G(0, "DICTIONARY")
        .G(5, "1A")
        .G(3, "Model")
        .G(350, "22")
        .G(3, "Sheet A")
        .G(350, "1E")
        .G(0, "LAYOUT")
        .G(5, "1E")
        .G(100, "AcDbPlotSettings")
        .G(1, "")
        .G(2, "DWG To PDF.pc3")
        .G(4, "ISO_A3_(420.00_x_297.00_MM)")
        .G(7, "acad.ctb")
        .G(40, 7.5)
        .G(41, 20.0)
        .G(42, 7.5)
        .G(43, 20.0)
        .G(44, 420.0)
        .G(45, 297.0)
        .G(70, 4 | 16)
        .G(72, 1)
        .G(73, 1)
        .G(74, 1)
        .G(75, 0)
        .G(100, "AcDbLayout")
        .G(1, "Sheet A")
        .G(70, 1)
        .G(71, 1)
        .G(330, "1B")
        .G(0, "LAYOUT")
        .G(5, "22")
        .G(100, "AcDbPlotSettings")
        .G(1, "")
        .G(2, "None")
        .G(4, "")
        .G(70, 1024)
        .G(74, 0)
        .G(75, 16)
        .G(100, "AcDbLayout")
        .G(1, "Model")
        .G(71, 0)
        .G(330, "1F")
        .EndSection()
        .Eof();
    test::WriteBytes(dir / "host.dxf", t.Ascii());
}

TEST(InfoCommand, SummaryText) {
    test::TempDir dir;
    WriteDrawings(dir.Path());
    auto host = QString::fromStdString((dir.Path() / "host.dxf").string());
    Outcome r = Info({host});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QString expected =
        "Drawing:    " + host +
        "\n"
        "Version:    AC1018 (R2004), code page ANSI_1252\n"
        "Units:      millimeters\n"
        "Extents:    (-10, -5) to (150, 140)  (stored: (0, 0) to (10, 10))\n"
        "Layers:     2\n"
        "Entities:   5 in model space and paper-space layouts\n"
        "  CIRCLE             1\n"
        "  INSERT             1\n"
        "  LINE               1\n"
        "  TOLERANCE          1  (not drawn)\n"
        "  VIEWPORT           1\n"
        "Layouts:    2\n"
        "  Model: 4 entities\n"
        "    device \"None\", paper - (0 x 0 mm), style table -, area display, scale 1:1, "
        "rotation 0, not centred, margins 0/0/0/0\n"
        "  Sheet A: 1 entities, 1 viewports\n"
        "    device \"DWG To PDF.pc3\", paper \"ISO_A3_(420.00_x_297.00_MM)\" (420 x 297 mm), "
        "style "
        "table \"acad.ctb\", area extents, scale fit, rotation 90, centred, margins 7.5/20/7.5/20\n"
        "External references: 2\n"
        "  BASE: \"xref\\base.dxf\" loaded\n"
        "  GONE (overlay): \"C:\\old\\gone.dwg\" not found: no drawing at /old/gone.dwg\n"
        "Warnings:   1\n"
        "  line 197, group code 40: 'big' is not a number; CIRCLE skipped\n";
    EXPECT_EQ(r.out.toStdString(), expected.toStdString());
}

TEST(InfoCommand, JsonHasTheAgreedKeys) {
    test::TempDir dir;
    WriteDrawings(dir.Path());
    Outcome r = Info({QString::fromStdString((dir.Path() / "host.dxf").string()), "--json"});
    ASSERT_EQ(r.status, 0);
    QJsonParseError e;
    auto doc = QJsonDocument::fromJson(r.out.toUtf8(), &e);
    ASSERT_EQ(e.error, QJsonParseError::NoError) << r.out.toStdString();
    auto o = doc.object();
    for (const char* key :
         {"version", "units", "extents", "layers", "entities", "layouts", "xrefs", "warnings"}) {
        EXPECT_TRUE(o.contains(key)) << key;
    }
    EXPECT_EQ(o["version"].toString(), "AC1018");
    EXPECT_EQ(o["units"].toString(), "millimeters");
    EXPECT_EQ(o["layers"].toInt(), 2);
    EXPECT_EQ(o["entities"].toObject()["TOLERANCE"].toInt(), 1);
    EXPECT_EQ(o["extents"].toObject()["max"].toArray()[1].toDouble(), 140.0);
    auto layouts = o["layouts"].toArray();
    ASSERT_EQ(layouts.size(), 2);
    EXPECT_EQ(layouts[1].toObject()["name"].toString(), "Sheet A");
    auto plot = layouts[1].toObject()["plot"].toObject();
    EXPECT_EQ(plot["device"].toString(), "DWG To PDF.pc3");
    EXPECT_EQ(plot["rotation"].toInt(), 90);
    EXPECT_TRUE(plot["centered"].toBool());
    EXPECT_TRUE(plot["scale_to_fit"].toBool());
    auto xrefs = o["xrefs"].toArray();
    ASSERT_EQ(xrefs.size(), 2);
    EXPECT_EQ(xrefs[0].toObject()["name"].toString(), "BASE");
    EXPECT_EQ(xrefs[0].toObject()["path"].toString(), "xref\\base.dxf");
    EXPECT_TRUE(xrefs[0].toObject()["loaded"].toBool());
    EXPECT_FALSE(xrefs[1].toObject()["loaded"].toBool());
    EXPECT_EQ(o["warnings"].toArray().size(), 1);
}

TEST(InfoCommand, FailuresGiveTheDescriptionAndNonZeroStatus) {
    test::TempDir dir;
    test::WriteBytes(dir.Path() / "broken.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n1O\n0\n");
    Outcome bad = Info({QString::fromStdString((dir.Path() / "broken.dxf").string()), "--json"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.out.isEmpty());
    EXPECT_TRUE(bad.err.contains("line 7: expected a group code, found '1O'"))
        << bad.err.toStdString();
    Outcome missing = Info({QString::fromStdString((dir.Path() / "none.dxf").string())});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("no such file"));
    EXPECT_EQ(Info({}).status, 2);
    EXPECT_EQ(Info({"a.dxf", "--xml"}).status, 2);
}

}  // namespace
}  // namespace vx::cli
