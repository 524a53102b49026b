// The drawing database's entities: ids, common properties, the geometry of each type,
// one entity and the chunked list of a block's entities. See Database.h.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "engine/db/DrawingGeometry.h"

namespace vx::engine::db {

using Handle = std::uint64_t;
using LayerId = std::uint32_t;
using LinetypeId = std::uint32_t;
using StyleId = std::uint32_t;
using BlockId = std::uint32_t;
using ImageDefId = std::uint32_t;

// "No such entry" for every id type.
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;
// Linetype references that are not table entries.
inline constexpr LinetypeId kByLayer = 0xFFFFFFFEu;
inline constexpr LinetypeId kByBlock = 0xFFFFFFFDu;

// Properties

// An entity's or layer's colour: by layer, by block, an index of the 256-colour palette
// (1..255; 7 is white on dark and black on light paper) or a true colour 0xRRGGBB.
struct Color {
    enum class Kind : std::uint8_t { ByLayer, ByBlock, Index, True };
    Kind kind = Kind::ByLayer;
    std::int16_t index = 7;  // for Index, and the nearest index for True
    std::uint32_t rgb = 0;   // for True

    static Color FromIndex(int aci);  // 0 = ByBlock, 256 = ByLayer, else index (abs)
    static Color FromRgb(std::uint32_t rgb, std::int16_t nearestIndex);
    friend bool operator==(const Color&, const Color&) = default;
};

// Lineweights in hundredths of a millimetre, or one of these.
inline constexpr std::int16_t kLineweightByLayer = -1;
inline constexpr std::int16_t kLineweightByBlock = -2;
inline constexpr std::int16_t kLineweightDefault = -3;

// Common properties of every entity.
struct EntityProps {
    Handle handle = 0;
    Handle owner = 0;
    LayerId layer = 0;  // always a valid index into Database::layers
    LinetypeId linetype = kByLayer;
    Color color{};
    std::int16_t lineweight = kLineweightByLayer;
    bool invisible = false;   // group 60 = 1: not drawn
    bool paperSpace = false;  // group 67 = 1
    double linetypeScale = 1.0;
    Vec3 extrusion{0, 0, 1};         // normal of the entity's plane (OCS)
    std::uint32_t transparency = 0;  // group 440 as stored; 0 = by layer
    Handle plotStyle = 0;            // named plot style (group 390), 0 = by layer
};

// Entities. Planar entities keep their points in their object coordinate system (OCS)
// given by EntityProps::extrusion, as the file holds them; OcsToWorld() maps them.

struct Line {
    Vec3 start{}, end{};
    double thickness = 0;
};
struct Point {
    Vec3 position{};
    double thickness = 0;
    double angle = 0;  // degrees, for the point display modes
};
struct Circle {
    Vec3 center{};  // OCS
    double radius = 0;
    double thickness = 0;
};
struct Arc {
    Vec3 center{};  // OCS
    double radius = 0;
    double startAngle = 0;  // degrees, counter-clockwise in the OCS
    double endAngle = 360;
    double thickness = 0;
};
struct Ellipse {
    Vec3 center{};     // world
    Vec3 majorAxis{};  // world, relative to the centre
    double ratio = 1;  // minor to major
    double startParam = 0;
    double endParam = 6.283185307179586;  // radians
};

struct LwVertex {
    double x = 0, y = 0;
    double startWidth = 0, endWidth = 0;
    double bulge = 0;  // tan(included angle / 4) of the arc to the next vertex
};
struct LwPolyline {
    std::vector<LwVertex> vertices{};  // OCS
    bool closed = false;
    bool plinegen = false;
    double constantWidth = 0;
    double elevation = 0;
    double thickness = 0;
};

struct PolyVertex {
    Vec3 position{};  // OCS for 2D polylines, world for 3D polylines and meshes
    double startWidth = 0, endWidth = 0;
    double bulge = 0;
    std::int16_t flags = 0;                      // group 70 of the VERTEX
    std::int16_t faceIndices[4] = {0, 0, 0, 0};  // polyface face records (71..74)
};
struct Polyline {
    enum Flags : std::int16_t {
        kClosed = 1,
        kCurveFit = 2,
        kSplineFit = 4,
        kPolyline3d = 8,
        kPolygonMesh = 16,
        kMeshClosedN = 32,
        kPolyfaceMesh = 64,
        kPlinegen = 128,
    };
    std::vector<PolyVertex> vertices{};
    std::int16_t flags = 0;
    double elevation = 0;  // z of the 2D polyline's OCS plane
    double defaultStartWidth = 0, defaultEndWidth = 0;
    std::int16_t meshM = 0, meshN = 0;  // mesh vertex counts, or polyface vertex/face counts
    double thickness = 0;

