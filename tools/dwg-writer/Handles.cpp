// The handles of the file: the database's where it has them, fresh ones above them for
// everything the database does not keep (control objects, dictionaries, vertices, ...).
#include <algorithm>

#include "WriterImpl.h"
#include "engine/dwg/DwgFile.h"
#include "engine/dxf/CodePage.h"

namespace vx::dwgwriter {

using namespace vx::engine;

namespace {

// The code pages whose characters can take two bytes: their text beyond ASCII is written
// with escapes.
bool MultiByte(std::string_view name) {
    static constexpr std::string_view kNames[] = {"DOS932",   "ANSI_932",  "ANSI_936", "ANSI_949",
                                                  "ANSI_950", "ANSI_1361", "BIG5",     "GB2312",
                                                  "KSC5601",  "JOHAB"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// Decodes one UTF-8 sequence at `i` (advancing it); invalid bytes give U+FFFD.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
    auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) {
        return b;
    }
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (extra < 0) {
        return 0xFFFD;
    }
    char32_t cp = b & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            return 0xFFFD;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp;
}

void AppendEscape(char32_t cp, std::string& out) {
    auto unit = [&](std::uint32_t u) {
        static const char* digits = "0123456789ABCDEF";
        out += "\\U+";
        for (int shift = 12; shift >= 0; shift -= 4) {
            out += digits[(u >> shift) & 15];
        }
    };
    if (cp >= 0x10000) {
        std::uint32_t v = cp - 0x10000;
        unit(0xD800 + (v >> 10));
        unit(0xDC00 + (v & 0x3FF));
    } else {
        unit(cp);
    }
}

}  // namespace

Builder::Builder(const db::Database& db, const WriteOptions& options) : db_(db), options_(options) {
    std::string name = db::FoldName(db.header.codePage);
    if (name.empty()) {
        name = "ANSI_1252";
    }
    codePage_ = 0;
    for (int n = 1; n <= 44; ++n) {
        if (dwg::CodePageName(n) == name) {
            codePage_ = n;
        }
    }
    if (codePage_ == 0 || name == "UTF-8") {
        Note("the drawing's code page '" + db.header.codePage +
             "' has no number in this version; written as ANSI_1252");
        codePage_ = 30;
        name = "ANSI_1252";
    }
    singleByte_ = !MultiByte(name);
    if (singleByte_) {
        dxf::CodePageConverter conv(name);
        for (int b = 0x80; b < 0x100; ++b) {
            std::string one(1, static_cast<char>(b));
            std::string utf8 = conv.Convert(one);
            std::size_t i = 0;
            char32_t cp = utf8.empty() ? 0xFFFD : NextCodePoint(utf8, i);
            if (cp != 0xFFFD && i == utf8.size() && !toCodePage_.count(cp)) {
                toCodePage_[cp] = static_cast<std::uint8_t>(b);
            }
        }
    }
}

std::string Builder::Enc(std::string_view utf8) const {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = NextCodePoint(utf8, i);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        auto it = toCodePage_.find(cp);
        if (it != toCodePage_.end()) {
            out += static_cast<char>(it->second);
        } else {
            AppendEscape(cp, out);
        }
    }
    return out;
}

std::string Builder::EncText(std::string_view utf8) const {
    // DXF files write control characters as ^ and a letter (^J, ^I) and a caret as "^ ";
    // drawing files hold the characters themselves.
    std::string plain;
    plain.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        char c = utf8[i];
        if (c == '^' && i + 1 < utf8.size()) {
            char next = utf8[i + 1];
            if (next == ' ') {
                plain += '^';
                ++i;
                continue;
            }
            if (next >= '@' && next <= '_') {
                plain += static_cast<char>(next - '@');
                ++i;
                continue;
            }
        }
        plain += c;
    }
    return Enc(plain);
}

Handle Builder::Keep(Handle wanted) {
    if (wanted != 0 && used_.insert(wanted).second) {
        return wanted;
    }
    Handle h = Fresh();
    used_.insert(h);
    return h;
}

