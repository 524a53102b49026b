// Printing to a real queue through the automation interface: the cups-pdf virtual printer
// that scripts/with-cups-pdf provides, found again as the PDF it wrote. Skipped without it.
#include <gmock/gmock.h>
#include <pwd.h>
#include <unistd.h>

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
    // A drawing of a name of its own, so that its job is found among others.
    const QString stem = QString("vormex-engine-%1").arg(getpid());
    const fs::path drawing = work / (stem.toStdString() + ".dxf");
    fs::copy_file(Example("flange.dxf"), drawing);
    auto printed = Open(drawing);
    Configure(*printed, Queue(), "ISO_A4_(210.00_x_297.00_MM)");
    printed->Plot()->SetNumberOfCopies(2);
    EXPECT_TRUE(printed->Plot()->PlotToDevice()) << LastPlot().error;
    EXPECT_EQ(LastPlot().printer, Queue());

    const auto pdf = AwaitPdf(OutputFolder(), stem, 90);
    ASSERT_TRUE(pdf) << "no PDF of the job in " << OutputFolder().toStdString();
    EXPECT_EQ(PdfPages(*pdf), "2 pages of 210 x 297 mm");  // the copies as pages
    fs::remove(*pdf);
}

}  // namespace
}  // namespace vx::testing