    bool Is3d() const { return (flags & (kPolyline3d | kPolygonMesh | kPolyfaceMesh)) != 0; }
    bool Closed() const { return (flags & kClosed) != 0; }
};

struct Spline {
    std::int16_t flags = 0;  // 1 closed, 2 periodic, 4 rational, 8 planar
    std::int32_t degree = 3;
    std::vector<double> knots{};
    std::vector<Vec3> controlPoints{};  // world
    std::vector<double> weights{};      // empty = all 1
    std::vector<Vec3> fitPoints{};
    Vec3 startTangent{}, endTangent{};
};

// SOLID, TRACE (filled, OCS) and 3DFACE (world). Corner order is as stored: the filled
// shapes draw 1-2-4-3.
struct Face {
    Vec3 corners[4];
    double thickness = 0;
    std::int16_t invisibleEdges = 0;  // 3DFACE: bit n = edge n hidden
};

struct Text {
    Vec3 position{};    // first alignment point (OCS)
    Vec3 alignPoint{};  // second alignment point (OCS), used when aligned
    double height = 0;
    double rotation = 0;  // degrees
    double widthFactor = 1;
    double oblique = 0;           // degrees
    std::int16_t halign = 0;      // 0 left, 1 centre, 2 right, 3 aligned, 4 middle, 5 fit
    std::int16_t valign = 0;      // 0 baseline, 1 bottom, 2 middle, 3 top
    std::int16_t generation = 0;  // 2 backward, 4 upside down
    bool hasAlignPoint = false;
    double thickness = 0;
    StyleId style = kNone;
    std::string text{};
};

struct MText {
    Vec3 position{};      // insertion point (world)
    Vec3 xAxis{1, 0, 0};  // text direction (world); see `rotation` when absent
    bool hasXAxis = false;
    double height = 0;     // nominal character height
    double rectWidth = 0;  // reference rectangle width, 0 = no wrapping
    double rotation = 0;   // degrees, when no direction is given
    double lineSpacing = 1;
    std::int16_t lineSpacingStyle = 1;  // 1 at least (taller lines push down), 2 exactly
    std::int16_t attachment = 1;        // 1 top left .. 9 bottom right
    std::int16_t drawingDirection = 1;  // 1 left to right, 3 top to bottom, 5 by style
    StyleId style = kNone;
    std::string text{};  // with its inline format codes, continuation chunks joined
};

// ATTRIB (inside an INSERT) and ATTDEF (in a block definition).
struct Attribute {
    Text text{};
    std::string tag{};
    std::string prompt{};    // ATTDEF only
    std::int16_t flags = 0;  // 1 invisible, 2 constant, 4 verify, 8 preset
    bool isMText = false;    // multi-line attribute; `mtext` holds its text then
    MText mtext{};
};

// An ATTRIB with its own properties; ATTRIB positions are in the OCS of the attribute,
// not of the block, and are drawn as they are.
struct AttribEntity {
    EntityProps props{};
    Attribute attribute{};
};

struct Insert {
    std::string blockName{};
    BlockId block = kNone;  // resolved after reading; kNone when the block is missing
    Vec3 position{};        // OCS
    Vec3 scale{1, 1, 1};
    double rotation = 0;  // degrees
    std::int16_t columns = 1, rows = 1;
    double columnSpacing = 0, rowSpacing = 0;
    std::vector<AttribEntity> attribs{};
};

struct Dimension {
    std::string blockName{};  // the anonymous block that holds the dimension's picture
    BlockId block = kNone;
    std::int16_t dimType = 0;  // group 70
    std::string styleName{};
    Vec3 definitionPoint{};          // 10
    Vec3 textMidpoint{};             // 11
    Vec3 insertionPoint{};           // 12: where the block is inserted (usually 0,0,0)
    Vec3 points[4];                  // 13, 14, 15, 16
    double measurement = 0;          // 42
    double rotation = 0;             // 50: the dimension line's angle (rotated linear only)
    double textRotation = 0;         // 53
    double obliqueAngle = 0;         // 52
    double horizontalDirection = 0;  // 51
    std::string text{};              // 1: override text, "<>" = measurement
    // The type of the later dimension kinds drawn the same way ("ARC_DIMENSION",
    // "LARGE_RADIAL_DIMENSION"); empty for DIMENSION.
    std::string typeName{};
};

struct Leader {
    std::vector<Vec3> vertices{};  // world
    bool arrowhead = true;         // group 71
    std::int16_t pathType = 0;     // 0 straight, 1 spline
    std::string styleName{};
    Vec3 horizontalDirection{1, 0, 0};
};

struct HatchEdge {
    enum class Type : std::uint8_t { Line = 1, Arc = 2, Ellipse = 3, Spline = 4 };
    Type type = Type::Line;
    // Line: p0 → p1. Arc: centre p0, radius, angles in degrees, ccw. Ellipse: centre p0,
    // major axis end p1 (relative), ratio, angles in degrees, ccw.
    Vec3 p0{}, p1{};
    double radius = 0, ratio = 1, startAngle = 0, endAngle = 0;
    bool ccw = true;
    // Spline
    std::int32_t degree = 3;
    bool rational = false, periodic = false;
    std::vector<double> knots{};
    std::vector<Vec3> controlPoints{};
    std::vector<double> weights{};
    std::vector<Vec3> fitPoints{};
};
struct HatchPath {
    std::int32_t flags = 0;  // 1 external, 2 polyline, 4 derived, 16 outermost, ...
    bool isPolyline = false;
    bool closed = true;
    std::vector<LwVertex> polyline{};  // x, y and bulge (OCS)
    std::vector<HatchEdge> edges{};    // OCS
};
struct HatchPatternLine {
    double angle = 0;  // degrees
    Vec3 base{}, offset{};
    std::vector<double> dashes{};
};
struct Hatch {
    std::string patternName{};
    bool solid = false;
    std::int16_t patternType = 1;  // 0 user, 1 predefined, 2 custom
    std::int16_t style = 0;        // 0 normal (odd parity), 1 outer, 2 ignore
    double patternAngle = 0, patternScale = 1;
    bool patternDouble = false;
    double elevation = 0;
    std::vector<HatchPath> paths{};
    std::vector<HatchPatternLine> patternLines{};
    bool gradient = false;
    std::string gradientName{};
};

struct Image {
    Vec3 position{};            // lower-left corner of the frame (world)
    Vec3 uVector{}, vVector{};  // one pixel along the frame's x and y (world)
    double pixelsU = 0, pixelsV = 0;
    std::int16_t displayFlags = 0;
    bool clipping = false;
    std::vector<Vec3> clipBoundary{};  // pixel coordinates
    bool clipInside = false;           // the boundary hides what lies inside it (from R2010)
    std::int16_t brightness = 50, contrast = 50, fade = 0;  // 0..100
    Handle imageDefHandle = 0;
    ImageDefId imageDef = kNone;
};

struct Viewport {
    Vec3 center{};  // paper space
    double width = 0, height = 0;
    std::int16_t status = 0;  // group 68: 0 off, > 0 on (stack order), -1 on but not shown
    std::int16_t id = 0;      // group 69: 1 is the paper-space view itself
    Vec3 viewCenter{};        // model space (display coordinates of the view)
    Vec3 viewTarget{};
    Vec3 viewDirection{0, 0, 1};
    double viewHeight = 0;  // model-space height shown; height / viewHeight = scale
    double twist = 0;       // degrees
    double lensLength = 50;
    double frontClip = 0, backClip = 0;
    std::int32_t flags = 0;  // group 90
    std::vector<Handle> frozenLayerHandles{};
    std::vector<LayerId> frozenLayers{};  // resolved
    Handle clipBoundary = 0;              // entity that clips the viewport (340), 0 = none
    std::string plotStyleSheet{};
    std::int16_t renderMode = 0;

