// Engines in processes of their own for one test: a socket in a temporary folder, the
// program folder's plotters and tables, no printers, and a working folder of drawings.
#pragma once

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <filesystem>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "PlotCommand.h"
#include "cad/ClassRegistry.h"
#include "engine/automation/Engine.h"
#include "engine/remote/ProcessControl.h"
#include "engine/remote/RemoteEngine.h"

namespace vx::testing {

namespace fs = std::filesystem;

struct ProcessFixture : ::testing::Test {
    QTemporaryDir temp;
    fs::path root{temp.path().toStdString()};
    fs::path work = root / "work";

    void SetUp() override {
        fs::create_directories(work);
        fs::create_directories(root / "user");
        engine::remote::SetLongCallLimit(0);
    }
    // An engine that was told to quit takes its socket with it as it ends.
    void TearDown() override {
        for (const char* name : {"engine", "faulty"}) {
            for (int i = 0; i < 30 && QFileInfo::exists(temp.filePath(name)); ++i) {
                QThread::msleep(100);
            }
        }
    }

    engine::remote::RemoteOptions Options(bool faulty = false) const {
        engine::remote::RemoteOptions o;
        o.program = faulty ? VORMEX_FAULTY_ENGINE_EXE : VORMEX_ENGINE_EXE;
        o.socketName = temp.filePath(faulty ? "faulty" : "engine");
        o.arguments = {"--program-dir", VORMEX_PROGRAM_DIR,
                       "--user-dir",    QString::fromStdString((root / "user").string()),
                       "--no-printers", "--idle-ms",
                       "3000"};
        o.memoryLimitMB = 384;
        o.limits.longSeconds = 60;
        return o;
    }
    engine::automation::EngineOptions InProcess() const {
        engine::automation::EngineOptions o;
        o.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, root / "user"};
        o.noPrinters = true;
        return o;
    }

    // Copies of an example drawing under the given names.
    void Drawings(const std::vector<std::string>& names,
                  const std::string& example = "bracket-r12.dxf") const {
        for (const auto& n : names) {
            fs::copy_file(fs::path(VORMEX_SOURCE_DIR) / "examples" / example, work / n,
                          fs::copy_options::overwrite_existing);
        }
    }

    // vormex-cli plot of the working folder's DXF files to PDF.
    CliResult Plot(const cad::ClassRegistry& registry, QStringList more = {}) const {
        QStringList args{QString::fromStdString(work.string()),
                         "--pattern",
                         "*.dxf",
                         "--device",
                         "PDF.pc3",
                         "--paper",
                         "A4",
                         "--style",
                         "monochrome.ctb"};
        args += more;
        return Capture([&](cli::CommandIo& io) { return cli::RunPlot(args, io, registry); });
    }

    // The line of standard output about `name`: drawing, result, outputs (tab-separated).
    QString LineOf(const CliResult& r, const std::string& name) const {
        const QString path = QString::fromStdString((work / name).string());
        for (const QByteArray& line : r.out.split('\n')) {
            if (line.startsWith(path.toUtf8() + '\t')) {
                return QString::fromUtf8(line.mid(path.toUtf8().size() + 1));
            }
        }
        return {};
    }
};

}  // namespace vx::testing
