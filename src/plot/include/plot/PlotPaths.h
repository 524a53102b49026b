// Paths as the plot procedures handle them: the drawing's own path (native, as the list
// holds it), stored reference paths (Windows paths, "\"-separated, wherever the drawing
// lies) and the plot file named after the drawing.
#pragma once

#include <filesystem>
#include <string>

namespace vx::plot {

// True for a separator of native paths: "/" on POSIX, "\" and "/" on Windows.
bool IsNativeSeparator(char c);
inline constexpr char kNativeSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

// A path written with "\" (a stored reference path, or one built from it) in native
// form; on Windows unchanged.
std::string NativePath(std::string path);
std::filesystem::path FsPath(const std::string& path);

// The last component of a native path: the text after its last separator.
std::string LastComponent(const std::string& path);

// True when the drawing whose folder (without a trailing separator) and name the CAD
// application reports lies at `path`.
bool IsPathOf(const std::string& folder, const std::string& name, const std::string& path);

// The plot file of a drawing: its own extension replaced by `extension`, or
// `extension` appended when it has none. Never the drawing's path itself, in any
// letter case: a drawing that already has that extension gets a second one.
std::string PlotFileName(const std::string& drawing, const std::string& extension);

// A file found by a plain directory lookup of the path: an existing ordinary file
// (links followed) that is not hidden.
bool IsListedFile(const std::string& path);
// Why a path is not such a file, for reports: "no such file", "is a folder, not a drawing
// file", "is a pipe (FIFO), not a drawing file", "is a hidden file", ...
std::string UnlistedReason(const std::string& path);
// An existing ordinary file (links followed), hidden or not.
bool FileExists(const std::string& path);

bool EqualsIgnoringCase(const std::string& a, const std::string& b);
bool EndsWith(const std::string& text, const std::string& tail);
bool Contains(const std::string& text, const std::string& part);
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

}  // namespace vx::plot
