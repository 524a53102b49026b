// The tables Vormex ships (written at build time into the program folder) and the plot
// styles folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "dxf/TestDxf.h"
#include "engine/plotstyle/Aci.h"
#include "engine/plotstyle/PlotStyleCatalog.h"
#include "engine/plotstyle/PlotStyleFile.h"

using namespace vx::engine::plotstyle;
using vx::test::TempDir;

namespace {

const std::filesystem::path kShipped = std::filesystem::path(VORMEX_PROGRAM_DIR) / "plotstyles";

ObjectProperties Object(int aci, double lineweight = 0.35) {
    ObjectProperties o;
    o.aci = aci;
    o.lineweight = lineweight;
    return o;
}

TEST(ShippedTables, MonochromePlotsEveryColourBlack) {
    const PlotStyleTable t = ReadPlotStyleFile(kShipped / "monochrome.ctb");
    EXPECT_EQ(t.kind, TableKind::ColorDependent);
    for (int aci = 1; aci <= 255; ++aci) {
        const Pen pen = t.PenFor(Object(aci));
        EXPECT_EQ(pen.color, kBlack) << aci;
        EXPECT_DOUBLE_EQ(pen.lineweight, 0.35) << aci;
        EXPECT_EQ(pen.number, aci);
    }
    ObjectProperties trueColour = Object(NearestAci({10, 200, 30}));
    trueColour.trueColor = Rgb{10, 200, 30};
    EXPECT_EQ(t.PenFor(trueColour).color, kBlack);
}

TEST(ShippedTables, GrayscalePlotsEachColourAsItsGrey) {
    const PlotStyleTable t = ReadPlotStyleFile(kShipped / "grayscale.ctb");
    EXPECT_EQ(t.PenFor(Object(1)).color, (Rgb{76, 76, 76}));  // red
    EXPECT_EQ(t.PenFor(Object(7)).color, kBlack);             // white on screen
    ObjectProperties trueColour = Object(1);
    trueColour.trueColor = Rgb{0, 255, 0};  // 0.587 * 255 = 149.7
    EXPECT_EQ(t.PenFor(trueColour).color, (Rgb{150, 150, 150}));
}

TEST(ShippedTables, NamedMonochromeHasBlackStylesWithFixedLineweights) {
    const PlotStyleTable t = ReadPlotStyleFile(kShipped / "monochrome.stb");
    EXPECT_EQ(t.kind, TableKind::Named);
    ASSERT_GE(t.styles.size(), 4u);
    EXPECT_EQ(t.styles.front().name, "Normal");
    ObjectProperties o = Object(1, 0.25);
    for (const PlotStyle& s : t.styles) {
        o.plotStyleName = s.name;
        EXPECT_EQ(t.PenFor(o).color, kBlack) << s.name;
    }
    o.plotStyleName = "Thick";
    EXPECT_DOUBLE_EQ(t.PenFor(o).lineweight, 0.70);
}

// An independent reader of the format (Debian's python3-ezdxf) reads the shipped tables.
TEST(ShippedTables, AnIndependentReaderReadsThem) {
    if (std::system("/usr/bin/python3 -c 'import ezdxf.addons.acadctb' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-ezdxf is not installed";
    }
    const std::string script =
        "from ezdxf.addons import acadctb\n"
        "import sys\n"
        "d = sys.argv[1]\n"
        "m = acadctb.load(d + '/monochrome.ctb')\n"
        "assert all(m[i].color == (0, 0, 0) for i in range(1, 256)), 'mono'\n"
        "g = acadctb.load(d + '/grayscale.ctb')\n"
        "assert all(g[i].grayscale and g[i].has_object_color() for i in range(1, 256)), 'gray'\n"
        "s = acadctb.load(d + '/monochrome.stb')\n"
        "assert list(s.keys())[0] == 'Normal', 'normal'\n"
        "assert abs(s.lineweights[s['Thick'].lineweight] - 0.7) < 1e-6, 'thick'\n"
        "print('ok')\n";
    TempDir dir;
    vx::test::WriteBytes(dir.Path() / "check.py", script);
    const std::string command = "/usr/bin/python3 " + (dir.Path() / "check.py").string() + " '" +
                                kShipped.string() + "' > " + (dir.Path() / "out.txt").string() +
                                " 2>&1";
    const int rc = std::system(command.c_str());
    EXPECT_EQ(rc, 0) << vx::test::ReadBytes(dir.Path() / "out.txt");
    EXPECT_EQ(vx::test::ReadBytes(dir.Path() / "out.txt"), "ok\n");
}

TEST(Catalogue, NamesFromBothFoldersSortedWithTheUsersWinning) {
    TempDir dir;
    const auto program = dir.Path() / "program";
    const auto user = dir.Path() / "user";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(user);
    WritePlotStyleFile(program / "monochrome.ctb", NewColorDependentTable("program's"));
    WritePlotStyleFile(program / "Zebra.ctb", NewColorDependentTable("z"));
    WritePlotStyleFile(user / "MONOCHROME.CTB", NewColorDependentTable("user's"));
    WritePlotStyleFile(user / "office.stb", NewNamedTable("a"));
    vx::test::WriteBytes(user / "readme.txt", "not a table");
    vx::test::WriteBytes(user / ".ctb", "no name");
    std::filesystem::create_directories(user / "folder.ctb");

    const PlotStyleCatalog catalogue({program, user, dir.Path() / "absent"});
    EXPECT_EQ(catalogue.Names(),
              (std::vector<std::string>{"MONOCHROME.CTB", "office.stb", "Zebra.ctb"}));
    EXPECT_EQ(catalogue.Load("monochrome.ctb").description, "user's");
    EXPECT_EQ(catalogue.Load("zebra.CTB").description, "z");
    EXPECT_FALSE(catalogue.Find("readme.txt"));

    vx::test::WriteBytes(user / "broken.ctb", "PIAFILEVERSION_2.0,CTBVER1,compress\r\npmzlibcodec");
    try {
        catalogue.Load("broken.ctb");
        FAIL();
    } catch (const PlotStyleError& e) {
        EXPECT_NE(std::string(e.what()).find("\"broken.ctb\" is damaged"), std::string::npos)
            << e.what();
    }
}

TEST(Catalogue, APlotGoesOnWithoutATableItCannotUse) {
    TempDir dir;
    vx::test::WriteBytes(dir.Path() / "broken.ctb", "not a table at all");
    const PlotStyleCatalog catalogue({dir.Path(), kShipped});
    std::string problem = "stale";
    EXPECT_TRUE(catalogue.LoadForPlot("monochrome.ctb", problem));
    EXPECT_EQ(problem, "");
    EXPECT_FALSE(catalogue.LoadForPlot("None", problem));
    EXPECT_EQ(problem, "");
    EXPECT_FALSE(catalogue.LoadForPlot("broken.ctb", problem));
    EXPECT_NE(problem.find("\"broken.ctb\""), std::string::npos) << problem;
    EXPECT_NE(problem.find("goes on without"), std::string::npos) << problem;
    EXPECT_FALSE(catalogue.LoadForPlot("absent.stb", problem));
    EXPECT_NE(problem.find("absent.stb"), std::string::npos) << problem;
}

}  // namespace
