// Plot devices: the .pc3 format, the shipped devices, the registry's names and papers, the
// printers' paper names, and opening a page on a device.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "engine/device/DeviceRegistry.h"

using namespace vx::engine;
using namespace vx::engine::device;

namespace {

const std::filesystem::path kShipped = std::filesystem::path(VORMEX_PROGRAM_DIR) / "plotters";

void Write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string ErrorOf(const std::string& text) {
    try {
        ParsePlotterConfig(text, "test.pc3");
    } catch (const DeviceError& e) {
        return e.what();
    }
    return "";
}

// A printer catalogue of our own: two printers with fixed papers.
class FakePrinters : public PrinterCatalog {
public:
    std::vector<std::string> Names() override { return {"Plotter Room", "Office"}; }
    std::vector<page::Media> Papers(const std::string& printer) override {
        std::vector<page::Media> out;
        for (const char* name : printer == "Office"         ? std::vector{"A4", "Letter"}
                                : printer == "Plotter Room" ? std::vector{"A0"}
                                                            : std::vector<const char*>{}) {
            out.push_back(*page::ParseMediaName(name));
        }
        return out;
    }
    std::optional<std::string> DefaultPaper(const std::string& printer) override {
        return printer == "Office" ? std::optional(page::ParseMediaName("Letter")->canonicalName)
                                   : std::nullopt;
    }
    page::Margins Margins(const std::string&, const page::Media&) override {
        return {4, 4.5, 4, 6};
    }
};

// A configuration as one line of text: driver, description, resolution, extension, papers
// with their margins and widths, default paper, pens.
std::string Describe(const PlotterConfig& c) {
    std::ostringstream s;
    s << DriverName(c.driver) << "|" << c.description << "|" << c.resolution << "|" << c.extension;
    for (const auto& p : c.papers) {
        s << "|" << p.canonicalName << " " << p.widthMm << " " << p.margins.left << ","
          << p.margins.bottom << "," << p.margins.right << "," << p.margins.top;
    }
    s << "|default " << c.defaultPaper;
    for (const auto& p : c.pens) {
        s << "|pen " << p.number << " " << int(p.color.r) << "," << int(p.color.g) << ","
          << int(p.color.b) << " " << p.widthMm;
    }
    return s.str();
}

const char* kMinimal = "format = vormex-plotter 1\ndriver = pdf\npaper = A4\n";

TEST(PlotterConfigFormat, ReadsEveryKey) {
    const PlotterConfig c = ParsePlotterConfig(
        "\xEF\xBB\xBF# a comment\n"
        "FORMAT = vormex-plotter 1\n"
        "\n"
        "driver = PNG\n"
        "description = An image device\n"
        "resolution = 300\n"
        "extension = .img\n"
        "margins = 1 2 3 4\n"
        "paper = ISO_A4_(210.00_x_297.00_MM)\n"
        "paper = ANSI_B_(11.00_x_17.00_Inches) margins 0 0 0 0\n"
        "default = ANSI_B_(11.00_x_17.00_Inches)\n"
        "pen = 3 #00ff80 0.35\n",
        "image.pc3");
    EXPECT_EQ(Describe(c),
              "png|An image device|300|img|ISO_A4_(210.00_x_297.00_MM) 210 1,2,3,4"
              "|ANSI_B_(11.00_x_17.00_Inches) 279.4 0,0,0,0"
              "|default ANSI_B_(11.00_x_17.00_Inches)|pen 3 0,255,128 0.35");
    const PlotterConfig minimal = ParsePlotterConfig(kMinimal, "m.pc3");
    EXPECT_EQ(minimal.extension + " " + minimal.defaultPaper, "pdf ISO_A4_(210.00_x_297.00_MM)");
    EXPECT_EQ(Describe(ParsePlotterConfig(PlotterConfigText(c), "again.pc3")), Describe(c));
}

TEST(PlotterConfigFormat, DamageIsDescribedWithItsLine) {
    const std::string base = "format = vormex-plotter 1\ndriver = pdf\n";
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {"", "empty"},
        {"driver = pdf\n", "does not begin with"},
        {"format = vormex-plotter 2\n", "does not begin with"},
        {base + "paper = A4\ndriver = dxf\n", "line 4 names the unknown driver \"dxf\""},
        {base + "paper = A4\nbanner = yes\n", "line 4 has the unknown key \"banner\""},
        {base + "paper = A4\njust words\n", "line 4 is not \"key = value\""},
        {base + "paper = Banner\n", "line 3 names the paper \"Banner\""},
        {base + "paper = A4 margins 1 2 3\n", "needs four margins"},
        {base + "paper = A4 margins 1 2 x 4\n", "has the margin \"x\""},
        {base + "paper = A4 margins 110 0 110 0\n", "leave nothing to print on"},
        {base + "paper = A4\npaper = A4\n", "a second time"},
        {base + "paper = A4\ndefault = A3\n", "default paper A3 is not in its paper list"},
        {base + "paper = A4\npen = 0 #000000 0.25\n", "is not \"pen ="},
        {base + "paper = A4\npen = 1 black 0.25\n", "is not \"pen ="},
        {base + "paper = A4\nresolution = 5\n", "has the resolution"},
        {base, "lists no paper"},
        {"format = vormex-plotter 1\npaper = A4\n", "names no driver"},
    };
    for (const auto& c : cases) {
        const std::string error = ErrorOf(c.text);
        EXPECT_NE(error.find(c.expected), std::string::npos) << "text:\n"
                                                             << c.text << "error: " << error;
        if (!error.empty()) {
            EXPECT_NE(error.find("\"test.pc3\""), std::string::npos) << error;
        }
    }
}

