// What the plot service tells a front end of each drawing: the events that vormex-cli
// builds its report from, whatever the back end.
#include "PlotFixture.h"

using namespace vx;
using ::testing::ElementsAreArray;

namespace {

struct EventLog : plot::PlotEvents {
    bool StopRequested() override { return false; }
    void DrawingOpened(const std::string& path, const cad::Strings& warnings) override {
        std::string text = "opened " + Name(path);
        for (const auto& w : warnings) {
            text += " [" + w + "]";
        }
        log.push_back(text);
    }
    void DrawingNotOpened(const std::string& path, const std::string& reason) override {
        log.push_back("not opened " + Name(path) + ": " + reason);
    }
    void LayoutPlotted(const std::string&, const cad::PlotOutcome& o) override {
        log.push_back("plot " + o.layout + " on " + o.device + " -> " + Name(o.outputFile) +
                      (o.ok ? "" : " failed: " + o.error));
    }
    void DrawingFailed(const std::string& path, const std::string& description) override {
        log.push_back("failed " + Name(path) + ": " + description);
    }
    static std::string Name(const std::string& path) { return path.substr(path.rfind('/') + 1); }
    std::vector<std::string> log;
};

struct PlotEventsTest : vx::testing::PlotFixture {
    vx::testing::TempTree tree;
};

TEST_F(PlotEventsTest, EachDrawingsOutcomeIsTold) {
    const struct {
        const char* what;
        std::function<void(fake::FakeCad&, const std::string& path)> script;
        bool layouts;
        std::vector<std::string> log;
    } cases[] = {
        {"a plot file", [](auto&, auto&) {}, false,
         {"opened a.dwg", "plot Model on DWG To PDF.pc3 -> a.plt"}},
        {"each layout",
         [](auto& cad, auto& path) { cad.Drawing(path).Layouts({"L1", "L2"}); },
         true,
         {"opened a.dwg", "plot L1 on DWG To PDF.pc3 -> a.Plt", "plot L2 on DWG To PDF.pc3 -> a.Plt"}},
        {"damage read around",
         [](auto& cad, auto& path) { cad.Drawing(path).ReadWarnings({"bad handle", "no EOF"}); },
         false,
         {"opened a.dwg [bad handle] [no EOF]", "plot Model on DWG To PDF.pc3 -> a.plt"}},
        {"refused", [](auto& cad, auto& path) { cad.Drawing(path).Unopenable("Not a drawing"); },
         false, {"not opened a.dwg: Not a drawing"}},
        {"gone", [](auto&, auto& path) { QFile::remove(QString::fromStdString(path)); }, false,
         {"not opened a.dwg: no such file"}},
        {"a failing plot",
         [](auto& cad, auto&) {
             // The file plot says it failed; the device plot after it fails with the error.
             cad.Outcomes([](const fake::PlotJob&, cad::PlotOutcome& o) {
                 o.outputFile.clear();
                 o.ok = false;
                 o.error = "out of paper";
             });
         },
         false,
         {"opened a.dwg", "plot Model on DWG To PDF.pc3 ->  failed: out of paper",
          "plot Model on DWG To PDF.pc3 ->  failed: out of paper", "failed a.dwg: out of paper"}},
    };
    for (const auto& c : cases) {
        cad::ClassRegistry own;  // outlives the double, which unregisters itself
        fake::FakeCad cad;
        cad.RegisterIn(own);
        cad::CadConnection connection(connectionHost, window, own);
        plot::PlotService service(connection, window);
        const std::string path = tree.File(std::string(c.what) + "/a.dwg");
        cad.Drawing(path);
        c.script(cad, path);
        EventLog events;
        service.Run({{{path, true}}, {"DWG To PDF.pc3", "A4", "acad.ctb", 0}, c.layouts}, events);
        EXPECT_THAT(events.log, ElementsAreArray(c.log)) << c.what;
    }
}

}  // namespace
