#include "cli/PdfSetWriter.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <exception>
#include <initializer_list>
#include <utility>

namespace vx::cli {

namespace {

// The most objects a PDF may number, and the farthest offset its table can give.
constexpr std::uint32_t kMaxObjects = 8388607;
constexpr std::uint64_t kMaxOffset = 9999999999ULL;
// How deeply arrays and dictionaries may nest, and page trees descend.
constexpr int kMaxDepth = 64;
// Writes to the set's file are gathered up to this size; larger streams go out directly.
constexpr std::size_t kChunk = std::size_t{1} << 20;

enum class Kind : std::uint8_t { Token, Name, String, Array, Dict, Ref };

// One PDF value as written: a number, boolean, null, name or string keeps its bytes.
struct Value {
    Kind kind = Kind::Token;
    std::string_view text;     // a Token's, Name's or String's bytes
    std::vector<Value> items;  // an Array's; a Dict's keys and values by turns
    std::uint32_t num = 0;     // a Ref's object and generation
    std::uint32_t gen = 0;

    const Value* Find(std::string_view key) const {
        if (kind != Kind::Dict) {
            return nullptr;
        }
        for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
            if (items[i].text == key) {
                return &items[i + 1];
            }
        }
        return nullptr;
    }
    bool IsName(std::string_view name) const { return kind == Kind::Name && text == name; }
};

// The class of each byte: 1 white space, 2 a delimiter, 0 a regular character.
constexpr auto kByteClass = [] {
    std::array<std::uint8_t, 256> table{};
    for (const char c : {' ', '\n', '\r', '\t', '\f', '\0'}) {
        table[static_cast<unsigned char>(c)] = 1;
    }
    for (const char c : std::string_view("()<>[]{}/%")) {
        table[static_cast<unsigned char>(c)] = 2;
    }
    return table;
}();

bool IsSpace(char c) {
    return kByteClass[static_cast<unsigned char>(c)] == 1;
}

bool IsRegular(char c) {
    return kByteClass[static_cast<unsigned char>(c)] == 0;
}

std::optional<std::uint64_t> Unsigned(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

struct Malformed {
    std::string what;
};

// Reads values from a sheet's bytes; any fault throws Malformed.
class Reader {
public:
    Reader(std::string_view data, std::size_t pos) : data_(data), pos_(pos) {}

    std::size_t Pos() const { return pos_; }

    void SkipSpace() {
        while (pos_ < data_.size()) {
            if (data_[pos_] == '%') {
                while (pos_ < data_.size() && data_[pos_] != '\n' && data_[pos_] != '\r') {
                    ++pos_;
                }
            } else if (IsSpace(data_[pos_])) {
                ++pos_;
            } else {
                return;
            }
        }
    }

    // The next run of regular characters (empty at a delimiter or the end).
    std::string_view Token() {
        SkipSpace();
        return Regular();
    }

    // The regular characters from here on.
    std::string_view Regular() {
        const std::size_t start = pos_;
        while (pos_ < data_.size() && IsRegular(data_[pos_])) {
            ++pos_;
        }
        return data_.substr(start, pos_ - start);
    }

    std::uint64_t Number(const char* what) {
        const auto n = Unsigned(Token());
        if (!n) {
            throw Malformed{std::string("no ") + what};
        }
        return *n;
    }

    void Expect(std::string_view keyword) {
        if (Token() != keyword) {
            throw Malformed{"no " + std::string(keyword)};
        }
    }

    Value Parse(int depth = 0) {
        if (depth > kMaxDepth) {
            throw Malformed{"values nested too deeply"};
        }
        SkipSpace();
        if (pos_ >= data_.size()) {
            throw Malformed{"a value cut short"};
        }
        Value v;
        const std::size_t start = pos_;
        const char c = data_[pos_];
        if (c == '[' || (c == '<' && At("<<"))) {
            const bool dict = c == '<';
            v.kind = dict ? Kind::Dict : Kind::Array;
            pos_ += dict ? 2 : 1;
            for (;;) {
                SkipSpace();
                if (dict ? At(">>") : At("]")) {
                    pos_ += dict ? 2 : 1;
                    return v;
                }
                if (dict && (pos_ >= data_.size() || data_[pos_] != '/')) {
                    throw Malformed{"a dictionary key that is no name"};
                }
                v.items.push_back(Parse(depth + 1));
                if (dict) {
                    v.items.push_back(Parse(depth + 1));
                }
            }
        }
        if (c == '<') {
            const std::size_t end = data_.find('>', pos_);
            if (end == std::string_view::npos) {
                throw Malformed{"a string cut short"};
            }
            pos_ = end + 1;
            v.kind = Kind::String;
        } else if (c == '(') {
            int open = 0;
            for (; pos_ < data_.size(); ++pos_) {
                if (data_[pos_] == '\\') {
                    ++pos_;
                } else if (data_[pos_] == '(') {
                    ++open;
                } else if (data_[pos_] == ')' && --open == 0) {
                    break;
                }
            }
            if (pos_ >= data_.size()) {
                throw Malformed{"a string cut short"};
            }
            ++pos_;
            v.kind = Kind::String;
        } else if (c == '/') {
            ++pos_;
            Regular();
            v.kind = Kind::Name;
        } else {
            const std::string_view token = Token();
            if (token.empty()) {
                throw Malformed{std::string("an unexpected '") + c + "'"};
            }
            if (const auto num = Unsigned(token)) {
                // "num gen R" is a reference; anything else leaves the number alone.
                const std::size_t after = pos_;
                const auto gen = Unsigned(Token());
                if (gen && Token() == "R" && *num <= kMaxObjects && *gen <= 65535) {
                    v.kind = Kind::Ref;
                    v.num = static_cast<std::uint32_t>(*num);
                    v.gen = static_cast<std::uint32_t>(*gen);
                    v.text = data_.substr(start, pos_ - start);
                    return v;
                }
                pos_ = after;
            }
        }
        v.text = data_.substr(start, pos_ - start);
        return v;
    }

private:
    bool At(std::string_view s) const { return data_.substr(pos_, s.size()) == s; }

    std::string_view data_;
    std::size_t pos_;
};

// A sheet taken apart: its table of objects, read on demand.
class Sheet {
public:
    struct Object {
        bool read = false;
        Value value;
        std::optional<std::string_view> stream;  // a stream's bytes as stored
    };

    explicit Sheet(std::string_view data) : data_(data) {
        const std::size_t tail = data.size() > 1024 ? data.size() - 1024 : 0;
        const std::size_t at = data.rfind("startxref");
        if (at == std::string_view::npos || at < tail) {
            throw Malformed{"no startxref"};
        }
        Reader r(data, at + 9);
        const std::uint64_t xref = r.Number("cross-reference offset");
        if (xref >= data.size()) {
            throw Malformed{"a cross-reference offset past the end"};
        }
        r = Reader(data, xref);
        r.Expect("xref");
        for (;;) {
            const std::string_view token = r.Token();
            if (token == "trailer") {
                break;
            }
            const auto first = Unsigned(token);
            const std::uint64_t count = r.Number("cross-reference count");
            // An object takes more than a byte: more numbers than bytes is no table.
            if (!first || *first + count > std::min<std::uint64_t>(data.size(), kMaxObjects)) {
                throw Malformed{"a cross-reference table out of bounds"};
            }
            if (entries_.size() < *first + count) {
                entries_.resize(static_cast<std::size_t>(*first + count));
            }
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint64_t offset = r.Number("object offset");
                const std::uint64_t gen = r.Number("object generation");
                const std::string_view type = r.Token();
                Entry& e = entries_[static_cast<std::size_t>(*first + i)];
                e = {offset, static_cast<std::uint32_t>(std::min<std::uint64_t>(gen, 65535)),
                     type == "n" && offset < data.size()};
            }
        }
        trailer_ = r.Parse();
        if (trailer_.kind != Kind::Dict || trailer_.Find("/Prev") || trailer_.Find("/XRefStm") ||
            trailer_.Find("/Encrypt")) {
            throw Malformed{"a trailer of an updated or encrypted file"};
        }
        objects_.resize(entries_.size());
    }

    static Value RefTo(std::uint32_t num) {
        Value v;
        v.kind = Kind::Ref;
        v.num = num;
        return v;
    }

    std::size_t Size() const { return entries_.size(); }
    const Value& Trailer() const { return trailer_; }

    // Whether `ref` names an object the table holds.
    bool Holds(const Value& ref) const {
        return ref.kind == Kind::Ref && ref.num < entries_.size() && entries_[ref.num].used &&
               entries_[ref.num].gen == ref.gen;
    }

    // The object `ref` names (a number from RefTo(), any generation); Malformed when the
    // table holds none.
    const Object& Get(const Value& ref) {
        if (ref.text.empty() && ref.num < entries_.size()) {
            Value same = ref;
            same.gen = entries_[ref.num].gen;
            same.text = "R";
            return Get(same);
        }
        if (!Holds(ref)) {
            throw Malformed{"a reference to no object"};
        }
        Object& o = objects_[ref.num];
        if (!o.read) {
            Read(ref.num, o);
        }
        return o;
    }

    // A value that may be a reference, resolved.
    const Value& Resolve(const Value& v) {
        if (v.kind != Kind::Ref) {
            return v;
        }
        const Object& o = Get(v);
        if (o.value.kind == Kind::Ref) {
            throw Malformed{"a reference to a reference"};
        }
        return o.value;
    }

private:
    struct Entry {
        std::uint64_t offset = 0;
        std::uint32_t gen = 0;
        bool used = false;
    };

    void Read(std::uint32_t num, Object& o) {
        // A stream's length may be an object of its own, but no stream.
        if (reading_ > 1) {
            throw Malformed{"a stream length that is a stream"};
        }
        ++reading_;
        struct Done {
            int& depth;
            ~Done() { --depth; }
        } done{reading_};
        const Entry& e = entries_[num];
        Reader r(data_, static_cast<std::size_t>(e.offset));
        if (r.Number("object number") != num || r.Number("generation") != e.gen) {
            throw Malformed{"an object not where the table puts it"};
        }
        r.Expect("obj");
        o.read = true;  // a stream's length that names its own stream finds no length
        o.value = r.Parse();
        if (r.Token() != "stream") {
            return;
        }
        if (o.value.kind != Kind::Dict) {
            throw Malformed{"a stream without a dictionary"};
        }
        std::size_t start = r.Pos();
        if (data_.substr(start, 2) == "\r\n") {
            start += 2;
        } else if (start < data_.size() && (data_[start] == '\n' || data_[start] == '\r')) {
            start += 1;
        } else {
            throw Malformed{"no line end after stream"};
        }
        const Value* lengthValue = o.value.Find("/Length");
        if (!lengthValue) {
            throw Malformed{"a stream without a length"};
        }
        const Value& length = Resolve(*lengthValue);
        const auto bytes = length.kind == Kind::Token ? Unsigned(length.text) : std::nullopt;
        if (!bytes || *bytes > data_.size() - start) {
            throw Malformed{"a stream length past the end"};
        }
        Reader end(data_, start + static_cast<std::size_t>(*bytes));
        end.Expect("endstream");
        o.stream = data_.substr(start, static_cast<std::size_t>(*bytes));
    }

    std::string_view data_;
    int reading_ = 0;
    std::vector<Entry> entries_;
    std::vector<Object> objects_;
    Value trailer_;
};

// The page attributes a page takes from the nodes above it when it gives none itself.
constexpr std::string_view kInherited[] = {"/Resources", "/MediaBox", "/CropBox", "/Rotate"};

// A sheet's bytes as a simple writer would have written them, by libqpdf.
std::string Rewritten(std::string_view bytes) {
    class ToString : public Pipeline {
    public:
        explicit ToString(std::string& out) : Pipeline("sheet", nullptr), out_(out) {}
        void write(unsigned char const* data, size_t len) override {
            out_.append(reinterpret_cast<const char*>(data), len);
        }
        void finish() override {}

    private:
        std::string& out_;
    };
    std::string out;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.setAttemptRecovery(false);
    pdf.processMemoryFile("sheet", bytes.data(), bytes.size());
    ToString pipe(out);
    QPDFWriter writer(pdf);
    writer.setOutputPipeline(&pipe);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setCompressStreams(false);
    writer.setObjectStreamMode(qpdf_o_disable);
    writer.setPreserveEncryption(false);
    writer.write();
    return out;
}

std::string HexUtf16(const std::u16string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "<FEFF";
    for (const char16_t c : text) {
        for (int shift = 12; shift >= 0; shift -= 4) {
            out += kHex[(c >> shift) & 0xF];
        }
    }
    return out + ">";
}

}  // namespace

