// The drawing database of the built-in CAD engine: everything a plot needs from a
// drawing, as plain data. Readers (DXF now, DWG later) fill it; the render context, the
// frontend and the automation object model read it. It does no I/O.
//
// Shape of the data
//   Database
//   ├── header         version, code page, units, extents, limits, point display, ...
//   ├── layers         Layer       (entities refer to them by LayerId)
//   ├── linetypes      Linetype    (by LinetypeId; kByLayer / kByBlock are no entries)
//   ├── textStyles     TextStyle   (by StyleId)
//   ├── blocks         Block       (by BlockId) — model space, every paper space, every
//   │                              block definition and external reference; each block
//   │                              holds its entities in file order
//   ├── layouts        Layout      (tab order, "Model" first; each names its block and
//   │                              carries its plot settings)
//   ├── images         ImageDef    (the raster files IMAGE entities show)
//   ├── underlays      UnderlayDef (the PDF, DWF and DGN files underlays show)
//   └── mlineStyles    MLineStyle  (the elements MLINE entities draw)
//
// Text is UTF-8 throughout, whatever the file's code page was. Handles are the file's
// hexadecimal handles as numbers (0 = none). Table names compare without regard to
// letter case, as the drawing format does; use the Find* functions for look-ups.
//
// Walking a drawing the way a plot does:
//   for (const Layout& l : db.layouts)                     // "Model" first, then tab order
//       for (const Entity& e : db.blocks[l.block].entities)  // file order
//           if (const Line* g = e.As<Line>()) ...           // or switch (e.type)
// An INSERT's or DIMENSION's block is db.blocks[g->block] (kNone when it is missing); an
// external reference's drawing is block.xref->database (null while not loaded, with the
// status and reason beside it); ByLayer properties resolve through db.layers[e.props.layer].
// Extents.h estimates extents from the entities; the readers report damage in `warnings`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/DrawingGeometry.h"
#include "engine/db/Entities.h"
#include "engine/db/HeaderVariables.h"
#include "engine/db/Layouts.h"
#include "engine/db/Tables.h"

namespace vx::engine::db {

// A warning or error of a reader, with the place it refers to.
struct Diagnostic {
    std::string where{};  // "line 123, group code 10" / "offset 0x4f2, group code 10"
    std::string what{};
    std::string Text() const { return where.empty() ? what : where + ": " + what; }
};

struct Database {
    Header header{};
    std::vector<Layer> layers{};
    std::vector<Linetype> linetypes{};
    std::vector<TextStyle> textStyles{};
    std::vector<Block> blocks{};
    std::vector<Layout> layouts{};  // tab order, model first
    std::vector<ImageDef> images{};
    std::vector<UnderlayDef> underlays{};
    std::vector<MLineStyle> mlineStyles{};
    BlockId modelSpace = kNone;
    BlockId activePaperSpace = kNone;    // "*Paper_Space"
    std::vector<Diagnostic> warnings{};  // what the reader reported about damage

    // Look-ups by name, ignoring letter case; kNone when absent.
    LayerId FindLayer(std::string_view name) const;
    LinetypeId FindLinetype(std::string_view name) const;
    StyleId FindTextStyle(std::string_view name) const;
    BlockId FindBlock(std::string_view name) const;
    // The layout of that name (exact as the automation model compares), or kNone.
    std::uint32_t FindLayout(std::string_view name) const;
    // Null when absent.
    const Block* ModelSpace() const;
    const Layer& LayerOf(const Entity& e) const { return layers[e.props.layer]; }

    // Adds a layer with default properties (an entity named a layer the table lacks).
    LayerId AddImplicitLayer(std::string_view name);

    // For the readers, once the file's own layouts are in `layouts`:
    // the block whose record names the layout `handle` (not 0), or kNone;
    BlockId BlockOfLayout(Handle handle) const;
    // adds 'Model' for model space when `addModel`, and 'Layout1' for the active paper
    // space when no layout shows paper space (files before R2000 have none), then sorts:
    // model first, then tab order, equal tab orders in file order. True when 'Layout1'
    // was made.
    bool CompleteLayouts(bool addModel);

    // After filling: rebuilds the name indexes. Readers call it once at the end;
    // callers that add tables by hand call it before the Find* functions.
    void RebuildIndexes();

private:
    std::map<std::string, std::uint32_t, std::less<>> layerIndex_, linetypeIndex_, styleIndex_,
        blockIndex_;
};

// The DXF and the DWG reader's options and result.
struct ReadOptions {
    // Warnings beyond this many are counted in one last warning.
    std::size_t maxWarnings = 200;
    // Every table drawn from its cells, its picture block set aside: for checking the
    // cell drawing against the picture.
    bool tablesFromCells = false;
};

struct ReadResult {
    std::unique_ptr<Database> database;  // null when the file could not be read
    Diagnostic error;                    // set when database is null
    bool Ok() const { return database != nullptr; }
};

// Upper-cases ASCII letters (table names compare that way).
std::string FoldName(std::string_view name);

}  // namespace vx::engine::db
