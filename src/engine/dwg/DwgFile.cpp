#include "engine/dwg/DwgFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

#include "engine/dwg/BitReader.h"
#include "engine/dwg/Compression.h"

namespace vx::engine::dwg {

namespace {

std::string Hex(std::uint64_t v) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[v & 15]);
        v >>= 4;
    } while (v);
    return "0x" + s;
}

// Little-endian values at a checked position of a byte buffer.
class Bytes {
public:
    Bytes(const std::uint8_t* p, std::size_t n, std::string what)
        : p_(p), n_(n), what_(std::move(what)) {}
    void Need(std::size_t at, std::size_t len) const {
        if (at > n_ || len > n_ - at) {
            throw DwgError(what_ + " ends early (" + std::to_string(len) + " bytes needed at " +
                           Hex(at) + " of " + std::to_string(n_) + ")");
        }
    }
    std::uint32_t U32(std::size_t at) const {
        Need(at, 4);
        return static_cast<std::uint32_t>(p_[at]) | (static_cast<std::uint32_t>(p_[at + 1]) << 8) |
               (static_cast<std::uint32_t>(p_[at + 2]) << 16) |
               (static_cast<std::uint32_t>(p_[at + 3]) << 24);
    }
    std::uint16_t U16(std::size_t at) const {
        Need(at, 2);
        return static_cast<std::uint16_t>(p_[at] | (p_[at + 1] << 8));
    }
    std::uint64_t U64(std::size_t at) const {
        return static_cast<std::uint64_t>(U32(at)) |
               (static_cast<std::uint64_t>(U32(at + 4)) << 32);
    }
    std::size_t Size() const { return n_; }
    const std::uint8_t* At(std::size_t at, std::size_t len) const {
        Need(at, len);
        return p_ + at;
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
    std::string what_;
};

// How much decompressed data a file may unfold into: generous for real drawings, but
// bounded so that a damaged size cannot exhaust memory.
std::size_t DecompressedBudget(std::size_t fileSize) {
    return std::max<std::size_t>(std::size_t{64} << 20, fileSize * 64);
}

// --- R13 to R2000 -------------------------------------------------------------------------

void OpenR13(const Bytes& f, DwgFile& out) {
    std::uint32_t count = f.U32(0x15);
    if (count > 64) {
        throw DwgError("the file header lists " + std::to_string(count) +
                       " section locators (at most a few are possible)");
    }
    std::size_t at = 0x19;
    f.Need(at, count * 9 + 2);
    std::uint16_t crc = Crc16(0, f.At(0, at + count * 9), at + count * 9);
    std::uint16_t stored = f.U16(at + count * 9);
    // Some writers store the CRC xor-ed with a constant that depends on the count.
    static constexpr std::uint16_t kXor[] = {0, 0, 0, 0xA598, 0x8101, 0x3CC4, 0x8461};
    std::uint16_t expected = count < 7 ? static_cast<std::uint16_t>(crc ^ kXor[count]) : crc;
    if (stored != expected && stored != crc) {
        out.warnings.push_back({"file header", "the section locator CRC does not match; read on"});
    }
    for (std::uint32_t i = 0; i < count; ++i, at += 9) {
        f.Need(at, 9);
        std::uint8_t number = *f.At(at, 1);
        std::uint32_t seeker = f.U32(at + 1);
        std::uint32_t size = f.U32(at + 5);
        if (seeker > f.Size() || size > f.Size() - seeker) {
            throw DwgError("section locator " + std::to_string(number) +
                           " points outside the file (" + Hex(seeker) + ", " +
                           std::to_string(size) + " bytes; the file has " +
                           std::to_string(f.Size()) + ")");
        }
        Section* s = number == 0   ? &out.header
                     : number == 1 ? &out.classes
                     : number == 2 ? &out.handles
                     : number == 4 ? &out.templ
                                   : nullptr;
        if (s) {
            s->data = f.At(seeker, size);
            s->size = size;
            s->present = true;
        }
    }
    out.objects.data = f.At(0, f.Size());
    out.objects.size = f.Size();
    out.objects.present = true;
}

// --- R2004, R2010 and later ---------------------------------------------------------------

struct SectionInfo {
    std::uint64_t size = 0;
    std::uint32_t pageCount = 0;
    std::uint32_t maxPageSize = 0;
    std::uint32_t compressed = 0;
    std::uint32_t encrypted = 0;
    std::string name;
    struct Page {
        std::uint32_t number;
        std::uint32_t dataSize;
        std::uint64_t start;
    };
    std::vector<Page> pages;
};

std::vector<std::uint8_t> SystemPage(const Bytes& f, std::size_t address, std::uint32_t type,
                                     const char* what) {
    std::uint32_t t = f.U32(address);
    if (t != type) {
        throw DwgError(std::string("the ") + what + " at " + Hex(address) + " has page type " +
                       Hex(t) + " instead of " + Hex(type));
    }
    std::uint32_t decompressed = f.U32(address + 4);
    std::uint32_t compressed = f.U32(address + 8);
    std::uint32_t method = f.U32(address + 12);
    if (decompressed > DecompressedBudget(f.Size())) {
        throw DwgError(std::string("the ") + what + " claims " + std::to_string(decompressed) +
                       " bytes");
    }
    const std::uint8_t* data = f.At(address + 20, compressed);
    if (method == 2) {
        return DecompressR2004(data, compressed, decompressed);
    }
    if (compressed != decompressed) {
        throw DwgError(std::string("the ") + what + " has compression method " +
                       std::to_string(method));
    }
    return {data, data + compressed};
}

void OpenR2004(const Bytes& f, DwgFile& out) {
    std::array<std::uint8_t, 0x6C> h{};
    std::memcpy(h.data(), f.At(0x80, 0x6C), 0x6C);
    const std::uint8_t* mask = HeaderMask();
    for (std::size_t i = 0; i < h.size(); ++i) {
        h[i] ^= mask[i];
    }
    Bytes hb(h.data(), h.size(), "the file header");
    if (std::memcmp(h.data(), "AcFssFcAJMB", 11) != 0) {
        throw DwgError("the file header is damaged: its identification text is missing");
    }
    std::uint32_t pageMapId = hb.U32(0x50);
    (void)pageMapId;
    std::uint64_t pageMapAddress = hb.U64(0x54) + 0x100;
    std::uint32_t sectionMapId = hb.U32(0x5C);
    if (pageMapAddress >= f.Size()) {
        throw DwgError("the page map address " + Hex(pageMapAddress) + " lies outside the file");
    }
    std::vector<std::uint8_t> pageMap =
        SystemPage(f, static_cast<std::size_t>(pageMapAddress), 0x41630E3B, "page map");
    Bytes pm(pageMap.data(), pageMap.size(), "the page map");
    std::map<std::uint32_t, std::uint64_t> pageAddress;
    std::uint64_t address = 0x100;
    for (std::size_t at = 0; at + 8 <= pageMap.size();) {
        auto number = static_cast<std::int32_t>(pm.U32(at));
        std::uint32_t size = pm.U32(at + 4);
        at += 8;
        if (number >= 0) {
            pageAddress[static_cast<std::uint32_t>(number)] = address;
        } else {
            at += 16;  // a gap: parent, left, right, zero
        }
        address += size;
    }
    auto page = pageAddress.find(sectionMapId);
    if (page == pageAddress.end()) {
        throw DwgError("the section map page " + std::to_string(sectionMapId) +
                       " is not in the page map");
    }
    std::vector<std::uint8_t> sectionMap =
        SystemPage(f, static_cast<std::size_t>(page->second), 0x4163003B, "section map");
    Bytes sm(sectionMap.data(), sectionMap.size(), "the section map");
    std::uint32_t descriptions = sm.U32(0);
    std::size_t at = 20;
    std::vector<SectionInfo> infos;
    for (std::uint32_t i = 0; i < descriptions; ++i) {
        SectionInfo s;
        s.size = sm.U64(at);
        s.pageCount = sm.U32(at + 8);
        s.maxPageSize = sm.U32(at + 12);
        s.compressed = sm.U32(at + 20);
        s.encrypted = sm.U32(at + 28);
        const char* name = reinterpret_cast<const char*>(sm.At(at + 32, 64));
        s.name.assign(name, strnlen(name, 64));
        at += 96;
        if (s.pageCount > sectionMap.size() / 16) {
            throw DwgError("section " + s.name + " lists " + std::to_string(s.pageCount) +
                           " pages");
        }
        for (std::uint32_t k = 0; k < s.pageCount; ++k, at += 16) {
            s.pages.push_back({sm.U32(at), sm.U32(at + 4), sm.U64(at + 8)});
        }
        infos.push_back(std::move(s));
    }
    std::size_t budget = DecompressedBudget(f.Size());
    auto load = [&](const char* name, Section& target, bool required) {
        auto it = std::find_if(infos.begin(), infos.end(),
                               [&](const SectionInfo& s) { return s.name == name; });
        if (it == infos.end()) {
            if (required) {
                throw DwgError(std::string("the file has no ") + name + " section");
            }
            return;
        }
        const SectionInfo& s = *it;
        if (s.encrypted == 1) {
            throw DwgError(std::string("the ") + name +
                           " section is encrypted (a password-protected drawing)");
        }
        if (s.size > budget || s.maxPageSize > budget) {
            throw DwgError(std::string("the ") + name + " section claims " +
                           std::to_string(s.size) + " bytes");
        }
        budget -= static_cast<std::size_t>(s.size);
        std::vector<std::uint8_t> data(static_cast<std::size_t>(s.size));
        for (const auto& p : s.pages) {
            std::string where = std::string(name) + " page " + std::to_string(p.number);
            auto a = pageAddress.find(p.number);
            if (a == pageAddress.end()) {
                out.warnings.push_back(
                    {where, "the page is not in the page map; its data is missing"});
                continue;
            }
            try {
                std::size_t pa = static_cast<std::size_t>(a->second);
                std::array<std::uint32_t, 8> ph{};
                std::uint32_t m = 0x4164536Bu ^ static_cast<std::uint32_t>(pa);
                for (std::size_t k = 0; k < 8; ++k) {
                    ph[k] = f.U32(pa + 4 * k) ^ m;
                }
                if (ph[0] != 0x4163043Bu) {
                    throw DwgError("not a data page (type " + Hex(ph[0]) + ")");
                }
                std::uint32_t compressedSize = ph[2];
                std::uint64_t start = ph[4];
                if (start >= data.size()) {
                    throw DwgError("its start offset " + Hex(start) +
                                   " lies past the section's end");
                }
                std::size_t room = std::min<std::size_t>(
                    s.maxPageSize, data.size() - static_cast<std::size_t>(start));
                const std::uint8_t* raw = f.At(pa + 32, compressedSize);
                // The checksum of the header (its own field zero) seeded with the
                // checksum of the data.
                std::uint8_t plain[32];
                for (std::size_t k = 0; k < 8; ++k) {
                    std::uint32_t x = k == 6 ? 0 : ph[k];
                    for (std::size_t b = 0; b < 4; ++b) {
                        plain[4 * k + b] = static_cast<std::uint8_t>(x >> (8 * b));
                    }
                }
                if (PageChecksum(PageChecksum(0, raw, compressedSize), plain, 32) != ph[6]) {
                    out.warnings.push_back({where, "the page checksum does not match; read on"});
                }
                if (s.compressed == 2) {
                    std::vector<std::uint8_t> d =
                        DecompressR2004(raw, compressedSize, s.maxPageSize);
                    std::memcpy(data.data() + start, d.data(), std::min(room, d.size()));
                } else {
                    std::memcpy(data.data() + start, raw,
                                std::min<std::size_t>(room, compressedSize));
                }
            } catch (const DwgError& e) {
                if (required) {
                    throw DwgError(where + " at " + Hex(a->second) + ": " + e.what());
                }
                out.warnings.push_back({where, e.what()});
            }
        }
        target.Own(std::move(data));
    };
    load("AcDb:Header", out.header, true);
    load("AcDb:Classes", out.classes, true);
    load("AcDb:Handles", out.handles, true);
    load("AcDb:AcDbObjects", out.objects, true);
    load("AcDb:Template", out.templ, false);
}

// --- R2007 --------------------------------------------------------------------------------

std::uint64_t Align8(std::uint64_t v) {
    return (v + 7) & ~std::uint64_t{7};
}

// A system page of R2007: Reed–Solomon words of 239 data bytes, compressed inside.
// Warnings about the Reed–Solomon words of one part of an R2007 file.
void NoteReedSolomon(const ReedSolomonReport& r, const std::string& where, DwgFile& out) {
    if (r.corrected > 0) {
        out.warnings.push_back(
            {where, std::to_string(r.corrected) + " damaged Reed-Solomon words were mended"});
    }
    if (r.failed > 0) {
        out.warnings.push_back(
            {where, std::to_string(r.failed) + " Reed-Solomon words are damaged beyond mending"});
    }
}

std::vector<std::uint8_t> SystemPage2007(const Bytes& f, std::uint64_t offset,
                                         std::uint64_t compressed, std::uint64_t decompressed,
                                         std::uint64_t correction, const char* what, DwgFile& out) {
    std::size_t budget = DecompressedBudget(f.Size());
    if (compressed > f.Size() || decompressed > budget || correction == 0 || correction > 64) {
        throw DwgError(std::string("the ") + what + " has impossible sizes");
    }
    std::uint64_t total = Align8(compressed) * correction;
    std::uint64_t factor = (total + 238) / 239;
    std::uint64_t rawSize = factor * 255;
    if (0x480 + offset > f.Size() || rawSize > f.Size() - 0x480 - offset) {
        throw DwgError(std::string("the ") + what + " lies outside the file");
    }
    const std::uint8_t* raw =
        f.At(static_cast<std::size_t>(0x480 + offset), static_cast<std::size_t>(rawSize));
    ReedSolomonReport rs;
    std::vector<std::uint8_t> coded =
        Deinterleave(raw, static_cast<std::size_t>(rawSize), static_cast<std::size_t>(factor), 239,
                     static_cast<std::size_t>(total), &rs);
    NoteReedSolomon(rs, what, out);
    return DecompressR2007(coded.data(), static_cast<std::size_t>(compressed),
                           static_cast<std::size_t>(decompressed));
}

void OpenR2007(const Bytes& f, DwgFile& out) {
    ReedSolomonReport headRs;
    std::vector<std::uint8_t> head =
        Deinterleave(f.At(0x80, 0x3D8), 0x3D8, 3, 239, 3 * 239, &headRs);
    NoteReedSolomon(headRs, "file header", out);
    Bytes hb(head.data(), head.size(), "the file header");
    auto comprLen = static_cast<std::int32_t>(hb.U32(24));
    std::vector<std::uint8_t> meta;
    if (comprLen < 0) {
        auto n = static_cast<std::size_t>(-static_cast<std::int64_t>(comprLen));
        const std::uint8_t* p = hb.At(32, n);
        meta.assign(p, p + n);
        meta.resize(0x110);
    } else {
        const std::uint8_t* p = hb.At(32, static_cast<std::size_t>(comprLen));
        meta = DecompressR2007(p, static_cast<std::size_t>(comprLen), 0x110);
    }
    Bytes m(meta.data(), meta.size(), "the file header data");
    std::uint64_t pagesMapCorrection = m.U64(0x18);
    std::uint64_t pagesMapOffset = m.U64(0x38);
    std::uint64_t pagesMapCompressed = m.U64(0x50);
    std::uint64_t pagesMapSize = m.U64(0x58);
    std::uint64_t sectionsMapCompressed = m.U64(0xB0);
    std::uint64_t sectionsMapId = m.U64(0xC0);
    std::uint64_t sectionsMapSize = m.U64(0xC8);
    std::uint64_t sectionsMapCorrection = m.U64(0xD8);

    std::vector<std::uint8_t> pageMap = SystemPage2007(
        f, pagesMapOffset, pagesMapCompressed, pagesMapSize, pagesMapCorrection, "page map", out);
    Bytes pm(pageMap.data(), pageMap.size(), "the page map");
    struct PageLoc {
        std::uint64_t offset, size;
    };
    std::map<std::int64_t, PageLoc> pages;
    std::uint64_t offset = 0;
    for (std::size_t at = 0; at + 16 <= pageMap.size(); at += 16) {
        std::uint64_t size = pm.U64(at);
        auto id = static_cast<std::int64_t>(pm.U64(at + 8));
        pages[id < 0 ? -id : id] = {offset, size};
        offset += size;
    }
    auto smPage = pages.find(static_cast<std::int64_t>(sectionsMapId));
    if (smPage == pages.end()) {
        throw DwgError("the section map page " + std::to_string(sectionsMapId) +
                       " is not in the page map");
    }
    std::vector<std::uint8_t> sectionMap =
        SystemPage2007(f, smPage->second.offset, sectionsMapCompressed, sectionsMapSize,
                       sectionsMapCorrection, "section map", out);
    Bytes sm(sectionMap.data(), sectionMap.size(), "the section map");
    std::size_t budget = DecompressedBudget(f.Size());
    std::size_t at = 0;
    while (at + 64 <= sectionMap.size()) {
        std::uint64_t dataSize = sm.U64(at);
        std::uint64_t encrypted = sm.U64(at + 16);
        std::uint64_t nameLength = sm.U64(at + 32);
        std::uint64_t encoding = sm.U64(at + 48);
        std::uint64_t pageCount = sm.U64(at + 56);
        at += 64;
        if (nameLength > 512 || pageCount > sectionMap.size() / 56) {
            throw DwgError("the section map is damaged (a name of " + std::to_string(nameLength) +
                           " bytes, " + std::to_string(pageCount) + " pages)");
        }
        std::string name = Utf16ToUtf8(sm.At(at, static_cast<std::size_t>(nameLength)),
                                       static_cast<std::size_t>(nameLength / 2));
        while (!name.empty() && name.back() == '\0') {
            name.pop_back();
        }
        at += static_cast<std::size_t>(nameLength);
        Section* target = name == "AcDb:Template"      ? &out.templ
                          : name == "AcDb:Header"      ? &out.header
                          : name == "AcDb:Classes"     ? &out.classes
                          : name == "AcDb:Handles"     ? &out.handles
                          : name == "AcDb:AcDbObjects" ? &out.objects
                                                       : nullptr;
        if (target && (encrypted == 1 || dataSize > budget)) {
            throw DwgError("the " + name + " section is " +
                           (encrypted == 1 ? std::string("encrypted") : "of an impossible size"));
        }
        std::vector<std::uint8_t> data;
        if (target) {
            budget -= static_cast<std::size_t>(dataSize);
            data.resize(static_cast<std::size_t>(dataSize));
        }
        for (std::uint64_t k = 0; k < pageCount; ++k, at += 56) {
            std::uint64_t start = sm.U64(at);
            auto id = static_cast<std::int64_t>(sm.U64(at + 16));
            std::uint64_t usize = sm.U64(at + 24);
            std::uint64_t csize = sm.U64(at + 32);
            if (!target) {
                continue;
            }
            std::string where = name + " page " + std::to_string(id);
            try {
                auto loc = pages.find(id);
                if (loc == pages.end()) {
                    throw DwgError("the page is not in the page map");
                }
                if (start >= data.size() || usize > data.size() - start || csize > budget) {
                    throw DwgError("the page lies outside its section");
                }
                if (0x480 + loc->second.offset > f.Size() ||
                    loc->second.size > f.Size() - 0x480 - loc->second.offset) {
                    throw DwgError("the page lies outside the file");
                }
                const std::uint8_t* raw = f.At(static_cast<std::size_t>(0x480 + loc->second.offset),
                                               static_cast<std::size_t>(loc->second.size));
                std::vector<std::uint8_t> coded;
                const std::uint8_t* packed = raw;
                if (encoding == 4) {
                    std::uint64_t factor = (Align8(csize) + 250) / 251;
                    // (the four check bytes of data page words are not checked: their code
                    // is not the one of the system pages)
                    coded = Deinterleave(raw, static_cast<std::size_t>(loc->second.size),
                                         static_cast<std::size_t>(factor), 251,
                                         static_cast<std::size_t>(factor * 251));
                    packed = coded.data();
                    if (csize > coded.size()) {
                        throw DwgError("the page's data is larger than its code words");
                    }
                } else if (csize > loc->second.size) {
                    throw DwgError("the page's data is larger than the page");
                }
                if (csize != usize) {
                    std::vector<std::uint8_t> d = DecompressR2007(
                        packed, static_cast<std::size_t>(csize), static_cast<std::size_t>(usize));
                    std::memcpy(data.data() + start, d.data(), d.size());
                } else {
                    std::memcpy(data.data() + start, packed, static_cast<std::size_t>(usize));
                }
            } catch (const DwgError& e) {
                throw DwgError(where + ": " + e.what());
            }
        }
        if (target) {
            target->Own(std::move(data));
        }
    }
    for (auto [s, n] : {std::pair{&out.header, "AcDb:Header"},
                        {&out.classes, "AcDb:Classes"},
                        {&out.handles, "AcDb:Handles"},
                        {&out.objects, "AcDb:AcDbObjects"}}) {
        if (!s->present) {
            throw DwgError(std::string("the file has no ") + n + " section");
        }
    }
}

}  // namespace

