// The DWG writer's internals: the handles of the file, one object under construction and
// the builder that turns the database into objects. Internal to the writer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "BitWriter.h"
#include "DwgWriter.h"
#include "engine/db/Database.h"

namespace vx::dwgwriter {

using db::Handle;

// Object type numbers of R2000 files (classes start at 500).
enum ObjectType : std::int16_t {
    kText = 1,
    kAttrib = 2,
    kAttdef = 3,
    kBlock = 4,
    kEndblk = 5,
    kSeqend = 6,
    kInsert = 7,
    kMinsert = 8,
    kVertex2d = 10,
    kVertex3d = 11,
    kVertexMesh = 12,
    kVertexPface = 13,
    kVertexPfaceFace = 14,
    kPolyline2d = 15,
    kPolyline3d = 16,
    kArc = 17,
    kCircle = 18,
    kLine = 19,
    kDimOrdinate = 20,
    kDimLinear = 21,
    kDimAligned = 22,
    kDimAngular3pt = 23,
    kDimAngular2ln = 24,
    kDimRadius = 25,
    kDimDiameter = 26,
    kPoint = 27,
    kFace3d = 28,
    kPolylinePface = 29,
    kPolylineMesh = 30,
    kSolid = 31,
    kTrace = 32,
    kViewport = 34,
    kEllipse = 35,
    kSpline = 36,
    kDictionary = 42,
    kMText = 44,
    kLeader = 45,
    kBlockControl = 48,
    kBlockHeader = 49,
    kLayerControl = 50,
    kLayer = 51,
    kStyleControl = 52,
    kStyle = 53,
    kLtypeControl = 56,
    kLtype = 57,
    kViewControl = 60,
    kUcsControl = 62,
    kVportControl = 64,
    kVport = 65,
    kAppidControl = 66,
    kAppid = 67,
    kDimstyleControl = 68,
    kDimstyle = 69,
    kVxControl = 70,
    kMlineStyle = 73,
    kLwPolyline = 77,
    kHatch = 78,
    // classes
    kDictionaryWithDefault = 500,
    kPlaceholder = 501,
    kLayout = 502,
};

// The class table this writer uses, in number order from 500.
struct ClassEntry {
    const char* dxfName;
    const char* cppName;
    bool entity;
};
extern const ClassEntry kClasses[3];

// One object being written: its data stream (type, size, own handle, data) and its
// handle stream, joined when it is finished.
struct ObjectOut {
    BitWriter d;
    BitWriter h;
    std::size_t sizeAt = 0;  // bit position of the data size (RL)
    Handle self = 0;
};

// Extended data of one application: the items as the file stores them.
struct EedBlock {
    Handle app = 0;
    std::vector<std::uint8_t> data;
};

// An entity's place: how it is owned and its neighbours in its owner's list.
struct EntityLinks {
    std::uint8_t entmode = 0;  // 0 owned by `owner`, 1 paper space, 2 model space
    Handle owner = 0;
    Handle prev = 0, next = 0;
};

class Builder {
public:
    Builder(const db::Database& db, const WriteOptions& options);
    WriteResult Run();

private:
    // handles (Handles.cpp)
    void PlanHandles();
    Handle Fresh() { return nextHandle_++; }
    Handle Keep(Handle wanted);  // the wanted handle when free, else a fresh one
    Handle LinetypeHandle(db::LinetypeId id) const;
    Handle LayerHandle(db::LayerId id) const;
    Handle StyleHandle(db::StyleId id) const;
    Handle DimstyleHandle(const std::string& name) const;
    Handle BlockRecordHandle(db::BlockId id) const;
    // The written handle of the text style a linetype element names by its stored handle.
    Handle StyleOfElement(Handle stored) const;

    // text
    // Text in the drawing's code page.
    std::string Enc(std::string_view utf8) const;
    // The same for the text of entities, whose control characters DXF files spell out.
    std::string EncText(std::string_view utf8) const;

    // objects (Objects.cpp)
    // Starts an object: its type, the place of its data size, its handle and its
    // extended data.
    ObjectOut Begin(std::int16_t type, Handle self, const std::vector<EedBlock>& eed = {});
    void ObjectCommon(ObjectOut& o, Handle owner, const std::vector<Handle>& reactors = {});
    void TableCommon(ObjectOut& o, std::string_view name, Handle owner, std::int16_t flags = 0);
    void Finish(ObjectOut& o);
    void WriteControls();
    void WriteLinetypes();
    void WriteLayers();
    void WriteStyles();
    void WriteVport();
    void WriteAppids();
    void WriteDimstyles();
    void WriteBlockRecords();
    void WriteDictionaries();
    void WriteLayouts();