TEST(ShippedDevices, FileDevicesForEveryDriver) {
    const DeviceRegistry registry({kShipped}, nullptr);
    EXPECT_EQ(registry.DeviceNames(),
              (std::vector<std::string>{"None", "HP-GL2.pc3", "PDF.pc3", "PNG.pc3", "SVG.pc3"}));
    EXPECT_TRUE(registry.Problems().empty());
    std::string configs;
    for (const char* name : {"PDF.pc3", "SVG.pc3", "PNG.pc3", "HP-GL2.pc3"}) {
        const PlotterConfig c = registry.Find(name)->config;
        configs += std::string(name) + " " + DriverName(c.driver) + " " + c.extension + " " +
                   std::to_string(c.resolution) + " " + std::to_string(c.pens.size()) + "; ";
    }
    EXPECT_EQ(configs,
              "PDF.pc3 pdf pdf 200 0; SVG.pc3 svg svg 200 0; PNG.pc3 png png 200 0; "
              "HP-GL2.pc3 hpgl plt 200 8; ");
    EXPECT_EQ(registry.Paper("HP-GL2.pc3", "ISO_A3_(297.00_x_420.00_MM)").margins,
              (page::Margins{5, 5, 5, 5}));
    EXPECT_EQ(registry.Paper("PDF.pc3", "ISO_A3_(297.00_x_420.00_MM)").margins,
              (page::Margins{5, 5, 5, 5}));
}

// The plot runs choose the first paper that equals the choice ignoring case or contains it;
// the four fixed choices must pick the portrait ISO papers on every shipped device.
TEST(ShippedDevices, TheFixedPaperChoicesFindTheIsoPapers) {
    const DeviceRegistry registry({kShipped}, nullptr);
    for (const std::string device : {"PDF.pc3", "SVG.pc3", "PNG.pc3", "HP-GL2.pc3"}) {
        const auto names = registry.CanonicalMediaNames(device);
        for (const std::string choice : {"A0", "A1", "A3", "A4"}) {
            const auto it = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
                return n.find(choice) != std::string::npos;
            });
            ASSERT_NE(it, names.end()) << device << " " << choice;
            EXPECT_EQ(it->rfind("ISO_" + choice + "_(", 0), 0u) << device << ": " << *it;
            EXPECT_FALSE(registry.Paper(device, *it).IsLandscape());
        }
        EXPECT_EQ(registry.DefaultMediaName(device), "ISO_A4_(210.00_x_297.00_MM)");
    }
}

struct RegistryTest : ::testing::Test {
    QTemporaryDir dir;
    std::filesystem::path program = dir.filePath("program").toStdString();
    std::filesystem::path user = dir.filePath("user").toStdString();
    void SetUp() override {
        Write(program / "PDF.pc3", std::string(kMinimal) + "description = program's\n");
        Write(program / "Zeta.pc3", kMinimal);
        Write(user / "pdf.PC3", std::string(kMinimal) + "description = user's\n");
        Write(user / "Alpha.pc3",
              "format = vormex-plotter 1\ndriver = hpgl\nmargins = 2 2 2 2\npaper = A3\n"
              "paper = A2\n");
        Write(user / "broken.pc3", "format = vormex-plotter 1\ndriver = laser\n");
        Write(user / "notes.txt", kMinimal);
        Write(program / "Zeta.pc3.bak", kMinimal);
    }
    DeviceRegistry Registry() {
        return DeviceRegistry({program, user}, std::make_shared<FakePrinters>());
    }
};