    bool On() const { return status != 0 && (flags & 0x20000) == 0; }
    double Scale() const { return viewHeight != 0 ? height / viewHeight : 0; }
};

// XLINE (endless both ways) and RAY (endless from its base point): construction lines.
// They have no extents; the frontend draws them across the plotted area.
struct XLine {
    Vec3 base{};              // world
    Vec3 direction{1, 0, 0};  // world
};

// MLINE: parallel lines along a path. At each vertex, an element lies `params[0]` along
// the miter direction (scale and justification applied); the further parameters break
// the element along the segment (pairs of distances from the vertex: dash end, next start).
struct MLineVertex {
    Vec3 position{}, direction{}, miter{};      // world
    std::vector<std::vector<double>> params{};  // per element
};
struct MLine {
    enum Flags : std::int16_t { kClosed = 2, kNoStartCaps = 4, kNoEndCaps = 8 };
    std::string styleName{};
    Handle styleHandle = 0;
    std::uint32_t style = kNone;  // index into Database::mlineStyles
    double scale = 1;
    std::int16_t justification = 0;  // 0 top, 1 zero, 2 bottom
    std::int16_t flags = 0;
    std::vector<MLineVertex> vertices{};

    bool Closed() const { return (flags & kClosed) != 0; }
};

// MULTILEADER: leader lines from arrowheads to a landing, and a text or a block.
struct MLeaderLine {
    std::vector<Vec3> vertices{};  // world, the arrowhead's point first
};
struct MLeaderBranch {
    Vec3 landing{};  // where the lines end ("last leader line point")
    Vec3 doglegDirection{1, 0, 0};
    double doglegLength = 0;
    bool hasLanding = false;
    std::vector<MLeaderLine> lines{};
};
struct MLeader {
    std::int16_t contentType = 2;  // 0 none, 1 block, 2 multiline text, 3 tolerance
    std::int16_t lineType = 1;     // 0 invisible, 1 straight, 2 spline
    Color lineColor{};             // of the leader lines (ByBlock = the entity's)
    bool dogleg = true;            // draw the dogleg from the landing
    double arrowSize = 0;          // 0: no arrowheads
    std::vector<MLeaderBranch> branches{};
    // text content: position, direction, height, attachment and text as an MTEXT
    bool hasText = false;
    MText text{};
    Handle textStyleHandle = 0;
    Color textColor{};
    bool textFrame = false;  // a frame around the text, `landingGap` from it
    double landingGap = 0;
    // block content
    bool hasBlock = false;
    Handle blockHandle = 0;
    BlockId block = kNone;  // resolved after reading
    Vec3 blockPosition{}, blockScale{1, 1, 1};
    double blockRotation = 0;  // degrees
    Color blockColor{};
};

// TOLERANCE: a feature-control frame. The text holds the rows (separated by "^J") and
// within a row the boxes (separated by "%%v"); symbols are letters of the "gdt" font,
// written as MTEXT font switches ("{\\Fgdt;j}").
struct Tolerance {
    Vec3 position{};      // top left corner of the first box (world)
    Vec3 xAxis{1, 0, 0};  // direction of the rows (world)
    std::string styleName{};
    std::string text{};
};

// MESH (subdivision surface), as stored at level 0: its vertices and faces. Each face is
// a run of vertex indices in `faceIndices`, `faceSizes` giving the run lengths.
struct Mesh {
    std::vector<Vec3> vertices{};  // world
    std::vector<std::uint32_t> faceSizes{};
    std::vector<std::uint32_t> faceIndices{};  // checked against `vertices` by the readers
};

// PDFUNDERLAY, DWFUNDERLAY, DGNUNDERLAY: a page of another document shown in place, like an
// image. One unit of the underlay is one unit of the page before `scale`: an inch of a PDF
// page (72 of its points). The page's lower-left corner lies at `position`.
struct Underlay {
    enum class Format : std::uint8_t { Pdf, Dwf, Dgn };
    enum Flags : std::int16_t {
        kClipping = 1,
        kOn = 2,
        kMonochrome = 4,
        kAdjustForBackground = 8,
        kClipInside = 16,
    };
    Format format = Format::Pdf;
    Vec3 position{};  // OCS
    Vec3 scale{1, 1, 1};
    double rotation = 0;  // degrees
    std::int16_t flags = kOn;
    std::int16_t contrast = 100;  // 20..100
    std::int16_t fade = 0;        // 0..80
    // Underlay units from the insertion point, unscaled and unrotated; two points are the
    // corners of a rectangle.
    std::vector<Vec3> clipBoundary{};
    Handle definitionHandle = 0;
    std::uint32_t definition = kNone;  // index into Database::underlays

