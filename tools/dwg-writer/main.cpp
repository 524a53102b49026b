// vormex-dwg-write [options] IN.dxf OUT.dwg: writes a DXF drawing as an R2000 DWG file
// with a preview image, for the sample drawings' DWG twins.
//
//   --no-preview             write no preview image
//   --preview-size WxH       the preview's size in pixels (default 256x180)
//   --xref-path NAME=PATH    store PATH as the path of external reference NAME
//
// The drawing is read with the engine's DXF reader; the written file is read back with the
// engine's DWG reader before it is kept. Exit codes: 0 written, 1 the drawing could not be
// read or written (nothing is left at OUT), 2 wrong arguments.
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QtGlobal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "DwgWriter.h"
#include "Preview.h"
#include "engine/dwg/DwgReader.h"
#include "engine/fonts/FontResolver.h"
#include "engine/load/DrawingLoader.h"

namespace {

using namespace vx::engine;
namespace dwgwriter = vx::dwgwriter;

constexpr char kUsage[] =
    "usage: vormex-dwg-write [--no-preview] [--preview-size WxH] [--xref-path NAME=PATH]... "
    "IN.dxf OUT.dwg\n";

struct Arguments {
    std::string in, out;
    bool preview = true;
    int width = 256, height = 180;
    std::vector<std::pair<std::string, std::string>> xrefPaths;
};

std::optional<Arguments> Parse(int argc, char** argv) {
    Arguments a;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string s = argv[i];
        if (s == "--no-preview") {
            a.preview = false;
        } else if (s == "--preview-size" && i + 1 < argc) {
            std::string v = argv[++i];
            int w = 0, h = 0;
            char x = 0, rest = 0;
            if (std::sscanf(v.c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || x != 'x' || w < 16 ||
                h < 16 || w > 1024 || h > 1024) {
                std::cerr << "vormex-dwg-write: the preview size '" << v
                          << "' is not WxH with 16 to 1024 pixels each\n";
                return std::nullopt;
            }
            a.width = w;
            a.height = h;
        } else if (s == "--xref-path" && i + 1 < argc) {
            std::string v = argv[++i];
            auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                std::cerr << "vormex-dwg-write: --xref-path takes NAME=PATH, not '" << v << "'\n";
                return std::nullopt;
            }
            a.xrefPaths.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (s.size() > 1 && s[0] == '-') {
            std::cerr << "vormex-dwg-write: unknown option " << s << '\n';
            return std::nullopt;
        } else {
            files.push_back(s);
        }
    }
    if (files.size() != 2) {
        return std::nullopt;
    }
    a.in = files[0];
    a.out = files[1];
    return a;
}

// Qt's notes about the session (no runtime folder without a desktop session) are no news for
// a batch tool; everything else Qt says is passed on.
void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg || text.startsWith(QStringLiteral("QStandardPaths:"))) {
        return;
    }
    std::cerr << "vormex-dwg-write: Qt: " << text.toStdString() << '\n';
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::exists(b, ec) && std::filesystem::equivalent(a, b, ec);
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<Arguments> args = Parse(argc, argv);
    if (!args) {
        std::cerr << kUsage;
        return 2;
    }
    if (SameFile(args->in, args->out)) {
        std::cerr << "vormex-dwg-write: " << args->out << " is the drawing itself\n";
        return 2;
    }
    // Text of the preview needs fonts through Qt; no display is needed.
    qInstallMessageHandler(QtMessage);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);

    // The drawing: DXF only, read with the engine's reader (references loaded for the
    // preview where their stored paths lead to them).
    {
        std::ifstream f(args->in, std::ios::binary);
        if (!f.is_open()) {
            std::cerr << "vormex-dwg-write: " << args->in << ": the file cannot be opened\n";
            return 1;
        }
        char head[64] = {};
        f.read(head, sizeof head);
        auto format =
            load::DetectFormat(std::string_view(head, static_cast<std::size_t>(f.gcount())));
        if (format != load::FileFormat::AsciiDxf && format != load::FileFormat::BinaryDxf) {
            std::cerr << "vormex-dwg-write: " << args->in << ": not a DXF drawing\n";
            return 1;
        }
    }
    load::LoadResult loaded = load::LoadDrawing(args->in);
    if (!loaded.Ok()) {
        std::cerr << "vormex-dwg-write: " << args->in
                  << ": the drawing cannot be read: " << loaded.error.Text() << '\n';
        return 1;
    }
    db::Database& db = *loaded.database;
    for (const auto& w : db.warnings) {
        std::cerr << "vormex-dwg-write: " << args->in << ": warning: " << w.Text() << '\n';
    }
    for (const auto& [name, path] : args->xrefPaths) {
        db::BlockId id = db.FindBlock(name);
        if (id == db::kNone || !db.blocks[id].xref) {
            std::cerr << "vormex-dwg-write: " << args->in << " has no external reference named '"
                      << name << "'\n";
            return 2;
        }
        db.blocks[id].xref->path = path;
    }

    dwgwriter::WriteOptions options;
    if (args->preview) {
        fonts::FontResolver fonts;
        QImage image = dwgwriter::RenderPreview(db, dwgwriter::PreviewLayout(db),
                                                QSize(args->width, args->height), &fonts);
        options.previewBmp = dwgwriter::BmpOfImage(image);
        if (options.previewBmp.empty()) {
            std::cerr << "vormex-dwg-write: the preview image could not be made\n";
            return 1;
        }
    }

    dwgwriter::WriteResult written;
    try {
        written = dwgwriter::WriteDwg(db, options);
    } catch (const dwgwriter::WriteError& e) {
        std::cerr << "vormex-dwg-write: " << args->in << " cannot be written as DWG: " << e.what()
                  << '\n';
        return 1;
    }
    for (const auto& n : written.notes) {
        std::cerr << "vormex-dwg-write: note: " << n << '\n';
    }

    // What is kept must read back.
    std::string_view bytes(reinterpret_cast<const char*>(written.bytes.data()),
                           written.bytes.size());
    dwg::DwgResult check = dwg::ReadDwg(bytes);
    if (!check.Ok()) {
        std::cerr << "vormex-dwg-write: the written file does not read back: " << check.error.Text()
                  << "; nothing written\n";
        return 1;
    }
    if (!check.database->warnings.empty()) {
        std::cerr << "vormex-dwg-write: the written file reads back with warnings ("
                  << check.database->warnings.front().Text() << "); nothing written\n";
        return 1;
    }

    QSaveFile out(QString::fromStdString(args->out));
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !out.commit()) {
        std::cerr << "vormex-dwg-write: cannot write " << args->out << ": "
                  << out.errorString().toStdString() << '\n';
        return 1;
    }
    return 0;
}
