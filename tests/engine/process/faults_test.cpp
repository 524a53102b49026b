// An engine that crashes, hangs or floods its memory on a drawing: the run goes on with a
// fresh engine, the later drawings are plotted, each failure is reported with what
// happened, in vormex-cli plot and in the window's "Drawings Not Plotted" box. An
// interrupt during a call that does not end stops the run at once.
#include <gmock/gmock.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <thread>

#include "ProcessFixture.h"
#include "ShellHarness.h"
#include "app/Main.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/DrawingListView.h"

namespace vx::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// The drawings of a batch (the run goes from the last to the first) and what becomes of
// each.
const struct {
    const char* name;
    const char* result;  // the start of its result
} kBatch[] = {
    {"a.dxf", "plotted"},
    {"crash-b.dxf", "failed: the CAD engine crashed while opening "},
    {"flood-c.dxf", "failed: the CAD engine ran out of memory while opening "},
    {"hang-d.dxf", "failed: the CAD engine stopped responding while opening "},
    {"e.dxf", "plotted"},
};

struct FaultsTest : ProcessFixture {
    void SetUp() override {
        ProcessFixture::SetUp();
        for (const auto& d : kBatch) {
            Drawings({d.name});
        }
    }
    engine::remote::RemoteOptions Faulty() const {
        auto o = Options(true);
        o.limits.longSeconds = 5;
        return o;
    }
};

TEST_F(FaultsTest, CliRunGoesOnPastEveryFaultAndReportsEach) {
    cad::ClassRegistry registry;
    engine::remote::RegisterRemoteEngine(registry, Options(true));
    const CliResult r = Plot(registry, {"--timeout", "5"});
    EXPECT_EQ(r.status, 1);
    for (const auto& d : kBatch) {
        EXPECT_THAT(LineOf(r, d.name).toStdString(), StartsWith(d.result)) << d.name;
    }
    EXPECT_THAT(r.err.toStdString(), HasSubstr("5 drawings: 2 plotted, 3 not plotted"));
    EXPECT_TRUE(fs::exists(work / "a.pdf"));
    EXPECT_TRUE(fs::exists(work / "e.pdf"));
}

TEST_F(FaultsTest, WindowRunListsEachFaultInDrawingsNotPlotted) {
    ShellHarness h;
    engine::remote::RegisterRemoteEngine(h.classes, Faulty());
    app::Form1& f = h.MakeForm(/*noBackEnd=*/true);
    ASSERT_TRUE(app::Main(f));
    f.Text1->setText("*.dxf");
    ASSERT_TRUE(f.Dir1->SetPath(QString::fromStdString(work.string())));
    ASSERT_EQ(f.ListView1->Model().Count(), 5);
    for (auto [box, entry] : {std::pair{f.cmbPrinter, "PDF.pc3"}, std::pair{f.CmbPaper, "A4"},
                              std::pair{f.CmbCTB, "monochrome.ctb"}}) {
        ASSERT_GE(box->findText(entry), 0) << entry;
        box->setCurrentIndex(box->findText(entry));
    }
    QTest::mouseClick(f.Command2, Qt::LeftButton);

    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_EQ(h.messages.shown[0].title, "Drawings Not Plotted");
    const std::string& text = h.messages.shown[0].text;
    for (const auto& d : kBatch) {
        const std::string result = d.result;
        if (result.starts_with("failed: ")) {
            const std::string path = (work / d.name).string();
            EXPECT_THAT(text, HasSubstr(path + ": " + result.substr(8) + path)) << d.name;
        }
    }
    EXPECT_TRUE(fs::exists(work / "a.pdf"));
    EXPECT_TRUE(fs::exists(work / "e.pdf"));
    f.Command3_Click();
}

TEST_F(FaultsTest, InterruptDuringAHangingCallStopsTheRunAtOnce) {
    fs::remove_all(work);
    fs::create_directories(work);
    Drawings({"a.dxf", "hang-b.dxf", "z.dxf"});
    cad::ClassRegistry registry;
    engine::remote::RegisterRemoteEngine(registry, Options(true));  // a minute per call
    // Outside the run an interrupt is ignored rather than ending the test.
    const auto previous = std::signal(SIGINT, SIG_IGN);
    QElapsedTimer clock;
    clock.start();
    // z.dxf is done first; a moment later the engine hangs on hang-b.dxf.
    std::thread interrupt([pdf = work / "z.pdf"] {
        for (int i = 0; i < 300 && !fs::exists(pdf); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        std::raise(SIGINT);
    });
    const CliResult r = Plot(registry);
    interrupt.join();
    std::signal(SIGINT, previous);
    EXPECT_LT(clock.elapsed(), 30000) << "the hanging call was waited for";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(LineOf(r, "z.dxf"), "plotted\t" + QString::fromStdString((work / "z.pdf").string()));
    EXPECT_THAT(LineOf(r, "hang-b.dxf").toStdString(),
                StartsWith("failed: the run was stopped while opening "));
    EXPECT_EQ(LineOf(r, "a.dxf"), "not plotted: the run was stopped");
}

}  // namespace
}  // namespace vx::testing
