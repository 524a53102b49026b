#include "search/DrawingPreview.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>

#include "search/FileSystemPath.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace vx::search {

namespace {

// ---------------------------------------------------------------------------------------
// A file opened for reading only, shared with every other reader and writer.

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path) {
#ifdef _WIN32
        handle_ = ::CreateFileW(path.toStdWString().c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            error_ = ::GetLastError() == ERROR_ACCESS_DENIED
                         ? QStringLiteral("no permission to read it")
                         : QStringLiteral("the file cannot be opened");
            return;
        }
        LARGE_INTEGER size{};
        if (::GetFileType(handle_) != FILE_TYPE_DISK || !::GetFileSizeEx(handle_, &size)) {
            error_ = QStringLiteral("not an ordinary file");
            return;
        }
        size_ = size.QuadPart;
        ok_ = true;
#else
        // Non-blocking, so that a pipe that happens to carry a drawing's name cannot hang
        // the window; anything but an ordinary file is refused before a byte is read.
        fd_ = ::open(ToFileSystemPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0) {
            error_ = errno == ENOENT   ? QStringLiteral("the file does not exist")
                     : errno == EACCES ? QStringLiteral("no permission to read it")
                     : errno == EISDIR ? QStringLiteral("it is a folder")
                                       : QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            error_ = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            error_ = QStringLiteral("it is a folder");
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            error_ = QStringLiteral("not an ordinary file");
            return;
        }
        size_ = st.st_size;
        ok_ = true;
#endif
    }

    ~ReadOnlyFile() {
#ifdef _WIN32
        if (handle_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle_);
        }
#else
        if (fd_ >= 0) {
            ::close(fd_);
        }
#endif
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool Ok() const {
        return ok_;
    }
    const QString& Error() const {
        return error_;
    }
    std::int64_t Size() const {
        return size_;
    }
    std::int64_t BytesRead() const {
        return bytesRead_;
    }

    // Reads `length` bytes at `offset`; fewer at the end of the file, none on an error.
    QByteArray Read(std::int64_t offset, std::int64_t length) {
        if (offset < 0 || length <= 0 || offset >= size_) {
            return {};
        }
        length = std::min(length, size_ - offset);
        QByteArray data(static_cast<qsizetype>(length), Qt::Uninitialized);
        std::int64_t done = 0;
        while (done < length) {
#ifdef _WIN32
            OVERLAPPED at{};
            const std::uint64_t position = static_cast<std::uint64_t>(offset + done);
            at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
            at.OffsetHigh = static_cast<DWORD>(position >> 32);
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::int64_t>(length - done, 1 << 30));
            if (!::ReadFile(handle_, data.data() + done, want, &got, &at) || got == 0) {
                break;
            }
#else
            const ssize_t got = ::pread(fd_, data.data() + done, static_cast<size_t>(length - done),
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
#endif
            done += got;
        }
        data.truncate(static_cast<qsizetype>(done));
        bytesRead_ += done;
        return data;
    }

private:
    bool ok_ = false;
    QString error_;
    std::int64_t size_ = 0;
    std::int64_t bytesRead_ = 0;
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
};

// ---------------------------------------------------------------------------------------
// Little-endian fields.

