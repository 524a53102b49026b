// The drawing database's tables: layers, linetypes, text styles, blocks (with their
// external references), multiline styles and the image and underlay definitions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/db/Entities.h"

namespace vx::engine::db {

struct Layer {
    std::string name{};
    Handle handle = 0;
    Color color = Color::FromIndex(7);  // never ByLayer/ByBlock
    LinetypeId linetype = kNone;        // kNone = continuous / missing
    std::int16_t lineweight = kLineweightDefault;
    bool on = true;       // a negative colour number in the file means off
    bool frozen = false;  // flag 1
    bool locked = false;  // flag 4
    bool plot = true;     // group 290
    Handle plotStyle = 0;
    std::uint32_t transparency = 0;
    bool implicit = false;  // not in the layer table: created for an entity that named it
};

struct LinetypeElement {
    double length = 0;      // > 0 dash, < 0 gap, 0 dot
    std::int16_t type = 0;  // 74: 0 simple, 2 text, 4 shape (bit flags as stored)
    std::int16_t shape = 0;
    Handle style = 0;
    double scale = 1, rotation = 0, offsetX = 0, offsetY = 0;
    std::string text{};
};
struct Linetype {
    std::string name{};
    Handle handle = 0;
    std::string description{};
    double patternLength = 0;
    std::vector<LinetypeElement> elements{};  // empty = continuous
};

struct TextStyle {
    std::string name{};
    Handle handle = 0;
    std::int16_t flags = 0;  // 1 shape file
    double height = 0;       // fixed height, 0 = not fixed
    double widthFactor = 1;
    double oblique = 0;  // degrees
    std::int16_t generation = 0;
    std::string fontFile{};     // primary font file (3)
    std::string bigFontFile{};  // (4)
    std::string fontFamily{};   // TrueType family from the style's extended data, if any
};

// An external reference's load state.
enum class XrefStatus : std::uint8_t {
    NotLoaded,  // nothing tried yet (a database fresh from a reader)
    Loaded,
    NotFound,     // no file at the path
    Unreadable,   // the file could not be read as a drawing (see reason)
    Unsupported,  // a format without a reader (DWG for now)
    Circular,     // the reference leads back to a drawing that is loading it
    TooDeep,      // nested deeper than the loader allows
};

struct Database;

struct Xref {
    std::string path{};  // the stored path, as written (Windows form); Reload reads from it
    XrefStatus status = XrefStatus::NotLoaded;
    std::string reason{};                        // why it is not loaded
    std::string resolvedPath{};                  // native path of the file that was read
    std::shared_ptr<const Database> database{};  // set when Loaded
};

struct Block {
    enum Flags : std::int16_t {
        kAnonymous = 1,
        kHasAttributes = 2,
        kXref = 4,
        kOverlay = 8,
        kXrefDependent = 16,
        kXrefResolved = 32,
        kReferenced = 64,
    };
    std::string name{};
    Handle recordHandle = 0;  // BLOCK_RECORD
    Handle blockHandle = 0;   // BLOCK entity
    Vec3 base{};
    std::int16_t flags = 0;
    std::string description{};
    std::int16_t units = 0;  // insertion units
    Handle layoutHandle = 0;
    std::optional<Xref> xref{};  // for kXref blocks
    EntityList entities{};       // in file order

    bool IsXref() const { return (flags & kXref) != 0; }
    bool IsOverlay() const { return (flags & kOverlay) != 0; }
    bool IsAnonymous() const { return (flags & kAnonymous) != 0; }
    bool IsModelSpace() const;
    bool IsPaperSpace() const;  // *Paper_Space, *Paper_Space0, ...
};

// An MLINESTYLE: the elements of multilines that use it.
struct MLineStyleElement {
    double offset = 0;
    Color color{};
    std::string linetypeName{};
    LinetypeId linetype = kByLayer;  // resolved after reading
};
struct MLineStyle {
    enum Flags : std::int16_t {
        kFill = 1,
        kMiters = 2,
        kStartSquare = 16,
        kStartRound = 64,
        kEndSquare = 256,
        kEndRound = 1024,
    };
    std::string name{};
    Handle handle = 0;
    std::int16_t flags = 0;
    Color fillColor = Color::FromIndex(256);
    std::vector<MLineStyleElement> elements{};
};

struct ImageDef {
    Handle handle = 0;
    std::string fileName{};
    double pixelsU = 0, pixelsV = 0;
};

// PDFDEFINITION, DWFDEFINITION, DGNDEFINITION: the file an underlay shows and its page.
struct UnderlayDef {
    Handle handle = 0;
    Underlay::Format format = Underlay::Format::Pdf;
    std::string fileName{};
    std::string pageName{};  // a PDF page's number, "1" the first
};

}  // namespace vx::engine::db
