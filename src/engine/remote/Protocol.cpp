#include "engine/remote/Protocol.h"

#include <cstring>

namespace vx::engine::remote {

namespace {

enum class Tag : std::uint8_t {
    None = 0,
    Int = 1,
    Bool = 2,
    Text = 3,
    List = 4,
    Object = 5,
    Objects = 6
};

// The fewest bytes of a handle on the wire.
constexpr std::size_t kHandleBytes = 18;

}  // namespace

bool IsLongCall(Method m) {
    switch (m) {
        case Method::DocsOpen:
        case Method::DocsAdd:
        case Method::DocClose:
        case Method::DocRegen:
        case Method::AppZoomExtents:
        case Method::LayoutZoomExtents:
        case Method::PlotToFile:
        case Method::PlotToDevice:
        case Method::BlockReload:
        case Method::AppQuit:
            return true;
        default:
            return false;
    }
}

const char* Activity(Method m) {
    switch (m) {
        case Method::DocsOpen:
        case Method::DocsAdd:
            return "opening";
        case Method::PlotToFile:
        case Method::PlotToDevice:
            return "plotting";
        case Method::DocClose:
            return "closing";
        case Method::BlockReload:
            return "reloading a reference of";
        case Method::DocRegen:
        case Method::AppZoomExtents:
        case Method::LayoutZoomExtents:
            return "regenerating";
        default:
            return "working on";
    }
}

void Writer::Str(const std::string& s) {
    if (s.size() > kMaxFrame) {
        throw ProtocolError("a text beyond the message size");
    }
    U32(static_cast<std::uint32_t>(s.size()));
    bytes_ += s;
}

void Writer::List(const cad::Strings& list) {
    U32(static_cast<std::uint32_t>(list.size()));
    for (const auto& s : list) {
        Str(s);
    }
}

void Writer::Val(const Value& v) {
    if (const auto* i = std::get_if<std::int32_t>(&v)) {
        U8(static_cast<std::uint8_t>(Tag::Int));
        U32(static_cast<std::uint32_t>(*i));
    } else if (const auto* b = std::get_if<bool>(&v)) {
        U8(static_cast<std::uint8_t>(Tag::Bool));
        U8(*b ? 1 : 0);
    } else if (const auto* s = std::get_if<std::string>(&v)) {
        U8(static_cast<std::uint8_t>(Tag::Text));
        Str(*s);
    } else if (const auto* l = std::get_if<cad::Strings>(&v)) {
        U8(static_cast<std::uint8_t>(Tag::List));
        List(*l);
    } else if (const auto* h = std::get_if<Handle>(&v)) {
        U8(static_cast<std::uint8_t>(Tag::Object));
        Object(*h);
    } else if (const auto* hl = std::get_if<HandleList>(&v)) {
        U8(static_cast<std::uint8_t>(Tag::Objects));
        Objects(*hl);
    } else {
        U8(static_cast<std::uint8_t>(Tag::None));
    }
}

void Writer::Object(const Handle& h) {
    U8(static_cast<std::uint8_t>(h.kind));
    U32(h.id);
    Str(h.name);
    Str(h.path);
    U8(h.flags);
    U32(static_cast<std::uint32_t>(h.number));
    if ((h.flags & kBlockEntities) != 0) {
        List(h.entities);
    }
}

void Writer::Objects(const HandleList& list) {
    U32(static_cast<std::uint32_t>(list.count));
    U32(static_cast<std::uint32_t>(list.active));
    U32(static_cast<std::uint32_t>(list.items.size()));
    for (const auto& h : list.items) {
        Object(h);
    }
    U32(static_cast<std::uint32_t>(list.blocks.size()));
    for (const auto& h : list.blocks) {
        Object(h);
    }
}

void Writer::Plot(const automation::PlotRecord& r) {
    for (const std::string* s : {&r.drawing, &r.layout, &r.device, &r.media, &r.styleSheet,
                                 &r.requestedFile, &r.outputFile, &r.printer, &r.error}) {
        Str(*s);
    }
    U8(static_cast<std::uint8_t>((r.toFile ? 1 : 0) | (r.ok ? 2 : 0) | (r.blank ? 4 : 0)));
    U32(static_cast<std::uint32_t>(r.copies));
    List(r.notes);
    for (std::int64_t n : {r.entities, r.drawn, r.visible, r.bytes}) {
        I64(n);
    }
    U32(static_cast<std::uint32_t>(r.substitutedFonts.size()));
    for (const auto& f : r.substitutedFonts) {
        Str(f.asked);
        Str(f.used);
        Str(f.reason);
    }
}

void Writer::Open(const automation::OpenRecord& r) {
    Str(r.drawing);
    U8(r.ok ? 1 : 0);
    Str(r.error);
    List(r.warnings);
}

std::string Writer::Frame() {
    const std::size_t size = bytes_.size() - 4;
    if (size > kMaxFrame) {
        throw ProtocolError("a message beyond the size limit");
    }
    for (std::size_t i = 0; i < 4; ++i) {
        bytes_[i] = static_cast<char>((size >> (8 * i)) & 0xff);
    }
    return std::move(bytes_);
}

void Reader::CutShort() {
    throw ProtocolError("a message cut short");
}

std::int64_t Reader::I64() {
    const std::uint64_t lo = U32();
    return static_cast<std::int64_t>(lo | (static_cast<std::uint64_t>(U32()) << 32));
}

std::uint32_t Reader::Count(std::size_t each) {
    const std::uint32_t n = U32();
    if (n > static_cast<std::size_t>(end_ - p_) / each) {
        throw ProtocolError("a count beyond the message");
    }
    return n;
}

std::string Reader::Str() {
    const std::uint32_t n = Count(1);
    return std::string(Take(n), n);
}

cad::Strings Reader::List() {
    const std::uint32_t n = Count(4);
    cad::Strings list;
    list.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        list.push_back(Str());
    }
    return list;
}

