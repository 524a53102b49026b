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
        {base + "paper = A4\ndriver = dxf\n", "line 4 names the unknown driver \"dxf\""},
        {base + "paper = A4\njust words\n", "line 4 is not \"key = value\""},
        {base + "paper = Banner\n", "line 3 names the paper \"Banner\""},
        {base + "paper = A4 margins 110 0 110 0\n", "leave nothing to print on"},
        {base + "paper = A4\ndefault = A3\n", "default paper A3 is not in its paper list"},
        {base + "paper = A4\npen = 1 black 0.25\n", "is not \"pen ="},
        {base, "lists no paper"},
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

TEST_F(RegistryTest, NoneThenPrintersThenPlotterFilesAndRefreshed) {
    DeviceRegistry registry = Registry();
    EXPECT_EQ(registry.DeviceNames(),
              (std::vector<std::string>{"None", "Office", "Plotter Room", "Alpha.pc3", "pdf.PC3",
                                        "Zeta.pc3"}));
    // The user's file replaces the program's of the same name.
    EXPECT_EQ(registry.Find("PDF.pc3")->config.description, "user's");
    EXPECT_EQ(registry.Find("pdf.pc3")->name, "pdf.PC3");
    EXPECT_NE(registry.Problems().at(0).find("\"broken.pc3\""), std::string::npos);
    EXPECT_FALSE(registry.Find("office"));  // printers match exactly

    // Refreshed: new files appear, and a damaged user file leaves the program's one in use.
    Write(user / "Zeta.pc3", "format = vormex-plotter 1\n");
    Write(user / "New.pc3", kMinimal);
    registry.Refresh();
    EXPECT_TRUE(registry.Find("New.pc3"));
    EXPECT_EQ(registry.Find("Zeta.pc3")->file, program / "Zeta.pc3");
    EXPECT_EQ(registry.Problems().size(), 2u);
}

TEST_F(RegistryTest, PapersOfEveryKindOfDevice) {
    const DeviceRegistry registry = Registry();
    EXPECT_EQ(
        registry.CanonicalMediaNames("Office"),
        (std::vector<std::string>{"ISO_A4_(210.00_x_297.00_MM)", "Letter_(8.50_x_11.00_Inches)"}));

    EXPECT_EQ(registry.DefaultMediaName("Office"), "Letter_(8.50_x_11.00_Inches)");
    EXPECT_EQ(registry.Paper("Office", "ISO_A4_(210.00_x_297.00_MM)").margins,
              (page::Margins{4, 4.5, 4, 6}));
    // A paper the device does not list but that names its size (a drawing's stored paper)
    // takes the margins of a listed paper of that size.
    EXPECT_EQ(registry.Paper("Alpha.pc3", "A3").margins, (page::Margins{2, 2, 2, 2}));
    EXPECT_THROW(registry.Paper("Alpha.pc3", "Banner"), DeviceError);
}

TEST(PrinterPaperNames, StandardPapersGetTheirCanonicalNames) {
    const struct {
        const char *id, *display;
        double w, h;
        bool inches;
        const char* expected;
    } cases[] = {
        {"A4", "A4", 209.903, 297.039, false, "ISO_A4_(210.00_x_297.00_MM)"},  // whole points
        {"Letter", "US Letter", 215.9, 279.4, true, "Letter_(8.50_x_11.00_Inches)"},
        {"Custom.200x300mm", "Custom (200 x 300 mm)", 200, 300, false,
         "Custom_(200.00_x_300.00_MM)"},
    };
    for (const auto& c : cases) {
        const std::string name = PrinterMedia(c.id, c.display, c.w, c.h, c.inches).canonicalName;
        EXPECT_EQ(name.rfind(c.expected, 0), 0u) << c.display << ": " << name;
        EXPECT_NEAR(page::ParseMediaName(name)->widthMm, c.w, 0.15)
            << name;  // two decimals of the unit
    }
}

TEST(OpeningPages, EachShippedDeviceWritesItsKindOfFileAndNoneWritesNothing) {
    QTemporaryDir dir;
    const DeviceRegistry registry{{kShipped}, nullptr};
    const page::Media a4 = *page::ParseMediaName("A4");
    EXPECT_THROW(
        OpenDevicePage(*registry.Find("None"), a4, dir.filePath("x").toStdString(), 1, "t"),
        DeviceError);
    for (const auto& [device, magic] :
         {std::pair("PDF.pc3", "%PDF-"),
          {"SVG.pc3", "<?xml"},
          {"PNG.pc3", "\x89PNG"},
          {"HP-GL2.pc3", "BP;IN;PS11880,8400;RO90;WU0;NP256;PC1,255,0,0;PW0.25,1;"}}) {
        const std::string file = dir.filePath(device).toStdString();
        auto sink =
            OpenDevicePage(*registry.Find(device),
                           registry.Paper(device, "ISO_A4_(210.00_x_297.00_MM)"), file, 1, "t");
        output::Polyline line;
        line.points = {{20, 20}, {100, 100}};
        sink->Draw(line);
        sink->Finish({true});
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(bytes.rfind(magic, 0), 0u) << device << ": " << bytes.substr(0, 60);
    }
}

}  // namespace
