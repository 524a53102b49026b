// The DXF reader: ASCII and binary DXF, R12 to 2018, into the drawing database.
//
//   auto result = vx::engine::dxf::ReadDxf(bytes);
//   if (!result.Ok()) { report(result.error.Text()); }
//   const db::Database& db = *result.database;   // db.warnings: damage that was skipped
//
// Text is read in the file's code page ($DWGCODEPAGE) before R2007 and as UTF-8 from
// R2007 on, with the \U+XXXX and \M+nXXXX escapes decoded; the database holds UTF-8.
//
// Damage: a file that cannot be read as a drawing gives an error that says what was
// wrong and where (line and group code for ASCII, byte offset for binary). Damage that
// leaves the drawing usable — a broken entity or table entry, a damaged CLASSES, OBJECTS
// or THUMBNAILIMAGE section, broken layout links, a missing end marker — gives warnings
// and the drawing opens. The reader never allocates more than a small multiple of the
// input size and never recurses on file content.
#pragma once

#include <string_view>

#include "engine/db/Database.h"

namespace vx::engine::dxf {

using DxfReadOptions = db::ReadOptions;
using DxfResult = db::ReadResult;

// Reads a whole DXF file held in memory.
DxfResult ReadDxf(std::string_view bytes, const DxfReadOptions& options = {});

// The 22-byte signature that starts a binary DXF file.
inline constexpr std::string_view kBinaryDxfSentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

// True when `bytes` start like a binary DXF file.
bool IsBinaryDxf(std::string_view bytes);

// True when `bytes` start like a DXF file (binary, or text whose first group is code 0
// or a comment, possibly after a byte order mark).
bool LooksLikeDxf(std::string_view bytes);

}  // namespace vx::engine::dxf