TEST_F(RegistryTest, NoneThenPrintersThenPlotterFiles) {
    const DeviceRegistry registry = Registry();
    EXPECT_EQ(registry.DeviceNames(),
              (std::vector<std::string>{"None", "Office", "Plotter Room", "Alpha.pc3", "pdf.PC3",
                                        "Zeta.pc3"}));
    // The user's file replaces the program's of the same name.
    EXPECT_EQ(registry.Find("PDF.pc3")->config.description, "user's");
    EXPECT_EQ(registry.Find("pdf.pc3")->name, "pdf.PC3");
    ASSERT_EQ(registry.Problems().size(), 1u);
    EXPECT_NE(registry.Problems()[0].find("\"broken.pc3\""), std::string::npos);
    EXPECT_NE(registry.Problems()[0].find("laser"), std::string::npos);
    EXPECT_FALSE(registry.Find("broken.pc3"));
    EXPECT_FALSE(registry.Find("office"));  // printers match exactly
    EXPECT_EQ(registry.Find("Office")->kind, DeviceKind::Printer);
    EXPECT_EQ(registry.Find("None")->kind, DeviceKind::None);
}

TEST_F(RegistryTest, RefreshSeesNewFilesAndADamagedUserFileKeepsTheProgramsOne) {
    DeviceRegistry registry = Registry();
    Write(user / "Zeta.pc3", "format = vormex-plotter 1\n");  // damaged
    Write(user / "New.pc3", kMinimal);
    registry.Refresh();
    EXPECT_TRUE(registry.Find("New.pc3"));
    EXPECT_EQ(registry.Find("Zeta.pc3")->file, program / "Zeta.pc3");
    EXPECT_EQ(registry.Problems().size(), 2u);
}

TEST_F(RegistryTest, PapersOfEveryKindOfDevice) {
    const DeviceRegistry registry = Registry();
    EXPECT_EQ(
        registry.CanonicalMediaNames("Alpha.pc3"),
        (std::vector<std::string>{"ISO_A3_(297.00_x_420.00_MM)", "ISO_A2_(420.00_x_594.00_MM)"}));
    EXPECT_EQ(
        registry.CanonicalMediaNames("Office"),
        (std::vector<std::string>{"ISO_A4_(210.00_x_297.00_MM)", "Letter_(8.50_x_11.00_Inches)"}));
    EXPECT_EQ(registry.CanonicalMediaNames("None").size(), page::StandardMedia().size());
    EXPECT_THROW(registry.CanonicalMediaNames("Nowhere.pc3"), DeviceError);
    EXPECT_THROW(registry.CanonicalMediaNames("Nowhere"), DeviceError);

    EXPECT_EQ(registry.DefaultMediaName("Office"), "Letter_(8.50_x_11.00_Inches)");
    EXPECT_EQ(registry.DefaultMediaName("Plotter Room"), "ISO_A0_(841.00_x_1189.00_MM)");
    EXPECT_EQ(registry.DefaultMediaName("Alpha.pc3"), "ISO_A3_(297.00_x_420.00_MM)");

    // A listed paper with the device's margins; a printer's margins from the printer.
    EXPECT_EQ(registry.Paper("Alpha.pc3", "ISO_A2_(420.00_x_594.00_MM)").margins,
              (page::Margins{2, 2, 2, 2}));
    EXPECT_EQ(registry.Paper("Office", "ISO_A4_(210.00_x_297.00_MM)").margins,
              (page::Margins{4, 4.5, 4, 6}));
    // A paper the device does not list but that names its size (a drawing's stored paper)
    // takes the margins of a listed paper of that size.
    const page::Media stored = registry.Paper("Alpha.pc3", "A3");
    EXPECT_DOUBLE_EQ(stored.widthMm, 297);
    EXPECT_EQ(stored.margins, (page::Margins{2, 2, 2, 2}));
    EXPECT_THROW(registry.Paper("Alpha.pc3", "Banner"), DeviceError);
    EXPECT_EQ(LocaleMediaName("ISO_A2_(420.00_x_594.00_MM)"), "ISO A2 (420.00 x 594.00 MM)");
}

