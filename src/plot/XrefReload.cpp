#include "plot/XrefReload.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <vector>

#include "plot/PlotPaths.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

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

std::string Folded(std::string name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return name;
}

// By name ignoring letter case; names that differ only in case by their bytes.
bool NameOrder(const std::string& a, const std::string& b) {
    const std::string fa = Folded(a);
    const std::string fb = Folded(b);
    return fa != fb ? fa < fb : a < b;
}

// The file system (volume) a path lies on.
std::optional<std::uint64_t> DeviceOf(const std::string& path) {
    const auto status = search::StatusOf(search::FromFileSystemPath(path));
    if (!status) {
        return std::nullopt;
    }
    return status->identity.device;
}

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
    std::string used;
    const bool found =
        Reroot(ref, stored, folder, used) || Climb(doc, ref, folder, fileName, level, used);
    std::string name;
    TryStep([&] {
        auto blocks = doc.Blocks();
        name = ref.Name();
        blocks->Item(name)->Reload();
    });
    if (found && !used.empty() && used != stored) {
        relocations_.push_back({name, stored, used});
    }
    return found;
}

// The stored path's tail from one of its folder names on, put under the drawing
// folder's part before the same name.
bool XrefReload::Reroot(AcadBlock& ref, const std::string& stored, const std::string& folder,
                        std::string& used) {
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
            if (TryStep([&] { ref.SetPath(candidate); })) {
                used = candidate;
            }
            TryStep([&] { ref.Reload(); });
            return true;
        }
    }
    return false;
}

// Searches the trees above the drawing folder, one folder name higher each step.
bool XrefReload::Climb(AcadDocument& doc, AcadBlock& ref, const std::string& folder,
                       const std::string& fileName, int& level, std::string& used) {
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
            if (TryStep([&] { ref.SetPath(FoundFile); })) {
                used = FoundFile;
            }
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

// One folder as the search sees it: its subfolders in search order and its files, without
// hidden entries, folder links and anything that is neither a file nor a folder.
struct XrefReload::Listing {
    bool readable = false;
    std::optional<std::uint64_t> device;  // the folder's own file system
    std::vector<std::string> folders;
    std::vector<std::string> files;  // sorted by their bytes
    std::size_t Size() const { return folders.size() + files.size(); }
};

std::shared_ptr<const XrefReload::Listing> XrefReload::List(const std::string& dir) {
    if (remembering_) {
        if (auto known = listings_.find(dir); known != listings_.end()) {
            return known->second;
        }
    }
    auto listing = std::make_shared<Listing>();
    search::FolderListing folder(search::FromFileSystemPath(dir));
    // A folder that can be read but not searched names entries none of which can be
    // reached: it holds nothing either.
    search::DirEntry self;
    self.rawName = ".";
    listing->readable = folder.IsOpen() && folder.Status(self);
    if (listing->readable) {
        listing->device = folder.Identity().device;
    }
    for (const search::DirEntry& e : folder.Entries()) {
        if (e.hidden) {
            continue;
        }
        search::EntryKind kind = e.kind;
        if (kind == search::EntryKind::Unknown) {
            // A link to a file is that file; a link to a folder is not followed.
            const bool link = folder.IsLink(e);
            const auto status = folder.Status(e);
            kind = !status || (link && status->kind != search::EntryKind::File)
                       ? search::EntryKind::Other
                       : status->kind;
        }
        if (kind == search::EntryKind::Folder) {
            listing->folders.push_back(e.rawName);
        } else if (kind == search::EntryKind::File) {
            listing->files.push_back(e.rawName);
        }
    }
    std::sort(listing->folders.begin(), listing->folders.end(), NameOrder);
    std::sort(listing->files.begin(), listing->files.end());
    if (remembering_ && remembered_ + listing->Size() <= kRememberedEntries) {
        remembered_ += listing->Size();
        listings_.emplace(dir, listing);
    }
    return listing;
}

void XrefReload::StartRun() {
    listings_.clear();
    remembered_ = 0;
    remembering_ = true;
}

void XrefReload::EndRun() {
    listings_.clear();
    remembered_ = 0;
    remembering_ = false;
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

    const auto listing = List(dir);
    // An unreadable folder holds nothing that can be found, and the search stays on one
    // file system below the folder it starts in.
    if (!listing->readable || (!top && stayOn_ && listing->device != stayOn_)) {
        return;
    }
    if (std::binary_search(listing->files.begin(), listing->files.end(), fileName)) {
        FoundFile = dir + fileName;
        XrefGet = true;
        return;
    }
    struct Deeper {
        int& depth;
        explicit Deeper(int& d) : depth(++d) {}
        ~Deeper() { --depth; }
        Deeper(const Deeper&) = delete;
        Deeper& operator=(const Deeper&) = delete;
    } deeper(depth_);
    for (const auto& sub : listing->folders) {
        if (XrefGet || stopped_) {
            break;
        }
        FindXrefFile(dir + sub + kNativeSeparator, fileName);
    }
}

}  // namespace vx::plot
