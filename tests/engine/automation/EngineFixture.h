// The engine as a program reaches it: registered for "AutoCAD.Application" in a registry of
// the test's own, with the program folder's plotters and plot style tables, a user folder
// in a temporary folder, and the example drawings copied into a working folder.
#pragma once

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cad/ClassRegistry.h"
#include "engine/automation/Engine.h"

namespace vx::testing {

namespace fs = std::filesystem;

inline const fs::path kExamples = fs::path(VORMEX_SOURCE_DIR) / "examples";
inline const fs::path kTestData = fs::path(VORMEX_TESTDATA_DIR);

// Copies a folder tree (files and folders only).
inline void CopyTree(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

// What a file is: its bytes' digest, size and modification time.
struct FileState {
    QByteArray digest;
    qint64 size = 0;
    fs::file_time_type mtime;
    friend bool operator==(const FileState&, const FileState&) = default;
};

inline FileState StateOf(const fs::path& file) {
    FileState s;
    QFile f(QString::fromStdString(file.string()));
    if (f.open(QIODevice::ReadOnly)) {
        QCryptographicHash h(QCryptographicHash::Sha256);
        h.addData(&f);
        s.digest = h.result();
        s.size = f.size();
    }
    s.mtime = fs::last_write_time(file);
    return s;
}

// Every file under `root` with its state.
inline std::map<fs::path, FileState> Snapshot(const fs::path& root) {
    std::map<fs::path, FileState> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) {
            out[e.path()] = StateOf(e.path());
        }
    }
    return out;
}

// The files under `root` that are not in `before`.
inline std::vector<fs::path> NewFiles(const fs::path& root,
                                      const std::map<fs::path, FileState>& before) {
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file() && !before.contains(e.path())) {
            out.push_back(e.path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct PdfInfo {
    int pages = 0;
    double widthPt = 0, heightPt = 0;
};

// What pdfinfo says of a PDF; nullopt when it is no valid PDF.
inline std::optional<PdfInfo> ReadPdfInfo(const fs::path& file) {
    QProcess p;
    p.start("pdfinfo", {QString::fromStdString(file.string())});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        return std::nullopt;
    }
    const QString text = QString::fromLocal8Bit(p.readAllStandardOutput());
    const auto pages = QRegularExpression("Pages: +(\\d+)").match(text);
    const auto size = QRegularExpression("Page size: +([\\d.]+) x ([\\d.]+)").match(text);
    return PdfInfo{pages.captured(1).toInt(), size.captured(1).toDouble(),
                   size.captured(2).toDouble()};
}

inline double MmToPt(double mm) {
    return mm / 25.4 * 72.0;
}

// "N page(s) of W x H mm" (whole millimetres), or "no valid PDF".
inline std::string PdfPages(const fs::path& file) {
    const auto info = ReadPdfInfo(file);
    if (!info) {
        return "no valid PDF";
    }
    return std::to_string(info->pages) + (info->pages == 1 ? " page of " : " pages of ") +
           std::to_string(std::lround(info->widthPt / 72 * 25.4)) + " x " +
           std::to_string(std::lround(info->heightPt / 72 * 25.4)) + " mm";
}

// The engine in a registry of the test's own.
struct EngineModel : ::testing::Test {
    QTemporaryDir temp;
    fs::path work;  // the drawings a test plots
    fs::path user;  // the user's plotters and plot styles folders
    cad::ClassRegistry registry;
    std::shared_ptr<engine::automation::EngineClass> engineClass;
    cad::Ref<cad::AcadApplication> app;

    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        work = fs::path(temp.path().toStdString()) / "work";
        user = fs::path(temp.path().toStdString()) / "user";
        fs::create_directories(work);
        fs::create_directories(user / "plotters");
        fs::create_directories(user / "plotstyles");
        engineClass = engine::automation::RegisterEngine(registry, Options());
    }

    virtual engine::automation::EngineOptions Options() {
        engine::automation::EngineOptions o;
        o.folders = engine::device::EngineFolders{fs::path(VORMEX_PROGRAM_DIR), user};
        o.noPrinters = true;
        return o;
    }

    cad::AcadApplication& App() {
        if (!app) {
            app = registry.CreateObject(cad::kCadClassName);
        }
        return *app;
    }

    // The examples copied into the working folder; returns the copy of `relative`.
    fs::path Example(const std::string& relative) {
        if (!fs::exists(work / "examples")) {
            CopyTree(kExamples, work / "examples");
        }
        return work / "examples" / relative;
    }

    cad::Ref<cad::AcadDocument> Open(const fs::path& file) {
        return App().Documents()->Open(file.string(), true);
    }

    // The settings a run writes: device, the first paper containing `paper`, extents,
    // scale to fit, 90 degrees, centred.
    cad::Ref<cad::AcadLayout> Configure(cad::AcadDocument& doc, const std::string& device,
                                        const std::string& paper = "A3") {
        auto layout = doc.ActiveLayout();
        layout->RefreshPlotDeviceInfo();
        layout->SetConfigName(device);
        for (const auto& name : layout->GetCanonicalMediaNames()) {
            if (name.find(paper) != std::string::npos) {
                layout->SetCanonicalMediaName(name);
                break;
            }
        }
        layout->SetPlotWithPlotStyles(true);
        layout->SetStyleSheet("");
        layout->SetPlotType(cad::kPlotExtents);
        layout->SetStandardScale(cad::kScaleToFit);
        layout->SetUseStandardScale(true);
        layout->SetPlotRotation(cad::kRotation90);
        layout->SetCenterPlot(true);
        return layout;
    }

    engine::automation::PlotRecord LastPlot() {
        const auto* j = engine::automation::JournalOf(app);
        const auto records = j ? j->Records() : std::vector<engine::automation::PlotRecord>{};
        return records.empty() ? engine::automation::PlotRecord{} : records.back();
    }
};

// The description of the CadError a call throws; "<no error>" when it succeeds.
template <class F>
std::string ErrorOf(F&& call) {
    try {
        call();
    } catch (const cad::CadError& e) {
        return e.Description();
    }
    return "<no error>";
}

}  // namespace vx::testing
