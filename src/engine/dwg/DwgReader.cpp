#include "engine/dwg/DwgReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>
#include <unordered_set>

#include "engine/db/ProxyGraphics.h"
#include "engine/dwg/Compression.h"
#include "engine/dwg/DwgReaderImpl.h"

namespace vx::engine::dwg {

using namespace vx::engine::db;

bool LooksLikeDwg(std::string_view b) {
    if (b.size() >= 6 && b.substr(0, 2) == "AC" && ((b[2] >= '0' && b[2] <= '9') || b[2] == '.')) {
        return true;
    }
    return b.substr(0, 5) == "MC0.0";
}

bool IsSupportedDwgVersion(std::string_view v) {
    static constexpr std::string_view kVersions[] = {"AC1012", "AC1014", "AC1015", "AC1018",
                                                     "AC1021", "AC1024", "AC1027", "AC1032"};
    return std::find(std::begin(kVersions), std::end(kVersions), v.substr(0, 6)) !=
           std::end(kVersions);
}

// ---------------------------------------------------------------------------------------

DwgReaderImpl::DwgReaderImpl(std::string_view bytes, const DwgReadOptions& options)
    : bytes_(bytes), options_(options), db_(std::make_unique<Database>()) {}

std::string DwgReaderImpl::HandleText(Handle h) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[h & 15]);
        h >>= 4;
    } while (h);
    return s;
}

void DwgReaderImpl::Warn(std::string where, std::string what) {
    if (db_->warnings.size() >= options_.maxWarnings) {
        ++warningsDropped_;
        return;
    }
    db_->warnings.push_back({std::move(where), std::move(what)});
}

std::string DwgReaderImpl::Str(std::string raw) {
    std::string out;
    if (version_ >= 1021 || !conv_) {
        out = version_ >= 1021 ? std::move(raw) : dxf::SanitizeUtf8(raw);
    } else {
        conv_->Append(raw, out);
    }
    if (dxf::HasEscapes(out)) {
        out = dxf::DecodeEscapes(out);
    }
    return out;
}

DwgResult DwgReaderImpl::Run() {
    DwgResult result;
    if (bytes_.empty()) {
        result.error = {"", "the file is empty"};
        return result;
    }
    if (!LooksLikeDwg(bytes_)) {
        result.error = {"offset 0", "not a DWG file: it does not begin with a version code"};
        return result;
    }
    std::string code(bytes_.substr(0, std::min<std::size_t>(6, bytes_.size())));
    if (!IsSupportedDwgVersion(code)) {
        int n = VersionNumber(code);
        std::string name(ReleaseName(code));
        if (n > 0 && n < 1012) {
            std::string release = name == code ? std::string() : " (" + name + ")";
            result.error = {"offset 0", "DWG version " + code + release +
                                            " is older than R13 and cannot be read"};
        } else if (n > 1032) {
            result.error = {"offset 0",
                            "DWG version " + code + " is newer than 2018 and cannot be read"};
        } else {
            result.error = {"offset 0",
                            "DWG version '" + code + "' is not a version that can be read"};
        }
        return result;
    }
    try {
        file_ = OpenDwgFile(bytes_);
    } catch (const DwgError& e) {
        result.error = {"file layout", e.what()};
        return result;
    } catch (const std::bad_alloc&) {
        result.error = {"file layout", "out of memory"};
        return result;
    }
    version_ = file_.version;
    for (auto& w : file_.warnings) {
        Warn(std::move(w.where), std::move(w.what));
    }
    Header& h = db_->header;
    h.acadVersion = file_.versionText;
    h.codePage = CodePageName(file_.codePage);
    if (h.codePage.empty()) {
        Warn("file header", "unknown code page number " + std::to_string(file_.codePage) +
                                "; text read as ANSI_1252");
        h.codePage = "ANSI_1252";
    }
    if (version_ < 1021) {
        conv_ = std::make_unique<dxf::CodePageConverter>(h.codePage);
        if (!conv_->Known()) {
            Warn("file header",
                 "code page '" + h.codePage + "' is not available; read as ANSI_1252");
            conv_ = std::make_unique<dxf::CodePageConverter>("ANSI_1252");
        }
    }
    try {
        try {
            ReadHeader();
        } catch (const DwgError& e) {
            Warn("header section",
                 std::string(e.what()) + "; header variables after it are defaults");
        }
        ReadTemplate();
        try {
            ReadClasses();
        } catch (const DwgError& e) {
            Warn("classes section", std::string(e.what()) + "; custom objects may be unnamed");
        }
        try {
            ReadObjectMap();
        } catch (const DwgError& e) {
            if (objectMap_.empty()) {
                throw DwgError(std::string("object map: ") + e.what());
            }
            Warn("object map", std::string(e.what()) + "; objects after the damage are missing");
        }
        ReadObjects();
        Assemble();
        db::ProxyGraphicsOptions proxy;
        proxy.version = version_;
        proxy.narrowText = [this](std::string_view t) {
            return conv_ ? conv_->Convert(t) : dxf::SanitizeUtf8(t);
        };
        db::AttachProxyGraphics(
            *db_, proxyGraphics_, proxy, [this](std::string where, std::string what) {
                Warn(std::move(where), "custom object picture: " + std::move(what));
            });
        db::AttachTablePictures(*db_, tableGrids_, tableStyles_, options_.tablesFromCells);
    } catch (const DwgError& e) {
        result.error = {"", e.what()};
        return result;
    } catch (const std::bad_alloc&) {
        result.error = {"", "out of memory"};
        return result;
    }
    if (warningsDropped_ > 0) {
        db_->warnings.push_back({"", "and " + std::to_string(warningsDropped_) + " more warnings"});
    }
    result.database = std::move(db_);
    return result;
}

