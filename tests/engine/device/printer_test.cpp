// Printing for real: a page through the printer back end to a CUPS queue of the cups-pdf
// virtual printer, found again as the PDF it wrote. Run under scripts/with-cups-pdf, which
// starts the print server and makes the queue; skipped when there is no such queue.
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdio.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include "engine/device/DeviceRegistry.h"

using namespace vx::engine;
using namespace vx::engine::device;

namespace {

QString Queue() {
    const QString q = qEnvironmentVariable("VORMEX_CUPS_PDF_QUEUE");
    return q.isEmpty() ? "PDF" : q;
}

QString OutputFolder() {
    const QString out = qEnvironmentVariable("VORMEX_CUPS_PDF_OUT");
    if (!out.isEmpty()) {
        return out;
    }
    const passwd* pw = getpwuid(getuid());
    return QString::fromLocal8Bit(pw ? pw->pw_dir : "") + "/PDF";
}

struct Pdfinfo {
    bool ok = false;
    QString text;
};

Pdfinfo Info(const QString& file) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("pdfinfo", {file});
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
            QString::fromLocal8Bit(p.readAll())};
}

// Waits for the job's PDF: cups-pdf names it "<title>-job_<id>.pdf" and writes it in place,
// so it counts only once pdfinfo reads it whole.
QString AwaitPdf(const QString& folder, const QString& title, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        const QStringList found =
            QDir(folder).entryList({title + "-job_*.pdf"}, QDir::Files, QDir::Name);
        if (!found.isEmpty()) {
            const QString file = QDir(folder).filePath(found.front());
            if (Info(file).ok) {
                return file;
            }
        }
        QThread::msleep(100);
    }
    return {};
}

TEST(CupsPdfPrinter, PrintsTheCopiesOnTheChosenPaper) {
    const DeviceRegistry registry({}, SystemPrinters());
    const auto names = registry.DeviceNames();
    if (std::find(names.begin(), names.end(), Queue().toStdString()) == names.end()) {
        GTEST_SKIP() << "no printer queue \"" << Queue().toStdString()
                     << "\" (run the tests under scripts/with-cups-pdf)";
    }
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty()) {
        GTEST_SKIP() << "pdfinfo is not installed";
    }
    // The printer comes right after "None", with its papers in canonical form.
    EXPECT_EQ(names.front(), "None");
    const Device printer = *registry.Find(Queue().toStdString());
    EXPECT_EQ(printer.kind, DeviceKind::Printer);
    const auto papers = registry.CanonicalMediaNames(printer.name);
    const std::string a4 = "ISO_A4_(210.00_x_297.00_MM)";
    ASSERT_NE(std::find(papers.begin(), papers.end(), a4), papers.end());
    const page::Media paper = registry.Paper(printer.name, a4);

    const QString title = QString("vormex-test-%1-%2")
                              .arg(QCoreApplication::applicationPid())
                              .arg(QDateTime::currentMSecsSinceEpoch());
    auto sink = OpenDevicePage(printer, paper, {}, 2, title.toStdString());
    output::Polyline frame;
    frame.points = QPolygonF({{30, 40}, {180, 40}, {180, 250}, {30, 250}});
    frame.closed = true;
    frame.pen.lineweight = 1.0;
    sink->Draw(frame);
    const output::PlotStats stats = sink->Finish({true});
    EXPECT_EQ(stats.inkedPrimitives, 1);

    const QString pdf = AwaitPdf(OutputFolder(), title, 90);
    ASSERT_FALSE(pdf.isEmpty()) << "no PDF of the job in " << OutputFolder().toStdString();
    const Pdfinfo info = Info(pdf);
    // Two copies: cups-pdf writes them as two pages of A4.
    EXPECT_TRUE(info.text.contains(QRegularExpression("Pages: +2\\n"))) << info.text.toStdString();
    const auto size = QRegularExpression("Page size: +([0-9.]+) x ([0-9.]+) pts").match(info.text);
    ASSERT_TRUE(size.hasMatch()) << info.text.toStdString();
    EXPECT_NEAR(size.captured(1).toDouble(), 595.3, 1.0);
    EXPECT_NEAR(size.captured(2).toDouble(), 841.9, 1.0);

    // The frame is where it was drawn (within a millimetre).
    const QString base = QDir::temp().filePath(title);
    QProcess render;
    render.start("pdftoppm",
                 {"-r", "25.4", "-gray", "-f", "1", "-l", "1", "-singlefile", pdf, base});
    render.waitForFinished(30000);
    const QImage image(base + ".pgm");
    QFile::remove(base + ".pgm");
    ASSERT_FALSE(image.isNull()) << "pdftoppm did not render " << pdf.toStdString();
    {
        int x0 = image.width(), y0 = image.height(), x1 = -1, y1 = -1;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 128) {
                    x0 = std::min(x0, x);
                    y0 = std::min(y0, y);
                    x1 = std::max(x1, x);
                    y1 = std::max(y1, y);
                }
            }
        }
        // 1 px per mm; rows counted from the top of the 297 mm sheet.
        EXPECT_NEAR(x0, 30, 2);
        EXPECT_NEAR(x1, 180, 2);
        EXPECT_NEAR(y0, 297 - 250, 2);
        EXPECT_NEAR(y1, 297 - 40, 2);
    }
    std::printf("printed and found %s: %s x %s pts\n", qPrintable(pdf),
                qPrintable(size.captured(1)), qPrintable(size.captured(2)));
    QFile::remove(pdf);
}

}  // namespace
