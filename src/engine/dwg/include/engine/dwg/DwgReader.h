// The DWG reader: R13 to 2018 (AC1012 to AC1032) into the drawing database.
//
//   auto result = vx::engine::dwg::ReadDwg(bytes);
//   if (!result.Ok()) { report(result.error.Text()); }
//   const db::Database& db = *result.database;   // db.warnings: damage that was skipped
//
// The database is filled as the DXF reader fills it: text in UTF-8 (code page text of
// files before R2007 converted, UTF-16 from R2007 on), points as stored (OCS for planar
// entities), angles in degrees, handles as numbers, layers, linetypes and text styles in
// table order, each block's entities in drawing order, layouts in tab order with "Model"
// first and their plot settings, external references with their stored path, and entity
// types the engine does not draw kept by their DXF name.
//
// Versions before R13 (AC1009 and older) and unknown version codes are refused with an
// error that names the version. Damage: a file whose layout (sections, page maps, object
// map) cannot be read gives an error that says what and where; a damaged object, table
// entry or entity is skipped with a warning naming its handle and type, and the drawing
// opens. Every count and size is checked against what remains of the input, so damaged
// files never make the reader allocate without bound, loop or read out of bounds.
#pragma once

#include <string_view>

#include "engine/db/Database.h"

namespace vx::engine::dwg {

using DwgReadOptions = db::ReadOptions;
using DwgResult = db::ReadResult;

// Reads a whole DWG file held in memory.
DwgResult ReadDwg(std::string_view bytes, const DwgReadOptions& options = {});

// True when `bytes` begin with a DWG version code ("AC1015", "AC1032", ..., also the
// old "AC2.10" and "MC0.0" codes, which ReadDwg refuses).
bool LooksLikeDwg(std::string_view bytes);

// True for the version codes ReadDwg reads.
bool IsSupportedDwgVersion(std::string_view versionCode);

}  // namespace vx::engine::dwg