void Builder::PlanHandles() {
    // Fresh handles start above every handle the database holds.
    Handle top = 0;
    auto see = [&](Handle h) { top = std::max(top, h); };
    for (const auto& l : db_.layers) {
        see(l.handle);
    }
    for (const auto& l : db_.linetypes) {
        see(l.handle);
    }
    for (const auto& s : db_.textStyles) {
        see(s.handle);
    }
    for (const auto& l : db_.layouts) {
        see(l.handle);
    }
    for (const auto& b : db_.blocks) {
        see(b.recordHandle);
        see(b.blockHandle);
        for (const auto& e : b.entities) {
            see(e.props.handle);
            if (const auto* ins = e.As<db::Insert>()) {
                for (const auto& a : ins->attribs) {
                    see(a.props.handle);
                }
            }
        }
    }
    nextHandle_ = top + 1;

    // Tables.
    linetypes_.assign(db_.linetypes.size(), 0);
    for (std::size_t i = 0; i < db_.linetypes.size(); ++i) {
        Handle h = Keep(db_.linetypes[i].handle);
        linetypes_[i] = h;
        std::string n = db::FoldName(db_.linetypes[i].name);
        if (n == "BYLAYER" && !ltByLayer_) {
            ltByLayer_ = h;
        } else if (n == "BYBLOCK" && !ltByBlock_) {
            ltByBlock_ = h;
        } else if (n == "CONTINUOUS" && !ltContinuous_) {
            ltContinuous_ = h;
        }
    }
    for (auto [name, slot] : {std::pair{"ByBlock", &ltByBlock_},
                              {"ByLayer", &ltByLayer_},
                              {"Continuous", &ltContinuous_}}) {
        if (*slot == 0) {
            *slot = Keep(0);
            extraLinetypes_.emplace_back(name, *slot);
        }
    }
    layers_.assign(db_.layers.size(), 0);
    for (std::size_t i = 0; i < db_.layers.size(); ++i) {
        layers_[i] = Keep(db_.layers[i].handle);
        if (db_.layers[i].name == "0" && !layerZero_) {
            layerZero_ = layers_[i];
        }
    }
    if (!layerZero_) {
        needLayerZero_ = true;
        layerZero_ = Keep(0);
    }
    styles_.assign(db_.textStyles.size(), 0);
    for (std::size_t i = 0; i < db_.textStyles.size(); ++i) {
        styles_[i] = Keep(db_.textStyles[i].handle);
        if (db::FoldName(db_.textStyles[i].name) == "STANDARD" && !standardStyle_) {
            standardStyle_ = styles_[i];
        }
    }
    if (!standardStyle_) {
        needStandardStyle_ = true;
        standardStyle_ = Keep(0);
    }

    // Blocks: model space and the active paper space must exist.
    modelSpace_ = db_.modelSpace;
    paperSpace_ = db_.activePaperSpace;
    blocks_.assign(db_.blocks.size(), {});
    for (std::size_t i = 0; i < db_.blocks.size(); ++i) {
        blocks_[i].record = Keep(db_.blocks[i].recordHandle);
        blocks_[i].begin = Keep(db_.blocks[i].blockHandle);
    }
    if (modelSpace_ >= db_.blocks.size()) {
        throw WriteError("the drawing has no model space");
    }
    if (paperSpace_ >= db_.blocks.size()) {
        extraPaperSpace_ = static_cast<db::BlockId>(db_.blocks.size());
        paperSpace_ = extraPaperSpace_;
        extraPaper_.record = Keep(0);
        extraPaper_.begin = Keep(0);
    }

    // Layouts: one per layout of the database whose block is model space or a paper space.
    std::set<db::BlockId> laidOut;
    bool haveModel = false, havePaper = false;
    for (const auto& l : db_.layouts) {
        if (l.block >= db_.blocks.size() || laidOut.count(l.block)) {
            continue;
        }
        bool model = l.block == modelSpace_;
        if (!model && !db_.blocks[l.block].IsPaperSpace()) {
            continue;
        }
        laidOut.insert(l.block);
        LayoutOut out;
        out.layout = &l;
        out.handle = Keep(l.handle);
        out.block = l.block;
        out.name = l.name;
        out.tabOrder = model ? 0 : std::max<std::int16_t>(l.tabOrder, 1);
        haveModel = haveModel || model;
        havePaper = havePaper || l.block == paperSpace_;
        layouts_.push_back(out);
    }
    if (!haveModel) {
        layouts_.insert(layouts_.begin(), {nullptr, Keep(0), modelSpace_, "Model", 0});
    }
    if (!havePaper) {
        std::int16_t tab = 1;
        for (const auto& l : layouts_) {
            tab = std::max<std::int16_t>(tab, static_cast<std::int16_t>(l.tabOrder + 1));
        }
        std::string name = "Layout1";
        for (int k = 2; std::any_of(layouts_.begin(), layouts_.end(),
                                    [&](const LayoutOut& l) { return l.name == name; });
             ++k) {
            name = "Layout" + std::to_string(k);
        }
        layouts_.push_back({nullptr, Keep(0), paperSpace_, name, tab});
    }
    for (const auto& l : layouts_) {
        if (l.block == extraPaperSpace_) {
            extraPaper_.layout = l.handle;
        } else {
            blocks_[l.block].layout = l.handle;
        }
    }

    // Entities and the attributes of inserts.
    for (const auto& b : db_.blocks) {
        for (const auto& e : b.entities) {
            entityHandles_[&e] = Keep(e.props.handle);
            if (e.props.handle != 0 && Writable(e)) {
                byDatabaseHandle_.emplace(e.props.handle, entityHandles_[&e]);
            }
            if (const auto* ins = e.As<db::Insert>()) {
                for (const auto& a : ins->attribs) {
                    entityHandles_[&a] = Keep(a.props.handle);
                }
            }
        }
    }

    // What the database does not keep.
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        blocks_[i].end = Keep(0);
    }
    if (extraPaperSpace_ != db::kNone) {
        extraPaper_.end = Keep(0);
    }
    for (Handle* h :
         {&blockControl_,  &layerControl_, &styleControl_,  &ltypeControl_,    &viewControl_,
          &ucsControl_,    &vportControl_, &appidControl_,  &dimstyleControl_, &vxControl_,
          &nod_,           &groupDict_,    &layoutDict_,    &mlineDict_,       &plotSettingsDict_,
          &plotStyleDict_, &normalStyle_,  &mlineStandard_, &vportActive_,     &appidAcad_}) {
        *h = Keep(0);
    }
    auto addDimstyle = [&](const std::string& name) {
        std::string key = db::FoldName(name);
        if (!name.empty() && !dimstyles_.count(key)) {
            dimstyles_[key] = {name, Keep(0)};
        }
    };
    addDimstyle("Standard");
    for (const auto& b : db_.blocks) {
        for (const auto& e : b.entities) {
            if (const auto* d = e.As<db::Dimension>()) {
                addDimstyle(d->styleName);
            } else if (const auto* l = e.As<db::Leader>()) {
                addDimstyle(l->styleName);
            }
        }
    }
}

Handle Builder::LinetypeHandle(db::LinetypeId id) const {
    return id < linetypes_.size() ? linetypes_[id] : ltContinuous_;
}

Handle Builder::LayerHandle(db::LayerId id) const {
    return id < layers_.size() ? layers_[id] : layerZero_;
}

Handle Builder::StyleHandle(db::StyleId id) const {
    return id < styles_.size() ? styles_[id] : standardStyle_;
}

Handle Builder::DimstyleHandle(const std::string& name) const {
    auto it = dimstyles_.find(db::FoldName(name));
    if (it == dimstyles_.end()) {
        it = dimstyles_.find("STANDARD");
    }
    return it->second.second;
}

Handle Builder::BlockRecordHandle(db::BlockId id) const {
    if (id == extraPaperSpace_) {
        return extraPaper_.record;
    }
    return id < blocks_.size() ? blocks_[id].record : 0;
}

}  // namespace vx::dwgwriter
