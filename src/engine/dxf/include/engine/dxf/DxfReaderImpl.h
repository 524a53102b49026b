// The DXF reader's internals: one Reader per file. Internal to the reader.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <variant>
#include <vector>

#include "engine/db/Database.h"
#include "engine/db/TableCells.h"
#include "engine/dxf/CodePage.h"
#include "engine/dxf/DxfReader.h"
#include "engine/dxf/DxfTags.h"

namespace vx::engine::dxf {

// A fault inside one entity or table entry: that item is skipped with a warning.
class ItemError : public std::runtime_error {
public:
    ItemError(std::string where, const std::string& what)
        : std::runtime_error(what), where_(std::move(where)) {}
    const std::string& Where() const { return where_; }

private:
    std::string where_;
};

struct LayoutObject {
    db::Layout layout;
    db::Handle owner = 0;
};

class Reader {
public:
    Reader(std::string_view bytes, const DxfReadOptions& options);
    DxfResult Run();

    // --- values (throw ItemError for a value that is no number) -----------------------
    double Dbl(const Tag& t) const;
    std::int64_t Int(const Tag& t) const;
    std::int16_t I16(const Tag& t) const;
    static db::Handle Hnd(const Tag& t);
    std::string Str(const Tag& t);
    std::string_view Raw(const Tag& t) const { return t.text; }

    void Warn(std::string where, std::string what);
    std::string Where(const Tag& t) const { return src_.Where(t); }

    // --- entities (ReaderEntities.cpp) -----------------------------------------------
    // Fills `e` from the tags of one entity (types the engine does not draw become
    // Unknown). VERTEX, ATTRIB and SEQEND are handled by the caller.
    void ParseEntity(std::string_view type, const std::vector<Tag>& tags, db::Entity& e);
    void ParseVertex(const std::vector<Tag>& tags, db::Polyline& pl);
    void ParseAttrib(const std::vector<Tag>& tags, db::AttribEntity& a);
    // Keeps the picture a custom object carries (group 92 and its 310 chunks) for Finish.
    void KeepProxyGraphics(const std::vector<Tag>& tags, db::Handle handle);

    // --- XLINE, RAY, MLINE, ACAD_TABLE, WIPEOUT, MULTILEADER (ReaderAnnotations.cpp) ---
    // False when `type` is none of them.
    bool ParseAnnotation(std::string_view type, const std::vector<Tag>& tags, db::Entity& e);
    void ParseMLeader(const std::vector<Tag>& tags, db::Entity& e);
    // --- TOLERANCE, MESH, ARC_DIMENSION, LARGE_RADIAL_DIMENSION, underlays (ReaderKinds.cpp)
    // False when `type` is none of them.
    bool ParseKind(std::string_view type, const std::vector<Tag>& tags, db::Entity& e);
    // PDFDEFINITION, DWFDEFINITION, DGNDEFINITION objects (other types are passed over).
    void ParseUnderlayDefinition(std::string_view type, const std::vector<Tag>& tags);
    // MLINESTYLE, TABLESTYLE and WIPEOUTVARIABLES objects.
    void ParseAnnotationObject(std::string_view type, const std::vector<Tag>& tags);
    void ParseMLineStyle(const std::vector<Tag>& tags);
    void ParseTableStyle(const std::vector<Tag>& tags);
    // One group of a table's grid or cells (ACAD_TABLE's AcDbTable part).
    void TableCell(const Tag& t, db::TableGrid& g, bool& inValue, std::string& chunks);
    // After reading: multiline styles and their linetypes, multileaders' blocks and styles.
    void ResolveAnnotations();

private:
    // sections
    void ReadHeader();
    void ReadTables();
    void ReadBlocks();
    void ReadEntitiesSection();
    void ReadObjects();
    void SkipSection();
    void Finish();
    void BuildLayouts();

    // Reads the tags of one item after its "0 TYPE" tag, up to the next code 0.
    void Collect(std::vector<Tag>& tags);
    // Reads one "0 NAME" tag; returns the name, or throws at the end of the data.
    std::string_view NextZero(const char* section);
    // Entities up to `stop` (ENDBLK / ENDSEC), each added through `add`.
    template <class Add>
    void ReadEntityList(std::string_view stop, const char* section, Add add);

    // tables
    void TableEntry(std::string_view type, const std::vector<Tag>& tags);