    // entities (Entities.cpp)
    void WriteBlock(db::BlockId id);
    void EntityCommon(ObjectOut& o, const db::EntityProps& props, const EntityLinks& links);
    // Writes one entity with its children; false when the format has no room for it.
    bool WriteEntity(const db::Entity& e, Handle self, const EntityLinks& links);
    // The text part of TEXT, ATTRIB and ATTDEF.
    void WriteText(ObjectOut& o, const db::Text& t, db::Vec3 extrusion);
    void WriteAttrib(const db::AttribEntity& a, Handle self, const EntityLinks& links);
    void WriteInsert(const db::Entity& e, const db::Insert& g, Handle self,
                     const EntityLinks& links);
    void WritePolyline(const db::Entity& e, const db::Polyline& g, Handle self,
                       const EntityLinks& links);
    void WriteDimension(const db::Entity& e, const db::Dimension& g, Handle self,
                        const EntityLinks& links);
    void WriteHatch(ObjectOut& o, const db::Hatch& g, db::Vec3 extrusion);
    void WriteViewport(const db::Entity& e, const db::Viewport& g, Handle self,
                       const EntityLinks& links);
    void WriteSeqend(Handle self, Handle owner, const db::EntityProps& props);

    // file (DwgWriter.cpp / Header.cpp)
    std::vector<std::uint8_t> HeaderSection();
    std::vector<std::uint8_t> ClassesSection() const;
    std::vector<std::uint8_t> ImageSection(std::uint32_t at) const;
    std::vector<std::uint8_t> AuxHeader() const;
    void Note(std::string text);

    const db::Database& db_;
    const WriteOptions& options_;
    WriteResult result_;
    int codePage_ = 30;
    std::map<char32_t, std::uint8_t> toCodePage_;
    bool singleByte_ = true;

    // Objects as written: handle -> bytes (size, data, CRC).
    std::map<Handle, std::vector<std::uint8_t>> objects_;

    // handles
    std::set<Handle> used_;
    Handle nextHandle_ = 1;
    Handle blockControl_ = 0, layerControl_ = 0, styleControl_ = 0, ltypeControl_ = 0,
           viewControl_ = 0, ucsControl_ = 0, vportControl_ = 0, appidControl_ = 0,
           dimstyleControl_ = 0, vxControl_ = 0;
    Handle nod_ = 0, groupDict_ = 0, layoutDict_ = 0, mlineDict_ = 0, plotSettingsDict_ = 0,
           plotStyleDict_ = 0, normalStyle_ = 0, mlineStandard_ = 0;
    Handle vportActive_ = 0, appidAcad_ = 0;
    Handle ltByLayer_ = 0, ltByBlock_ = 0, ltContinuous_ = 0;
    Handle standardStyle_ = 0, layerZero_ = 0;
    std::vector<Handle> linetypes_, layers_, styles_;             // by database id (0: not written)
    std::vector<std::pair<std::string, Handle>> extraLinetypes_;  // made here (ByLayer, ...)
    bool needLayerZero_ = false, needStandardStyle_ = false;
    std::map<std::string, std::pair<std::string, Handle>> dimstyles_;  // folded -> name, handle
    struct BlockHandles {
        Handle record = 0, begin = 0, end = 0, layout = 0;
    };
    std::vector<BlockHandles> blocks_;  // by database id
    db::BlockId modelSpace_ = db::kNone, paperSpace_ = db::kNone;
    db::BlockId extraPaperSpace_ = db::kNone;  // index past the database's blocks when made here
    BlockHandles extraPaper_;
    struct LayoutOut {
        const db::Layout* layout = nullptr;  // null for the paper layout made here
        Handle handle = 0;
        db::BlockId block = db::kNone;
        std::string name;
        std::int16_t tabOrder = 0;
    };
    std::vector<LayoutOut> layouts_;
    // entity handles by the entity's address (the database's, or fresh when it had none)
    std::map<const void*, Handle> entityHandles_;
    // losses, named in the notes at the end
    std::map<std::string, int> leftOut_;  // entity types not written, with their count
    int trueColours_ = 0;                 // entities whose true colour became an index
    // written handles of entities by their handle in the database (for references)
    std::map<Handle, Handle> byDatabaseHandle_;
};

// A header variable the database kept from the file it was read from (its first value),
// or `def` when it has none or none that reads as wanted.
double VarNum(const db::Header& h, const char* name, double def);
std::int16_t VarInt(const db::Header& h, const char* name, std::int16_t def);
std::string VarText(const db::Header& h, const char* name, const std::string& def);

// Entities the file holds: the types the engine knows up to VIEWPORT, raster images and the
// later dimension kinds (custom classes) aside (construction lines, multilines,
// multileaders, tables and wipeouts are left out).
inline bool Writable(const db::Entity& e) {
    const auto* d = e.As<db::Dimension>();
    return e.type < db::EntityType::XLine && e.type != db::EntityType::Image &&
           !(d && !d->typeName.empty());
}

// Lineweight index of the format for hundredths of a millimetre (or ByLayer, ...).
std::uint8_t LineweightIndex(std::int16_t lineweight);
// The palette index a colour is stored with (256 by layer, 0 by block).
std::int16_t ColorIndex(const db::Color& c);

}  // namespace vx::dwgwriter
