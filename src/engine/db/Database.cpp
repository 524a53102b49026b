#include "engine/db/Database.h"
#include "engine/db/ColorMethod.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace vx::engine::db {

Color Color::FromIndex(int aci) {
    Color c;
    if (aci == 0) {
        c.kind = Kind::ByBlock;
        c.index = 0;
    } else if (aci == 256) {
        c.kind = Kind::ByLayer;
        c.index = 256;
    } else {
        c.kind = Kind::Index;
        int a = std::abs(aci);
        c.index = static_cast<std::int16_t>(a > 255 ? 7 : a);
    }
    return c;
}

Color Color::FromRgb(std::uint32_t rgb, std::int16_t nearestIndex) {
    Color c;
    c.kind = Kind::True;
    c.rgb = rgb & 0xFFFFFFu;
    c.index = nearestIndex;
    return c;
}

std::optional<Color> ColorFromMethod(std::uint32_t value, std::int16_t nearestIndex) {
    switch (value >> 24) {
        case 0xC0:
            return Color::FromIndex(256);
        case 0xC1:
            return Color::FromIndex(0);
        case 0xC2:
            return Color::FromRgb(value & 0xFFFFFFu, nearestIndex);
        case 0xC3:
            return Color::FromIndex(static_cast<int>(value & 0xFF));
        default:
            return std::nullopt;
    }
}

std::string_view TypeName(EntityType type) {
    static constexpr std::array<std::string_view, 30> kNames{
        "LINE",       "POINT",    "CIRCLE",    "ARC",       "ELLIPSE",     "LWPOLYLINE",
        "POLYLINE",   "SPLINE",   "SOLID",     "TRACE",     "3DFACE",      "TEXT",
        "MTEXT",      "ATTDEF",   "INSERT",    "DIMENSION", "LEADER",      "HATCH",
        "IMAGE",      "VIEWPORT", "XLINE",     "RAY",       "MLINE",       "MULTILEADER",
        "ACAD_TABLE", "WIPEOUT",  "TOLERANCE", "MESH",      "PDFUNDERLAY", "UNKNOWN"};
    static_assert(kNames.size() == static_cast<std::size_t>(EntityType::Unknown) + 1);
    return kNames[static_cast<std::size_t>(type)];
}

std::optional<Underlay::Format> Underlay::FormatOf(std::string_view typeName,
                                                   std::string_view suffix) {
    if (typeName.size() != 3 + suffix.size() || typeName.substr(3) != suffix) {
        return std::nullopt;
    }
    const std::string_view f = typeName.substr(0, 3);
    if (f == "PDF") {
        return Format::Pdf;
    }
    if (f == "DWF") {
        return Format::Dwf;
    }
    if (f == "DGN") {
        return Format::Dgn;
    }
    return std::nullopt;
}

Transform Underlay::ToOcs() const {
    const double a = rotation * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    Transform r;
    r.m[0][0] = c * scale.x, r.m[0][1] = -s * scale.y;
    r.m[1][0] = s * scale.x, r.m[1][1] = c * scale.y;
    r.m[2][2] = scale.z;
    r.t = position;
    return r;
}

std::vector<Vec3> Underlay::ClipPolygon() const {
    if (clipBoundary.size() == 2) {
        const Vec3 a = clipBoundary[0], b = clipBoundary[1];
        return {a, {b.x, a.y, 0}, b, {a.x, b.y, 0}};
    }
    return clipBoundary.size() >= 3 ? clipBoundary : std::vector<Vec3>{};
}

std::string_view UnderlayTypeName(Underlay::Format format) {
    switch (format) {
        case Underlay::Format::Dwf:
            return "DWFUNDERLAY";
        case Underlay::Format::Dgn:
            return "DGNUNDERLAY";
        case Underlay::Format::Pdf:
            break;
    }
    return "PDFUNDERLAY";
}

std::string_view Entity::TypeName() const {
    if (type == EntityType::Unknown) {
        if (const auto* u = As<Unknown>()) {
            return u->typeName;
        }
    }
    if (const auto* d = As<Dimension>(); d && !d->typeName.empty()) {
        return d->typeName;
    }
    if (const auto* u = As<Underlay>()) {
        return UnderlayTypeName(u->format);
    }
    return db::TypeName(type);
}

std::string FoldName(std::string_view name) {
    std::string s(name);
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return s;
}

namespace {

template <class Map>
std::uint32_t Lookup(const Map& index, std::string_view name) {
    auto it = index.find(FoldName(name));
    return it == index.end() ? kNone : it->second;
}

template <class Map, class Vec>
void Rebuild(Map& index, const Vec& items) {
    index.clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
        index.emplace(FoldName(items[i].name), static_cast<std::uint32_t>(i));  // first wins
    }
}

bool StartsWithFolded(std::string_view s, std::string_view upperPrefix) {
    if (s.size() < upperPrefix.size()) {
        return false;
    }
    return FoldName(s.substr(0, upperPrefix.size())) == upperPrefix;
}

}  // namespace