std::string CodePageName(int n) {
    static const std::map<int, const char*> kNames = {
        {1, "ASCII"},      {2, "ISO8859-1"},  {3, "ISO8859-2"},  {4, "ISO8859-3"},
        {5, "ISO8859-4"},  {6, "ISO8859-5"},  {7, "ISO8859-6"},  {8, "ISO8859-7"},
        {9, "ISO8859-8"},  {10, "ISO8859-9"}, {11, "DOS437"},    {12, "DOS850"},
        {13, "DOS852"},    {14, "DOS855"},    {15, "DOS857"},    {16, "DOS860"},
        {17, "DOS861"},    {18, "DOS863"},    {19, "DOS864"},    {20, "DOS865"},
        {21, "DOS869"},    {22, "DOS932"},    {23, "MACINTOSH"}, {24, "BIG5"},
        {25, "KSC5601"},   {26, "JOHAB"},     {27, "DOS866"},    {28, "ANSI_1250"},
        {29, "ANSI_1251"}, {30, "ANSI_1252"}, {31, "GB2312"},    {32, "ANSI_1253"},
        {33, "ANSI_1254"}, {34, "ANSI_1255"}, {35, "ANSI_1256"}, {36, "ANSI_1257"},
        {37, "ANSI_874"},  {38, "ANSI_932"},  {39, "ANSI_936"},  {40, "ANSI_949"},
        {41, "ANSI_950"},  {42, "ANSI_1361"}, {43, "UTF-8"},     {44, "ANSI_1258"},
    };
    auto it = kNames.find(n);
    return it == kNames.end() ? std::string() : std::string(it->second);
}

DwgFile OpenDwgFile(std::string_view bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    Bytes f(p, bytes.size(), "the file");
    if (bytes.size() < 0x19) {
        throw DwgError("the file is too short to be a drawing (" + std::to_string(bytes.size()) +
                       " bytes)");
    }
    DwgFile out;
    out.versionText = std::string(bytes.substr(0, 6));
    out.version = db::VersionNumber(out.versionText);
    out.maintenance = p[0x0B];
    out.codePage = f.U16(0x13);
    switch (out.version) {
        case 1012:
        case 1014:
        case 1015:
            OpenR13(f, out);
            break;
        case 1018:
        case 1024:
        case 1027:
        case 1032:
            OpenR2004(f, out);
            break;
        case 1021:
            OpenR2007(f, out);
            break;
        default:
            throw DwgError("unsupported");
    }
    return out;
}

}  // namespace vx::engine::dwg
