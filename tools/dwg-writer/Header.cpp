// The header variables section: every variable R2000 files hold, in their order, from the
// database's header fields, the variables it kept from its file, or the usual defaults.
#include <charconv>
#include <cmath>
#include <system_error>

#include "WriterImpl.h"
#include "engine/dwg/Compression.h"

namespace vx::dwgwriter {

using namespace vx::engine;

namespace {

const std::pair<int, std::string>* First(const db::Header& h, const char* name) {
    auto it = h.variables.find(name);
    if (it == h.variables.end() || it->second.empty()) {
        return nullptr;
    }
    return &it->second.front();
}

// A Julian date (days and fraction) as the header stores it: whole days and milliseconds.
void JulianDate(BitWriter& w, double date) {
    if (!std::isfinite(date) || date < 0 || date > 1e7) {
        date = 0;
    }
    double days = std::floor(date);
    w.BL(static_cast<std::int32_t>(days));
    w.BL(static_cast<std::int32_t>(std::lround((date - days) * 86400000.0) % 86400000));
}

// A point variable (groups 10, 20, 30), or `def`.
db::Vec3 VarPoint(const db::Header& h, const char* name, db::Vec3 def) {
    auto it = h.variables.find(name);
    if (it == h.variables.end()) {
        return def;
    }
    db::Vec3 p = def;
    for (const auto& [code, text] : it->second) {
        double d = 0;
        auto r = std::from_chars(text.data(), text.data() + text.size(), d);
        if (r.ec != std::errc() || !std::isfinite(d)) {
            continue;
        }
        if (code == 10) {
            p.x = d;
        } else if (code == 20) {
            p.y = d;
        } else if (code == 30) {
            p.z = d;
        }
    }
    return p;
}

}  // namespace

const std::uint8_t kHeaderBegin[16] = {0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                       0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};

double VarNum(const db::Header& h, const char* name, double def) {
    const auto* v = First(h, name);
    if (!v) {
        return def;
    }
    double d = def;
    const char* b = v->second.data();
    auto r = std::from_chars(b, b + v->second.size(), d);
    return r.ec == std::errc() && std::isfinite(d) ? d : def;
}

std::int16_t VarInt(const db::Header& h, const char* name, std::int16_t def) {
    double d = VarNum(h, name, def);
    return d >= -32768 && d <= 32767 ? static_cast<std::int16_t>(std::lround(d)) : def;
}

std::string VarText(const db::Header& h, const char* name, const std::string& def) {
    const auto* v = First(h, name);
    return v ? v->second : def;
}

std::vector<std::uint8_t> Builder::HeaderSection() {
    const db::Header& hd = db_.header;
    BitWriter w;
    auto num = [&](const char* name, double def) { w.BD(VarNum(hd, name, def)); };
    auto shrt = [&](const char* name, std::int16_t def) { w.BS(VarInt(hd, name, def)); };
    auto flag = [&](const char* name, bool def) { w.B(VarInt(hd, name, def ? 1 : 0) != 0); };
    auto point = [&](db::Vec3 p) { w.B3D(p); };
    auto noUcs = [&]() {
        w.H(kHardPointer, 0);  // orthographic reference
        w.BS(0);
        w.H(kHardPointer, 0);  // base
        for (int i = 0; i < 6; ++i) {
            point({0, 0, 0});
        }
    };

    w.BD(412148564080.0);  // unit conversions
    w.BD(1.0);
    w.BD(1.0);
    w.BD(1.0);
    w.T("m");
    w.T("");
    w.T("");
    w.T("");
    w.BL(24);
    w.BL(0);
    w.H(kHardPointer, 0);  // current view
    flag("$DIMASO", true);
    flag("$DIMSHO", true);
    flag("$PLINEGEN", false);
    flag("$ORTHOMODE", false);
    flag("$REGENMODE", true);
    flag("$FILLMODE", true);
    flag("$QTEXTMODE", false);
    w.B(hd.psLtScale);
    flag("$LIMCHECK", false);
    flag("$USRTIMER", true);
    flag("$SKPOLY", false);
    flag("$ANGDIR", false);
    flag("$SPLFRAME", false);
    flag("$MIRRTEXT", false);
    flag("$WORLDVIEW", true);
    w.B(hd.tileMode != 0);
    flag("$PLIMCHECK", false);
    flag("$VISRETAIN", true);
    flag("$DISPSILH", false);
    flag("$PELLIPSE", false);
    shrt("$PROXYGRAPHICS", 1);
    shrt("$TREEDEPTH", 3020);
    w.BS(hd.lunits);
    w.BS(hd.luprec);
    w.BS(hd.aunits);
    shrt("$AUPREC", 0);
    shrt("$ATTMODE", 1);
    w.BS(hd.pdMode);
    for (const char* name : {"$USERI1", "$USERI2", "$USERI3", "$USERI4", "$USERI5"}) {
        shrt(name, 0);
    }
    shrt("$SPLINESEGS", 8);
    shrt("$SURFU", 6);
    shrt("$SURFV", 6);
    shrt("$SURFTYPE", 6);
    shrt("$SURFTAB1", 6);
    shrt("$SURFTAB2", 6);
    shrt("$SPLINETYPE", 6);
    shrt("$SHADEDGE", 3);
    shrt("$SHADEDIF", 70);
    shrt("$UNITMODE", 0);
    shrt("$MAXACTVP", 64);
    shrt("$ISOLINES", 4);
    shrt("$CMLJUST", 0);
    shrt("$TEXTQLTY", 50);
    w.BD(hd.ltScale);
    w.BD(hd.textSize);
    num("$TRACEWID", 1.0);
    num("$SKETCHINC", 1.0);
    num("$FILLETRAD", 0.0);
    num("$THICKNESS", 0.0);
    num("$ANGBASE", 0.0);
    w.BD(hd.pdSize);
    num("$PLINEWID", 0.0);
    for (const char* name : {"$USERR1", "$USERR2", "$USERR3", "$USERR4", "$USERR5", "$CHAMFERA",
                             "$CHAMFERB", "$CHAMFERC", "$CHAMFERD"}) {
        num(name, 0.0);
    }
    num("$FACETRES", 0.5);
    num("$CMLSCALE", 1.0);
    w.BD(hd.celtScale);
    w.T(Enc(VarText(hd, "$MENU", "acad")));
    JulianDate(w, VarNum(hd, "$TDCREATE", 2451545.0));
    JulianDate(w, VarNum(hd, "$TDUPDATE", 2451545.0));
    JulianDate(w, VarNum(hd, "$TDINDWG", 0.0));
    JulianDate(w, VarNum(hd, "$TDUSRTIMER", 0.0));
    w.CMC(VarInt(hd, "$CECOLOR", 256));
    w.H(kNoCode, nextHandle_);  // the next free handle

    // The table entry a header variable names: its record's handle, else `def`.
    auto tableEntry = [&](const char* variable, auto find, auto handleOf, Handle def) {
        std::string name = VarText(hd, variable, "");
        if (name.empty()) {
            return def;
        }
        std::uint32_t id = (db_.*find)(name);
        Handle h = id == db::kNone ? Handle{0} : (this->*handleOf)(id);
        return h ? h : def;
    };
    w.H(kHardPointer,
        tableEntry("$CLAYER", &db::Database::FindLayer, &Builder::LayerHandle, layerZero_));
    w.H(kHardPointer, tableEntry("$TEXTSTYLE", &db::Database::FindTextStyle, &Builder::StyleHandle,
                                 standardStyle_));
    w.H(kHardPointer,
        tableEntry("$CELTYPE", &db::Database::FindLinetype, &Builder::LinetypeHandle, ltByLayer_));
    w.H(kHardPointer, DimstyleHandle(VarText(hd, "$DIMSTYLE", "Standard")));
    w.H(kHardPointer, mlineStandard_);
    num("$PSVPSCALE", 0.0);

    // paper space
    point(VarPoint(hd, "$PINSBASE", {0, 0, 0}));
    point(hd.pExtMin);
    point(hd.pExtMax);
    w.R2D(hd.pLimMin);
    w.R2D(hd.pLimMax);
    w.BD(0);  // elevation
    point({0, 0, 0});
    point({1, 0, 0});
    point({0, 1, 0});
    w.H(kHardPointer, 0);  // named UCS
    noUcs();

    // model space
    point(hd.insBase);
    point(hd.extMin);
    point(hd.extMax);
    w.R2D(hd.limMin);
    w.R2D(hd.limMax);
    w.BD(0);  // elevation
    point({0, 0, 0});
    point({1, 0, 0});
    point({0, 1, 0});
    w.H(kHardPointer, 0);  // named UCS
    noUcs();
    w.T(Enc(VarText(hd, "$DIMPOST", "")));
    w.T(Enc(VarText(hd, "$DIMAPOST", "")));

    // dimension variables
    num("$DIMSCALE", 1.0);
    num("$DIMASZ", 0.18);
    num("$DIMEXO", 0.0625);
    num("$DIMDLI", 0.38);
    num("$DIMEXE", 0.18);
    num("$DIMRND", 0.0);
    num("$DIMDLE", 0.0);
    num("$DIMTP", 0.0);
    num("$DIMTM", 0.0);
    flag("$DIMTOL", false);
    flag("$DIMLIM", false);
    flag("$DIMTIH", true);
    flag("$DIMTOH", true);
    flag("$DIMSE1", false);
    flag("$DIMSE2", false);
    shrt("$DIMTAD", 0);
    shrt("$DIMZIN", 0);
    shrt("$DIMAZIN", 0);
    num("$DIMTXT", 0.18);
    num("$DIMCEN", 0.09);
    num("$DIMTSZ", 0.0);
    num("$DIMALTF", 25.4);
    num("$DIMLFAC", 1.0);
    num("$DIMTVP", 0.0);
    num("$DIMTFAC", 1.0);
    num("$DIMGAP", 0.09);
    num("$DIMALTRND", 0.0);
    flag("$DIMALT", false);
    shrt("$DIMALTD", 2);
    flag("$DIMTOFL", false);
    flag("$DIMSAH", false);
    flag("$DIMTIX", false);
    flag("$DIMSOXD", false);
    w.CMC(VarInt(hd, "$DIMCLRD", 0));
    w.CMC(VarInt(hd, "$DIMCLRE", 0));
    w.CMC(VarInt(hd, "$DIMCLRT", 0));
    shrt("$DIMADEC", 0);
    shrt("$DIMDEC", 4);
    shrt("$DIMTDEC", 4);
    shrt("$DIMALTU", 2);
    shrt("$DIMALTTD", 2);
    shrt("$DIMAUNIT", 0);
    shrt("$DIMFRAC", 0);
    shrt("$DIMLUNIT", 2);
    shrt("$DIMDSEP", '.');
    shrt("$DIMTMOVE", 0);
    shrt("$DIMJUST", 0);
    flag("$DIMSD1", false);
    flag("$DIMSD2", false);
    shrt("$DIMTOLJ", 1);
    shrt("$DIMTZIN", 0);
    shrt("$DIMALTZ", 0);
    shrt("$DIMALTTZ", 0);
    flag("$DIMUPT", false);
    shrt("$DIMATFIT", 3);
    w.H(kHardPointer, standardStyle_);  // dimension text style
    for (int i = 0; i < 4; ++i) {
        w.H(kHardPointer, 0);  // arrow blocks: the default arrows
    }
    shrt("$DIMLWD", -2);
    shrt("$DIMLWE", -2);

    // tables and dictionaries
    for (Handle h : {blockControl_, layerControl_, styleControl_, ltypeControl_, viewControl_,
                     ucsControl_, vportControl_}) {
        w.H(kHardOwner, h);
    }
    w.H(kHardPointer, appidControl_);
    w.H(kHardOwner, dimstyleControl_);
    w.H(kHardOwner, vxControl_);
    w.H(kHardPointer, groupDict_);
    w.H(kHardPointer, mlineDict_);
    w.H(kHardPointer, nod_);
    shrt("$TSTACKALIGN", 1);
    shrt("$TSTACKSIZE", 70);
    w.T(Enc(VarText(hd, "$HYPERLINKBASE", "")));
    w.T(Enc(VarText(hd, "$STYLESHEET", "")));
    w.H(kHardPointer, layoutDict_);
    w.H(kHardPointer, plotSettingsDict_);
    w.H(kHardPointer, plotStyleDict_);
    std::int32_t flags = LineweightIndex(VarInt(hd, "$CELWEIGHT", db::kLineweightByLayer));
    flags |= hd.lwDisplay ? 0 : 0x200;
    flags |= 0x800;  // extended names
    flags |= hd.pStyleMode != 0 ? 0x2000 : 0;
    w.BL(flags);
    w.BS(hd.insUnits);
    w.BS(0);  // new objects: plot style by layer
    w.T(VarText(hd, "$FINGERPRINTGUID", "{6F1C1D8E-2F4A-4B5E-9C3D-0A0B0C0D0E0F}"));
    w.T(VarText(hd, "$VERSIONGUID", "{FAEB1C32-E019-11D5-929B-00C0DF256EC4}"));
    w.H(kHardPointer, BlockRecordHandle(paperSpace_));
    w.H(kHardPointer, blocks_[modelSpace_].record);
    w.H(kHardPointer, ltByLayer_);
    w.H(kHardPointer, ltByBlock_);
    w.H(kHardPointer, ltContinuous_);
    for (int i = 0; i < 4; ++i) {
        w.BS(0);
    }
    w.AlignByte();

    std::vector<std::uint8_t> out(kHeaderBegin, kHeaderBegin + 16);
    PutRL(out, static_cast<std::uint32_t>(w.ByteCount()));
    out.insert(out.end(), w.Bytes().begin(), w.Bytes().end());
    PutRS(out, dwg::Crc16(0xC0C1, out.data() + 16, out.size() - 16));
    for (std::uint8_t b : kHeaderBegin) {
        out.push_back(static_cast<std::uint8_t>(~b));
    }
    return out;
}

}  // namespace vx::dwgwriter
