// The .ctb / .stb file format.
//
// A file is a header line, a codec tag, three little-endian 32-bit numbers and a zlib
// stream:
//
//     PIAFILEVERSION_2.0,CTBVER1,compress\r\n     (STBVER1 for a named table)
//     pmzlibcodec
//     <adler32 of the compressed bytes> <size of the text> <size of the compressed bytes>
//     <zlib stream of the text>
//
// The text is a list of lines, `key=value` or `key{` ... `}` for a group; a value that
// begins with a double quote is a text running to the end of its line (there is no closing
// quote). Top level: description, aci_table_available, scale_factor, apply_factor,
// custom_lineweight_display_units, then the groups aci_table (colour-dependent tables),
// plot_style (one numbered group per style with the fields of PlotStyle) and
// custom_lineweight_table (index=millimetres). The text ends with a NUL byte.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/plotstyle/PlotStyleTable.h"

namespace vx::engine::plotstyle {

// Reads a whole file. Throws PlotStyleError with a description naming the file when it
// cannot be read, is no plot style table, or is damaged (checksum, sizes, zlib stream,
// text structure, values out of range).
PlotStyleTable ReadPlotStyleFile(const std::filesystem::path& file);

// The same for the bytes of a file; `fileName` only names it in error descriptions.
PlotStyleTable DecodePlotStyleFile(std::string_view bytes, std::string_view fileName);

// The text inside a file, and back.
PlotStyleTable ParsePlotStyleText(std::string_view text, TableKind kind);
std::string PlotStyleText(const PlotStyleTable& table);

// The bytes of a file holding `table` (validated first).
std::string EncodePlotStyleFile(const PlotStyleTable& table);

// Writes the file through a temporary beside it and a rename, so that a failed write
// leaves any earlier file as it was. Throws PlotStyleError.
void WritePlotStyleFile(const std::filesystem::path& file, const PlotStyleTable& table);

}  // namespace vx::engine::plotstyle