std::uint32_t U32(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::uint16_t U16(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void PutU32(QByteArray& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

DrawingPreview Outcome(PreviewOutcome outcome, const QString& detail) {
    DrawingPreview p;
    p.outcome = outcome;
    p.detail = detail;
    return p;
}

// ---------------------------------------------------------------------------------------
// The image bytes, whatever the drawing stored them as.

bool IsPng(const QByteArray& data) {
    return data.startsWith("\x89PNG\r\n\x1a\n");
}

bool IsWmf(const QByteArray& data) {
    if (data.size() < 4) {
        return false;
    }
    if (U32(data, 0) == 0x9AC6CDD7u) {
        return true;  // placeable metafile
    }
    const std::uint16_t type = U16(data, 0);
    return (type == 1 || type == 2) && U16(data, 2) == 9;
}

bool IsDib(const QByteArray& data) {
    if (data.size() < 16) {
        return false;
    }
    const std::uint32_t header = U32(data, 0);
    return header == 12 || header == 40 || header == 52 || header == 56 || header == 64 ||
           header == 108 || header == 124;
}

DrawingPreview Decode(QByteArray data, PreviewFormat hint) {
    DrawingPreview p;
    QByteArray file;
    const char* format = nullptr;
    if (hint == PreviewFormat::Wmf || (hint == PreviewFormat::None && IsWmf(data))) {
        p = Outcome(
            PreviewOutcome::NoPreview,
            QStringLiteral("the drawing's preview is a Windows metafile, which is not shown"));
        p.format = PreviewFormat::Wmf;
        return p;
    }
    if (IsPng(data)) {
        p.format = PreviewFormat::Png;
        format = "PNG";
        file = std::move(data);
    } else if (data.startsWith("BM")) {
        p.format = PreviewFormat::Bmp;
        format = "BMP";
        file = std::move(data);
    } else if (IsDib(data)) {
        p.format = PreviewFormat::Bmp;
        format = "BMP";
        file = BmpFileFromDib(data);
        if (file.isEmpty()) {
            return Outcome(PreviewOutcome::Damaged,
                           QStringLiteral("the preview bitmap's header is damaged"));
        }
    } else {
        return Outcome(PreviewOutcome::Damaged,
                       QStringLiteral("the preview image is in no known format"));
    }
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    // Bitmap headers may claim any size; a preview is small.
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > 8192 || size.height() > 8192) {
        return Outcome(PreviewOutcome::Damaged, QStringLiteral("the preview image is damaged"));
    }
    p.image = reader.read();
    if (p.image.isNull()) {
        return Outcome(PreviewOutcome::Damaged, QStringLiteral("the preview image is damaged"));
    }
    p.outcome = PreviewOutcome::Image;
    p.encoded = std::move(file);
    return p;
}

// ---------------------------------------------------------------------------------------
// DWG: the uint32 at 0x0D points at the image data: a start sentinel, the overall size,
// the number of entries and per entry its code, start and size (absolute offsets).

constexpr std::array<unsigned char, 16> kImageSentinel = {
    0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28, 0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
enum DwgImageCode : unsigned char { kHeaderEntry = 1, kBmpEntry = 2, kWmfEntry = 3, kPngEntry = 6 };

std::optional<int> DwgVersion(const QByteArray& head) {
    if (head.size() < 6 || !head.startsWith("AC")) {
        return std::nullopt;
    }
    int number = 0;
    for (int i = 2; i < 6; ++i) {
        const char c = head.at(i);
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

DrawingPreview ReadDwg(ReadOnlyFile& file, const QByteArray& head, int version) {
    if (version < 1012) {
        return Outcome(PreviewOutcome::NoPreview,
                       QStringLiteral("drawings older than R13 carry no preview"));
    }
    if (head.size() < 0x11) {
        return Outcome(PreviewOutcome::Damaged, QStringLiteral("the file header is cut short"));
    }
    const std::int64_t seeker = U32(head, 0x0D);
    if (seeker == 0) {
        return Outcome(PreviewOutcome::NoPreview, QStringLiteral("the drawing carries no preview"));
    }
    const QByteArray top = file.Read(seeker, 16 + 4 + 1);
    if (top.size() < 21) {
        return Outcome(PreviewOutcome::Damaged,
                       QStringLiteral("the preview lies beyond the end of the file"));
    }
    if (std::memcmp(top.constData(), kImageSentinel.data(), kImageSentinel.size()) != 0) {
        return Outcome(PreviewOutcome::Damaged,
                       QStringLiteral("no preview data where the file header points"));
    }
    const int count = static_cast<unsigned char>(top.at(20));
    if (count == 0) {
        return Outcome(PreviewOutcome::NoPreview, QStringLiteral("the drawing's preview is empty"));
    }
    const QByteArray table = file.Read(seeker + 21, std::int64_t(count) * 9);
    if (table.size() < count * 9) {
        return Outcome(PreviewOutcome::Damaged, QStringLiteral("the preview data is cut short"));
    }
    struct Entry {
        std::int64_t start = -1;
        std::int64_t size = 0;
    };
    Entry bmp, wmf, png;
    for (int i = 0; i < count; ++i) {
        const auto code = static_cast<unsigned char>(table.at(i * 9));
        const Entry e{U32(table, i * 9 + 1), U32(table, i * 9 + 5)};
        if (code == kBmpEntry) {
            bmp = e;
        } else if (code == kWmfEntry) {
            wmf = e;
        } else if (code == kPngEntry) {
            png = e;
        }
    }
    const Entry chosen = png.start >= 0 ? png : bmp.start >= 0 ? bmp : wmf;
    const PreviewFormat format = png.start >= 0   ? PreviewFormat::Png
                                 : bmp.start >= 0 ? PreviewFormat::Bmp
                                 : wmf.start >= 0 ? PreviewFormat::Wmf
                                                  : PreviewFormat::None;
    if (format == PreviewFormat::None) {
        return Outcome(PreviewOutcome::NoPreview,
                       QStringLiteral("the drawing's preview holds no image"));
    }
    if (format == PreviewFormat::Wmf) {
        return Decode({}, PreviewFormat::Wmf);
    }
    if (chosen.size <= 0 || chosen.size > kMaxPreviewBytes ||
        chosen.start + chosen.size > file.Size()) {
        return Outcome(PreviewOutcome::Damaged,
                       QStringLiteral("the preview image's place or size is impossible"));
    }
    QByteArray data = file.Read(chosen.start, chosen.size);
    if (data.size() != chosen.size) {
        return Outcome(PreviewOutcome::Damaged, QStringLiteral("the preview image is cut short"));
    }
    return Decode(std::move(data), format);
}

// ---------------------------------------------------------------------------------------
// DXF: the THUMBNAILIMAGE section (group 90: the byte count, groups 310: the data) lies
// near the end of the file, after OBJECTS. The file is read backwards in growing pieces
// until the section's header turns up, or the objects' subclass markers (group 100,
// "AcDb...") show that the preview would have come already.

constexpr char kBinarySentinel[] = "AutoCAD Binary DXF\r\n\x1a";  // followed by a NUL
constexpr qsizetype kBinarySentinelSize = 22;
constexpr std::int64_t kFirstTailPiece = 64 * 1024;
constexpr std::int64_t kMaxTail = 4 * 1024 * 1024 + 64 * 1024;

bool IsBinaryDxf(const QByteArray& head) {
    return head.size() >= kBinarySentinelSize &&
           std::memcmp(head.constData(), kBinarySentinel, kBinarySentinelSize) == 0;
}

// The version code after $ACADVER in the file's first bytes, if there.
QByteArray DxfVersion(const QByteArray& head, bool binary) {
    const qsizetype at = head.indexOf("$ACADVER");
    if (at < 0) {
        return {};
    }
    const qsizetype from = head.indexOf("AC", at + 8);
    if (from < 0 || from > at + 8 + 16) {
        return {};
    }
    qsizetype end = from;
    while (end < head.size() && head.at(end) != '\0' && head.at(end) != '\r' &&
           head.at(end) != '\n' && head.at(end) != ' ') {
        ++end;
    }
    Q_UNUSED(binary);
    return head.mid(from, end - from);
}

bool LooksLikeTextDxf(const QByteArray& head) {
    // The first line is a group code: blanks and digits only.
    qsizetype i = 0;
    while (i < head.size() && (head.at(i) == ' ' || head.at(i) == '\t')) {
        ++i;
    }
    const qsizetype digits = i;
    while (i < head.size() && head.at(i) >= '0' && head.at(i) <= '9') {
        ++i;
    }
    if (i == digits) {
        return false;
    }
    while (i < head.size() && (head.at(i) == ' ' || head.at(i) == '\t')) {
        ++i;
    }
    return i < head.size() && (head.at(i) == '\r' || head.at(i) == '\n');
}

// A text line of `data` from `begin`: its bounds without the line break and blanks.
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;   // exclusive, trimmed
    qsizetype next = 0;  // start of the following line, or data.size()
    bool complete = false;
};

Line LineAt(const QByteArray& data, qsizetype from) {
    Line l;
    qsizetype nl = data.indexOf('\n', from);
    l.complete = nl >= 0;
    if (nl < 0) {
        nl = data.size();
    }
    l.next = l.complete ? nl + 1 : nl;
    qsizetype b = from;
    qsizetype e = nl;
    while (b < e && (data.at(b) == ' ' || data.at(b) == '\t')) {
        ++b;
    }
    while (e > b && (data.at(e - 1) == '\r' || data.at(e - 1) == ' ' || data.at(e - 1) == '\t')) {
        --e;
    }
    l.begin = b;
    l.end = e;
    return l;
}

std::string_view Text(const QByteArray& data, const Line& l) {
    return std::string_view(data.constData() + l.begin, static_cast<std::size_t>(l.end - l.begin));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Where the window's text shows the preview section: the position of the line after
// the "THUMBNAILIMAGE" line, -1 when it does not show it, -2 when the objects' markers
// come later in the file than any preview header (so there is none).
qsizetype FindTextSection(const QByteArray& window, bool windowAtStart) {
    qsizetype pos = 0;
    if (!windowAtStart) {
        pos = LineAt(window, 0).next;  // the first line may be cut
    }
    qsizetype section = -1;
    qsizetype marker = -1;
    std::string_view before2, before1;  // the two lines before the current one
    while (pos < window.size()) {
        const Line l = LineAt(window, pos);
        const std::string_view t = Text(window, l);
        if (t == "THUMBNAILIMAGE" && before1 == "2" && before2 == "SECTION") {
            section = l.next;
        } else if (before1 == "100" && t.substr(0, 4) == "AcDb") {
            marker = l.begin;
        }
        before2 = before1;
        before1 = t;
        pos = l.next;
    }
    if (section >= 0 && section > marker) {
        return section;
    }
    return marker >= 0 ? -2 : -1;
}

DrawingPreview ParseTextSection(const QByteArray& window, qsizetype pos) {
    std::int64_t expected = -1;
    QByteArray data;
    while (pos < window.size()) {
        const Line codeLine = LineAt(window, pos);
        if (!codeLine.complete) {
            break;
        }
        const Line valueLine = LineAt(window, codeLine.next);
        const std::string_view code = Text(window, codeLine);
        const std::string_view value = Text(window, valueLine);
        pos = valueLine.next;
        if (code == "0") {
            if (value != "ENDSEC") {
                break;
            }
            if (expected < 0 || data.size() != expected) {
                return Outcome(PreviewOutcome::Damaged,
                               QStringLiteral("the preview's size does not match its data"));
            }
            return Decode(std::move(data), PreviewFormat::None);
        }
        if (code == "90") {
            bool ok = false;
            expected =
                QByteArray(value.data(), static_cast<qsizetype>(value.size())).toLongLong(&ok);
            if (!ok || expected <= 0 || expected > kMaxPreviewBytes) {
                return Outcome(PreviewOutcome::Damaged,
                               QStringLiteral("the preview's size is impossible"));
            }
            data.reserve(static_cast<qsizetype>(expected));
        } else if (code == "310") {
            if (value.size() % 2 != 0 ||
                data.size() + qsizetype(value.size() / 2) > kMaxPreviewBytes) {
                return Outcome(PreviewOutcome::Damaged,
                               QStringLiteral("the preview's data is damaged"));
            }
            for (std::size_t i = 0; i < value.size(); i += 2) {
                const int hi = HexValue(value[i]);
                const int lo = HexValue(value[i + 1]);
                if (hi < 0 || lo < 0) {
                    return Outcome(PreviewOutcome::Damaged,
                                   QStringLiteral("the preview's data is damaged"));
                }
                data.append(static_cast<char>((hi << 4) | lo));
            }
        }
        // Other groups are passed over.
    }
    return Outcome(PreviewOutcome::Damaged, QStringLiteral("the preview section is cut short"));
}

// Binary DXF: group codes of two bytes (one byte, 255 escaping two more, before R13).
struct BinaryReader {
    const QByteArray& data;
    qsizetype pos;
    bool wideCodes;

    bool Code(int& code) {
        if (wideCodes) {
            if (pos + 2 > data.size()) {
                return false;
            }
            code = U16(data, pos);
            pos += 2;
            return true;
        }
        if (pos + 1 > data.size()) {
            return false;
        }
        code = static_cast<unsigned char>(data.at(pos++));
        if (code == 255) {
            if (pos + 2 > data.size()) {
                return false;
            }
            code = U16(data, pos);
            pos += 2;
        }
        return true;
    }
    bool String(QByteArray& out) {
        const qsizetype end = data.indexOf('\0', pos);
        if (end < 0) {
            return false;
        }
        out = data.mid(pos, end - pos);
        pos = end + 1;
        return true;
    }
};

qsizetype FindBinarySection(const QByteArray& window, bool wideCodes) {
    const QByteArray header = wideCodes ? QByteArray("\x02\x00THUMBNAILIMAGE\x00", 17)
                                        : QByteArray("\x02THUMBNAILIMAGE\x00", 16);
    const QByteArray markerBytes = wideCodes ? QByteArray(
                                                   "\x64\x00"
                                                   "AcDb",
                                                   6)
                                             : QByteArray(
                                                   "\x64"
                                                   "AcDb",
                                                   5);
    const qsizetype section = window.lastIndexOf(header);
    const qsizetype marker = window.lastIndexOf(markerBytes);
    if (section >= 0 && section > marker) {
        return section + header.size();
    }
    return marker >= 0 ? -2 : -1;
}

DrawingPreview ParseBinarySection(const QByteArray& window, qsizetype pos, bool wideCodes) {
    BinaryReader r{window, pos, wideCodes};
    std::int64_t expected = -1;
    QByteArray data;
    int code = 0;
    while (r.Code(code)) {
        if (code == 0) {
            QByteArray value;
            if (!r.String(value) || value != "ENDSEC") {
                break;
            }
            if (expected < 0 || data.size() != expected) {
                return Outcome(PreviewOutcome::Damaged,
                               QStringLiteral("the preview's size does not match its data"));
            }
            return Decode(std::move(data), PreviewFormat::None);
        }
        if (code == 90) {
            if (r.pos + 4 > window.size()) {
                break;
            }
            expected = static_cast<std::int32_t>(U32(window, r.pos));
            r.pos += 4;
            if (expected <= 0 || expected > kMaxPreviewBytes) {
                return Outcome(PreviewOutcome::Damaged,
                               QStringLiteral("the preview's size is impossible"));
            }
            data.reserve(static_cast<qsizetype>(expected));
        } else if (code == 310) {
            if (r.pos + 1 > window.size()) {
                break;
            }
            const int length = static_cast<unsigned char>(window.at(r.pos));
            if (r.pos + 1 + length > window.size() || data.size() + length > kMaxPreviewBytes) {
                break;
            }
            data.append(window.constData() + r.pos + 1, length);
            r.pos += 1 + length;
        } else {
            return Outcome(PreviewOutcome::Damaged,
                           QStringLiteral("the preview section holds unexpected data"));
        }
    }
    return Outcome(PreviewOutcome::Damaged, QStringLiteral("the preview section is cut short"));
}

DrawingPreview ReadDxf(ReadOnlyFile& file, const QByteArray& head, bool binary) {
    const bool wideCodes = binary && head.size() > kBinarySentinelSize + 1 &&
                           head.at(kBinarySentinelSize) == '\0' &&
                           head.at(kBinarySentinelSize + 1) == '\0';
    const QByteArray version = DxfVersion(head, binary);
    if (!version.isEmpty() && version.size() == 6 && version <= "AC1009") {
        return Outcome(PreviewOutcome::NoPreview,
                       QStringLiteral("drawings older than R13 carry no preview"));
    }
    const std::int64_t size = file.Size();
    std::int64_t start = size;
    std::int64_t piece = kFirstTailPiece;
    QByteArray window;
    while (start > 0) {
        const std::int64_t from = std::max<std::int64_t>(0, start - piece);
        // The file's first bytes were read already.
        const std::int64_t headEnd = std::min<std::int64_t>(start, head.size());
        QByteArray more = from < headEnd ? head.mid(from, headEnd - from) : QByteArray();
        if (start > std::max(from, headEnd)) {
            more += file.Read(std::max(from, headEnd), start - std::max(from, headEnd));
        }
        if (more.size() != start - from) {
            return Outcome(PreviewOutcome::Unreadable, QStringLiteral("the file cannot be read"));
        }
        window.prepend(more);
        start = from;
        const qsizetype found =
            binary ? FindBinarySection(window, wideCodes) : FindTextSection(window, start == 0);
        if (found >= 0) {
            return binary ? ParseBinarySection(window, found, wideCodes)
                          : ParseTextSection(window, found);
        }
        if (found == -2 || size - start >= kMaxTail) {
            break;
        }
        piece *= 2;
    }
    return Outcome(PreviewOutcome::NoPreview, QStringLiteral("the drawing carries no preview"));
}

}  // namespace

QByteArray BmpFileFromDib(const QByteArray& dib) {
    if (dib.size() < 12) {
        return {};
    }
    const std::uint32_t headerSize = U32(dib, 0);
    std::uint32_t bitCount = 0;
    std::uint64_t colors = 0;
    std::uint32_t masks = 0;
    std::uint32_t entrySize = 4;
    if (headerSize == 12) {
        bitCount = U16(dib, 10);
        entrySize = 3;
        colors = bitCount <= 8 ? (1u << bitCount) : 0;
    } else if (headerSize >= 40 && headerSize <= 124 && dib.size() >= 40) {
        bitCount = U16(dib, 14);
        const std::uint32_t compression = U32(dib, 16);
        const std::uint32_t used = U32(dib, 32);
        colors = used != 0 ? used : (bitCount <= 8 ? (1u << bitCount) : 0);
        if (headerSize == 40) {
            masks = compression == 3 ? 12 : compression == 6 ? 16 : 0;
        }
    } else {
        return {};
    }
    if (bitCount == 0 || bitCount > 32) {
        return {};
    }
    const std::uint64_t offBits = 14 + std::uint64_t(headerSize) + masks + colors * entrySize;
    if (offBits > 14 + std::uint64_t(dib.size())) {
        return {};
    }
    QByteArray file("BM");
    PutU32(file, static_cast<std::uint32_t>(14 + dib.size()));
    PutU32(file, 0);
    PutU32(file, static_cast<std::uint32_t>(offBits));
    file.append(dib);
    return file;
}

DrawingPreview ReadDrawingPreview(const QString& path) {
    if (path.isEmpty()) {
        return Outcome(PreviewOutcome::Unreadable, QStringLiteral("no file named"));
    }
    ReadOnlyFile file(path);
    if (!file.Ok()) {
        return Outcome(PreviewOutcome::Unreadable, file.Error());
    }
    const QByteArray head = file.Read(0, 1024);
    DrawingPreview result;
    if (const auto version = DwgVersion(head)) {
        result = ReadDwg(file, head, *version);
    } else if (IsBinaryDxf(head)) {
        result = ReadDxf(file, head, true);
    } else if (LooksLikeTextDxf(head)) {
        result = ReadDxf(file, head, false);
    } else {
        result = Outcome(PreviewOutcome::NotDrawing,
                         QStringLiteral("the file is neither a DWG nor a DXF drawing"));
    }
    result.bytesRead = file.BytesRead();
    return result;
}

}  // namespace vx::search