// What of a sheet goes into the set: its pages in order, each with what it inherits from
// the nodes above it, and the objects they use, each with its number in the set.
struct Plan {
    struct Page {
        std::uint32_t num;
        std::vector<std::pair<std::string_view, const Value*>> inherited;
    };
    std::vector<Page> pages;
    std::vector<std::uint32_t> copied;   // the sheet's numbers of the objects copied
    std::vector<std::uint32_t> numbers;  // the set's number of each of the sheet's; 0: none
    std::size_t allocated = 0;           // numbers taken from `firstNew` on
};

// The pages of `in` and what they use, numbered from `firstNew`. The page tree's nodes and
// the catalog stay out of the set: a reference to one is made null.
Plan MakePlan(Sheet& in, std::uint32_t firstNew) {
    Plan plan;
    std::vector<char> node(in.Size(), 0);  // 1: a tree node or the catalog; 2: a page
    const Value* root = in.Trailer().Find("/Root");
    if (!root || !in.Holds(*root)) {
        throw Malformed{"no catalog"};
    }
    node[root->num] = 1;
    const Value* tree = in.Resolve(*root).Find("/Pages");
    if (!tree || tree->kind != Kind::Ref) {
        throw Malformed{"no page tree"};
    }
    using Inherited = std::vector<std::pair<std::string_view, const Value*>>;
    const auto walk = [&](const auto& self, const Value& ref, int depth,
                          Inherited inherited) -> void {
        if (depth > kMaxDepth || !in.Holds(ref) || node[ref.num] != 0) {
            throw Malformed{"a page tree that is no tree"};
        }
        const Sheet::Object& o = in.Get(ref);
        if (o.value.kind != Kind::Dict || o.stream) {
            throw Malformed{"a page that is no dictionary"};
        }
        for (const std::string_view key : kInherited) {
            if (const Value* v = o.value.Find(key)) {
                std::erase_if(inherited, [&](const auto& kv) { return kv.first == key; });
                inherited.emplace_back(key, v);
            }
        }
        const Value* kids = o.value.Find("/Kids");
        const Value* type = o.value.Find("/Type");
        if (!kids || (type && type->IsName("/Page"))) {
            node[ref.num] = 2;
            plan.pages.push_back({ref.num, std::move(inherited)});
            return;
        }
        node[ref.num] = 1;
        const Value& list = in.Resolve(*kids);
        if (list.kind != Kind::Array) {
            throw Malformed{"page tree kids that are no array"};
        }
        for (const Value& kid : list.items) {
            self(self, kid, depth + 1, inherited);
        }
    };
    walk(walk, *tree, 0, {});

    plan.numbers.assign(in.Size(), 0);
    const auto number = [&](std::uint32_t old) {
        if (firstNew + plan.allocated >= kMaxObjects) {
            throw Malformed{"more objects than a PDF can number"};
        }
        plan.numbers[old] = firstNew + static_cast<std::uint32_t>(plan.allocated++);
    };
    for (const Plan::Page& page : plan.pages) {
        number(page.num);
    }
    std::vector<const Sheet::Object*> pending;
    const auto visit = [&](const auto& self, const Value& v) -> void {
        if (v.kind == Kind::Array || v.kind == Kind::Dict) {
            for (const Value& item : v.items) {
                self(self, item);
            }
        } else if (v.kind == Kind::Ref && in.Holds(v) && node[v.num] == 0 &&
                   plan.numbers[v.num] == 0) {
            number(v.num);
            plan.copied.push_back(v.num);
            pending.push_back(&in.Get(v));
        }
    };
    for (const Plan::Page& page : plan.pages) {
        const Value& dict = in.Get(Sheet::RefTo(page.num)).value;
        for (std::size_t i = 0; i + 1 < dict.items.size(); i += 2) {
            if (dict.items[i].text != "/Parent") {
                visit(visit, dict.items[i + 1]);
            }
        }
        for (const auto& [key, value] : page.inherited) {
            visit(visit, *value);
        }
    }
    while (!pending.empty()) {
        const Sheet::Object& o = *pending.back();
        pending.pop_back();
        if (!o.stream) {
            visit(visit, o.value);
            continue;
        }
        // A stream's length is written as a number: its object need not come along for it.
        for (std::size_t i = 0; i + 1 < o.value.items.size(); i += 2) {
            if (o.value.items[i].text != "/Length") {
                visit(visit, o.value.items[i + 1]);
            }
        }
    }
    return plan;
}

