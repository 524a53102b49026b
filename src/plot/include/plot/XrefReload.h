// Finds the drawings of external references that the CAD application did not load,
// near the drawing's own folder, and reloads the references from there.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cad/CadConnection.h"

namespace vx::plot {

class XrefReload {
public:
    explicit XrefReload(cad::CadConnection& connection);
    virtual ~XrefReload() = default;
    XrefReload(const XrefReload&) = delete;
    XrefReload& operator=(const XrefReload&) = delete;

    // Re-points and reloads the unloaded external references of the active drawing,
    // then zooms to extents and regenerates it.
    void ReloadXrefs();

    // Searches the tree under `folder` for a file named exactly `fileName`: a folder's
    // files before its subfolders, subfolders one whole tree after the other. Sets
    // FoundFile and XrefGet when found; returns at once while XrefGet is set. Folder
    // links are not followed, and the search stays on one file system: the drawing's
    // during ReloadXrefs, else that of the folder it starts in.
    virtual void FindXrefFile(const std::string& folder, const std::string& fileName);

    bool XrefGet = false;
    std::string FoundFile;

    // Called before each folder is listed: keeps the window alive and returns true
    // when the user asked to stop, which ends the search (the file counts as not found).
    std::function<bool()> Poll;

    // Folder names that one ReloadXrefs call may climb, for all its references together.
    static constexpr int kClimbBudget = 8;

    // A reference re-pointed to a file found elsewhere than its stored path, so that a
    // report can name the file that was used.
    struct Relocation {
        std::string name;
        std::string stored;
        std::string found;
    };
    // Every relocation made through this object, in the order made.
    const std::vector<Relocation>& Relocations() const { return relocations_; }
    // While a run lasts, the searches list each folder once and take its entries from
    // that listing afterwards, so that the climbs of a run's drawings do not read the
    // same trees again and again. Starting and ending a run forget every listing, so
    // that each run sees the folders as they are when it starts.
    void StartRun();
    void EndRun();

    // At most this many entries are remembered; folders listed beyond them are read
    // again on every visit.
    static constexpr std::size_t kRememberedEntries = 2'000'000;

private:
    struct Listing;
    std::shared_ptr<const Listing> List(const std::string& dir);

    bool ReloadReference(cad::AcadDocument& doc, cad::AcadBlock& ref, const std::string& folder,
                         int& level);
    // Reroot and Climb set `used` to the path they gave the reference.
    bool Reroot(cad::AcadBlock& ref, const std::string& stored, const std::string& folder,
                std::string& used);
    bool Climb(cad::AcadDocument& doc, cad::AcadBlock& ref, const std::string& folder,
               const std::string& fileName, int& level, std::string& used);

    cad::CadConnection& connection_;
    std::optional<std::uint64_t> drawingDevice_;
    std::optional<std::uint64_t> stayOn_;
    int depth_ = 0;
    bool stopped_ = false;
    std::vector<Relocation> relocations_;
    bool remembering_ = false;
    std::map<std::string, std::shared_ptr<const Listing>> listings_;
    std::size_t remembered_ = 0;
};

// The folder names the climb goes through, from the top down: for a POSIX path the
// components after the root, for a network path ("\\server\share\...") those after
// the first "\" of the "\\", for a drive path those after the ":".
std::vector<std::string> ClimbNames(const std::string& drawingFolder);

// The file name of a stored reference path: the text after its last separator, or the
// whole path when it has none.
std::string StoredFileName(const std::string& stored);

}  // namespace vx::plot
