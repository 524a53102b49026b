#include "engine/load/DrawingLoader.h"

#include <cctype>
#include <map>
#include <system_error>
#include <vector>

#include "engine/dwg/DwgReader.h"
#include "engine/dxf/DxfReader.h"
#include "engine/load/InputFile.h"

namespace vx::engine::load {

namespace fs = std::filesystem;
using db::XrefStatus;

FileFormat DetectFormat(std::string_view head) {
    if (dxf::IsBinaryDxf(head)) {
        return FileFormat::BinaryDxf;
    }
    // DWG files begin with their version code: "AC1015", "AC1032", ... (also "AC2.10"
    // and "MC0.0" for the oldest ones).
    if (dwg::LooksLikeDwg(head)) {
        return FileFormat::Dwg;
    }
    if (dxf::LooksLikeDxf(head)) {
        return FileFormat::AsciiDxf;
    }
    return FileFormat::Unknown;
}

std::string_view XrefStatusText(XrefStatus s) {
    switch (s) {
        case XrefStatus::NotLoaded:
            return "not loaded";
        case XrefStatus::Loaded:
            return "loaded";
        case XrefStatus::NotFound:
            return "not found";
        case XrefStatus::Unreadable:
            return "unreadable";
        case XrefStatus::Unsupported:
            return "unsupported";
        case XrefStatus::Circular:
            return "circular";
        case XrefStatus::TooDeep:
            return "nested too deep";
    }
    return "unknown";
}

namespace {

// The start of the reason a DWG file of a version without a reader gives.
constexpr std::string_view kDwgUnsupported = "DWG version ";

LoadResult Fail(std::string where, std::string what) {
    LoadResult r;
    r.error = {std::move(where), std::move(what)};
    return r;
}

fs::path Canonical(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(p, ec);
    return ec ? p.lexically_normal() : c;
}

// The folder of a drawing as it was named (not through links): relative references
// start there.
fs::path Folder(const fs::path& file) {
    std::error_code ec;
    fs::path a = fs::absolute(file, ec);
    return (ec ? file : a).lexically_normal().parent_path();
}

struct LoadContext {
    const LoadOptions& options;
    std::vector<fs::path> chain;  // canonical paths of the drawings being loaded
    std::map<fs::path, std::shared_ptr<const db::Database>> done;
};

void LoadXrefs(db::Database& db, const fs::path& folder, LoadContext& ctx, int depth);

void LoadOne(db::Block& block, const fs::path& folder, LoadContext& ctx, int depth) {
    db::Xref& x = *block.xref;
    x.database.reset();
    x.resolvedPath.clear();
    x.reason.clear();
    if (depth > 0 && block.IsOverlay()) {
        x.status = XrefStatus::NotLoaded;
        x.reason = "an overlay inside a referenced drawing is not loaded";
        return;
    }
    if (x.path.empty()) {
        x.status = XrefStatus::NotFound;
        x.reason = "the reference has no path";
        return;
    }
    fs::path file = ResolveXrefPath(x.path, folder);
    x.resolvedPath = file.string();
    std::error_code ec;
    if (!fs::exists(file, ec) || fs::is_directory(file, ec)) {
        x.status = XrefStatus::NotFound;
        x.reason = "no drawing at " + file.string();
        return;
    }
    fs::path canon = Canonical(file);
    for (const auto& p : ctx.chain) {
        if (p == canon) {
            x.status = XrefStatus::Circular;
            x.reason = "the reference leads back to " + file.filename().string() +
                       ", which is being loaded";
            return;
        }
    }
    if (depth + 1 > ctx.options.maxXrefDepth) {
        x.status = XrefStatus::TooDeep;
        x.reason =
            "references nest deeper than " + std::to_string(ctx.options.maxXrefDepth) + " levels";
        return;
    }
    auto cached = ctx.done.find(canon);
    if (cached != ctx.done.end()) {
        x.status = XrefStatus::Loaded;
        x.database = cached->second;
        return;
    }
    LoadResult r = ReadDrawingFile(file, ctx.options);
    if (!r.Ok()) {
        x.status = r.error.what.rfind(kDwgUnsupported, 0) == 0 ? XrefStatus::Unsupported
                                                               : XrefStatus::Unreadable;
        x.reason = r.error.Text();
        return;
    }
    ctx.chain.push_back(canon);
    LoadXrefs(*r.database, Folder(file), ctx, depth + 1);
    ctx.chain.pop_back();
    std::shared_ptr<const db::Database> loaded = r.database;
    ctx.done[canon] = loaded;
    x.status = XrefStatus::Loaded;
    x.database = std::move(loaded);
}

void LoadXrefs(db::Database& db, const fs::path& folder, LoadContext& ctx, int depth) {
    for (auto& b : db.blocks) {
        if (b.IsXref()) {
            if (!b.xref) {
                b.xref.emplace();
            }
            LoadOne(b, folder, ctx, depth);
        }
    }
}

}  // namespace

fs::path ResolveXrefPath(std::string_view stored, const fs::path& hostFolder) {
#ifdef _WIN32
    fs::path p{std::u8string(stored.begin(), stored.end())};
    if (p.is_absolute() || p.has_root_name()) {
        return p.lexically_normal();
    }
    return (hostFolder / p).lexically_normal();
#else
    std::vector<std::string> parts;
    std::string cur;
    for (char c : stored) {
        if (c == '\\' || c == '/') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    fs::path out;
    std::size_t i = 0;
    bool unc = stored.size() >= 2 && (stored[0] == '\\' || stored[0] == '/') &&
               (stored[1] == '\\' || stored[1] == '/');
    if (unc) {
        out = "//";
        i = 2;  // the two empty parts before the server name
    } else if (!parts.empty() && parts[0].size() == 2 && parts[0][1] == ':' &&
               std::isalpha(static_cast<unsigned char>(parts[0][0]))) {
        out = "/";  // a drive: the file-system root
        i = 1;
    } else if (!parts.empty() && parts[0].empty() && parts.size() > 1) {
        out = "/";  // "\x\y": the root of the current drive
        i = 1;
    } else {
        out = hostFolder;
    }
    for (; i < parts.size(); ++i) {
        if (parts[i].empty() || parts[i] == ".") {
            continue;
        }
        out /= parts[i];
    }
    return out.lexically_normal();
#endif
}

LoadResult ReadDrawingFile(const fs::path& path, const LoadOptions& options) {
    std::string bytes;
    std::string error;
    if (!ReadRegularFile(path, options.maxFileSize, bytes, error)) {
        return Fail(path.string(), error);
    }
    db::ReadResult r;
    db::ReadOptions read;
    read.tablesFromCells = options.tablesFromCells;
    switch (DetectFormat(std::string_view(bytes).substr(0, 64))) {
        case FileFormat::Dwg:
            r = dwg::ReadDwg(bytes, read);
            break;
        case FileFormat::Unknown:
            return Fail(path.string(), "not a drawing file (neither DXF nor DWG)");
        case FileFormat::AsciiDxf:
        case FileFormat::BinaryDxf:
            r = dxf::ReadDxf(bytes, read);
            break;
    }
    std::string().swap(bytes);
    LoadResult out;
    if (!r.Ok()) {
        out.error = r.error;
        return out;
    }
    out.database = std::shared_ptr<db::Database>(std::move(r.database));
    return out;
}

LoadResult LoadDrawing(const fs::path& path, const LoadOptions& options) {
    LoadResult r = ReadDrawingFile(path, options);
    if (!r.Ok()) {
        return r;
    }
    LoadContext ctx{options, {Canonical(path)}, {}};
    LoadXrefs(*r.database, Folder(path), ctx, 0);
    return r;
}

XrefStatus ReloadXref(db::Database& host, const fs::path& hostPath, db::BlockId block,
                      const LoadOptions& options) {
    if (block >= host.blocks.size() || !host.blocks[block].IsXref()) {
        return XrefStatus::NotLoaded;
    }
    db::Block& b = host.blocks[block];
    if (!b.xref) {
        b.xref.emplace();
    }
    LoadContext ctx{options, {Canonical(hostPath)}, {}};
    LoadOne(b, Folder(hostPath), ctx, 0);
    return b.xref->status;
}

}  // namespace vx::engine::load