Value Reader::Val() {
    switch (static_cast<Tag>(U8())) {
        case Tag::None:
            return std::monostate{};
        case Tag::Int:
            return static_cast<std::int32_t>(U32());
        case Tag::Bool:
            return U8() != 0;
        case Tag::Text:
            return Str();
        case Tag::List:
            return List();
        case Tag::Object:
            return Object();
        case Tag::Objects:
            return Objects();
    }
    throw ProtocolError("an unknown value type");
}

Handle Reader::Object() {
    Handle h;
    const std::uint8_t kind = U8();
    if (kind < static_cast<std::uint8_t>(Kind::Application) ||
        kind > static_cast<std::uint8_t>(Kind::Entity)) {
        throw ProtocolError("an unknown object kind");
    }
    h.kind = static_cast<Kind>(kind);
    h.id = U32();
    h.name = Str();
    h.path = Str();
    h.flags = U8();
    h.number = static_cast<std::int32_t>(U32());
    if ((h.flags & kBlockEntities) != 0) {
        h.entities = List();
        if (h.entities.size() > kMaxToldEntities) {
            throw ProtocolError("a block that tells too many entities");
        }
    }
    return h;
}

HandleList Reader::Objects() {
    HandleList list;
    list.count = static_cast<std::int32_t>(U32());
    list.active = static_cast<std::int32_t>(U32());
    const std::uint32_t n = Count(kHandleBytes);
    if (n > kMaxListed || static_cast<std::int64_t>(n) > list.count ||
        list.active >= static_cast<std::int32_t>(n) || list.active < -1) {
        throw ProtocolError("a list of objects that does not add up");
    }
    list.items.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        list.items.push_back(Object());
    }
    const std::uint32_t blocks = Count(kHandleBytes);
    if (blocks != 0 && blocks != n) {
        throw ProtocolError("a list of objects that does not add up");
    }
    for (std::uint32_t i = 0; i < blocks; ++i) {
        list.blocks.push_back(Object());
        if (list.blocks.back().id != 0 && list.blocks.back().kind != Kind::Block) {
            throw ProtocolError("a block of another kind");
        }
    }
    return list;
}

automation::PlotRecord Reader::Plot() {
    automation::PlotRecord r;
    for (std::string* s : {&r.drawing, &r.layout, &r.device, &r.media, &r.styleSheet,
                           &r.requestedFile, &r.outputFile, &r.printer, &r.error}) {
        *s = Str();
    }
    const std::uint8_t flags = U8();
    r.toFile = (flags & 1) != 0;
    r.ok = (flags & 2) != 0;
    r.blank = (flags & 4) != 0;
    r.copies = static_cast<std::int32_t>(U32());
    r.notes = List();
    for (std::int64_t* n : {&r.entities, &r.drawn, &r.visible, &r.bytes}) {
        *n = I64();
    }
    const std::uint32_t fonts = Count(12);
    for (std::uint32_t i = 0; i < fonts; ++i) {
        fonts::Substitution f;
        f.asked = Str();
        f.used = Str();
        f.reason = Str();
        r.substitutedFonts.push_back(std::move(f));
    }
    return r;
}

automation::OpenRecord Reader::Open() {
    automation::OpenRecord r;
    r.drawing = Str();
    r.ok = U8() != 0;
    r.error = Str();
    r.warnings = List();
    return r;
}

void FrameBuffer::Append(const char* data, std::size_t size) {
    // What was taken goes once it is most of the buffer, not at each message.
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(data, size);
}

bool FrameBuffer::Next(std::string& message) {
    const std::size_t rest = buffer_.size() - start_;
    if (rest < 4) {
        return false;
    }
    std::uint32_t n = 0;
    for (std::size_t i = 4; i-- > 0;) {
        n = (n << 8) | static_cast<unsigned char>(buffer_[start_ + i]);
    }
    if (n > kMaxFrame) {
        throw ProtocolError("a message beyond the size limit");
    }
    if (rest < 4 + static_cast<std::size_t>(n)) {
        return false;
    }
    message.assign(buffer_, start_ + 4, n);
    start_ += 4 + static_cast<std::size_t>(n);
    return true;
}

}  // namespace vx::engine::remote
