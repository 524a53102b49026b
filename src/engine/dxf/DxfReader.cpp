#include "engine/dxf/DxfReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <set>

#include "engine/db/ProxyGraphics.h"
#include "engine/dxf/DxfReaderImpl.h"

namespace vx::engine::dxf {

using namespace vx::engine::db;

namespace {

std::string Fold(std::string_view s) {
    return FoldName(s);
}

bool IsZero(const Tag& t, std::string_view name) {
    return t.code == 0 && TagSource::Trim(t.text) == name;
}

}  // namespace

bool IsBinaryDxf(std::string_view bytes) {
    return bytes.substr(0, 22) == kBinaryDxfSentinel;
}

bool LooksLikeDxf(std::string_view bytes) {
    if (IsBinaryDxf(bytes)) {
        return true;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    auto nl = bytes.find('\n');
    std::string_view first =
        TagSource::Trim(bytes.substr(0, nl == std::string_view::npos ? 0 : nl));
    return first == "0" || first == "999";
}

// ---------------------------------------------------------------------------------------

Reader::Reader(std::string_view bytes, const DxfReadOptions& options)
    : data_(bytes),
      options_(options),
      src_(bytes, IsBinaryDxf(bytes)),
      db_(std::make_unique<Database>()) {}

double Reader::Dbl(const Tag& t) const {
    if (t.binary) {
        switch (KindOf(t.code)) {
            case ValueKind::Double:
                return t.number;
            case ValueKind::Int:
            case ValueKind::Bool:
                return static_cast<double>(t.integer);
            default:
                break;
        }
    }
    std::string_view s = TagSource::Trim(t.text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) {
        if (r.ec == std::errc::result_out_of_range) {
            return 0;
        }
        throw ItemError(Where(t), "'" + std::string(s.substr(0, 40)) + "' is not a number");
    }
    return v;
}

std::int64_t Reader::Int(const Tag& t) const {
    if (t.binary) {
        switch (KindOf(t.code)) {
            case ValueKind::Int:
            case ValueKind::Bool:
                return t.integer;
            case ValueKind::Double:
                return std::isfinite(t.number) && std::abs(t.number) < 9e18
                           ? static_cast<std::int64_t>(t.number)
                           : 0;
            default:
                break;
        }
    }
    std::string_view s = TagSource::Trim(t.text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    std::int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (!s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size()) {
        return v;
    }
    // some writers put integers as "1.0"
    double d = 0;
    auto rd = std::from_chars(s.data(), s.data() + s.size(), d);
    if (!s.empty() && rd.ec == std::errc() && rd.ptr == s.data() + s.size() && std::isfinite(d) &&
        std::abs(d) < 9e18) {
        return static_cast<std::int64_t>(d);
    }
    throw ItemError(Where(t), "'" + std::string(s.substr(0, 40)) + "' is not an integer");
}

std::int16_t Reader::I16(const Tag& t) const {
    auto v = Int(t);
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -32768, 32767));
}

Handle Reader::Hnd(const Tag& t) {
    std::string_view s = TagSource::Trim(t.text);
    Handle h = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), h, 16);
    return r.ec == std::errc() ? h : 0;
}

std::string Reader::Str(const Tag& t) {
    std::string out;
    if (conv_) {
        conv_->Append(t.text, out);
    } else {
        out = SanitizeUtf8(t.text);
    }
    if (HasEscapes(out)) {
        out = DecodeEscapes(out);
    }
    return out;
}

void Reader::Warn(std::string where, std::string what) {
    if (db_->warnings.size() >= options_.maxWarnings) {
        ++warningsDropped_;
        return;
    }
    db_->warnings.push_back({std::move(where), std::move(what)});
}

// ---------------------------------------------------------------------------------------

DxfResult Reader::Run() {
    DxfResult result;
    if (data_.empty()) {
        result.error = {"", "the file is empty"};
        return result;
    }
    if (!src_.Binary() && !LooksLikeDxf(data_)) {
        result.error = {"line 1", "not a DXF file: it does not begin with group code 0"};
        return result;
    }
    try {
        Tag t;
        bool eof = false;
        bool anySection = false;
        while (src_.Next(t)) {
            if (IsZero(t, "EOF")) {
                eof = true;
                break;
            }
            if (t.code == 999) {
                continue;
            }
            if (!IsZero(t, "SECTION")) {
                // Damage between sections: skip to the next section.
                Warn(Where(t), "expected SECTION, found '" +
                                   std::string(TagSource::Trim(t.text).substr(0, 40)) +
                                   "'; skipped to the next section");
                while (src_.Next(t)) {
                    if (IsZero(t, "SECTION") || IsZero(t, "EOF")) {
                        src_.Unread(t);
                        break;
                    }
                }
                continue;
            }
            Tag name;
            if (!src_.Next(name) || name.code != 2) {
                throw DxfError(Where(t), "a SECTION without its name (group code 2)");
            }
            anySection = true;
            sectionStart_ = t.pos;
            std::string n = Fold(TagSource::Trim(name.text));
            if (n == "HEADER") {
                ReadHeader();
            } else if (n == "TABLES") {
                ReadTables();
            } else if (n == "BLOCKS") {
                ReadBlocks();
            } else if (n == "ENTITIES") {
                ReadEntitiesSection();
            } else if (n == "OBJECTS") {
                ReadObjects();
            } else {
                SkipSection();  // CLASSES, THUMBNAILIMAGE, ACDSDATA and unknown ones
            }
        }
        if (!anySection) {
            throw DxfError(src_.HereText(), "no SECTION in the file");
        }
        if (!eof) {
            Warn(src_.HereText(), "the file has no EOF marker (it may be truncated)");
        }
        Finish();
    } catch (const DxfError& e) {
        result.error = {e.Where(), e.what()};
        return result;
    } catch (const ItemError& e) {
        result.error = {e.Where(), e.what()};
        return result;
    } catch (const std::bad_alloc&) {
        result.error = {src_.HereText(), "out of memory"};
        return result;
    }
    if (warningsDropped_ > 0) {
        db_->warnings.push_back({"", "and " + std::to_string(warningsDropped_) + " more warnings"});
    }
    result.database = std::move(db_);
    return result;
}

