// vormex-cli info: the drawing summary as exact text, the JSON keys, and failures.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTextStream>

#include "cli/Commands.h"
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
        .Groups("0 LINE|8 0|10 0,0|11 50,40")
        .EndSection()
        .Eof();
    test::WriteBytes(dir / "xref" / "base.dxf", base.Ascii());

    TestDxf t;
    t.Section("HEADER")
        .Groups(
            "9 $ACADVER|1 AC1018|9 $DWGCODEPAGE|3 ANSI_1252|9 $INSUNITS|70 4|9 $EXTMIN|"
            "10 0,0|9 $EXTMAX|10 10,10")
        .EndSection()
        .Section("TABLES")
        .Groups(
            "0 TABLE|2 LAYER|0 LAYER|2 0|70 0|62 7|0 LAYER|2 Walls|70 0|62 1|0 ENDTAB|"
            "0 TABLE|2 BLOCK_RECORD|0 BLOCK_RECORD|5 1F|2 *Model_Space|0 BLOCK_RECORD|5 1B|"
            "2 *Paper_Space|0 BLOCK_RECORD|5 30|2 BASE|0 BLOCK_RECORD|5 31|2 GONE|0 ENDTAB")
        .EndSection()
        .Section("BLOCKS")
        .Groups(
            "0 BLOCK|330 30|2 BASE|70 4|10 0,0|1 xref\\base.dxf|0 ENDBLK|0 BLOCK|330 31|"
            "2 GONE|70 12|10 0,0|1 C:\\old\\gone.dwg|0 ENDBLK")
        .EndSection()
        .Section("ENTITIES")
        .Groups(
            "0 LINE|330 1F|8 Walls|10 -10,0|11 10,0|0 CIRCLE|330 1F|8 0|10 0,0|40 5.0|"
            "0 INSERT|330 1F|8 0|2 BASE|10 100,100|0 CIRCLE|330 1F|8 0|10 0,0|40 big|"
            "0 REGION|330 1F|8 0|0 VIEWPORT|330 1B|8 0|67 1|10 100,80|40 200.0|41 150.0|68 1|"
            "69 1")
        .EndSection()
        .Section("OBJECTS")
        .Groups(
            "0 DICTIONARY|5 C|3 ACAD_LAYOUT|350 1A|0 DICTIONARY|5 1A|3 Model|350 22|"
            "3 Sheet A|350 1E|0 LAYOUT|5 1E|100 AcDbPlotSettings|1 |2 DWG To PDF.pc3|"
            "4 ISO_A3_(420.00_x_297.00_MM)|7 acad.ctb|40 7.5|41 20.0|42 7.5|43 20.0|"
            "44 420.0|45 297.0|70 20|72 1|73 1|74 1|75 0|100 AcDbLayout|1 Sheet A|70 1|71 1|"
            "330 1B|0 LAYOUT|5 22|100 AcDbPlotSettings|1 |2 None|4 |70 1024|74 0|75 16|"
            "100 AcDbLayout|1 Model|71 0|330 1F")
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
        "  REGION             1  (not drawn)\n"
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
    EXPECT_EQ(o["entities"].toObject()["REGION"].toInt(), 1);
    const auto xrefs = o["xrefs"].toArray();
    EXPECT_EQ(xrefs[0].toObject()["path"].toString(), "xref\\base.dxf");
}

TEST(InfoCommand, FailuresGiveTheDescriptionAndNonZeroStatus) {
    test::TempDir dir;
    test::WriteBytes(dir.Path() / "broken.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n1O\n0\n");
    Outcome bad = Info({QString::fromStdString((dir.Path() / "broken.dxf").string()), "--json"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.out.isEmpty());
    EXPECT_TRUE(bad.err.contains("line 7: expected a group code, found '1O'"))
        << bad.err.toStdString();
    EXPECT_EQ(Info({}).status, 2);
    EXPECT_EQ(Info({"a.dxf", "--xml"}).status, 2);
}

}  // namespace
}  // namespace vx::cli
