// Loading drawings from files: the reader chosen by the file's signature, the file read
// read-only, and the drawing's external references loaded.
//
//   auto r = vx::engine::load::LoadDrawing("/jobs/a.dxf");
//   if (!r.Ok()) { report(r.error.Text()); }
//   for (const auto& b : r.database->blocks)
//       if (b.IsXref()) { b.xref->status, b.xref->reason, b.xref->database ... }
//
// An external reference is loaded when its stored path — absolute, or relative to the
// referencing drawing's folder; Windows paths such as C:\x\y.dwg or ..\xref\a.dxf mapped
// onto the native form — leads to a drawing that can be read. References nest to a bounded
// depth; a reference that leads back to a drawing that is being loaded ends unloaded
// (Circular), and so does one nested too deep (TooDeep). Overlays inside a referenced
// drawing are not loaded, as overlays do not nest. A reference that cannot be loaded keeps
// its reason; the drawing itself opens all the same.
//
// Files are only ever opened for reading; nothing is written or locked.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/db/Database.h"

namespace vx::engine::load {

enum class FileFormat { Unknown, AsciiDxf, BinaryDxf, Dwg };

// The format a file's first bytes announce. The one place where a reader is chosen: DXF
// files go to the DXF reader, DWG files (R13 to 2018; older ones are refused as
// unsupported) to the DWG reader.
FileFormat DetectFormat(std::string_view head);

struct LoadOptions {
    // How deep references nest: the drawing itself is level 0, its references level 1.
    int maxXrefDepth = 8;
    // Files larger than this are refused before they are read (the whole file is held in
    // memory while read). Only regular files are read: pipes, devices, sockets and folders
    // are refused, the drawing's own name and its references' alike.
    std::uintmax_t maxFileSize = std::uintmax_t{1} << 30;
    // Every table drawn from its cells (db::ReadOptions).
    bool tablesFromCells = false;
};

struct LoadResult {
    std::shared_ptr<db::Database> database;  // null when the drawing could not be read
    db::Diagnostic error;                    // set when database is null
    bool Ok() const { return database != nullptr; }
};

// Reads one drawing file without loading its external references.
LoadResult ReadDrawingFile(const std::filesystem::path& path, const LoadOptions& options = {});

// Reads a drawing file and loads its external references.
LoadResult LoadDrawing(const std::filesystem::path& path, const LoadOptions& options = {});

// Loads one external reference of `host` again from its current stored path (the
// reference's Xref::path, which the caller may have changed). `hostPath` is the host
// drawing's file (its folder anchors relative paths; the host itself counts for cycles).
// Returns the reference's new status; kNone blocks or non-references give NotLoaded.
db::XrefStatus ReloadXref(db::Database& host, const std::filesystem::path& hostPath,
                          db::BlockId block, const LoadOptions& options = {});

// The native path a stored reference path names, relative paths taken from `hostFolder`.
// On POSIX systems "\" separates folders and a drive ("C:") or a leading "\" stands for the
// file-system root; a network path \\server\share\x becomes //server/share/x.
std::filesystem::path ResolveXrefPath(std::string_view stored,
                                      const std::filesystem::path& hostFolder);

// A readable word for a status: "loaded", "not found", ...
std::string_view XrefStatusText(db::XrefStatus status);

}  // namespace vx::engine::load
