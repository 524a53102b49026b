// The DWG reader's internals: the objects of a file as read, before they are put
// together into the database. Internal to the reader.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/db/Database.h"
#include "engine/db/TableCells.h"
#include "engine/dwg/BitReader.h"
#include "engine/dwg/DwgFile.h"
#include "engine/dwg/DwgReader.h"
#include "engine/dxf/CodePage.h"

namespace vx::engine::dwg {

// The three streams of one object: its data, its handle references and (from R2007)
// its text.
struct ObjectStreams {
    BitReader d;
    BitReader h;
    BitReader s;
    bool separateStrings = false;
    db::Handle self = 0;

    std::string T() { return separateStrings ? s.T() : d.T(); }
    db::Handle H() { return h.H(self).value; }
    // Passes over `n` handle references; more than the handle stream holds is damage.
    void SkipHandles(std::size_t n, const char* what) {
        if (n > h.Remaining() / 8) {
            throw DwgError(std::to_string(n) + " " + what);
        }
        for (std::size_t i = 0; i < n; ++i) {
            H();
        }
    }
};

constexpr double kDegrees = 180.0 / std::numbers::pi;

// A count read from the file, checked against the bits that remain: every element
// takes at least `minBits`, so a larger count is damage.
inline std::size_t Count(std::int64_t n, const BitReader& r, std::size_t minBits,
                         const char* what) {
    if (n < 0 || static_cast<std::uint64_t>(n) * minBits > r.Remaining()) {
        throw DwgError(std::string("a count of ") + std::to_string(n) + " " + what +
                       " larger than the data");
    }
    return static_cast<std::size_t>(n);
}

// The scale of a block reference: three doubles before R2000, then two bits that say
// which factors are stored (3: none, 1: x is 1, 2: one for all three).
inline db::Vec3 InsertScale(BitReader& d, int version) {
    if (version <= 1014) {
        return d.B3D();
    }
    db::Vec3 scale{1, 1, 1};
    switch (d.BB()) {
        case 3:
            break;
        case 1:
            scale.y = d.DD(1.0);
            scale.z = d.DD(1.0);
            break;
        case 2:
            scale.x = d.RD();
            scale.y = scale.z = scale.x;
            break;
        default:
            scale.x = d.RD();
            scale.y = d.DD(scale.x);
            scale.z = d.DD(scale.x);
            break;
    }
    return scale;
}

// Lineweights are stored as an index: 0..23 into the standard weights, 29 by layer, 30 by
// block, 31 the default.
inline std::int16_t LineweightOf(int index) {
    constexpr std::int16_t kWeights[] = {0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                                         53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
    if (index >= 0 && index < 24) {
        return kWeights[index];
    }
    if (index == 29) {
        return db::kLineweightByLayer;
    }
    if (index == 30) {
        return db::kLineweightByBlock;
    }
    return db::kLineweightDefault;
}

// One item of extended data, by its DXF group code (1000 ..).
struct EedItem {
    int code = 0;
    std::string text;          // 1000 (code page bytes before R2007, UTF-8 after)
    double real = 0;           // 1040 ..
    db::Vec3 point{};          // 1010 ..
    std::int64_t integer = 0;  // 1002, 1003 (handle), 1005 (handle), 1070, 1071
};

struct DwgClass {
    std::string dxfName;
    std::string cppName;
    bool isEntity = false;
};

// An entity as read, with the links that are resolved once every object is known.
struct PendingEntity {
    enum class Kind : std::uint8_t { Normal, Vertex, Attrib, Seqend, BlockBegin, BlockEnd };
    Kind kind = Kind::Normal;
    db::Entity entity{};
    db::PolyVertex vertex{};    // Kind::Vertex
    db::AttribEntity attrib{};  // Kind::Attrib
    std::uint8_t entmode = 0;   // 0 owned by a block, 1 paper space, 2 model space
    db::Handle owner = 0;
    db::Handle layer = 0;
    db::Handle linetype = 0;
    std::uint8_t linetypeFlags = 0;  // 0 by layer, 1 by block, 2 continuous, 3 handle
    db::Handle prev = 0, next = 0;   // R13–R2000 links
    db::Handle colorBook = 0;        // a colour book colour's object
    bool hasLinks = false;
    db::Handle ref = 0;   // block record (INSERT), text style (TEXT, MTEXT, ATTDEF), image
                          // definition (IMAGE)
    db::Handle ref2 = 0;  // the dimension's block record
    std::string name;     // BLOCK: the block's name
    // children of POLYLINE and INSERT
    std::vector<db::Handle> owned;
    db::Handle firstChild = 0, lastChild = 0;
    bool hasChildren = false;
};

struct BlockRecord {
    db::Handle handle = 0;
    std::string name;
    std::int16_t flags = 0;
    db::Vec3 base{};
    std::string xrefPath;
    std::string description;
    std::int16_t units = 0;
    db::Handle first = 0, last = 0, layout = 0, blockEntity = 0;
    std::vector<db::Handle> owned;
    bool ownedList = false;
};

struct LayoutRecord {
    db::Layout layout;
};

struct DictionaryRecord {
    db::Handle owner = 0;
    std::vector<std::pair<std::string, db::Handle>> entries;
};

// Reads one file: sections → objects → database.
class DwgReaderImpl {
public:
    DwgReaderImpl(std::string_view bytes, const DwgReadOptions& options);
    DwgResult Run();

private:
    // sections
    void ReadHeader();
    void ReadClasses();
    void ReadTemplate();
    void ReadObjectMap();
    void ReadObjects();
    // one object; throws DwgError on damage
    void ReadObject(db::Handle handle, std::size_t offset);
    std::string TypeName(std::uint32_t type) const;
    bool IsEntityType(std::uint32_t type) const;

    // common parts
    void CommonEntity(ObjectStreams& o, PendingEntity& p, bool embedded = false);
    void CommonObject(ObjectStreams& o, db::Handle& owner);
    void ReadEed(BitReader& d);
    // The items of one application's extended data (damage throws DwgError).
    std::vector<EedItem> ParseEed(const std::string& block) const;
    // R13 and R14 keep a viewport's view in extended data of the application ACAD.
    void EedViewData(db::Viewport& g, db::Handle self);
    // A text style's TrueType family: the first text of its ACAD extended data (raw).
    using EedBlocks = std::vector<std::pair<db::Handle, std::string>>;
    std::string EedFontFamily(const EedBlocks& eed) const;
    // the parts of specific types (DwgObjects.cpp)
    void ReadEntityData(std::uint32_t type, const std::string& name, ObjectStreams& o,
                        PendingEntity& p);
    void ReadText(ObjectStreams& o, db::Text& t, db::EntityProps& props);
    db::Handle ReadMText(ObjectStreams& o, db::MText& m, db::EntityProps& props);
    void ReadAttribute(ObjectStreams& o, PendingEntity& p, db::Attribute& a, bool definition,
                       db::EntityProps& props);
    void ReadDimension(std::uint32_t type, ObjectStreams& o, PendingEntity& p);
    void ReadHatch(ObjectStreams& o, db::Hatch& h);
    void ReadViewport(ObjectStreams& o, db::Viewport& v);
    void ReadTableObject(std::uint32_t type, const std::string& name, ObjectStreams& o);
    // XLINE, RAY, MLINE, ACAD_TABLE, MULTILEADER (DwgAnnotations.cpp); false for others.
    bool ReadAnnotation(std::uint32_t type, const std::string& cls, ObjectStreams& o,
                        PendingEntity& p);
    // TOLERANCE, MESH, ARC_DIMENSION, LARGE_RADIAL_DIMENSION (DwgKinds.cpp); false for others.
    bool ReadKind(std::uint32_t type, const std::string& cls, ObjectStreams& o, PendingEntity& p);
    // MLINESTYLE, TABLESTYLE and WIPEOUTVARIABLES objects; false for others.
    bool ReadAnnotationObject(std::uint32_t type, const std::string& name, ObjectStreams& o);
    void ReadMLineStyle(ObjectStreams& o);
    // ACAD_TABLE with its cells, TABLESTYLE (DwgTables.cpp).
    void ReadTable(ObjectStreams& o, PendingEntity& p);
    void ReadTableStyle(ObjectStreams& o);
    void ReadMLeader(ObjectStreams& o, db::Entity& e);
    void ResolveAnnotations();  // multilines' styles, once every object is read
    void ReadLayout(ObjectStreams& o, db::Handle owner);

    // assembly
    void Assemble();
    void NameBlocks(const std::vector<db::Handle>& order);
    std::vector<db::Handle> BlockEntities(const BlockRecord& b);
    void AddEntity(db::Block& block, db::BlockId id, PendingEntity& p);
    db::LayerId LayerOf(db::Handle h);
    db::LinetypeId LinetypeOf(const PendingEntity& p);
    void BuildLayouts();

    std::string Str(std::string raw);  // file text to UTF-8
    void Warn(std::string where, std::string what);
    static std::string HandleText(db::Handle h);

    std::string_view bytes_;
    DwgReadOptions options_;
    DwgFile file_;
    int version_ = 0;
    std::unique_ptr<db::Database> db_;
    std::unique_ptr<dxf::CodePageConverter> conv_;
    std::size_t warningsDropped_ = 0;

    // header
    db::Handle namedObjects_ = 0, layoutDictionary_ = 0;
    db::Handle modelRecord_ = 0, paperRecord_ = 0;
    db::Handle layerControl_ = 0, styleControl_ = 0, linetypeControl_ = 0, blockControl_ = 0;

    std::map<int, DwgClass> classes_;
    std::vector<std::pair<db::Handle, std::size_t>> objectMap_;

    // objects as read
    std::unordered_map<db::Handle, PendingEntity> entities_;
    std::unordered_map<db::Handle, std::string> proxyGraphics_;  // custom objects' pictures
    std::unordered_map<db::Handle, std::vector<db::Handle>> controls_;
    std::unordered_map<db::Handle, std::pair<db::Layer, db::Handle>> layers_;  // + linetype
    std::unordered_map<db::Handle, db::Linetype> linetypes_;
    std::unordered_map<db::Handle, db::TextStyle> styles_;
    std::unordered_map<db::Handle, BlockRecord> blocks_;
    std::vector<db::Handle> blockOrder_, layerOrder_, linetypeOrder_, styleOrder_;
    std::unordered_map<db::Handle, DictionaryRecord> dictionaries_;
    std::vector<LayoutRecord> layouts_;
    std::vector<db::ImageDef> imageDefs_;
    std::vector<db::UnderlayDef> underlayDefs_;
    std::unordered_map<db::Handle, BitReader::CmColor> bookColors_;
    std::size_t objectsRead_ = 0;
    std::string currentType_;   // of the object being read, for messages
    bool crcMismatch_ = false;  // the object being read failed its CRC
    EedBlocks eed_;             // the extended data of the object being read, by application
    std::unordered_map<std::string, db::Handle> appIds_;
    std::unordered_map<db::Handle, EedBlocks> styleEed_;
    std::unordered_map<db::Handle, db::TableGrid> tableGrids_;  // tables' cells
    std::unordered_map<db::Handle, db::TableStyle> tableStyles_;

    // assembly maps
    std::unordered_map<db::Handle, db::LayerId> layerIds_;
    std::unordered_map<db::Handle, db::LinetypeId> linetypeIds_;
    std::unordered_map<db::Handle, db::StyleId> styleIds_;
    std::unordered_map<db::Handle, db::BlockId> blockIds_;
};

}  // namespace vx::engine::dwg