TEST(PrinterPaperNames, StandardPapersGetTheirCanonicalNames) {
    const struct {
        const char *id, *display;
        double w, h;
        bool inches;
        const char* expected;
    } cases[] = {
        {"A4", "A4", 210, 297, false, "ISO_A4_(210.00_x_297.00_MM)"},
        {"A4", "A4", 209.903, 297.039, false, "ISO_A4_(210.00_x_297.00_MM)"},  // whole points
        {"Letter", "US Letter", 215.9, 279.4, true, "Letter_(8.50_x_11.00_Inches)"},
        {"Tabloid", "Tabloid", 279.4, 431.8, true, "ANSI_B_(11.00_x_17.00_Inches)"},
        {"w612h1008", "8.5 x 14", 215.9, 355.6, true, "Legal_(8.50_x_14.00_Inches)"},
        {"Custom.200x300mm", "Custom (200 x 300 mm)", 200, 300, false,
         "Custom_(200.00_x_300.00_MM)"},
        {"Env10", "Envelope #10", 104.775, 241.3, true, "Envelope_10_("},
    };
    for (const auto& c : cases) {
        const std::string name = PrinterMedia(c.id, c.display, c.w, c.h, c.inches).canonicalName;
        EXPECT_EQ(name.rfind(c.expected, 0), 0u) << c.display << ": " << name;
        EXPECT_NEAR(page::ParseMediaName(name)->widthMm, c.w, 0.15)
            << name;  // two decimals of the unit
    }
}

TEST(SystemPrinterList, EveryPrinterHasCanonicalPapers) {
    // Without a print server the list is empty; with one, each printer's papers read back.
    const auto printers = SystemPrinters();
    for (const std::string& name : printers->Names()) {
        const auto papers = printers->Papers(name);
        EXPECT_FALSE(papers.empty()) << name;
        for (const page::Media& m : papers) {
            const auto parsed = page::ParseMediaName(m.canonicalName);
            ASSERT_TRUE(parsed) << m.canonicalName;
            // Names carry two decimals of their unit: half the last digit may be lost.
            const double tolerance = 0.005 * page::MmPerUnit(m.units) + 1e-9;
            EXPECT_NEAR(parsed->widthMm, m.widthMm, tolerance) << m.canonicalName;
            EXPECT_NEAR(parsed->heightMm, m.heightMm, tolerance) << m.canonicalName;
        }
    }
}

struct OpeningPages : ::testing::Test {
    QTemporaryDir dir;
    DeviceRegistry registry{{kShipped}, nullptr};
    std::filesystem::path File(const char* name) { return dir.filePath(name).toStdString(); }
};

TEST_F(OpeningPages, NoneAndMissingFileNamesAreRefused) {
    const page::Media a4 = *page::ParseMediaName("A4");
    EXPECT_THROW(OpenDevicePage(*registry.Find("None"), a4, File("x.pdf"), 1, "t"), DeviceError);
    EXPECT_THROW(OpenDevicePage(*registry.Find("PDF.pc3"), a4, {}, 1, "t"), DeviceError);
}

TEST_F(OpeningPages, EachShippedDeviceWritesItsKindOfFile) {
    const struct {
        const char* device;
        const char* magic;
    } cases[] = {{"PDF.pc3", "%PDF-"},
                 {"SVG.pc3", "<?xml"},
                 {"PNG.pc3", "\x89PNG"},
                 {"HP-GL2.pc3", "BP;IN;PS11880,8400;RO90;WU0;NP256;PC1,255,0,0;PW0.25,1;"}};
    for (const auto& c : cases) {
        const Device device = *registry.Find(c.device);
        const page::Media paper = registry.Paper(c.device, "ISO_A4_(210.00_x_297.00_MM)");
        const auto file = File(c.device);
        auto sink = OpenDevicePage(device, paper, file, 1, "title");
        output::Polyline line;
        line.points = QPolygonF({{20, 20}, {100, 100}});
        sink->Draw(line);
        sink->Finish({true});
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(bytes.rfind(c.magic, 0), 0u) << c.device << ": " << bytes.substr(0, 60);
    }
}

}  // namespace