    // Underlay units to the OCS: scaled, turned by `rotation`, moved to `position`.
    Transform ToOcs() const;
    // The clip boundary as a polygon (a rectangle's four corners), in underlay units;
    // empty when there is none.
    std::vector<Vec3> ClipPolygon() const;

    // The format an underlay's or underlay definition's type name says ("PDFUNDERLAY" with
    // `suffix` "UNDERLAY", "DWFDEFINITION" with "DEFINITION"), or none.
    static std::optional<Format> FormatOf(std::string_view typeName, std::string_view suffix);
};

// An entity of a type the engine does not draw; kept so that reports can name it.
struct Unknown {
    std::string typeName{};  // as in the file, e.g. "3DSOLID"
    // The picture a custom object carries for programs without its application: an
    // anonymous block of plain entities in world coordinates, drawn as a reference to it
    // without any transform (see ProxyGraphics.h); kNone when it has none.
    BlockId graphics = kNone;
};

enum class EntityType : std::uint8_t {
    Line,
    Point,
    Circle,
    Arc,
    Ellipse,
    LwPolyline,
    Polyline,
    Spline,
    Solid,
    Trace,
    Face3d,
    Text,
    MText,
    Attdef,
    Insert,
    Dimension,
    Leader,
    Hatch,
    Image,
    Viewport,
    XLine,
    Ray,
    MLine,
    MLeader,
    Table,    // an Insert of the table's picture block
    Wipeout,  // an Image whose boundary masks what lies beneath
    Tolerance,
    Mesh,
    Underlay,  // PDFUNDERLAY, DWFUNDERLAY, DGNUNDERLAY by its format
    Unknown,
};

// A value kept on the heap: the large, rarer geometries, so that every entity does not
// pay their size. Copies are deep.
template <class T>
class Boxed {
public:
    Boxed() : p_(std::make_unique<T>()) {}
    Boxed(T value) : p_(std::make_unique<T>(std::move(value))) {}  // NOLINT: implicit
    Boxed(const Boxed& o) : p_(std::make_unique<T>(*o.p_)) {}
    Boxed(Boxed&&) noexcept = default;
    Boxed& operator=(const Boxed& o) {
        p_ = std::make_unique<T>(*o.p_);
        return *this;
    }
    Boxed& operator=(Boxed&&) noexcept = default;
    T* get() const { return p_.get(); }

private:
    std::unique_ptr<T> p_;
};

template <class T>
inline constexpr bool kBoxedGeometry =
    std::is_same_v<T, Spline> || std::is_same_v<T, Attribute> || std::is_same_v<T, Dimension> ||
    std::is_same_v<T, Leader> || std::is_same_v<T, Hatch> || std::is_same_v<T, Image> ||
    std::is_same_v<T, Viewport> || std::is_same_v<T, MLine> || std::is_same_v<T, MLeader> ||
    std::is_same_v<T, Tolerance> || std::is_same_v<T, Mesh> || std::is_same_v<T, Underlay>;

// One entity: its common properties and its type's geometry. Read the geometry with
// As<T>() (T one of the structs above, Attribute for ATTDEF, Face for SOLID, TRACE and
// 3DFACE, Circle for CIRCLE, XLine for RAY, Insert for ACAD_TABLE, Image for WIPEOUT, ...);
// set it with Set().
struct Entity {
    EntityType type = EntityType::Unknown;
    EntityProps props{};
    std::variant<Line, Point, Circle, Arc, Ellipse, LwPolyline, Polyline, Boxed<Spline>, Face, Text,
                 MText, Boxed<Attribute>, Insert, Boxed<Dimension>, Boxed<Leader>, Boxed<Hatch>,
                 Boxed<Image>, Boxed<Viewport>, XLine, Boxed<MLine>, Boxed<MLeader>,
                 Boxed<Tolerance>, Boxed<Mesh>, Boxed<Underlay>, Unknown>
        data{};

