// The stored picture of custom objects ("proxy graphics"): a list of drawing commands
// (lines, circles, arcs, filled polygons, shells, meshes, text) and attribute changes
// (colour, layer, linetype, lineweight, fill, model transforms) that the application of a
// custom object writes so that programs without it can still show the object. The DXF
// reader finds it in group 92 + 310 chunks, the DWG reader in an entity's common data.
//
// The decoder turns one stream into ordinary entities in world coordinates. They start on
// layer "0" with colour, linetype and lineweight ByBlock, so that, kept in a block of
// their own that the custom object refers to, they take the object's properties until
// the stream sets its own. The data is untrusted: counts are checked against the bytes
// that hold them, the transform stack is bounded, and damage ends the decoding with a
// warning (what was decoded before it stays).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/db/Database.h"

namespace vx::engine::db {

struct ProxyGraphicsOptions {
    // The file's format version number (see VersionNumber): compressed polylines code
    // their vertices differently before 1015.
    int version = 1015;
    // 8-bit text of the drawing's code page to UTF-8; Latin-1 when not set.
    std::function<std::string(std::string_view)> narrowText{};
    // Commands decoded per stream at most; the rest is dropped with a warning.
    std::size_t maxPrimitives = 200'000;
};

struct ProxyGraphics {
    std::vector<Entity> entities{};
    std::vector<std::string> warnings{};
};

// The opcodes of the stream, for readers of the data and for tests that write it.
enum class ProxyOp : std::uint32_t {
    Extents = 1,
    Circle = 2,
    Circle3P = 3,
    CircularArc = 4,
    CircularArc3P = 5,
    Polyline = 6,
    Polygon = 7,
    Mesh = 8,
    Shell = 9,
    Text = 10,
    Text2 = 11,
    XLine = 12,
    Ray = 13,
    Color = 14,
    Layer = 16,
    Linetype = 18,
    Marker = 19,
    Fill = 20,
    TrueColor = 22,
    Lineweight = 23,
    LinetypeScale = 24,
    Thickness = 25,
    PlotStyle = 26,
    PushClip = 27,
    PopClip = 28,
    PushTransform = 29,
    PushTransform2 = 30,
    PopTransform = 31,
    PolylineWithNormal = 32,
    LwPolyline = 33,
    UnicodeText = 36,
    UnicodeText2 = 38,
};

// Decodes one stream (with its 8-byte head: total size, command count). Layer and
// linetype commands name table entries by their index in `db`'s tables; text commands
// pick the text style whose font file they name.
ProxyGraphics DecodeProxyGraphics(std::string_view data, const Database& db,
                                  const ProxyGraphicsOptions& options = {});

// For the readers, after the tables and blocks are complete: every Unknown entity whose
// handle has a stream in `streams` gets its decoded picture as a new anonymous block
// (Unknown::graphics), and so does every ACAD_TABLE whose picture block is missing or
// empty (the table then inserts the new block in place). Streams that decode to nothing
// leave the entity as it was.
// `warn(where, what)` reports damage. Layer "0" is added when the file lacks it.
void AttachProxyGraphics(Database& db, std::unordered_map<Handle, std::string>& streams,
                         const ProxyGraphicsOptions& options,
                         const std::function<void(std::string, std::string)>& warn);

}  // namespace vx::engine::db