struct PdfSetWriter::State {
    explicit State(std::filesystem::path path) : target(std::move(path)) {}

    // A page bound: its dictionary without its parent, and the number it is first written
    // under (a page written again takes a new one).
    struct Page {
        std::string dict;
        std::uint32_t num = 0;
        bool written = false;
    };

    std::uint32_t Allocate() {
        if (offsets.size() >= kMaxObjects) {
            throw Malformed{"more objects than a PDF can number"};
        }
        offsets.push_back(0);
        return static_cast<std::uint32_t>(offsets.size() - 1);
    }

    void Put(std::string_view bytes) {
        if (bytes.size() >= kChunk) {
            Flush();
            file->Write(bytes);
        } else {
            buffer.append(bytes);
            if (buffer.size() >= kChunk) {
                Flush();
            }
        }
        written += bytes.size();
    }
    void Flush() {
        file->Write(buffer);
        buffer.clear();
    }
    void BeginObject(std::uint32_t num) {
        offsets[num] = written;
        Put(std::to_string(num));
        Put(" 0 obj\n");
    }

    // `v` with each reference given its number in the set (a reference to nothing the set
    // holds made null).
    void Emit(const Value& v, const std::vector<std::uint32_t>& numbers, std::string& out) {
        switch (v.kind) {
            case Kind::Token:
            case Kind::Name:
            case Kind::String:
                out += v.text;
                return;
            case Kind::Ref:
                if (v.num < numbers.size() && numbers[v.num] != 0) {
                    out += std::to_string(numbers[v.num]);
                    out += " 0 R";
                } else {
                    out += "null";
                }
                return;
            case Kind::Array:
            case Kind::Dict:
                out += v.kind == Kind::Array ? "[" : "<<";
                for (const Value& item : v.items) {
                    Emit(item, numbers, out);
                    out += ' ';
                }
                out += v.kind == Kind::Array ? "]" : ">>";
                return;
        }
    }