// ---------------------------------------------------------------------------------------
// Header variables

namespace {

const std::uint8_t kHeaderSentinel[16] = {0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                          0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
const std::uint8_t kClassesSentinel[16] = {0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                           0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};

// Where the text of an R2007+ section or object begins: `flagBit` is the last bit of the
// data part; the text's length is stored just before it.
bool StringStreamStart(BitReader& r, std::size_t flagBit, std::size_t& start, std::size_t& end) {
    r.Seek(flagBit);
    if (!r.B()) {
        return false;
    }
    if (flagBit < 16) {
        throw DwgError("the text stream's length lies before the data");
    }
    std::size_t at = flagBit - 16;
    r.Seek(at);
    std::size_t size = static_cast<std::uint16_t>(r.RS());
    if (size & 0x8000) {
        if (at < 16) {
            throw DwgError("the text stream's length lies before the data");
        }
        at -= 16;
        r.Seek(at);
        std::size_t hi = static_cast<std::uint16_t>(r.RS());
        size = (size & 0x7FFF) | (hi << 15);
    }
    if (size > at) {
        throw DwgError("the text stream is longer than its data (" + std::to_string(size) +
                       " bits)");
    }
    start = at - size;
    end = at;
    return true;
}

std::string Num(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

}  // namespace

void DwgReaderImpl::ReadHeader() {
    const Section& sec = file_.header;
    if (!sec.present || sec.size < 20) {
        throw DwgError("the header section is missing");
    }
    if (std::memcmp(sec.data, kHeaderSentinel, 16) != 0) {
        Warn("header section", "the section does not begin with its sentinel");
    }
    ObjectStreams o;
    o.d = BitReader(sec.data, sec.size, version_);
    o.d.Seek(16 * 8);
    std::size_t size = static_cast<std::uint32_t>(o.d.RL());
    if (size > sec.size - 20) {
        throw DwgError("the header claims " + std::to_string(size) + " bytes; the section has " +
                       std::to_string(sec.size));
    }
    if ((version_ >= 1024 && file_.maintenance > 3) || version_ >= 1032) {
        o.d.RL();
    }
    o.h = o.d;
    o.s = o.d;
    if (version_ >= 1021) {
        std::size_t p = o.d.Pos();
        std::size_t bits = static_cast<std::uint32_t>(o.d.RL());
        if (bits == 0 || p + bits > o.d.End()) {
            throw DwgError("the header's data size is out of range");
        }
        std::size_t start = 0, end = 0;
        if (StringStreamStart(o.s, p + bits - 1, start, end)) {
            o.s.Seek(start);
            o.s.Limit(end);
            o.separateStrings = true;
        }
        o.h.Seek(p + bits);
    }
    BitReader& d = o.d;
    // before R2007 the handles are part of the one stream
    BitReader& hs = version_ >= 1021 ? o.h : o.d;
    auto H = [&]() { return hs.H().value; };
    auto T = [&]() { return o.separateStrings ? std::string() : d.T(); };
    Header& h = db_->header;
    auto& vars = h.variables;
    auto keep = [&](const char* name, int code, std::string value) {
        vars[name].emplace_back(code, std::move(value));
    };
    auto point = [&](const char* name, Vec3 p, bool z = true) {
        auto& v = vars[name];
        v.emplace_back(10, Num(p.x));
        v.emplace_back(20, Num(p.y));
        if (z) {
            v.emplace_back(30, Num(p.z));
        }
    };
    const int v = version_;
    if (v >= 1027) {
        d.BLL();
    }
    for (int i = 0; i < 4; ++i) {
        d.BD();
    }
    if (v <= 1018) {
        for (int i = 0; i < 4; ++i) {
            T();
        }
    }
    d.BL();
    d.BL();
    if (v <= 1014) {
        d.BS();
    }
    if (v <= 1015) {
        H();
    }
    d.B();
    d.B();
    if (v <= 1014) {
        d.B();
    }
    bool b[7];
    for (bool& x : b) {
        x = d.B();
    }
    h.psLtScale = b[5];
    keep("$PSLTSCALE", 70, std::to_string(b[5] ? 1 : 0));
    if (v <= 1014) {
        d.B();
    }
    if (v >= 1018) {
        d.B();
    }
    for (int i = 0; i < 4; ++i) {
        d.B();
    }
    if (v <= 1014) {
        d.B();
        d.B();
    }
    d.B();
    d.B();
    if (v <= 1014) {
        d.B();
    }
    h.tileMode = d.B() ? 1 : 0;
    keep("$TILEMODE", 70, std::to_string(h.tileMode));
    d.B();
    d.B();
    if (v <= 1014) {
        d.B();
    }
    d.B();
    d.B();
    d.BS();
    if (v <= 1014) {
        d.BS();
    }
    d.BS();
    h.lunits = d.BS();
    h.luprec = d.BS();
    h.aunits = d.BS();
    d.BS();
    keep("$LUNITS", 70, std::to_string(h.lunits));
    keep("$LUPREC", 70, std::to_string(h.luprec));
    keep("$AUNITS", 70, std::to_string(h.aunits));
    if (v <= 1014) {
        d.BL();
    }
    d.BS();
    if (v <= 1014) {
        d.BS();
    }
    h.pdMode = d.BS();
    keep("$PDMODE", 70, std::to_string(h.pdMode));
    if (v <= 1014) {
        d.BS();
    }
    if (v >= 1018) {
        d.BL();
        d.BL();
        d.BL();
    }
    for (int i = 0; i < 19; ++i) {
        d.BS();
    }
    double bd[21];
    for (double& x : bd) {
        x = d.BD();
    }
    h.ltScale = bd[0];
    h.textSize = bd[1];
    h.pdSize = bd[7];
    h.celtScale = bd[20];
    keep("$LTSCALE", 40, Num(h.ltScale));
    keep("$TEXTSIZE", 40, Num(h.textSize));
    keep("$PDSIZE", 40, Num(h.pdSize));
    keep("$CELTSCALE", 40, Num(h.celtScale));
    if (v < 1021) {
        T();
    }
    for (int i = 0; i < 4; ++i) {
        d.BL();
    }
    if (v >= 1018) {
        d.BL();
        d.BL();
        d.BL();
    }
    for (int i = 0; i < 4; ++i) {
        d.BL();
    }
    d.CMC();
    h.handSeed = d.H().value;
    keep("$HANDSEED", 5, HandleText(h.handSeed));
    H();
    H();
    H();
    if (v >= 1021) {
        H();
    }
    H();
    H();
    if (v >= 1015) {
        d.BD();
    }
    Vec3 pins = d.B3D();
    h.pExtMin = d.B3D();
    h.pExtMax = d.B3D();
    h.pLimMin = d.R2D();
    h.pLimMax = d.R2D();
    (void)pins;
    point("$PEXTMIN", h.pExtMin);
    point("$PEXTMAX", h.pExtMax);
    point("$PLIMMIN", h.pLimMin, false);
    point("$PLIMMAX", h.pLimMax, false);
    // elevation, UCS origin, axes and name; from R2000 the orthographic UCS settings
    auto skipUcs = [&] {
        d.BD();
        d.B3D();
        d.B3D();
        d.B3D();
        H();
        if (v >= 1015) {
            H();
            d.BS();
            H();
            for (int i = 0; i < 6; ++i) {
                d.B3D();
            }
        }
    };
    skipUcs();
    h.insBase = d.B3D();
    h.extMin = d.B3D();
    h.extMax = d.B3D();
    h.hasExtents = true;
    h.limMin = d.R2D();
    h.limMax = d.R2D();
    point("$INSBASE", h.insBase);
    point("$EXTMIN", h.extMin);
    point("$EXTMAX", h.extMax);
    point("$LIMMIN", h.limMin, false);
    point("$LIMMAX", h.limMax, false);
    skipUcs();
    if (v >= 1015 && v < 1021) {
        T();
        T();
    }
    if (v <= 1014) {
        for (int i = 0; i < 11; ++i) {
            d.B();
        }
        d.RC();
        d.RC();
        d.B();
        d.B();
        d.RC();
        d.RC();
        d.RC();
        d.B();
        for (int i = 0; i < 4; ++i) {
            d.RC();
        }
        for (int i = 0; i < 6; ++i) {
            d.BS();
        }
        H();
    }
    // DIMSCALE, DIMASZ, then DIMEXO, DIMDLI, DIMEXE, DIMRND, DIMDLE, DIMTP, DIMTM
    h.dimScale = d.BD();
    h.dimAsz = d.BD();
    keep("$DIMSCALE", 40, Num(h.dimScale));
    keep("$DIMASZ", 40, Num(*h.dimAsz));
    for (int i = 0; i < 7; ++i) {
        d.BD();
    }
    if (v >= 1021) {
        d.BD();
        d.BD();
        d.BS();
        d.CMC();
    }
    if (v >= 1015) {
        for (int i = 0; i < 6; ++i) {
            d.B();
        }
        d.BS();
        d.BS();
        d.BS();
    }
    if (v >= 1021) {
        d.BS();
    }
    for (int i = 0; i < 8; ++i) {
        d.BD();
    }
    if (v <= 1014) {
        for (int i = 0; i < 5; ++i) {
            T();
        }
    }
    if (v >= 1015) {
        d.BD();
        d.B();
        d.BS();
        for (int i = 0; i < 4; ++i) {
            d.B();
        }
    }
    d.CMC();
    d.CMC();
    d.CMC();
    if (v >= 1015) {
        for (int i = 0; i < 11; ++i) {
            d.BS();
        }
        d.B();
        d.B();
        for (int i = 0; i < 4; ++i) {
            d.BS();
        }
        d.B();
        d.BS();
    }
    if (v >= 1021) {
        d.B();
    }
    if (v >= 1024) {
        d.B();
        d.BD();
        d.BD();
    }
    if (v >= 1015) {
        for (int i = 0; i < 5; ++i) {
            H();
        }
    }
    if (v >= 1021) {
        for (int i = 0; i < 3; ++i) {
            H();
        }
    }
    if (v >= 1015) {
        d.BS();
        d.BS();
    }
    blockControl_ = H();
    layerControl_ = H();
    styleControl_ = H();
    linetypeControl_ = H();
    for (int i = 0; i < 5; ++i) {
        H();  // view, ucs, vport, appid, dimstyle
    }
    if (v <= 1015) {
        H();
    }
    H();
    H();
    namedObjects_ = H();
    if (v >= 1015) {
        d.BS();
        d.BS();
        if (v < 1021) {
            T();
            T();
        }
        layoutDictionary_ = H();
        H();
        H();
    }
    if (v >= 1018) {
        H();
        H();
    }
    if (v >= 1021) {
        H();
    }
    if (v >= 1027) {
        H();
    }
    if (v >= 1015) {
        auto flags = static_cast<std::uint32_t>(d.BL());
        h.lwDisplay = (flags & 0x200) == 0;
        h.pStyleMode = (flags & 0x2000) ? 1 : 0;
        keep("$LWDISPLAY", 290, h.lwDisplay ? "1" : "0");
        keep("$PSTYLEMODE", 290, std::to_string(h.pStyleMode));
        h.insUnits = d.BS();
        keep("$INSUNITS", 70, std::to_string(h.insUnits));
        if (d.BS() == 3) {
            H();
        }
        if (v < 1021) {
            T();
            T();
        }
    }
    if (v >= 1018) {
        for (int i = 0; i < 6; ++i) {
            d.RC();
        }
        d.BS();
        d.BS();
        d.RC();
        d.RC();
        if (v < 1021) {
            T();
        }
    }
    paperRecord_ = H();
    modelRecord_ = H();
}

// The template section: a description, then the measurement system (0 imperial, 1 metric).
void DwgReaderImpl::ReadTemplate() {
    const Section& sec = file_.templ;
    if (!sec.present || sec.size < 4) {
        return;
    }
    std::size_t n = static_cast<std::size_t>(sec.data[0] | (sec.data[1] << 8));
    if (version_ >= 1021) {
        n *= 2;
    }
    if (n + 4 > sec.size) {
        Warn("template section", "its description is longer than the section");
        return;
    }
    int m = sec.data[2 + n] | (sec.data[3 + n] << 8);
    if (m == 0 || m == 1) {
        db_->header.measurement = static_cast<std::int16_t>(m);
        db_->header.variables["$MEASUREMENT"].emplace_back(70, std::to_string(m));
    } else {
        Warn("template section", "an unknown measurement system " + std::to_string(m));
    }
}

// ---------------------------------------------------------------------------------------
// Classes

void DwgReaderImpl::ReadClasses() {
    const Section& sec = file_.classes;
    if (!sec.present || sec.size < 20) {
        throw DwgError("the classes section is missing");
    }
    if (std::memcmp(sec.data, kClassesSentinel, 16) != 0) {
        Warn("classes section", "the section does not begin with its sentinel");
    }
    BitReader d(sec.data, sec.size, version_);
    d.Seek(16 * 8);
    std::size_t size = static_cast<std::uint32_t>(d.RL());
    if (size > sec.size - 20) {
        throw DwgError("the classes claim " + std::to_string(size) + " bytes; the section has " +
                       std::to_string(sec.size));
    }
    if ((version_ >= 1024 && file_.maintenance > 3) || version_ >= 1032) {
        d.RL();
    }
    std::size_t end = d.Pos() + size * 8;
    BitReader s = d;
    bool separate = false;
    if (version_ >= 1021) {
        std::size_t p = d.Pos();
        std::size_t bits = static_cast<std::uint32_t>(d.RL());
        std::size_t start = 0, stop = 0;
        if (bits == 0 || p + bits > d.End()) {
            throw DwgError("the classes' data size is out of range");
        }
        if (StringStreamStart(s, p + bits - 1, start, stop)) {
            s.Seek(start);
            s.Limit(stop);
            separate = true;
            end = start;
        } else {
            end = p + bits - 1;
        }
    }
    int maxNumber = 0x7FFF;
    if (version_ >= 1018) {
        maxNumber = d.BS();
        d.RC();
        d.RC();
        d.B();
    }
    d.Limit(std::min(end, d.End()));
    while (d.Remaining() > 8 * 8) {
        DwgClass c;
        int number = d.BS();
        d.BS();
        BitReader& t = separate ? s : d;
        t.T();
        c.cppName = Str(t.T());
        c.dxfName = Str(t.T());
        d.B();
        c.isEntity = d.BS() == 0x1F2;
        if (version_ >= 1018) {
            d.BL();  // instances
            d.BL();  // format version
            d.BL();  // maintenance release
            d.BL();
            d.BL();
        }
        if (number < 500 || number > 0x7FFF) {
            throw DwgError("a class with the number " + std::to_string(number));
        }
        classes_[number] = std::move(c);
        if (number >= maxNumber) {
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Object map

void DwgReaderImpl::ReadObjectMap() {
    const Section& sec = file_.handles;
    if (!sec.present) {
        throw DwgError("the object map is missing");
    }
    const std::uint8_t* p = sec.data;
    std::size_t n = sec.size;
    std::size_t at = 0;
    std::size_t crcWarnings = 0;
    while (true) {
        if (at + 2 > n) {
            throw DwgError("the object map ends without its closing part (at byte " +
                           std::to_string(at) + ")");
        }
        std::size_t size = static_cast<std::size_t>((p[at] << 8) | p[at + 1]);
        if (size == 2) {
            break;
        }
        if (size < 2 || at + size + 2 > n) {
            throw DwgError("an object map part of " + std::to_string(size) + " bytes at byte " +
                           std::to_string(at) + " passes the end of the map");
        }
        std::uint16_t crc = static_cast<std::uint16_t>((p[at + size] << 8) | p[at + size + 1]);
        if (Crc16(0xC0C1, p + at, size) != crc && crcWarnings++ == 0) {
            Warn("object map",
                 "the CRC of the part at byte " + std::to_string(at) + " does not match");
        }
        BitReader r(p + at + 2, size - 2, version_);
        Handle handle = 0;
        std::int64_t loc = 0;
        while (r.Remaining() >= 16) {
            handle += r.MC();
            loc += r.MCSigned();
            if (loc < 0 || static_cast<std::uint64_t>(loc) >= file_.objects.size) {
                Warn("object map", "object " + HandleText(handle) + " lies outside the objects (" +
                                       std::to_string(loc) + ")");
                continue;
            }
            objectMap_.emplace_back(handle, static_cast<std::size_t>(loc));
        }
        at += size + 2;
    }
}

// ---------------------------------------------------------------------------------------
// Objects

std::string DwgReaderImpl::TypeName(std::uint32_t type) const {
    switch (type) {
        case 1:
            return "TEXT";
        case 2:
            return "ATTRIB";
        case 3:
            return "ATTDEF";
        case 4:
            return "BLOCK";
        case 5:
            return "ENDBLK";
        case 6:
            return "SEQEND";
        case 7:
            return "INSERT";
        case 8:
            return "MINSERT";
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
            return "VERTEX";
        case 15:
        case 16:
        case 29:
        case 30:
            return "POLYLINE";
        case 17:
            return "ARC";
        case 18:
            return "CIRCLE";
        case 19:
            return "LINE";
        case 20:
        case 21:
        case 22:
        case 23:
        case 24:
        case 25:
        case 26:
            return "DIMENSION";
        case 27:
            return "POINT";
        case 28:
            return "3DFACE";
        case 31:
            return "SOLID";
        case 32:
            return "TRACE";
        case 33:
            return "SHAPE";
        case 34:
            return "VIEWPORT";
        case 35:
            return "ELLIPSE";
        case 36:
            return "SPLINE";
        case 37:
            return "REGION";
        case 38:
            return "3DSOLID";
        case 39:
            return "BODY";
        case 40:
            return "RAY";
        case 41:
            return "XLINE";
        case 42:
            return "DICTIONARY";
        case 43:
            return "OLEFRAME";
        case 44:
            return "MTEXT";
        case 45:
            return "LEADER";
        case 46:
            return "TOLERANCE";
        case 47:
            return "MLINE";
        case 48:
            return "BLOCK_CONTROL";
        case 49:
            return "BLOCK_RECORD";
        case 50:
            return "LAYER_CONTROL";
        case 51:
            return "LAYER";
        case 52:
            return "STYLE_CONTROL";
        case 53:
            return "STYLE";
        case 56:
            return "LTYPE_CONTROL";
        case 57:
            return "LTYPE";
        case 60:
            return "VIEW_CONTROL";
        case 61:
            return "VIEW";
        case 62:
            return "UCS_CONTROL";
        case 63:
            return "UCS";
        case 64:
            return "VPORT_CONTROL";
        case 65:
            return "VPORT";
        case 66:
            return "APPID_CONTROL";
        case 67:
            return "APPID";
        case 68:
            return "DIMSTYLE_CONTROL";
        case 69:
            return "DIMSTYLE";
        case 70:
            return "VX_CONTROL";
        case 71:
            return "VX_TABLE_RECORD";
        case 72:
            return "GROUP";
        case 73:
            return "MLINESTYLE";
        case 74:
            return "OLE2FRAME";
        case 77:
            return "LWPOLYLINE";
        case 78:
            return "HATCH";
        case 79:
            return "XRECORD";
        case 80:
            return "ACDBPLACEHOLDER";
        case 82:
            return "LAYOUT";
        case 498:
            return "ACAD_PROXY_ENTITY";
        case 499:
            return "ACAD_PROXY_OBJECT";
        default: {
            auto it = classes_.find(static_cast<int>(type));
            return it != classes_.end() ? it->second.dxfName : std::string();
        }
    }
}

bool DwgReaderImpl::IsEntityType(std::uint32_t type) const {
    if (type >= 500) {
        auto it = classes_.find(static_cast<int>(type));
        return it != classes_.end() && it->second.isEntity;
    }
    return (type >= 1 && type <= 41 && type != 9) || type == 43 || type == 44 || type == 45 ||
           type == 46 || type == 47 || type == 74 || type == 77 || type == 78 || type == 498;
}

void DwgReaderImpl::ReadObjects() {
    std::sort(objectMap_.begin(), objectMap_.end());
    objectMap_.erase(std::unique(objectMap_.begin(), objectMap_.end(),
                                 [](const auto& a, const auto& b) { return a.first == b.first; }),
                     objectMap_.end());
    std::size_t failed = 0;
    for (const auto& [handle, offset] : objectMap_) {
        crcMismatch_ = false;
        try {
            ReadObject(handle, offset);
            ++objectsRead_;
            if (crcMismatch_) {
                Warn("object " + HandleText(handle) + " (" + currentType_ + ") at offset " +
                         std::to_string(offset),
                     "its CRC does not match; it was read as it stands");
            }
        } catch (const DwgError& e) {
            ++failed;
            Warn("object " + HandleText(handle) +
                     (currentType_.empty() ? "" : " (" + currentType_ + ")") + " at offset " +
                     std::to_string(offset),
                 e.what());
        }
    }
    if (objectsRead_ == 0 && !objectMap_.empty()) {
        throw DwgError("none of the " + std::to_string(objectMap_.size()) +
                       " objects could be read");
    }
}

void DwgReaderImpl::ReadEed(BitReader& d) {
    eed_.clear();
    for (int guard = 0; guard < 100000; ++guard) {
        auto size = static_cast<std::uint16_t>(d.BS());
        if (size == 0) {
            return;
        }
        Handle app = d.H().value;
        if (size > d.Remaining() / 8) {
            throw DwgError("extended data of " + std::to_string(size) +
                           " bytes pass the end of the object");
        }
        std::string bytes(size, '\0');
        d.Bytes(reinterpret_cast<std::uint8_t*>(bytes.data()), size);
        eed_.emplace_back(app, std::move(bytes));
    }
    throw DwgError("endless extended data");
}

std::vector<EedItem> DwgReaderImpl::ParseEed(const std::string& block) const {
    const auto* p = reinterpret_cast<const std::uint8_t*>(block.data());
    BitReader r(p, block.size(), version_);
    std::vector<EedItem> items;
    while (r.Remaining() >= 8) {
        EedItem item;
        item.code = 1000 + r.RC();
        switch (item.code) {
            case 1000: {
                if (version_ >= 1021) {  // length, UTF-16 text
                    std::size_t n = static_cast<std::uint16_t>(r.RS());
                    if (n > r.Remaining() / 16) {
                        throw DwgError("a text longer than its extended data");
                    }
                    std::string units(2 * n, '\0');
                    r.Bytes(reinterpret_cast<std::uint8_t*>(units.data()), units.size());
                    item.text = Utf16ToUtf8(reinterpret_cast<const std::uint8_t*>(units.data()), n);
                } else {  // length, code page, bytes
                    std::size_t n = r.RC();
                    r.RC();
                    r.RC();
                    std::string text(n, '\0');
                    r.Bytes(reinterpret_cast<std::uint8_t*>(text.data()), n);
                    item.text = text;
                }
                break;
            }
            case 1002:
                item.integer = r.RC();
                break;
            case 1003:
                item.integer = static_cast<std::int64_t>(r.RLL());
                break;
            case 1004:
                r.Skip(static_cast<std::size_t>(r.RC()) * 8);
                break;
            case 1005:
                item.integer = static_cast<std::int64_t>(r.RLL());
                break;
            case 1010:
            case 1011:
            case 1012:
            case 1013:
            case 1014:
            case 1015:
                item.point = r.R3D();
                break;
            case 1040:
            case 1041:
            case 1042:
                item.real = r.RD();
                break;
            case 1070:
                item.integer = r.RS();
                break;
            case 1071:
                item.integer = r.RL();
                break;
            default:
                throw DwgError("an extended data item of code " + std::to_string(item.code));
        }
        items.push_back(std::move(item));
    }
    return items;
}

void DwgReaderImpl::EedViewData(Viewport& g, Handle self) {
    for (const auto& [app, block] : eed_) {
        std::vector<EedItem> items;
        try {
            items = ParseEed(block);
        } catch (const DwgError& e) {
            Warn("object " + HandleText(self) + " (VIEWPORT)",
                 std::string("its view data are damaged: ") + e.what());
            continue;
        }
        std::vector<double> reals;
        std::vector<Vec3> points;
        std::vector<Handle> frozen;
        bool view = false;
        for (const auto& it : items) {
            if (it.code == 1000) {
                view = view || it.text == "MVIEW";
            } else if (it.code == 1003) {
                frozen.push_back(static_cast<Handle>(it.integer));
            } else if (it.code >= 1010 && it.code <= 1015) {
                points.push_back(it.point);
            } else if (it.code >= 1040 && it.code <= 1042) {
                reals.push_back(it.real);
            }
        }
        if (!view || points.size() < 2 || reals.size() < 4) {
            continue;
        }
        g.viewTarget = points[0];
        g.viewDirection = points[1];
        g.twist = reals[0];
        g.viewHeight = reals[1];
        g.viewCenter = {reals[2], reals[3], 0};
        if (reals.size() >= 7) {
            g.lensLength = reals[4];
            g.frontClip = reals[5];
            g.backClip = reals[6];
        }
        g.frozenLayerHandles = frozen;
        return;
    }
}

std::string DwgReaderImpl::EedFontFamily(const EedBlocks& eed) const {
    auto acad = appIds_.find("ACAD");
    for (const auto& [app, block] : eed) {
        if (acad == appIds_.end() || app != acad->second) {
            continue;
        }
        try {
            for (const auto& it : ParseEed(block)) {
                if (it.code == 1000 && !it.text.empty()) {
                    return it.text;
                }
            }
        } catch (const DwgError&) {
            // the family is a nicety: damaged extended data go without it
        }
    }
    return {};
}

void DwgReaderImpl::ReadObject(Handle handle, std::size_t offset) {
    const Section& sec = file_.objects;
    BitReader head(sec.data + offset, sec.size - offset, version_);
    std::size_t size = head.MS();
    std::size_t handleBits = 0;
    if (version_ >= 1024) {
        handleBits = head.MC();
    }
    std::size_t start = head.Pos() / 8;
    if (size == 0 || size > sec.size - offset - start) {
        throw DwgError("an object size of " + std::to_string(size) +
                       " bytes passes the end of the data");
    }
    if (handleBits > size * 8) {
        throw DwgError("its handle references are larger than the object");
    }
    const std::uint8_t* data = sec.data + offset + start;
    // The CRC after the object covers its size fields and its data.
    if (sec.size - offset - start - size >= 2) {
        std::uint16_t stored = static_cast<std::uint16_t>(data[size] | (data[size + 1] << 8));
        if (Crc16(0xC0C1, sec.data + offset, start + size) != stored) {
            crcMismatch_ = true;
        }
    }
    ObjectStreams o;
    o.d = BitReader(data, size, version_);
    o.h = o.d;
    o.s = o.d;
    currentType_.clear();
    std::uint32_t type = o.d.OT();
    currentType_ = TypeName(type);
    if (currentType_.empty()) {
        currentType_ = "type " + std::to_string(type);
    }
    std::size_t dataBits = 0;
    bool known = false;
    if (version_ >= 1015 && version_ < 1024) {
        dataBits = static_cast<std::uint32_t>(o.d.RL());
        known = true;
    } else if (version_ >= 1024) {
        dataBits = size * 8 - handleBits;
        known = true;
    }
    o.self = o.d.H().value;
    if (o.self != handle) {
        throw DwgError("the object map names handle " + HandleText(handle) +
                       ", the object itself " + HandleText(o.self));
    }
    ReadEed(o.d);
    bool entity = IsEntityType(type);
    std::string picture;  // kept for custom objects, which may have nothing else to show
    if (entity) {
        if (o.d.B()) {
            std::uint64_t g = version_ >= 1024 ? o.d.BLL() : static_cast<std::uint32_t>(o.d.RL());
            if (g > o.d.Remaining() / 8) {
                throw DwgError("its picture is larger than the object");
            }
            if (type >= 498) {
                picture.resize(static_cast<std::size_t>(g));
                for (char& c : picture) {
                    c = static_cast<char>(o.d.RC());
                }
            } else {
                o.d.Skip(static_cast<std::size_t>(g) * 8);
            }
        }
    }
    if (!known) {
        dataBits = static_cast<std::uint32_t>(o.d.RL());
    }
    if (dataBits > size * 8 || dataBits < o.d.Pos()) {
        throw DwgError("its data size of " + std::to_string(dataBits) + " bits is out of range");
    }
    o.h.Seek(dataBits);
    if (version_ >= 1021) {
        std::size_t s0 = 0, s1 = 0;
        if (dataBits > 0 && StringStreamStart(o.s, dataBits - 1, s0, s1)) {
            o.s.Seek(s0);
            o.s.Limit(s1);
        } else {
            o.s.Seek(dataBits);
            o.s.Limit(dataBits);
        }
        o.separateStrings = true;
    }
    o.d.Limit(dataBits);
    std::string name = TypeName(type);
    if (entity) {
        PendingEntity p;
        CommonEntity(o, p);
        ReadEntityData(type, name, o, p);
        if (!picture.empty() &&
            (p.entity.type == EntityType::Unknown || p.entity.type == EntityType::Table)) {
            proxyGraphics_[handle] = std::move(picture);
        }
        entities_[handle] = std::move(p);
        return;
    }
    ReadTableObject(type, name, o);
}

void DwgReaderImpl::CommonObject(ObjectStreams& o, Handle& owner) {
    auto reactors = static_cast<std::uint32_t>(o.d.BL());
    bool noXdic = version_ >= 1018 ? o.d.B() : false;
    if (version_ >= 1027) {
        o.d.B();
    }
    owner = o.H();
    o.SkipHandles(reactors, "reactors");
    if (!noXdic) {
        o.H();
    }
}

void DwgReaderImpl::CommonEntity(ObjectStreams& o, PendingEntity& p, bool embedded) {
    BitReader& d = o.d;
    EntityProps& props = p.entity.props;
    props.handle = o.self;
    p.entmode = d.BB();
    auto reactors = static_cast<std::uint32_t>(d.BL());
    bool noXdic = version_ >= 1018 ? d.B() : false;
    if (version_ >= 1027) {
        d.B();
    }
    bool bylayerLt = true;
    bool noLinks = true;
    if (version_ <= 1014) {
        bylayerLt = d.B();
    }
    if (version_ < 1018) {
        noLinks = d.B();
    }
    bool book = false;
    std::uint32_t transparency = 0;
    BitReader::CmColor c = d.ENC(book, transparency);
    props.color = c.hasRgb ? Color::FromRgb(c.rgb, c.index > 0 && c.index < 256 ? c.index : 7)
                  : c.index == 256 ? Color{}
                                   : Color::FromIndex(c.index);
    props.transparency = transparency;
    props.linetypeScale = d.BD();
    std::uint8_t plotFlags = 0;
    std::uint8_t materialFlags = 0;
    bool vs[3] = {false, false, false};
    if (version_ >= 1015) {
        p.linetypeFlags = d.BB();
        plotFlags = d.BB();
    } else {
        p.linetypeFlags = bylayerLt ? 0 : 3;
    }
    if (version_ >= 1021) {
        materialFlags = d.BB();
        d.RC();
    }
    if (version_ >= 1024) {
        vs[0] = d.B();
        vs[1] = d.B();
        vs[2] = d.B();
    }
    props.invisible = (d.BS() & 1) != 0;
    if (version_ >= 1015) {
        props.lineweight = LineweightOf(d.RC());
    }
    // handle references
    if (p.entmode == 0) {
        p.owner = o.H();
    }
    o.SkipHandles(reactors, "reactors");
    if (!noXdic) {
        o.H();
    }
    if (version_ <= 1014) {
        p.layer = o.H();
        if (!bylayerLt) {
            p.linetype = o.H();
        }
    }
    if (version_ < 1018 && !noLinks) {
        p.prev = o.H();
        p.next = o.H();
        p.hasLinks = true;
    } else if (version_ < 1018) {
        p.prev = o.self - 1;
        p.next = o.self + 1;
        p.hasLinks = true;
    }
    if (book) {
        p.colorBook = o.H();
    }
    if (version_ >= 1015) {
        p.layer = o.H();
        if (p.linetypeFlags == 3) {
            p.linetype = o.H();
        }
    }
    if (version_ >= 1021 && materialFlags == 3) {
        o.H();
    }
    if (version_ >= 1015 && plotFlags == 3) {
        props.plotStyle = o.H();
    }
    for (bool x : vs) {
        if (x) {
            o.H();
        }
    }
    props.paperSpace = p.entmode == 1;
    (void)embedded;
}

// ---------------------------------------------------------------------------------------

DwgResult ReadDwg(std::string_view bytes, const DwgReadOptions& options) {
    DwgReaderImpl r(bytes, options);
    return r.Run();
}

}  // namespace vx::engine::dwg
