// A writer of DWG files, R2000 (AC1015), for the drawing database: the sample drawings
// get DWG twins that the window and the search can show with their preview image.
//
//   dwgwriter::WriteOptions options;
//   options.previewBmp = dwgwriter::BmpOfImage(RenderPreview(db, ...));  // optional
//   dwgwriter::WriteResult r = dwgwriter::WriteDwg(db, options);
//   // r.bytes: the whole file; r.notes: what of the drawing the file does not hold
//
// What is written: the file header with its section locators and CRCs, the header
// variables (from the database's header, its kept variables or the usual defaults), the
// classes, every table (linetypes, layers, text styles, the *Active viewport, the ACAD
// application, dimension styles by the names the dimensions use, and the empty view, UCS
// and VX tables), the block records with their BLOCK and ENDBLK entities and entities in
// drawing order (attributes, polyline vertices and their SEQENDs included), the named
// object dictionary with ACAD_GROUP, ACAD_LAYOUT (a LAYOUT object with its plot settings
// per layout), ACAD_MLINESTYLE, ACAD_PLOTSETTINGS and ACAD_PLOTSTYLENAME, the object map,
// the template section (the measurement system) and the preview image.
//
// Handles are the database's where it has them (entities, table entries, block records,
// layouts) and unique; everything else gets handles above them. Text is converted to the
// drawing's code page; characters the code page lacks are written as \U+XXXX.
// The format has no room here for true colours (the nearest palette index is kept) and the
// writer leaves out raster images and entity types the engine does not know; each such loss
// is named in the notes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/db/Database.h"

namespace vx::dwgwriter {

namespace db = vx::engine::db;

class WriteError : public std::runtime_error {
public:
    explicit WriteError(const std::string& what) : std::runtime_error(what) {}
};

struct WriteOptions {
    // The preview image: a device-independent bitmap (a BMP file without its 14-byte file
    // header), as the file's image section stores it. Empty: the file carries no preview.
    std::vector<std::uint8_t> previewBmp;
};

struct WriteResult {
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> notes;
};

// Throws WriteError when the drawing cannot be written (a size beyond the format's limits).
WriteResult WriteDwg(const db::Database& db, const WriteOptions& options = {});

}  // namespace vx::dwgwriter