    // common
    void ParseProps(const Tag& t, db::EntityProps& p, bool& ownerSeen);
    db::LayerId LayerByName(std::string_view name);
    db::LinetypeId LinetypeByName(std::string_view name);
    db::BlockId EnsureBlock(std::string_view name);
    db::BlockId ModelBlock();
    db::BlockId PaperBlock();

    std::string_view data_;
    DxfReadOptions options_;
    TagSource src_;
    std::unique_ptr<db::Database> db_;
    std::unique_ptr<CodePageConverter> conv_;
    std::size_t warningsDropped_ = 0;
    int version_ = 0;
    std::size_t sectionStart_ = 0;  // where the section being read starts

    std::unordered_map<std::string, db::LayerId> layerByName_;
    std::unordered_map<std::string, db::LinetypeId> linetypeByName_;
    std::unordered_map<std::string, db::StyleId> styleByName_;
    std::unordered_map<std::string, db::BlockId> blockByName_;
    std::unordered_map<db::Handle, db::LayerId> layerByHandle_;
    std::unordered_map<db::Handle, db::BlockId> blockByRecord_;
    std::unordered_map<db::Handle, std::vector<std::pair<std::string, db::Handle>>> dicts_;
    db::Handle rootDict_ = 0;
    std::vector<LayoutObject> layoutObjects_;
    std::string lastLayerName_;
    db::LayerId lastLayer_ = db::kNone;
    // Pictures of custom objects by handle, decoded once the tables are complete.
    std::unordered_map<db::Handle, std::string> proxyGraphics_;
    std::unordered_map<db::Handle, db::TableGrid> tableGrids_;
    std::unordered_map<db::Handle, db::TableStyle> tableStyles_;
    static constexpr std::int64_t kMaxProxyGraphics = std::int64_t{64} << 20;

public:
    db::StyleId StyleByName(std::string_view name);
    // One common-property group of an entity; `ownerSeen` keeps the first 330 as owner.
    void Props(const Tag& t, db::EntityProps& p, bool& ownerSeen) { ParseProps(t, p, ownerSeen); }
};

// --- group codes read into fields by tables ----------------------------------------

// Sets one coordinate of `p` from a point group code (base = 10, 11, ...).
inline bool Coord(int code, int base, double v, db::Vec3& p) {
    if (code == base) {
        p.x = v;
    } else if (code == base + 10) {
        p.y = v;
    } else if (code == base + 20) {
        p.z = v;
    } else {
        return false;
    }
    return true;
}

inline bool IsPointCode(int code, int base) {
    return code == base || code == base + 10 || code == base + 20;
}

// One group code of an item and the field it fills, read by the field's type. A point
// (Vec3) takes its base code and the code +10 (y) and +20 (z); a code without a field is
// read and passed over.
template <class G>
struct Group {
    int code;
    std::variant<std::monostate, double G::*, std::int16_t G::*, std::int32_t G::*, bool G::*,
                 db::Handle G::*, std::string G::*, db::Vec3 G::*>
        field{};
};

inline void Read(Reader& r, const Tag& t, double& v) {
    v = r.Dbl(t);
}
inline void Read(Reader& r, const Tag& t, std::int16_t& v) {
    v = r.I16(t);
}
inline void Read(Reader& r, const Tag& t, std::int32_t& v) {
    v = static_cast<std::int32_t>(r.Int(t));
}
inline void Read(Reader& r, const Tag& t, bool& v) {
    v = r.Int(t) != 0;
}
inline void Read(Reader&, const Tag& t, db::Handle& v) {
    v = Reader::Hnd(t);
}
inline void Read(Reader& r, const Tag& t, std::string& v) {
    v = r.Str(t);
}

// Fills the field of the first of `groups` that takes the code of `t`; false when none does.
template <class G, std::size_t N>
bool TakeGroup(Reader& r, const Tag& t, G& g, const Group<G> (&groups)[N]) {
    for (const Group<G>& group : groups) {
        if (const auto* point = std::get_if<db::Vec3 G::*>(&group.field)) {
            if (IsPointCode(t.code, group.code)) {
                return Coord(t.code, group.code, r.Dbl(t), g.**point);
            }
        } else if (t.code == group.code) {
            std::visit(
                [&](auto field) {
                    using F = decltype(field);
                    if constexpr (std::is_member_object_pointer_v<F> &&
                                  !std::is_same_v<F, db::Vec3 G::*>) {
                        Read(r, t, g.*field);
                    }
                },
                group.field);
            return true;
        }
    }
    return false;
}

}  // namespace vx::engine::dxf
