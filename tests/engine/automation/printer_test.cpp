// Printing to a real queue through the automation interface: the cups-pdf virtual printer
// that scripts/with-cups-pdf provides, found again as the PDF it wrote. Skipped without it.
#include <gmock/gmock.h>
#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QStandardPaths>
#include <QThread>

#include "EngineFixture.h"

namespace vx::testing {
namespace {

std::string Queue() {
    const QString q = qEnvironmentVariable("VORMEX_CUPS_PDF_QUEUE");
    return q.isEmpty() ? "PDF" : q.toStdString();
}

QString OutputFolder() {
    const QString out = qEnvironmentVariable("VORMEX_CUPS_PDF_OUT");
    if (!out.isEmpty()) {
        return out;
    }
    const passwd* pw = getpwuid(getuid());
    return QString::fromLocal8Bit(pw ? pw->pw_dir : "") + "/PDF";
}

// cups-pdf names the file after the job's title and writes it in place: it counts once
// pdfinfo reads it whole.
std::optional<fs::path> AwaitPdf(const QString& folder, const QString& prefix, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        const QStringList found = QDir(folder).entryList({prefix + "*-job_*.pdf"}, QDir::Files);
        if (!found.isEmpty()) {
            const fs::path file = QDir(folder).filePath(found.front()).toStdString();
            if (ReadPdfInfo(file)) {
                return file;
            }
        }
        QThread::msleep(100);
    }
    return std::nullopt;
}

// The job's PDF once cups-pdf has written it, its two copies as two A4 pages.
std::optional<fs::path> PrintedOnTwoA4Pages(const QString& job) {
    const auto pdf = AwaitPdf(OutputFolder(), job, 90);
    if (!pdf) {
        ADD_FAILURE() << "no PDF of the job in " << OutputFolder().toStdString();
        return pdf;
    }
    EXPECT_EQ(PdfPages(*pdf), "2 pages of 210 x 297 mm");  // the copies as pages
    return pdf;
}

// A name of its own for a job, so that its PDF is found among others.
QString JobName() {
    return QString("vormex-engine-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QDateTime::currentMSecsSinceEpoch());
}

struct EnginePrinter : EngineModel {
    engine::automation::EngineOptions Options() override {
        auto o = EngineModel::Options();
        o.noPrinters = false;  // the system's printers
        return o;
    }
};

TEST_F(EnginePrinter, PlotToDevicePrintsTheCopiesOnTheQueue) {
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty()) {
        GTEST_SKIP() << "pdfinfo is not installed";
    }
    auto doc = App().Documents()->Add();
    const auto devices = doc->ModelSpace()->Layout()->GetPlotDeviceNames();
    const auto queue = std::find(devices.begin(), devices.end(), Queue());
    if (queue == devices.end()) {
        GTEST_SKIP() << "no printer queue \"" << Queue()
                     << "\" (run the tests under scripts/with-cups-pdf)";
    }
    // "None", the printers, then the plotter configuration files.
    EXPECT_EQ(devices.front(), "None");
    const auto pdfDevice = std::find(devices.begin(), devices.end(), "PDF.pc3");
    EXPECT_LT(queue, pdfDevice);

    // A drawing of a name of its own, so that its job is found among others.
    const QString stem = JobName();
    const fs::path drawing = work / (stem.toStdString() + ".dxf");
    fs::copy_file(Example("flange.dxf"), drawing);
    auto printed = Open(drawing);
    auto layout = printed->ActiveLayout();
    layout->SetConfigName(Queue());
    const auto papers = layout->GetCanonicalMediaNames();
    ASSERT_THAT(papers, ::testing::Contains("ISO_A4_(210.00_x_297.00_MM)"));
    layout->SetCanonicalMediaName("ISO_A4_(210.00_x_297.00_MM)");
    layout->SetPlotType(cad::kPlotExtents);
    layout->SetStandardScale(cad::kScaleToFit);
    layout->SetPlotRotation(cad::kRotation90);
    layout->SetCenterPlot(true);
    printed->Plot()->SetNumberOfCopies(2);
    EXPECT_TRUE(printed->Plot()->PlotToDevice()) << LastPlot().error;
    EXPECT_EQ(LastPlot().printer, Queue());
    EXPECT_EQ(LastPlot().copies, 2);
    EXPECT_TRUE(LastPlot().outputFile.empty());

    const auto pdf = PrintedOnTwoA4Pages(stem);
    ASSERT_TRUE(pdf);
    fs::remove(*pdf);
}

}  // namespace
}  // namespace vx::testing
