// The bound PDF set written as it is bound: each sheet's file is taken apart into the
// objects its pages use, which are written to the set at once under numbers of the set's
// own, their streams copied byte for byte (neither decoded nor compressed again); the page
// objects, the page tree, the bookmarks and the cross-reference table follow at the end.
// A sheet needs only its own bytes while it is added, so a set of thousands of sheets
// holds no more than one sheet in memory, and its end costs little more than its pages.
//
// A sheet is read as written by a simple writer (one cross-reference table, objects in the
// open); any other PDF (object streams, cross-reference streams, incremental updates,
// encryption, offsets that are off) is first rewritten so by libqpdf. A sheet's bytes are
// untrusted: every offset, length, count and depth is checked, and a sheet that fails any
// check adds nothing to the set. The set is written whole or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/AtomicFile.h"

namespace vx::cli {

class PdfSetWriter {
public:
    // A bookmark: its title and the place, among the pages written, of the page it shows.
    struct Mark {
        std::u16string title;
        std::size_t page = 0;
        std::vector<Mark> kids;
    };

    // The set's file is made when the first sheet is added.
    explicit PdfSetWriter(std::filesystem::path target);
    ~PdfSetWriter();
    PdfSetWriter(const PdfSetWriter&) = delete;
    PdfSetWriter& operator=(const PdfSetWriter&) = delete;

    // Makes the set's file (once); false with `error` set when it cannot be made.
    bool Open(std::string& error);

    // Adds the objects of the pages of a sheet whose file holds `bytes`; `pages` gets a
    // handle of each of its pages, in order. Why it could not be added, or nothing.
    std::optional<std::string> Add(std::string_view bytes, std::vector<std::size_t>& pages);

    // Writes the pages of `order` (handles from Add; a page may come more than once) as
    // the set's pages, with the bookmarks `marks` over them, and puts the set in its
    // place. False with `error` set when it could not; the target is then untouched.
    bool Finish(const std::vector<std::size_t>& order, const std::vector<Mark>& marks,
                std::string& error);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vx::cli
