// The DXF reader's internals: one Reader per file. Internal to the reader.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/db/Database.h"
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

    // --- XLINE, RAY, MLINE, ACAD_TABLE, WIPEOUT, MULTILEADER (ReaderAnnotations.cpp) ---
    // False when `type` is none of them.
    bool ParseAnnotation(std::string_view type, const std::vector<Tag>& tags, db::Entity& e);
    void ParseMLeader(const std::vector<Tag>& tags, db::Entity& e);
    // MLINESTYLE and WIPEOUTVARIABLES objects.
    void ParseAnnotationObject(std::string_view type, const std::vector<Tag>& tags);
    void ParseMLineStyle(const std::vector<Tag>& tags);
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

public:
    db::StyleId StyleByName(std::string_view name);
    // One common-property group of an entity; `ownerSeen` keeps the first 330 as owner.
    void Props(const Tag& t, db::EntityProps& p, bool& ownerSeen) { ParseProps(t, p, ownerSeen); }
};

}  // namespace vx::engine::dxf