void Reader::Collect(std::vector<Tag>& tags) {
    tags.clear();
    Tag t;
    while (src_.Next(t)) {
        if (t.code == 0) {
            src_.Unread(t);
            return;
        }
        tags.push_back(t);
    }
}

std::string_view Reader::NextZero(const char* section) {
    Tag t;
    while (true) {
        if (!src_.Next(t)) {
            throw DxfError(src_.HereText(), std::string("the file ends inside the ") + section +
                                                " section that starts at " +
                                                (src_.Binary() ? "offset " : "line ") +
                                                std::to_string(sectionStart_));
        }
        if (t.code == 0) {
            return TagSource::Trim(t.text);
        }
        if (t.code != 999) {
            // Stray tags between items: tolerated, they belong to nothing.
            Warn(Where(t), std::string("stray group in the ") + section + " section ignored");
            std::vector<Tag> rest;
            Collect(rest);
        }
    }
}

void Reader::SkipSection() {
    try {
        Tag t;
        while (src_.Next(t)) {
            if (IsZero(t, "ENDSEC")) {
                return;
            }
        }
        Warn(src_.HereText(), "the file ends inside an optional section");
    } catch (const DxfError& e) {
        Warn(e.Where(), std::string(e.what()) + " in an optional section; section skipped");
        if (!src_.SkipToEndSection()) {
            Warn(src_.HereText(), "no end of the damaged section found");
        }
    }
}

// ---------------------------------------------------------------------------------------
// HEADER

