#include "XrefReload.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <vector>

#include "PlotPaths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace vx::plot {

using cad::AcadBlock;
using cad::AcadDocument;
using cad::CadError;
using cad::Ref;
using cad::TryStep;

namespace {

bool IsStoredSeparator(char c) {
    // Stored paths are Windows paths, which take either separator.
    return c == '\\' || c == '/';
}

std::vector<std::string> Split(const std::string& text, bool (*isSeparator)(char)) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (isSeparator(c)) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

struct Entry {
    std::string name;
    bool folder;
};

std::string Folded(std::string name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return name;
}

// By name ignoring letter case; names that differ only in case by their bytes.
bool NameOrder(const Entry& a, const Entry& b) {
    const std::string fa = Folded(a.name);
    const std::string fb = Folded(b.name);
    return fa != fb ? fa < fb : a.name < b.name;
}

#ifdef _WIN32

std::optional<std::uint64_t> DeviceOf(const std::string&) {
    return std::nullopt;
}

bool ListFolder(const std::string& dir, std::optional<std::uint64_t>, std::vector<Entry>& out) {
    std::error_code ec;
    std::filesystem::directory_iterator it(FsPath(dir), ec), end;
    if (ec) {
        return false;
    }
    for (; it != end; it.increment(ec)) {
        if (ec) {
            return false;
        }
        const DWORD attributes = GetFileAttributesW(it->path().c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
            continue;
        }
        const auto u8 = it->path().filename().u8string();
        std::string name(u8.begin(), u8.end());
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                out.push_back({name, true});
            }
        } else {
            out.push_back({name, false});
        }
    }
    return true;
}

#else

std::optional<std::uint64_t> DeviceOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_dev);
}

// The folder's entries without hidden ones, folder links, folders of another file
// system and anything that is neither an ordinary file nor a folder.
bool ListFolder(const std::string& dir, std::optional<std::uint64_t> device,
                std::vector<Entry>& out) {
    std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
    if (!d) {
        return false;
    }
    const int fd = dirfd(d.get());
    while (const dirent* e = readdir(d.get())) {
        const std::string name = e->d_name;
        if (name.empty() || name.front() == '.') {
            continue;  // ".", ".." and hidden entries
        }
        struct stat st {};
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            // A link to a file is that file; a link to a folder is not followed.
            if (fstatat(fd, name.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode)) {
                out.push_back({name, false});
            }
        } else if (S_ISDIR(st.st_mode)) {
            if (!device || static_cast<std::uint64_t>(st.st_dev) == *device) {
                out.push_back({name, true});
            }
        } else if (S_ISREG(st.st_mode)) {
            out.push_back({name, false});
        }
    }
    return true;
}

#endif

}  // namespace

std::vector<std::string> ClimbNames(const std::string& drawingFolder) {
    std::string rest = drawingFolder;
#ifndef _WIN32
    if (!rest.empty() && rest.front() == '/') {
        rest.erase(0, 1);
        return Split(rest, IsStoredSeparator);
    }
#endif
    if (auto unc = rest.find("\\\\"); unc != std::string::npos) {
        rest.erase(0, unc + 1);
    } else if (auto colon = rest.find(':'); colon != std::string::npos) {
        rest.erase(0, colon + 1);
    }
    return Split(rest, IsStoredSeparator);
}

std::string StoredFileName(const std::string& stored) {
    return Split(stored, IsStoredSeparator).back();
}

XrefReload::XrefReload(cad::CadConnection& connection) : connection_(connection) {}

void XrefReload::ReloadXrefs() {
    connection_.EnsureConnected();
    auto app = connection_.CadApp->Application();
    Ref<AcadDocument> doc;
    std::string noDrawing = "No active drawing";
    try {
        doc = app->ActiveDocument();
    } catch (const cad::CadFailure&) {
        throw;
    } catch (const CadError& e) {
        noDrawing = e.Description();
    }

    // Until the first external reference, a failure goes to the caller; from there on
    // each failing step is skipped.
    bool skipping = false;
    if (doc) {
        const std::string folder = doc->Path();
        auto blocks = doc->Blocks();
        const std::int32_t count = blocks->Count();
        // The climb's searches stay on the drawing's file system.
        struct Pin {
            std::optional<std::uint64_t>& device;
            Pin(std::optional<std::uint64_t>& d, std::optional<std::uint64_t> value) : device(d) {
                device = value;
            }
            ~Pin() { device.reset(); }
            Pin(const Pin&) = delete;
            Pin& operator=(const Pin&) = delete;
        } pin(drawingDevice_, DeviceOf(NativePath(folder)));
        int level = 0;
        for (std::int32_t i = 0; i < count; ++i) {
            Ref<AcadBlock> block;
            bool isXref = true;
            if (skipping) {
                if (!TryStep([&] { block = blocks->Item(i); }) || !block) {
                    continue;
                }
                // A reference test that fails counts as held.
                TryStep([&] { isXref = block->IsXRef(); });
            } else {
                block = blocks->Item(i);
                if (!block) {
                    continue;
                }
                isXref = block->IsXRef();
            }
            if (!isXref) {
                continue;
            }
            skipping = true;
            ReloadReference(*doc, *block, folder, level);
        }
    }

    if (skipping) {
        TryStep([&] { app->ZoomExtents(); });
        TryStep([&] { doc->Regen(cad::kRegenAllViewports); });
        TryStep([&] { doc->Regen(cad::kRegenActiveViewport); });
        return;
    }
    app->ZoomExtents();
    if (!doc) {
        throw CadError(noDrawing);
    }
    doc->Regen(cad::kRegenAllViewports);
    doc->Regen(cad::kRegenActiveViewport);
}