LayerId Database::FindLayer(std::string_view name) const {
    return Lookup(layerIndex_, name);
}
LinetypeId Database::FindLinetype(std::string_view name) const {
    return Lookup(linetypeIndex_, name);
}
StyleId Database::FindTextStyle(std::string_view name) const {
    return Lookup(styleIndex_, name);
}
BlockId Database::FindBlock(std::string_view name) const {
    return Lookup(blockIndex_, name);
}

std::uint32_t Database::FindLayout(std::string_view name) const {
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        if (layouts[i].name == name) {
            return static_cast<std::uint32_t>(i);
        }
    }
    return kNone;
}

const Block* Database::ModelSpace() const {
    return modelSpace < blocks.size() ? &blocks[modelSpace] : nullptr;
}

LayerId Database::AddImplicitLayer(std::string_view name) {
    Layer layer;
    layer.name = std::string(name);
    layer.implicit = true;
    layers.push_back(std::move(layer));
    auto id = static_cast<LayerId>(layers.size() - 1);
    layerIndex_.emplace(FoldName(name), id);
    return id;
}

void Database::RebuildIndexes() {
    Rebuild(layerIndex_, layers);
    Rebuild(linetypeIndex_, linetypes);
    Rebuild(styleIndex_, textStyles);
    Rebuild(blockIndex_, blocks);
}

bool Block::IsModelSpace() const {
    std::string n = FoldName(name);
    return n == "*MODEL_SPACE" || n == "$MODEL_SPACE";
}

bool Block::IsPaperSpace() const {
    return StartsWithFolded(name, "*PAPER_SPACE") || StartsWithFolded(name, "$PAPER_SPACE");
}

BlockId Database::BlockOfLayout(Handle handle) const {
    for (std::size_t i = 0; handle != 0 && i < blocks.size(); ++i) {
        if (blocks[i].layoutHandle == handle) {
            return static_cast<BlockId>(i);
        }
    }
    return kNone;
}

bool Database::CompleteLayouts(bool addModel) {
    if (addModel) {
        Layout m;
        m.name = "Model";
        m.block = modelSpace;
        m.plot.flags = PlotSettings::kModelType;
        m.plot.plotType = 0;
        m.limitsMin = header.limMin;
        m.limitsMax = header.limMax;
        layouts.insert(layouts.begin(), std::move(m));
    }
    bool addPaper =
        std::none_of(layouts.begin(), layouts.end(), [](const Layout& l) { return !l.IsModel(); });
    if (addPaper) {
        Layout p;
        p.name = "Layout1";
        p.tabOrder = 1;
        p.block = activePaperSpace;
        p.limitsMin = header.pLimMin;
        p.limitsMax = header.pLimMax;
        p.extentsMin = header.pExtMin;
        p.extentsMax = header.pExtMax;
        layouts.push_back(std::move(p));
    }
    std::stable_sort(layouts.begin(), layouts.end(), [](const Layout& a, const Layout& b) {
        if (a.IsModel() != b.IsModel()) {
            return a.IsModel();
        }
        return a.tabOrder < b.tabOrder;
    });
    return addPaper;
}

bool Layout::IsModel() const {
    return (plot.flags & PlotSettings::kModelType) != 0 || name == "Model";
}

int VersionNumber(std::string_view v) {
    if (v.size() >= 6 && v.substr(0, 2) == "AC") {
        int n = 0;
        auto r = std::from_chars(v.data() + 2, v.data() + 6, n);
        if (r.ec == std::errc()) {
            return n;
        }
    }
    return 0;
}

std::string_view ReleaseName(std::string_view v) {
    switch (VersionNumber(v)) {
        case 1006:
            return "R10";
        case 1009:
            return "R11/R12";
        case 1012:
            return "R13";
        case 1014:
            return "R14";
        case 1015:
            return "R2000";
        case 1018:
            return "R2004";
        case 1021:
            return "R2007";
        case 1024:
            return "R2010";
        case 1027:
            return "R2013";
        case 1032:
            return "R2018";
        default:
            return v.empty() ? std::string_view("unknown") : v;
    }
}

std::string_view UnitsName(int u) {
    static constexpr std::array<std::string_view, 25> kNames{"unitless",
                                                             "inches",
                                                             "feet",
                                                             "miles",
                                                             "millimeters",
                                                             "centimeters",
                                                             "meters",
                                                             "kilometers",
                                                             "microinches",
                                                             "mils",
                                                             "yards",
                                                             "angstroms",
                                                             "nanometers",
                                                             "microns",
                                                             "decimeters",
                                                             "decameters",
                                                             "hectometers",
                                                             "gigameters",
                                                             "astronomical units",
                                                             "light years",
                                                             "parsecs",
                                                             "US survey feet",
                                                             "US survey inches",
                                                             "US survey yards",
                                                             "US survey miles"};
    if (u >= 0 && static_cast<std::size_t>(u) < kNames.size()) {
        return kNames[static_cast<std::size_t>(u)];
    }
    return "unknown";
}

}  // namespace vx::engine::db