void Reader::ReadHeader() {
    struct Var {
        std::string name;
        std::vector<Tag> values;
    };
    std::vector<Var> vars;
    Tag t;
    while (true) {
        if (!src_.Next(t)) {
            throw DxfError(src_.HereText(), "the file ends inside the HEADER section");
        }
        if (t.code == 0) {
            if (TagSource::Trim(t.text) == "ENDSEC") {
                break;
            }
            // The header ends without ENDSEC: keep what it had, go on with what follows.
            Warn(Where(t), "the HEADER section ends without ENDSEC");
            src_.Unread(t);
            break;
        }
        if (t.code == 9) {
            vars.push_back({std::string(TagSource::Trim(t.text)), {}});
        } else if (!vars.empty()) {
            vars.back().values.push_back(t);
        }
    }
    Header& h = db_->header;
    for (const auto& v : vars) {
        if (v.name == "$ACADVER" && !v.values.empty()) {
            h.acadVersion = std::string(TagSource::Trim(v.values[0].text));
        } else if (v.name == "$DWGCODEPAGE" && !v.values.empty()) {
            h.codePage = std::string(TagSource::Trim(v.values[0].text));
        }
    }
    version_ = VersionNumber(h.acadVersion);
    if (version_ >= 1021) {
        conv_ = std::make_unique<CodePageConverter>("UTF-8");
    } else {
        conv_ = std::make_unique<CodePageConverter>(h.codePage.empty() ? "ANSI_1252" : h.codePage);
        if (!conv_->Known()) {
            Warn("$DWGCODEPAGE", "unknown code page '" + h.codePage + "'; text read as ANSI_1252");
        }
    }
    for (const auto& v : vars) {
        try {
            auto point = [&](Vec3& p) {
                for (const auto& x : v.values) {
                    if (x.code == 10)
                        p.x = Dbl(x);
                    if (x.code == 20)
                        p.y = Dbl(x);
                    if (x.code == 30)
                        p.z = Dbl(x);
                }
            };
            auto first = [&]() -> const Tag* { return v.values.empty() ? nullptr : &v.values[0]; };
            const Tag* f = first();
            const std::string& n = v.name;
            if (n == "$EXTMIN") {
                point(h.extMin);
                h.hasExtents = true;
            } else if (n == "$EXTMAX") {
                point(h.extMax);
            } else if (n == "$LIMMIN") {
                point(h.limMin);
            } else if (n == "$LIMMAX") {
                point(h.limMax);
            } else if (n == "$PEXTMIN") {
                point(h.pExtMin);
            } else if (n == "$PEXTMAX") {
                point(h.pExtMax);
            } else if (n == "$PLIMMIN") {
                point(h.pLimMin);
            } else if (n == "$PLIMMAX") {
                point(h.pLimMax);
            } else if (n == "$INSBASE") {
                point(h.insBase);
            } else if (f) {
                if (n == "$INSUNITS")
                    h.insUnits = I16(*f);
                else if (n == "$MEASUREMENT")
                    h.measurement = I16(*f);
                else if (n == "$LUNITS")
                    h.lunits = I16(*f);
                else if (n == "$LUPREC")
                    h.luprec = I16(*f);
                else if (n == "$AUNITS")
                    h.aunits = I16(*f);
                else if (n == "$PDMODE")
                    h.pdMode = I16(*f);
                else if (n == "$PDSIZE")
                    h.pdSize = Dbl(*f);
                else if (n == "$LTSCALE")
                    h.ltScale = Dbl(*f);
                else if (n == "$CELTSCALE")
                    h.celtScale = Dbl(*f);
                else if (n == "$PSLTSCALE")
                    h.psLtScale = Int(*f) != 0;
                else if (n == "$TILEMODE")
                    h.tileMode = I16(*f);
                else if (n == "$LWDISPLAY")
                    h.lwDisplay = Int(*f) != 0;
                else if (n == "$PSTYLEMODE")
                    h.pStyleMode = I16(*f);
                else if (n == "$TEXTSIZE")
                    h.textSize = Dbl(*f);
                else if (n == "$DIMASZ")
                    h.dimAsz = Dbl(*f);
                else if (n == "$DIMSCALE")
                    h.dimScale = Dbl(*f);
                else if (n == "$LWDEFAULT")
                    h.lwDefault = I16(*f);
                else if (n == "$HANDSEED")
                    h.handSeed = Hnd(*f);
            }
        } catch (const ItemError& e) {
            Warn(e.Where(), std::string(e.what()) + " in header variable " + v.name + "; ignored");
        }
        auto& store = h.variables[v.name];
        for (const auto& x : v.values) {
            if (x.binary && KindOf(x.code) == ValueKind::Double) {
                char buf[32];
                auto r = std::to_chars(buf, buf + sizeof buf, x.number);
                store.emplace_back(x.code, std::string(buf, r.ptr));
            } else if (x.binary &&
                       (KindOf(x.code) == ValueKind::Int || KindOf(x.code) == ValueKind::Bool)) {
                store.emplace_back(x.code, std::to_string(x.integer));
            } else {
                store.emplace_back(x.code, Str(x));
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// TABLES

void Reader::ReadTables() {
    if (!conv_) {
        conv_ = std::make_unique<CodePageConverter>("ANSI_1252");
    }
    std::vector<Tag> tags;
    while (true) {
        std::string_view name = NextZero("TABLES");
        if (name == "ENDSEC") {
            return;
        }
        if (name == "TABLE" || name == "ENDTAB") {
            Collect(tags);  // entries say what they are by their own type
            continue;
        }
        std::string type(name);
        Collect(tags);
        try {
            TableEntry(type, tags);
        } catch (const ItemError& e) {
            Warn(e.Where(), std::string(e.what()) + "; " + type + " table entry skipped");
        }
    }
}

void Reader::TableEntry(std::string_view type, const std::vector<Tag>& tags) {
    if (type == "LAYER") {
        Layer l;
        std::string ltype;
        static constexpr Group<Layer> kGroups[] = {{2, &Layer::name},
                                                   {5, &Layer::handle},
                                                   {290, &Layer::plot},
                                                   {370, &Layer::lineweight},
                                                   {390, &Layer::plotStyle}};
        for (const auto& t : tags) {
            switch (t.code) {
                case 62: {
                    auto c = Int(t);
                    l.on = c >= 0;
                    l.color = Color::FromIndex(static_cast<int>(c == 0 ? 7 : std::abs(c)));
                    if (l.color.kind != Color::Kind::Index) {
                        l.color = Color::FromIndex(7);
                    }
                    break;
                }
                case 420:
                    l.color = Color::FromRgb(static_cast<std::uint32_t>(Int(t)), l.color.index);
                    break;
                case 6:
                    ltype = Str(t);
                    break;
                case 70: {
                    auto f = Int(t);
                    l.frozen = (f & 1) != 0;
                    l.locked = (f & 4) != 0;
                    break;
                }
                default:
                    TakeGroup(*this, t, l, kGroups);
                    break;
            }
        }
        if (l.name.empty()) {
            throw ItemError(tags.empty() ? src_.HereText() : Where(tags[0]),
                            "a layer without a name");
        }
        std::string key = Fold(l.name);
        if (layerByName_.count(key)) {
            Warn(tags.empty() ? "" : Where(tags[0]),
                 "layer '" + l.name + "' defined twice; the first kept");
            return;
        }
        l.linetype = ltype.empty() ? kNone : LinetypeByName(ltype);
        db_->layers.push_back(std::move(l));
        auto id = static_cast<LayerId>(db_->layers.size() - 1);
        layerByName_[key] = id;
        if (db_->layers[id].handle) {
            layerByHandle_[db_->layers[id].handle] = id;
        }
        lastLayer_ = kNone;
    } else if (type == "LTYPE") {
        Linetype lt;
        static constexpr Group<Linetype> kGroups[] = {{2, &Linetype::name},
                                                      {5, &Linetype::handle},
                                                      {3, &Linetype::description},
                                                      {40, &Linetype::patternLength}};
        // the groups of a dash, after its length (49)
        static constexpr Group<LinetypeElement> kElement[] = {
            {74, &LinetypeElement::type},     {75, &LinetypeElement::shape},
            {340, &LinetypeElement::style},   {46, &LinetypeElement::scale},
            {50, &LinetypeElement::rotation}, {44, &LinetypeElement::offsetX},
            {45, &LinetypeElement::offsetY},  {9, &LinetypeElement::text}};
        for (const auto& t : tags) {
            if (t.code == 49) {
                lt.elements.push_back({});
                lt.elements.back().length = Dbl(t);
            } else if (!TakeGroup(*this, t, lt, kGroups) && !lt.elements.empty()) {
                TakeGroup(*this, t, lt.elements.back(), kElement);
            }
        }
        if (lt.name.empty()) {
            throw ItemError(tags.empty() ? src_.HereText() : Where(tags[0]),
                            "a linetype without a name");
        }
        std::string key = Fold(lt.name);
        auto it = linetypeByName_.find(key);
        if (it != linetypeByName_.end()) {
            // A layer named it before the table came (or it appeared twice).
            auto& existing = db_->linetypes[it->second];
            if (existing.handle == 0 && existing.elements.empty()) {
                existing = std::move(lt);
            }
            return;
        }
        db_->linetypes.push_back(std::move(lt));
        linetypeByName_[key] = static_cast<LinetypeId>(db_->linetypes.size() - 1);
    } else if (type == "STYLE") {
        TextStyle s;
        bool inXdata = false;
        static constexpr Group<TextStyle> kGroups[] = {
            {2, &TextStyle::name},         {5, &TextStyle::handle},
            {70, &TextStyle::flags},       {40, &TextStyle::height},
            {41, &TextStyle::widthFactor}, {50, &TextStyle::oblique},
            {71, &TextStyle::generation},  {3, &TextStyle::fontFile},
            {4, &TextStyle::bigFontFile}};
        for (const auto& t : tags) {
            if (t.code == 1001) {
                inXdata = Fold(TagSource::Trim(t.text)) == "ACAD";
                continue;
            }
            if (t.code >= 1000) {
                if (inXdata && t.code == 1000 && s.fontFamily.empty()) {
                    s.fontFamily = Str(t);
                }
                continue;
            }
            TakeGroup(*this, t, s, kGroups);
        }
        if (s.name.empty() && !(s.flags & 1)) {
            return;  // unnamed entries are shape files of complex linetypes
        }
        std::string key = Fold(s.name);
        if (!s.name.empty() && !styleByName_.count(key)) {
            db_->textStyles.push_back(std::move(s));
            styleByName_[key] = static_cast<StyleId>(db_->textStyles.size() - 1);
        }
    } else if (type == "BLOCK_RECORD") {
        std::string name;
        Handle handle = 0, layout = 0;
        std::int16_t units = 0;
        for (const auto& t : tags) {
            switch (t.code) {
                case 2:
                    name = Str(t);
                    break;
                case 5:
                    handle = Hnd(t);
                    break;
                case 340:
                    layout = Hnd(t);
                    break;
                case 70:
                    units = I16(t);
                    break;
                default:
                    break;
            }
        }
        if (name.empty()) {
            throw ItemError(tags.empty() ? src_.HereText() : Where(tags[0]),
                            "a block record without a name");
        }
        BlockId id = EnsureBlock(name);
        Block& b = db_->blocks[id];
        b.recordHandle = handle;
        b.layoutHandle = layout;
        b.units = units;
        if (handle) {
            blockByRecord_[handle] = id;
        }
    }
    // VPORT, VIEW, UCS, APPID, DIMSTYLE: nothing a plot needs from them yet.
}

LinetypeId Reader::LinetypeByName(std::string_view name) {
    std::string key = Fold(name);
    if (key == "BYLAYER")
        return kByLayer;
    if (key == "BYBLOCK")
        return kByBlock;
    auto it = linetypeByName_.find(key);
    if (it != linetypeByName_.end()) {
        return it->second;
    }
    Linetype lt;
    lt.name = std::string(name);
    db_->linetypes.push_back(std::move(lt));
    auto id = static_cast<LinetypeId>(db_->linetypes.size() - 1);
    linetypeByName_[key] = id;
    return id;
}

LayerId Reader::LayerByName(std::string_view name) {
    if (lastLayer_ != kNone && name == lastLayerName_) {
        return lastLayer_;
    }
    std::string key = Fold(name);
    auto it = layerByName_.find(key);
    LayerId id;
    if (it != layerByName_.end()) {
        id = it->second;
    } else {
        Layer l;
        l.name = std::string(name);
        l.implicit = true;
        db_->layers.push_back(std::move(l));
        id = static_cast<LayerId>(db_->layers.size() - 1);
        layerByName_[key] = id;
    }
    lastLayerName_ = std::string(name);
    lastLayer_ = id;
    return id;
}

StyleId Reader::StyleByName(std::string_view name) {
    auto it = styleByName_.find(Fold(name));
    return it == styleByName_.end() ? kNone : it->second;
}

BlockId Reader::EnsureBlock(std::string_view name) {
    std::string key = Fold(name);
    auto it = blockByName_.find(key);
    if (it != blockByName_.end()) {
        return it->second;
    }
    Block b;
    b.name = std::string(name);
    db_->blocks.push_back(std::move(b));
    auto id = static_cast<BlockId>(db_->blocks.size() - 1);
    blockByName_[key] = id;
    return id;
}

BlockId Reader::ModelBlock() {
    if (db_->modelSpace == kNone) {
        auto it = blockByName_.find("*MODEL_SPACE");
        if (it == blockByName_.end()) {
            it = blockByName_.find("$MODEL_SPACE");
        }
        db_->modelSpace = it != blockByName_.end() ? it->second : EnsureBlock("*Model_Space");
    }
    return db_->modelSpace;
}

BlockId Reader::PaperBlock() {
    if (db_->activePaperSpace == kNone) {
        auto it = blockByName_.find("*PAPER_SPACE");
        if (it == blockByName_.end()) {
            it = blockByName_.find("$PAPER_SPACE");
        }
        db_->activePaperSpace = it != blockByName_.end() ? it->second : EnsureBlock("*Paper_Space");
    }
    return db_->activePaperSpace;
}

// ---------------------------------------------------------------------------------------
// Entities of BLOCKS and ENTITIES

template <class Add>
void Reader::ReadEntityList(std::string_view stop, const char* section, Add add) {
    std::vector<Tag> tags;
    std::vector<Tag> sub;
    while (true) {
        std::string_view type = NextZero(section);
        if (type == stop) {
            return;
        }
        if (type == "ENDSEC" || type == "EOF" || type == "BLOCK" || type == "SECTION") {
            // A block without ENDBLK: its entities end here.
            Tag back;
            back.code = 0;
            back.text = type;
            Warn(src_.HereText(),
                 std::string("missing ") + std::string(stop) + " before " + std::string(type));
            src_.Unread(back);
            return;
        }
        std::string typeName(type);
        Collect(tags);
        std::string where = tags.empty() ? src_.HereText() : Where(tags[0]);
        if (typeName == "VERTEX" || typeName == "ATTRIB" || typeName == "SEQEND") {
            Warn(where, typeName + " outside of its POLYLINE or INSERT ignored");
            continue;
        }
        Entity e;
        bool ok = true;
        try {
            ParseEntity(typeName, tags, e);
        } catch (const ItemError& err) {
            Warn(err.Where(), std::string(err.what()) + "; " + typeName + " skipped");
            ok = false;
        }
        // Sub-entities that follow a POLYLINE (VERTEX) or an INSERT (ATTRIB), to SEQEND.
        if (typeName == "POLYLINE" || typeName == "INSERT") {
            const char* child = typeName == "POLYLINE" ? "VERTEX" : "ATTRIB";
            while (true) {
                Tag z;
                if (!src_.Next(z)) {
                    break;
                }
                src_.Unread(z);
                std::string_view n = TagSource::Trim(z.text);
                if (z.code != 0 || (n != child && n != "SEQEND")) {
                    break;
                }
                src_.Next(z);
                Collect(sub);
                if (n == "SEQEND") {
                    break;
                }
                if (!ok) {
                    continue;
                }
                try {
                    if (auto* pl = e.As<Polyline>()) {
                        ParseVertex(sub, *pl);
                    } else if (auto* ins = e.As<Insert>()) {
                        AttribEntity a;
                        ParseAttrib(sub, a);
                        ins->attribs.push_back(std::move(a));
                    }
                } catch (const ItemError& err) {
                    Warn(err.Where(), std::string(err.what()) + "; " + child + " skipped");
                }
            }
        }
        if (ok) {
            add(std::move(e));
        }
    }
}

void Reader::ReadBlocks() {
    if (!conv_) {
        conv_ = std::make_unique<CodePageConverter>("ANSI_1252");
    }
    std::vector<Tag> tags;
    while (true) {
        std::string_view name = NextZero("BLOCKS");
        if (name == "ENDSEC") {
            return;
        }
        if (name != "BLOCK") {
            Collect(tags);
            Warn(tags.empty() ? src_.HereText() : Where(tags[0]),
                 "unexpected '" + std::string(name) + "' between blocks ignored");
            continue;
        }
        Collect(tags);
        std::string bname, bname3, path, desc;
        Handle owner = 0, handle = 0;
        std::int16_t flags = 0;
        Vec3 base;
        bool inGroup = false;
        for (const auto& t : tags) {
            try {
                if (t.code == 102) {
                    inGroup = TagSource::Trim(t.text).substr(0, 1) == "{";
                    continue;
                }
                if (inGroup)
                    continue;
                switch (t.code) {
                    case 2:
                        bname = Str(t);
                        break;
                    case 3:
                        bname3 = Str(t);
                        break;
                    case 1:
                        path = Str(t);
                        break;
                    case 4:
                        desc = Str(t);
                        break;
                    case 5:
                        handle = Hnd(t);
                        break;
                    case 330:
                        if (!owner)
                            owner = Hnd(t);
                        break;
                    case 70:
                        flags = I16(t);
                        break;
                    case 10:
                        base.x = Dbl(t);
                        break;
                    case 20:
                        base.y = Dbl(t);
                        break;
                    case 30:
                        base.z = Dbl(t);
                        break;
                    default:
                        break;
                }
            } catch (const ItemError& e) {
                Warn(e.Where(), std::string(e.what()) + " in BLOCK '" + bname + "'; value ignored");
            }
        }
        if (bname.empty()) {
            bname = bname3;
        }
        BlockId id = kNone;
        if (owner) {
            auto it = blockByRecord_.find(owner);
            if (it != blockByRecord_.end()) {
                id = it->second;
                if (!bname.empty() && Fold(db_->blocks[id].name) != Fold(bname)) {
                    id = kNone;  // the link disagrees with the name: trust the name
                }
            }
        }
        if (id == kNone) {
            if (bname.empty()) {
                Warn(tags.empty() ? src_.HereText() : Where(tags[0]),
                     "a BLOCK without a name; its entities are ignored");
                ReadEntityList("ENDBLK", "BLOCKS", [](Entity&&) {});
                Collect(tags);
                continue;
            }
            id = EnsureBlock(bname);
        }
        {
            Block& b = db_->blocks[id];
            b.blockHandle = handle;
            b.base = base;
            b.flags = flags;
            b.description = desc;
            if (b.IsXref()) {
                Xref x;
                x.path = path;
                b.xref = std::move(x);
            }
        }
        ReadEntityList("ENDBLK", "BLOCKS",
                       [&](Entity&& e) { db_->blocks[id].entities.push_back(std::move(e)); });
        Collect(tags);  // ENDBLK's own groups
    }
}

void Reader::ReadEntitiesSection() {
    if (!conv_) {
        conv_ = std::make_unique<CodePageConverter>("ANSI_1252");
    }
    BlockId model = ModelBlock();
    BlockId paper = PaperBlock();
    ReadEntityList("ENDSEC", "ENTITIES", [&](Entity&& e) {
        BlockId target = e.props.paperSpace ? paper : model;
        if (e.props.owner) {
            auto it = blockByRecord_.find(e.props.owner);
            if (it != blockByRecord_.end() && (db_->blocks[it->second].IsModelSpace() ||
                                               db_->blocks[it->second].IsPaperSpace())) {
                target = it->second;
            }
        }
        db_->blocks[target].entities.push_back(std::move(e));
    });
}

// ---------------------------------------------------------------------------------------
// OBJECTS

void Reader::ReadObjects() {
    if (!conv_) {
        conv_ = std::make_unique<CodePageConverter>("ANSI_1252");
    }
    std::vector<Tag> tags;
    try {
        while (true) {
            Tag z;
            if (!src_.Next(z)) {
                Warn(src_.HereText(), "the file ends inside the OBJECTS section");
                return;
            }
            if (z.code != 0) {
                continue;
            }
            std::string_view type = TagSource::Trim(z.text);
            if (type == "ENDSEC") {
                return;
            }
            std::string typeName(type);
            Collect(tags);
            try {
                if (typeName == "DICTIONARY") {
                    Handle h = 0;
                    std::vector<std::pair<std::string, Handle>> entries;
                    std::string key;
                    for (const auto& t : tags) {
                        if (t.code == 5)
                            h = Hnd(t);
                        else if (t.code == 3)
                            key = Str(t);
                        else if ((t.code == 350 || t.code == 360) && !key.empty()) {
                            entries.emplace_back(key, Hnd(t));
                            key.clear();
                        }
                    }
                    if (rootDict_ == 0) {
                        rootDict_ = h;
                    }
                    dicts_[h] = std::move(entries);
                } else if (typeName == "LAYOUT") {
                    static constexpr Group<PlotSettings> kPlotSettings[] = {
                        {1, &PlotSettings::pageSetupName},
                        {2, &PlotSettings::configName},
                        {4, &PlotSettings::canonicalMediaName},
                        {6, &PlotSettings::plotViewName},
                        {7, &PlotSettings::styleSheet},
                        {40, &PlotSettings::marginLeft},
                        {41, &PlotSettings::marginBottom},
                        {42, &PlotSettings::marginRight},
                        {43, &PlotSettings::marginTop},
                        {44, &PlotSettings::paperWidth},
                        {45, &PlotSettings::paperHeight},
                        {142, &PlotSettings::customScaleNumerator},
                        {143, &PlotSettings::customScaleDenominator},
                        {70, &PlotSettings::flags},
                        {72, &PlotSettings::paperUnits},
                        {73, &PlotSettings::rotation},
                        {74, &PlotSettings::plotType},
                        {75, &PlotSettings::standardScaleType},
                        {147, &PlotSettings::standardScale}};
                    static constexpr Group<Layout> kLayout[] = {{1, &Layout::name},
                                                                {70, &Layout::flags},
                                                                {71, &Layout::tabOrder},
                                                                {12, &Layout::insertionBase},
                                                                {14, &Layout::extentsMin},
                                                                {15, &Layout::extentsMax},
                                                                {330, &Layout::blockRecordHandle},
                                                                {331, &Layout::lastActiveViewport}};
                    LayoutObject lo;
                    Layout& l = lo.layout;
                    PlotSettings& p = l.plot;
                    int sub = 0;  // 0 object, 1 AcDbPlotSettings, 2 AcDbLayout
                    bool inGroup = false;
                    for (const auto& t : tags) {
                        if (t.code == 102) {
                            inGroup = TagSource::Trim(t.text).substr(0, 1) == "{";
                            continue;
                        }
                        if (inGroup)
                            continue;
                        if (t.code == 100) {
                            std::string_view m = TagSource::Trim(t.text);
                            sub = m == "AcDbPlotSettings" ? 1 : m == "AcDbLayout" ? 2 : sub;
                            continue;
                        }
                        if (sub == 0) {
                            if (t.code == 5)
                                l.handle = Hnd(t);
                            else if (t.code == 330 && !lo.owner)
                                lo.owner = Hnd(t);
                        } else if (sub == 1) {
                            switch (t.code) {
                                case 46:
                                    p.plotOrigin.x = Dbl(t);
                                    break;
                                case 47:
                                    p.plotOrigin.y = Dbl(t);
                                    break;
                                case 48:
                                    p.windowMin.x = Dbl(t);
                                    break;
                                case 49:
                                    p.windowMin.y = Dbl(t);
                                    break;
                                case 140:
                                    p.windowMax.x = Dbl(t);
                                    break;
                                case 141:
                                    p.windowMax.y = Dbl(t);
                                    break;
                                case 148:
                                    p.paperImageOrigin.x = Dbl(t);
                                    break;
                                case 149:
                                    p.paperImageOrigin.y = Dbl(t);
                                    break;
                                default:
                                    TakeGroup(*this, t, p, kPlotSettings);
                                    break;
                            }
                        } else {
                            switch (t.code) {
                                case 10:
                                    l.limitsMin.x = Dbl(t);
                                    break;
                                case 20:
                                    l.limitsMin.y = Dbl(t);
                                    break;
                                case 11:
                                    l.limitsMax.x = Dbl(t);
                                    break;
                                case 21:
                                    l.limitsMax.y = Dbl(t);
                                    break;
                                default:
                                    TakeGroup(*this, t, l, kLayout);
                                    break;
                            }
                        }
                    }
                    layoutObjects_.push_back(std::move(lo));
                } else if (typeName == "MLINESTYLE" || typeName == "TABLESTYLE" ||
                           typeName == "WIPEOUTVARIABLES") {
                    ParseAnnotationObject(typeName, tags);
                } else if (typeName == "IMAGEDEF") {
                    ImageDef d;
                    for (const auto& t : tags) {
                        if (t.code == 5)
                            d.handle = Hnd(t);
                        else if (t.code == 1)
                            d.fileName = Str(t);
                        else if (t.code == 10)
                            d.pixelsU = Dbl(t);
                        else if (t.code == 20)
                            d.pixelsV = Dbl(t);
                    }
                    db_->images.push_back(std::move(d));
                } else if (typeName.ends_with("DEFINITION")) {
                    ParseUnderlayDefinition(typeName, tags);
                }
            } catch (const ItemError& e) {
                Warn(e.Where(), std::string(e.what()) + "; " + typeName + " object skipped");
            }
        }
    } catch (const DxfError& e) {
        Warn(e.Where(),
             std::string(e.what()) + " in the OBJECTS section; rest of the section skipped");
        src_.SkipToEndSection();
    }
}

// ---------------------------------------------------------------------------------------
// After reading

void Reader::Finish() {
    if (!conv_) {
        conv_ = std::make_unique<CodePageConverter>("ANSI_1252");
    }
    ModelBlock();
    PaperBlock();
    // Names of blocks, layers by handle, image definitions by handle.
    db_->RebuildIndexes();
    std::unordered_map<Handle, ImageDefId> imageByHandle;
    for (std::size_t i = 0; i < db_->images.size(); ++i) {
        imageByHandle[db_->images[i].handle] = static_cast<ImageDefId>(i);
    }
    std::unordered_map<Handle, std::uint32_t> underlayByHandle;
    for (std::size_t i = 0; i < db_->underlays.size(); ++i) {
        underlayByHandle[db_->underlays[i].handle] = static_cast<std::uint32_t>(i);
    }
    std::set<std::string> missing;
    for (auto& b : db_->blocks) {
        for (auto& e : b.entities) {
            if (auto* ins = e.As<Insert>()) {
                ins->block = db_->FindBlock(ins->blockName);
                if (ins->block == kNone) {
                    missing.insert(ins->blockName);
                }
            } else if (auto* d = e.As<Dimension>()) {
                if (!d->blockName.empty()) {
                    d->block = db_->FindBlock(d->blockName);
                    if (d->block == kNone) {
                        missing.insert(d->blockName);
                    }
                }
            } else if (auto* im = e.As<Image>()) {
                auto it = imageByHandle.find(im->imageDefHandle);
                if (it != imageByHandle.end()) {
                    im->imageDef = it->second;
                }
            } else if (auto* u = e.As<Underlay>()) {
                auto it = underlayByHandle.find(u->definitionHandle);
                if (it != underlayByHandle.end() &&
                    db_->underlays[it->second].format == u->format) {
                    u->definition = it->second;
                }
            } else if (auto* vp = e.As<Viewport>()) {
                for (Handle h : vp->frozenLayerHandles) {
                    auto it = layerByHandle_.find(h);
                    if (it != layerByHandle_.end()) {
                        vp->frozenLayers.push_back(it->second);
                    }
                }
            }
        }
    }
    for (const auto& name : missing) {
        Warn("", "block '" + name + "' is referenced but not defined; its references show nothing");
    }
    ResolveAnnotations();
    db::ProxyGraphicsOptions proxy;
    proxy.version = version_ > 0 ? version_ : 1015;
    proxy.narrowText = [this](std::string_view s) { return conv_->Convert(s); };
    db::AttachProxyGraphics(*db_, proxyGraphics_, proxy,
                            [this](std::string where, std::string what) {
                                Warn(std::move(where), "custom object picture: " + std::move(what));
                            });
    db::AttachTablePictures(*db_, tableGrids_, tableStyles_, options_.tablesFromCells);
    BuildLayouts();
    db_->RebuildIndexes();  // layers added for entities
}

void Reader::BuildLayouts() {
    Database& d = *db_;
    std::vector<LayoutObject> objs;
    if (!layoutObjects_.empty()) {
        // The ACAD_LAYOUT dictionary lists the layouts; without it every LAYOUT counts.
        const std::vector<std::pair<std::string, Handle>>* listed = nullptr;
        auto root = dicts_.find(rootDict_);
        if (root != dicts_.end()) {
            for (const auto& [k, h] : root->second) {
                if (k == "ACAD_LAYOUT") {
                    auto it = dicts_.find(h);
                    if (it != dicts_.end()) {
                        listed = &it->second;
                    }
                }
            }
        }
        if (listed) {
            for (const auto& entry : *listed) {
                const std::string& k = entry.first;
                const Handle h = entry.second;
                auto it = std::find_if(layoutObjects_.begin(), layoutObjects_.end(),
                                       [h](const LayoutObject& o) { return o.layout.handle == h; });
                if (it == layoutObjects_.end()) {
                    Warn("OBJECTS",
                         "layout '" + k + "' is listed but its LAYOUT object is missing");
                    continue;
                }
                if (it->layout.name.empty()) {
                    it->layout.name = k;
                }
                objs.push_back(*it);
            }
            if (objs.empty()) {
                Warn("OBJECTS",
                     "the layout dictionary lists no LAYOUT object; all LAYOUT objects used");
                objs = layoutObjects_;
            }
        } else {
            objs = layoutObjects_;
        }
    }
    std::vector<bool> used(d.blocks.size(), false);
    bool haveModel = false;
    for (auto& o : objs) {
        Layout l = o.layout;
        BlockId id = kNone;
        auto it = blockByRecord_.find(l.blockRecordHandle);
        if (it != blockByRecord_.end()) {
            id = it->second;
        } else {
            // A broken link: the block record that names this layout.
            id = d.BlockOfLayout(l.handle);
            if (id != kNone) {
                Warn("OBJECTS", "layout '" + l.name +
                                    "' points at a missing block record; linked through block '" +
                                    d.blocks[id].name + "' instead");
            } else if (l.name == "Model" && !haveModel) {
                id = d.modelSpace;
                Warn("OBJECTS", "layout 'Model' has no block record; model space used");
            } else {
                Warn("OBJECTS", "layout '" + l.name + "' has no block; layout left out");
                continue;
            }
        }
        if (used[id]) {
            Warn("OBJECTS", "layout '" + l.name + "' shares block '" + d.blocks[id].name +
                                "' with another layout; layout left out");
            continue;
        }
        used[id] = true;
        l.block = id;
        if (id == d.modelSpace) {
            if (haveModel) {
                continue;
            }
            haveModel = true;
            l.plot.flags = static_cast<std::int16_t>(l.plot.flags | PlotSettings::kModelType);
        } else if (!d.blocks[id].IsPaperSpace()) {
            Warn("OBJECTS", "layout '" + l.name + "' points at block '" + d.blocks[id].name +
                                "', which is no paper space; layout left out");
            used[id] = false;
            continue;
        }
        d.layouts.push_back(std::move(l));
    }
    if (!haveModel && !objs.empty()) {
        Warn("OBJECTS", "no layout for model space; a 'Model' layout was made");
    }
    // Some writers' newer files have no LAYOUT objects either: then 'Layout1' is made.
    if (d.CompleteLayouts(!haveModel) && !objs.empty()) {
        Warn("OBJECTS", "no paper-space layout; 'Layout1' was made for the paper space");
    }
}

DxfResult ReadDxf(std::string_view bytes, const DxfReadOptions& options) {
    Reader r(bytes, options);
    return r.Run();
}

}  // namespace vx::engine::dxf