    // The geometry as the given type; null when the entity holds another.
    template <class T>
    const T* As() const {
        if constexpr (kBoxedGeometry<T>) {
            const auto* b = std::get_if<Boxed<T>>(&data);
            return b ? b->get() : nullptr;
        } else {
            return std::get_if<T>(&data);
        }
    }
    template <class T>
    T* As() {
        return const_cast<T*>(static_cast<const Entity*>(this)->As<T>());
    }
    template <class T>
    void Set(EntityType t, T geometry) {
        type = t;
        if constexpr (kBoxedGeometry<T>) {
            data = Boxed<T>(std::move(geometry));
        } else {
            data = std::move(geometry);
        }
    }
    // The type name of the drawing format ("LINE", "3DFACE", an unknown type's own name).
    std::string_view TypeName() const;
};

// The entities of a block, in file order. They are kept in chunks so that a growing list
// never copies what it already holds (a vector would need about twice a large drawing's
// size while it grows). Used like a vector: size(), [i], range-for, push_back.
class EntityList {
public:
    static constexpr std::size_t kChunkBits = 9;
    static constexpr std::size_t kChunk = std::size_t{1} << kChunkBits;

    template <class L, class E>
    class Iter {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = Entity;
        using difference_type = std::ptrdiff_t;
        using pointer = E*;
        using reference = E&;
        Iter() = default;
        Iter(L* list, std::size_t i) : list_(list), i_(i) {}
        E& operator*() const { return (*list_)[i_]; }
        E* operator->() const { return &(*list_)[i_]; }
        E& operator[](difference_type n) const {
            return (*list_)[i_ + static_cast<std::size_t>(n)];
        }
        Iter& operator++() { return ++i_, *this; }
        Iter operator++(int) { return Iter(list_, i_++); }
        Iter& operator--() { return --i_, *this; }
        Iter operator--(int) { return Iter(list_, i_--); }
        Iter& operator+=(difference_type n) { return i_ += static_cast<std::size_t>(n), *this; }
        Iter& operator-=(difference_type n) { return i_ -= static_cast<std::size_t>(n), *this; }
        friend Iter operator+(Iter a, difference_type n) { return a += n; }
        friend Iter operator+(difference_type n, Iter a) { return a += n; }
        friend Iter operator-(Iter a, difference_type n) { return a -= n; }
        friend difference_type operator-(const Iter& a, const Iter& b) {
            return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
        }
        friend bool operator==(const Iter& a, const Iter& b) { return a.i_ == b.i_; }
        friend auto operator<=>(const Iter& a, const Iter& b) { return a.i_ <=> b.i_; }