bool XrefReload::ReloadReference(AcadDocument& doc, AcadBlock& ref, const std::string& folder,
                                 int& level) {
    // Only a reference whose drawing is not loaded is looked for.
    bool unloaded = false;
    try {
        ref.XRefDatabase()->ModelSpace()->Count();
    } catch (const cad::CadFailure&) {
        throw;
    } catch (const CadError& e) {
        unloaded = e.Description() == cad::kNoDatabase;
    }
    if (!unloaded) {
        return false;
    }

    std::string stored;
    TryStep([&] { stored = ref.Path(); });
    const std::string fileName = StoredFileName(stored);
    const bool found = Reroot(ref, stored, folder) || Climb(doc, ref, folder, fileName, level);
    TryStep([&] {
        auto blocks = doc.Blocks();
        const std::string name = ref.Name();
        blocks->Item(name)->Reload();
    });
    return found;
}

// The stored path's tail from one of its folder names on, put under the drawing
// folder's part before the same name.
bool XrefReload::Reroot(AcadBlock& ref, const std::string& stored, const std::string& folder) {
    const auto components = Split(stored, IsStoredSeparator);
    for (std::size_t k = 1; k < components.size(); ++k) {
        const std::string& c = components[k];
        if (c.size() <= 2) {
            continue;
        }
        const auto at = folder.find(c);
        if (at == std::string::npos || at == 0) {
            continue;
        }
        const std::string candidate =
            NativePath(folder.substr(0, at) + stored.substr(stored.find(c)));
        if (FileExists(candidate)) {
            TryStep([&] { ref.SetPath(candidate); });
            TryStep([&] { ref.Reload(); });
            return true;
        }
    }
    return false;
}

// Searches the trees above the drawing folder, one folder name higher each step.
bool XrefReload::Climb(AcadDocument& doc, AcadBlock& ref, const std::string& folder,
                       const std::string& fileName, int& level) {
    const auto names = ClimbNames(folder);
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (++level > kClimbBudget) {
            return false;
        }
        XrefGet = false;
        FoundFile.clear();
        const std::string& d = *it;
        if (Contains(d, ".") || d.size() <= 2) {
            continue;
        }
        const auto at = folder.find(d);
        if (at == std::string::npos || at == 0) {
            continue;
        }
        FindXrefFile(folder.substr(0, at), fileName);
        if (FoundFile.size() > 2 && XrefGet && FileExists(FoundFile)) {
            TryStep([&] { ref.SetPath(FoundFile); });
            TryStep([&] {
                auto blocks = doc.Blocks();
                const std::string name = ref.Name();
                blocks->Item(name)->Reload();
            });
            return true;
        }
    }
    return false;
}

void XrefReload::FindXrefFile(const std::string& folder, const std::string& fileName) {
    if (XrefGet) {
        return;
    }
    const bool top = depth_ == 0;
    if (top) {
        stopped_ = false;
    } else if (stopped_) {
        return;
    }
    std::string dir = NativePath(folder);
    if (dir.empty()) {
        return;
    }
    if (!IsNativeSeparator(dir.back())) {
        dir += kNativeSeparator;
    }
    if (top) {
        stayOn_ = drawingDevice_ ? drawingDevice_ : DeviceOf(dir);
    }
    if (Poll && Poll()) {
        stopped_ = true;
        return;
    }

    std::vector<Entry> entries;
    if (!ListFolder(dir, stayOn_, entries)) {
        return;  // an unreadable folder holds nothing that can be found
    }
    std::sort(entries.begin(), entries.end(), NameOrder);
    std::vector<std::string> folders;
    for (const auto& e : entries) {
        if (e.folder) {
            folders.push_back(e.name);
        } else if (e.name == fileName) {
            FoundFile = dir + e.name;
            XrefGet = true;
            return;
        }
    }
    struct Deeper {
        int& depth;
        explicit Deeper(int& d) : depth(++d) {}
        ~Deeper() { --depth; }
        Deeper(const Deeper&) = delete;
        Deeper& operator=(const Deeper&) = delete;
    } deeper(depth_);
    for (const auto& sub : folders) {
        if (XrefGet || stopped_) {
            break;
        }
        FindXrefFile(dir + sub + kNativeSeparator, fileName);
    }
}

}  // namespace vx::plot