    // The entries of the dictionary `dict` but those of `skip`, each followed by a space.
    void EmitEntries(const Value& dict, const std::vector<std::uint32_t>& numbers,
                     std::initializer_list<std::string_view> skip, std::string& out) {
        for (std::size_t i = 0; i + 1 < dict.items.size(); i += 2) {
            if (std::find(skip.begin(), skip.end(), dict.items[i].text) == skip.end()) {
                Emit(dict.items[i], numbers, out);
                out += ' ';
                Emit(dict.items[i + 1], numbers, out);
                out += ' ';
            }
        }
    }

    std::filesystem::path target;
    std::unique_ptr<files::AtomicFile> file;
    std::string buffer;
    std::uint64_t written = 0;
    std::vector<std::uint64_t> offsets{0};  // of each object by number; 0 for none
    std::vector<Page> pages;
    std::string version = "1.7";
};

PdfSetWriter::PdfSetWriter(std::filesystem::path target)
    : state_(std::make_unique<State>(std::move(target))) {}

PdfSetWriter::~PdfSetWriter() = default;

bool PdfSetWriter::Open(std::string& error) {
    State& s = *state_;
    if (!s.file) {
        s.file = std::make_unique<files::AtomicFile>(s.target);
        if (s.file->Ok()) {
            s.Put("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
        }
    }
    if (!s.file->Ok()) {
        error = s.file->Error();
        return false;
    }
    return true;
}

std::optional<std::string> PdfSetWriter::Add(std::string_view bytes,
                                             std::vector<std::size_t>& pages) {
    State& s = *state_;
    if (std::string error; !Open(error)) {
        return error;
    }
    const std::size_t header = bytes.substr(0, 1024).find("%PDF-");
    if (header == std::string_view::npos) {
        return "not a PDF file";
    }
    const auto firstNew = static_cast<std::uint32_t>(s.offsets.size());
    std::string rewritten;
    std::optional<Sheet> sheet;
    Plan plan;
    try {
        plan = MakePlan(sheet.emplace(bytes), firstNew);
    } catch (const Malformed&) {
        // Not as a simple writer writes: rewritten so first, or not bound at all.
        try {
            rewritten = Rewritten(bytes);
            plan = MakePlan(sheet.emplace(rewritten), firstNew);
        } catch (const Malformed& e) {
            return e.what;
        } catch (const std::exception& e) {
            return e.what();
        }
    }
    // Nothing is written before here: a sheet that fails adds nothing.
    try {
        Sheet& in = *sheet;
        for (std::size_t i = 0; i < plan.allocated; ++i) {
            s.Allocate();
        }
        std::string text;
        for (const std::uint32_t old : plan.copied) {
            const Sheet::Object& o = in.Get(Sheet::RefTo(old));
            text.clear();
            if (o.stream) {
                text += "<<";
                s.EmitEntries(o.value, plan.numbers, {"/Length"}, text);
                text += "/Length " + std::to_string(o.stream->size()) + ">>\nstream\n";
            } else {
                s.Emit(o.value, plan.numbers, text);
                text += "\nendobj\n";
            }
            s.BeginObject(plan.numbers[old]);
            s.Put(text);
            if (o.stream) {
                s.Put(*o.stream);
                s.Put("\nendstream\nendobj\n");
            }
        }
        for (const Plan::Page& found : plan.pages) {
            const Value& dict = in.Get(Sheet::RefTo(found.num)).value;
            State::Page page{{}, plan.numbers[found.num], false};
            s.EmitEntries(dict, plan.numbers, {"/Parent", "/Type"}, page.dict);
            for (const auto& [key, value] : found.inherited) {
                if (!dict.Find(key)) {
                    page.dict += key;
                    page.dict += ' ';
                    s.Emit(*value, plan.numbers, page.dict);
                    page.dict += ' ';
                }
            }
            pages.push_back(s.pages.size());
            s.pages.push_back(std::move(page));
        }
        if (s.written > kMaxOffset) {
            throw Malformed{"a set larger than a PDF can hold"};
        }
    } catch (const Malformed& e) {
        pages.clear();
        return e.what;
    }
    const std::string_view version = bytes.substr(header + 5, 3);
    if (version.size() == 3 && std::isdigit(static_cast<unsigned char>(version[0])) &&
        version[1] == '.' && std::isdigit(static_cast<unsigned char>(version[2])) &&
        version > s.version) {
        s.version = version;
    }
    return std::nullopt;
}

bool PdfSetWriter::Finish(const std::vector<std::size_t>& order, const std::vector<Mark>& marks,
                          std::string& error) {
    State& s = *state_;
    if (!s.file || !s.file->Ok()) {
        error = s.file ? s.file->Error() : "no page";
        return false;
    }
    try {
        const std::uint32_t tree = s.Allocate();
        std::vector<std::uint32_t> placed;  // the number of each page of `order`
        std::string text;
        for (const std::size_t handle : order) {
            State::Page& page = s.pages.at(handle);
            const std::uint32_t num = page.written ? s.Allocate() : page.num;
            page.written = true;
            placed.push_back(num);
            s.BeginObject(num);
            s.Put("<</Type /Page /Parent ");
            s.Put(std::to_string(tree) + " 0 R " + page.dict + ">>\nendobj\n");
        }
        s.BeginObject(tree);
        text = "<</Type /Pages /Count " + std::to_string(placed.size()) + " /Kids [";
        for (const std::uint32_t num : placed) {
            text += std::to_string(num) + " 0 R ";
        }
        s.Put(text + "]>>\nendobj\n");

        // The bookmarks: each item linked to its parent and its neighbours.
        const std::uint32_t outlines = s.Allocate();
        const auto items = [&](const auto& self, const std::vector<Mark>& list,
                               std::uint32_t parent) -> std::size_t {
            std::vector<std::uint32_t> nums;
            for (std::size_t i = 0; i < list.size(); ++i) {
                nums.push_back(s.Allocate());
            }
            std::size_t visible = list.size();
            for (std::size_t i = 0; i < list.size(); ++i) {
                const Mark& m = list[i];
                std::string item = "<</Title " + HexUtf16(m.title) + " /Parent " +
                                   std::to_string(parent) + " 0 R /Dest [" +
                                   std::to_string(placed.at(m.page)) + " 0 R /Fit]";
                if (i > 0) {
                    item += " /Prev " + std::to_string(nums[i - 1]) + " 0 R";
                }
                if (i + 1 < list.size()) {
                    item += " /Next " + std::to_string(nums[i + 1]) + " 0 R";
                }
                if (!m.kids.empty()) {
                    const auto first = static_cast<std::uint32_t>(s.offsets.size());
                    const std::size_t shown = self(self, m.kids, nums[i]);
                    item += " /First " + std::to_string(first) + " 0 R /Last " +
                            std::to_string(first + m.kids.size() - 1) + " 0 R /Count " +
                            std::to_string(shown);
                    visible += shown;
                }
                s.BeginObject(nums[i]);
                s.Put(item + ">>\nendobj\n");
            }
            return visible;
        };
        const std::uint32_t firstMark = static_cast<std::uint32_t>(s.offsets.size());
        const std::size_t visible = items(items, marks, outlines);
        s.BeginObject(outlines);
        text = "<</Type /Outlines";
        if (!marks.empty()) {
            text += " /First " + std::to_string(firstMark) + " 0 R /Last " +
                    std::to_string(firstMark + marks.size() - 1) + " 0 R /Count " +
                    std::to_string(visible);
        }
        s.Put(text + ">>\nendobj\n");
        const std::uint32_t catalog = s.Allocate();
        s.BeginObject(catalog);
        text = "<</Type /Catalog /Pages " + std::to_string(tree) + " 0 R /Outlines " +
               std::to_string(outlines) + " 0 R /PageMode /UseOutlines";
        if (s.version > "1.7") {
            text += " /Version /" + s.version;
        }
        s.Put(text + ">>\nendobj\n");
        // Numbers given to pages never written stand for nothing.
        for (std::uint32_t num = 1; num < s.offsets.size(); ++num) {
            if (s.offsets[num] == 0) {
                s.BeginObject(num);
                s.Put("null\nendobj\n");
            }
        }
        const std::uint64_t xref = s.written;
        if (xref > kMaxOffset) {
            throw Malformed{"a set larger than a PDF can hold"};
        }
        s.Put("xref\n0 " + std::to_string(s.offsets.size()) + "\n0000000000 65535 f\r\n");
        char entry[] = "0000000000 00000 n\r\n";
        for (std::uint32_t num = 1; num < s.offsets.size(); ++num) {
            std::uint64_t offset = s.offsets[num];  // at most kMaxOffset: ten digits
            for (int i = 9; i >= 0; --i, offset /= 10) {
                entry[i] = static_cast<char>('0' + offset % 10);
            }
            s.Put(std::string_view(entry, 20));
        }
        s.Put("trailer\n<</Size " + std::to_string(s.offsets.size()) + " /Root " +
              std::to_string(catalog) + " 0 R>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
        s.Flush();
    } catch (const Malformed& e) {
        error = e.what;
        s.file->Discard();
        return false;
    } catch (const std::exception& e) {
        error = e.what();
        s.file->Discard();
        return false;
    }
    if (!s.file->Commit()) {
        error = s.file->Error();
        return false;
    }
    return true;
}

}  // namespace vx::cli