    private:
        L* list_ = nullptr;
        std::size_t i_ = 0;
    };
    using iterator = Iter<EntityList, Entity>;
    using const_iterator = Iter<const EntityList, const Entity>;
    using value_type = Entity;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    Entity& operator[](std::size_t i) { return chunks_[i >> kChunkBits][i & (kChunk - 1)]; }
    const Entity& operator[](std::size_t i) const {
        return chunks_[i >> kChunkBits][i & (kChunk - 1)];
    }
    Entity& at(std::size_t i) {
        Check(i);
        return (*this)[i];
    }
    const Entity& at(std::size_t i) const {
        Check(i);
        return (*this)[i];
    }
    Entity& front() { return (*this)[0]; }
    const Entity& front() const { return (*this)[0]; }
    Entity& back() { return (*this)[size_ - 1]; }
    const Entity& back() const { return (*this)[size_ - 1]; }
    iterator begin() { return {this, 0}; }
    iterator end() { return {this, size_}; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size_}; }

    void push_back(Entity e) {
        if ((size_ & (kChunk - 1)) == 0 && size_ / kChunk == chunks_.size()) {
            chunks_.emplace_back();
            if (chunks_.size() > 1) {
                chunks_.back().reserve(kChunk);  // the first chunk grows as small blocks need
            }
        }
        chunks_.back().push_back(std::move(e));
        ++size_;
    }
    void clear() {
        chunks_.clear();
        size_ = 0;
    }

private:
    void Check(std::size_t i) const {
        if (i >= size_) {
            throw std::out_of_range("entity index out of range");
        }
    }
    std::vector<std::vector<Entity>> chunks_{};
    std::size_t size_ = 0;
};

// The format's name of a known type.
std::string_view TypeName(EntityType type);
// "PDFUNDERLAY", "DWFUNDERLAY" or "DGNUNDERLAY".
std::string_view UnderlayTypeName(Underlay::Format format);

}  // namespace vx::engine::db
