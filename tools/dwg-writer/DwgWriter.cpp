// The file: its header with the section locators, the auxiliary header, the preview image,
// the header variables, the classes, the objects, the object map and the template.
#include "DwgWriter.h"

#include <algorithm>
#include <cstring>

#include "WriterImpl.h"
#include "engine/dwg/Compression.h"

namespace vx::dwgwriter {

using namespace vx::engine;

namespace {

const std::uint8_t kClassesBegin[16] = {0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                        0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};
const std::uint8_t kImageBegin[16] = {0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28,
                                      0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
const std::uint8_t kSecondHeaderBegin[16] = {0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                             0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};
const std::uint8_t kFileHeaderEnd[16] = {0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                         0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};

// Release and maintenance numbers of the program that saves the file.
constexpr std::uint8_t kRelease = 0x17;
constexpr std::uint8_t kMaintenance = 6;

constexpr std::size_t kLocators = 6;
constexpr std::size_t kFileHeaderSize = 0x19 + kLocators * 9 + 2 + 16;
constexpr std::size_t kAuxHeaderSize = 123;
// The object map is stored in parts of at most this many bytes (with their size field).
constexpr std::size_t kMapPart = 2032;

void PutInverted(std::vector<std::uint8_t>& out, const std::uint8_t (&sentinel)[16]) {
    for (std::uint8_t b : sentinel) {
        out.push_back(static_cast<std::uint8_t>(~b));
    }
}

void PatchRL(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::uint32_t Offset(std::size_t v) {
    if (v > 0x7FFFFFFF) {
        throw WriteError("the drawing is larger than an R2000 file can hold");
    }
    return static_cast<std::uint32_t>(v);
}

}  // namespace

void Builder::Note(std::string text) {
    if (std::find(result_.notes.begin(), result_.notes.end(), text) == result_.notes.end()) {
        result_.notes.push_back(std::move(text));
    }
}

std::vector<std::uint8_t> Builder::ClassesSection() const {
    BitWriter w;
    for (std::size_t i = 0; i < std::size(kClasses); ++i) {
        w.BS(static_cast<std::int16_t>(500 + i));
        w.BS(0);  // proxy flags
        w.T("ObjectDBX Classes");
        w.T(kClasses[i].cppName);
        w.T(kClasses[i].dxfName);
        w.B(false);  // was a proxy
        w.BS(kClasses[i].entity ? 0x1F2 : 0x1F3);
    }
    w.AlignByte();
    std::vector<std::uint8_t> out(kClassesBegin, kClassesBegin + 16);
    PutRL(out, static_cast<std::uint32_t>(w.ByteCount()));
    out.insert(out.end(), w.Bytes().begin(), w.Bytes().end());
    PutRS(out, dwg::Crc16(0xC0C1, out.data() + 16, out.size() - 16));
    PutInverted(out, kClassesBegin);
    return out;
}

std::vector<std::uint8_t> Builder::AuxHeader() const {
    std::vector<std::uint8_t> out = {0xFF, 0x77, 0x01};
    PutRS(out, kRelease);
    PutRS(out, kMaintenance);
    PutRL(out, 1);           // number of saves
    PutRL(out, 0xFFFFFFFF);  // -1
    PutRS(out, 1);
    PutRS(out, 0);
    PutRL(out, 0);
    for (int i = 0; i < 2; ++i) {
        PutRS(out, kRelease);
        PutRS(out, kMaintenance);
    }
    for (std::uint16_t v : {0x0206, 0x23F0, 0x0206, 0x23F0, 0x0000, 0x0001}) {
        PutRS(out, v);
    }
    for (int i = 0; i < 5; ++i) {
        PutRL(out, 0);
    }
    // creation and update dates (Julian days, milliseconds)
    for (const char* name : {"$TDCREATE", "$TDUPDATE"}) {
        double date = VarNum(db_.header, name, 2451545.0);
        if (!(date >= 0 && date < 1e7)) {
            date = 0;
        }
        double days = static_cast<double>(static_cast<std::uint32_t>(date));
        PutRL(out, static_cast<std::uint32_t>(days));
        PutRL(out, static_cast<std::uint32_t>((date - days) * 86400000.0));
    }
    PutRL(out, static_cast<std::uint32_t>(nextHandle_));
    PutRL(out, static_cast<std::uint32_t>(nextHandle_ >> 32));
    PutRS(out, 0);
    PutRS(out, 1);
    for (std::uint32_t v : {0u, 0u, 0u, 1u, 0u, 0u}) {
        PutRL(out, v);
    }
    out.resize(kAuxHeaderSize, 0);
    return out;
}

std::vector<std::uint8_t> Builder::ImageSection(std::uint32_t at) const {
    const auto& bmp = options_.previewBmp;
    std::vector<std::uint8_t> out(kImageBegin, kImageBegin + 16);
    if (bmp.empty()) {
        PutRL(out, 1);
        out.push_back(0);
    } else {
        // Two entries: an empty header record of 80 bytes and the bitmap.
        constexpr std::uint32_t kHeaderData = 80;
        const std::uint32_t dataStart = at + 16 + 4 + 1 + 2 * 9;
        PutRL(out, Offset(1 + 2 * 9 + kHeaderData + bmp.size()));
        out.push_back(2);
        out.push_back(1);
        PutRL(out, dataStart);
        PutRL(out, kHeaderData);
        out.push_back(2);
        PutRL(out, dataStart + kHeaderData);
        PutRL(out, Offset(bmp.size()));
        out.resize(out.size() + kHeaderData, 0);
        out.insert(out.end(), bmp.begin(), bmp.end());
    }
    PutInverted(out, kImageBegin);
    return out;
}

WriteResult Builder::Run() {
    PlanHandles();
    WriteControls();
    WriteLinetypes();
    WriteLayers();
    WriteStyles();
    WriteVport();
    WriteAppids();
    WriteDimstyles();
    WriteBlockRecords();
    WriteDictionaries();
    WriteLayouts();
    for (std::size_t i = 0; i < db_.blocks.size(); ++i) {
        WriteBlock(static_cast<db::BlockId>(i));
    }
    if (extraPaperSpace_ != db::kNone) {
        WriteBlock(extraPaperSpace_);
    }
    for (const auto& [type, count] : leftOut_) {
        Note(std::to_string(count) + " " + type + " entit" + (count == 1 ? "y" : "ies") +
             " left out (the writer has no form for " + type + ")");
    }
    if (trueColours_ > 0) {
        Note(std::to_string(trueColours_) +
             " entities with a true colour keep their nearest palette colour");
    }

    std::vector<std::uint8_t>& out = result_.bytes;
    out.assign(kFileHeaderSize, 0);
    struct Locator {
        std::uint8_t number;
        std::uint32_t at = 0, size = 0;
    };
    Locator locators[kLocators] = {{0}, {1}, {2}, {3}, {4}, {5}};

    std::vector<std::uint8_t> aux = AuxHeader();
    locators[5].at = Offset(out.size());
    locators[5].size = Offset(aux.size());
    out.insert(out.end(), aux.begin(), aux.end());

    const std::uint32_t imageAt = Offset(out.size());
    std::vector<std::uint8_t> image = ImageSection(imageAt);
    out.insert(out.end(), image.begin(), image.end());

    std::vector<std::uint8_t> header = HeaderSection();
    locators[0].at = Offset(out.size());
    locators[0].size = Offset(header.size());
    out.insert(out.end(), header.begin(), header.end());

    std::vector<std::uint8_t> classes = ClassesSection();
    locators[1].at = Offset(out.size());
    locators[1].size = Offset(classes.size());
    out.insert(out.end(), classes.begin(), classes.end());
    PutRL(out, 0);  // (a long between the classes and the objects)

    // The objects in handle order, then the map of where each lies.
    std::vector<std::pair<Handle, std::uint32_t>> where;
    for (const auto& [handle, bytes] : objects_) {
        where.emplace_back(handle, Offset(out.size()));
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    locators[2].at = Offset(out.size());
    std::size_t i = 0;
    while (true) {
        std::vector<std::uint8_t> part = {0, 0};
        Handle lastHandle = 0;
        std::int64_t lastOffset = 0;
        while (i < where.size()) {
            std::vector<std::uint8_t> item;
            PutMC(item, where[i].first - lastHandle);
            PutSignedMC(item, static_cast<std::int64_t>(where[i].second) - lastOffset);
            if (part.size() + item.size() > kMapPart) {
                break;
            }
            part.insert(part.end(), item.begin(), item.end());
            lastHandle = where[i].first;
            lastOffset = where[i].second;
            ++i;
        }
        part[0] = static_cast<std::uint8_t>(part.size() >> 8);
        part[1] = static_cast<std::uint8_t>(part.size() & 0xFF);
        std::uint16_t crc = dwg::Crc16(0xC0C1, part.data(), part.size());
        part.push_back(static_cast<std::uint8_t>(crc >> 8));
        part.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        out.insert(out.end(), part.begin(), part.end());
        if (part.size() == 4) {
            break;  // the empty part closes the map
        }
    }
    locators[2].size = Offset(out.size() - locators[2].at);

    // The second file header: the locators and the main handles again, for recovery.
    {
        const std::uint32_t at2 = Offset(out.size());
        BitWriter w;
        w.BL(static_cast<std::int32_t>(at2));
        const char version[11] = {'A', 'C', '1', '0', '1', '5', 0, 0, 0, 0, 0};
        for (char c : version) {
            w.RC(static_cast<std::uint8_t>(c));
        }
        w.RC(kMaintenance);
        w.RC(1);
        w.BS(static_cast<std::int16_t>((kMaintenance << 8) | kRelease));
        w.RS(static_cast<std::int16_t>(codePage_));
        w.BS(static_cast<std::int16_t>(kLocators));
        for (const auto& l : locators) {
            // (the template follows; like the file header's copy here, it is left at zero)
            const bool later = l.number == 4;
            w.RC(l.number);
            w.BL(later ? 0 : static_cast<std::int32_t>(l.at));
            w.BL(later ? 0 : static_cast<std::int32_t>(l.size));
        }
        const Handle handles[14] = {nextHandle_,   blockControl_,    layerControl_, styleControl_,
                                    ltypeControl_, viewControl_,     ucsControl_,   vportControl_,
                                    appidControl_, dimstyleControl_, vxControl_,    nod_,
                                    mlineDict_,    groupDict_};
        w.BS(14);
        for (std::uint8_t k = 0; k < 14; ++k) {
            std::vector<std::uint8_t> bytes;
            for (Handle h = handles[k]; h != 0; h >>= 8) {
                bytes.insert(bytes.begin(), static_cast<std::uint8_t>(h & 0xFF));
            }
            w.RC(static_cast<std::uint8_t>(bytes.size()));
            w.RC(k);
            for (std::uint8_t b : bytes) {
                w.RC(b);
            }
        }
        w.AlignByte();
        std::vector<std::uint8_t> second(kSecondHeaderBegin, kSecondHeaderBegin + 16);
        PutRL(second, static_cast<std::uint32_t>(4 + w.ByteCount() + 2 + 8));
        second.insert(second.end(), w.Bytes().begin(), w.Bytes().end());
        PutRS(second, dwg::Crc16(0xC0C1, second.data() + 16, second.size() - 16));
        second.resize(second.size() + 8, 0);
        PutInverted(second, kSecondHeaderBegin);
        out.insert(out.end(), second.begin(), second.end());
    }

    // The template: no description, then the measurement system.
    locators[4].at = Offset(out.size());
    PutRS(out, 0);
    PutRS(out, static_cast<std::uint16_t>(db_.header.measurement != 0 ? 1 : 0));
    locators[4].size = 4;

    // The file header.
    std::memcpy(out.data(), "AC1015", 6);
    out[0x0B] = kMaintenance;
    out[0x0C] = 1;
    PatchRL(out, 0x0D, imageAt);
    out[0x11] = kRelease;
    out[0x12] = kMaintenance;
    out[0x13] = static_cast<std::uint8_t>(codePage_ & 0xFF);
    out[0x14] = static_cast<std::uint8_t>(codePage_ >> 8);
    PatchRL(out, 0x15, kLocators);
    std::size_t at = 0x19;
    for (const auto& l : locators) {
        out[at] = l.number;
        PatchRL(out, at + 1, l.at);
        PatchRL(out, at + 5, l.size);
        at += 9;
    }
    // The CRC of the file header, mixed with a constant for six locators.
    std::uint16_t crc = static_cast<std::uint16_t>(dwg::Crc16(0, out.data(), at) ^ 0x8461);
    out[at] = static_cast<std::uint8_t>(crc & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>(crc >> 8);
    std::memcpy(out.data() + at + 2, kFileHeaderEnd, 16);
    return std::move(result_);
}

WriteResult WriteDwg(const db::Database& db, const WriteOptions& options) {
    Builder b(db, options);
    return b.Run();
}

}  // namespace vx::dwgwriter
