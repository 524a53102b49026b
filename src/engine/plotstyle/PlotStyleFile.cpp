#include "engine/plotstyle/PlotStyleFile.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include "files/AtomicFile.h"

namespace vx::engine::plotstyle {

namespace {

constexpr std::string_view kVersion = "PIAFILEVERSION_2.0,";
constexpr std::string_view kCodec = "pmzlibcodec";
// Real tables are a few kilobytes; anything far beyond is not a table.
constexpr std::size_t kMaxFileBytes = 16u << 20;
constexpr std::uint32_t kMaxTextBytes = 64u << 20;

// ---- the text structure ------------------------------------------------------------

struct Group {
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::pair<std::string, Group>> groups;

    const std::string* Value(std::string_view key) const {
        for (const auto& [k, v] : values) {
            if (k == key) {
                return &v;
            }
        }
        return nullptr;
    }
    const Group* Child(std::string_view key) const {
        for (const auto& [k, g] : groups) {
            if (k == key) {
                return &g;
            }
        }
        return nullptr;
    }
};

[[noreturn]] void Damaged(const std::string& what) {
    throw PlotStyleError("The plot style table is damaged: " + what + ".");
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// ---- values --------------------------------------------------------------------------

int ToInt(const std::string& v, const std::string& what) {
    int out = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
    if (ec != std::errc() || end != v.data() + v.size()) {
        Damaged(what + " is \"" + v + "\", not a whole number");
    }
    return out;
}

double ToDouble(const std::string& v, const std::string& what) {
    double out = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
    if (ec != std::errc() || end != v.data() + v.size() || !std::isfinite(out)) {
        Damaged(what + " is \"" + v + "\", not a number");
    }
    return out;
}

bool ToBool(const std::string& v, const std::string& what) {
    std::string u = v;
    for (char& c : u) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (u == "TRUE") {
        return true;
    }
    if (u == "FALSE") {
        return false;
    }
    Damaged(what + " is \"" + v + "\", neither TRUE nor FALSE");
}

std::string FormatDouble(double v) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, ec == std::errc() ? end : buf);
    if (s.find_first_of(".e") == std::string::npos) {
        s += ".0";
    }
    return s;
}

PlotStyle ReadStyle(const Group& g, const std::string& key) {
    PlotStyle s;
    const std::string where = "plot style " + key;
    for (const auto& [k, v] : g.values) {
        const std::string what = where + " " + k;
        if (k == "name") {
            s.name = v;
        } else if (k == "localized_name") {
            s.localizedName = v;
        } else if (k == "description") {
            s.description = v;
        } else if (k == "color") {
            s.color = ToInt(v, what);
        } else if (k == "mode_color") {
            s.modeColor = ToInt(v, what);
        } else if (k == "color_policy") {
            s.colorPolicy = ToInt(v, what);
        } else if (k == "physical_pen_number") {
            s.physicalPenNumber = ToInt(v, what);
        } else if (k == "virtual_pen_number") {
            s.virtualPenNumber = ToInt(v, what);
        } else if (k == "screen") {
            s.screen = ToInt(v, what);
        } else if (k == "linepattern_size") {
            s.linepatternSize = ToDouble(v, what);
        } else if (k == "linetype") {
            s.linetype = ToInt(v, what);
        } else if (k == "adaptive_linetype") {
            s.adaptiveLinetype = ToBool(v, what);
        } else if (k == "lineweight") {
            s.lineweight = ToInt(v, what);
        } else if (k == "fill_style") {
            s.fillStyle = ToInt(v, what);
        } else if (k == "end_style") {
            s.endStyle = ToInt(v, what);
        } else if (k == "join_style") {
            s.joinStyle = ToInt(v, what);
        }
    }
    return s;
}

// Groups whose entries are numbered 0, 1, ...: returns them by number, refusing a number
// that is no whole number, negative or given twice.
template <class Entry, class Read>
auto Numbered(const std::vector<std::pair<std::string, Entry>>& entries, const std::string& group,
              Read read) {
    std::map<int, std::invoke_result_t<Read, const Entry&, const std::string&>> out;
    for (const auto& [k, e] : entries) {
        const int n = ToInt(k, "an entry of " + group);
        if (n < 0 || !out.emplace(n, read(e, k)).second) {
            Damaged(group + " has the entry " + k + " twice or out of order");
        }
    }
    return out;
}

// Reads the lines into groups; a '}' line closes the group it stands in.
class StructureReader {
public:
    explicit StructureReader(std::string_view text) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = text.find('\n', start);
            lines_.push_back(
                text.substr(start, end == std::string_view::npos ? text.npos : end - start));
            if (end == std::string_view::npos) {
                break;
            }
            start = end + 1;
        }
    }

    Group Read() {
        bool closed = false;
        Group top = ReadGroup(0, closed);
        return top;
    }

private:
    Group ReadGroup(int depth, bool& closed) {
        Group g;
        closed = false;
        while (index_ < lines_.size()) {
            const std::size_t lineNo = index_ + 1;
            const std::string_view line = TrimLeft(lines_[index_++]);
            const std::string_view bare = TrimRight(line);
            if (bare.empty()) {
                continue;
            }
            const auto eq = line.find('=');
            if (eq != std::string_view::npos) {
                std::string key(TrimRight(line.substr(0, eq)));
                std::string_view value = line.substr(eq + 1);
                if (!value.empty() && value.back() == '\r') {
                    value.remove_suffix(1);
                }
                if (!value.empty() && value.front() == '"') {
                    value.remove_prefix(1);
                } else {
                    value = TrimRight(value);
                }
                if (key.empty()) {
                    Damaged("line " + std::to_string(lineNo) + " has no name before '='");
                }
                g.values.emplace_back(std::move(key), std::string(value));
            } else if (bare == "}") {
                if (depth == 0) {
                    Damaged("line " + std::to_string(lineNo) + " closes a group never opened");
                }
                closed = true;
                return g;
            } else if (bare.back() == '{') {
                if (depth >= 8) {
                    Damaged("groups are nested too deeply at line " + std::to_string(lineNo));
                }
                std::string key(TrimRight(bare.substr(0, bare.size() - 1)));
                bool childClosed = false;
                Group child = ReadGroup(depth + 1, childClosed);
                if (!childClosed) {
                    Damaged("the group \"" + key + "\" opened at line " + std::to_string(lineNo) +
                            " is never closed");
                }
                g.groups.emplace_back(std::move(key), std::move(child));
            } else {
                Damaged("line " + std::to_string(lineNo) + " is not understood");
            }
        }
        return g;
    }

    std::vector<std::string_view> lines_;
    std::size_t index_ = 0;
};

void WriteStyle(std::string& out, int index, const PlotStyle& s) {
    const auto line = [&out](const std::string& key, const std::string& value) {
        out += "  " + key + "=" + value + "\n";
    };
    out += " " + std::to_string(index) + "{\n";
    line("name", "\"" + s.name);
    line("localized_name", "\"" + s.localizedName);
    line("description", "\"" + s.description);
    line("color", std::to_string(s.color));
    if (s.modeColor) {
        line("mode_color", std::to_string(*s.modeColor));
    }
    line("color_policy", std::to_string(s.colorPolicy));
    line("physical_pen_number", std::to_string(s.physicalPenNumber));
    line("virtual_pen_number", std::to_string(s.virtualPenNumber));
    line("screen", std::to_string(s.screen));
    line("linepattern_size", FormatDouble(s.linepatternSize));
    line("linetype", std::to_string(s.linetype));
    line("adaptive_linetype", s.adaptiveLinetype ? "TRUE" : "FALSE");
    line("lineweight", std::to_string(s.lineweight));
    line("fill_style", std::to_string(s.fillStyle));
    line("end_style", std::to_string(s.endStyle));
    line("join_style", std::to_string(s.joinStyle));
    out += " }\n";
}

std::uint32_t ReadU32(std::string_view bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return v;
}

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFFu));
    }
}

std::string WithFile(const PlotStyleError& e, std::string_view fileName) {
    std::string d = e.what();
    const std::string prefix = "The plot style table is";
    if (d.rfind(prefix, 0) == 0) {
        d = "The plot style table \"" + std::string(fileName) + "\" is" + d.substr(prefix.size());
    } else {
        d = "\"" + std::string(fileName) + "\": " + d;
    }
    return d;
}

}  // namespace

PlotStyleTable ParsePlotStyleText(std::string_view text, TableKind kind) {
    while (!text.empty() && text.back() == '\0') {
        text.remove_suffix(1);
    }
    if (text.find('\0') != std::string_view::npos) {
        Damaged("its text holds a NUL byte");
    }
    const Group top = StructureReader(text).Read();

    PlotStyleTable t;
    t.kind = kind;
    t.styles.clear();
    if (const auto* v = top.Value("description")) {
        t.description = *v;
    }
    if (const auto* v = top.Value("scale_factor")) {
        t.scaleFactor = ToDouble(*v, "scale_factor");
    }
    if (const auto* v = top.Value("apply_factor")) {
        t.applyFactor = ToBool(*v, "apply_factor");
    }
    if (const auto* v = top.Value("custom_lineweight_display_units")) {
        t.customLineweightDisplayUnits = ToInt(*v, "custom_lineweight_display_units");
    }
    if (const Group* aci = top.Child("aci_table")) {
        const auto names = Numbered(aci->values, "aci_table",
                                    [](const std::string& v, const std::string&) { return v; });
        for (const auto& [n, name] : names) {
            if (n != static_cast<int>(t.aciTable.size())) {
                Damaged("aci_table lacks the entry " + std::to_string(t.aciTable.size()));
            }
            t.aciTable.push_back(name);
        }
    }
    const Group* styles = top.Child("plot_style");
    if (!styles) {
        Damaged("it has no plot_style group");
    }
    if (!styles->values.empty()) {
        Damaged("plot_style holds \"" + styles->values.front().first + "\" outside a style");
    }
    const auto numbered =
        Numbered(styles->groups, "plot_style",
                 [](const Group& g, const std::string& k) { return ReadStyle(g, k); });
    for (const auto& [n, style] : numbered) {
        if (n != static_cast<int>(t.styles.size())) {
            Damaged("plot_style lacks the style " + std::to_string(t.styles.size()));
        }
        t.styles.push_back(style);
    }
    if (const Group* weights = top.Child("custom_lineweight_table")) {
        const auto table = Numbered(weights->values, "custom_lineweight_table",
                                    [](const std::string& v, const std::string& k) {
                                        return ToDouble(v, "lineweight " + k);
                                    });
        t.lineweights.clear();
        for (const auto& [n, w] : table) {
            if (n != static_cast<int>(t.lineweights.size())) {
                Damaged("custom_lineweight_table lacks the entry " +
                        std::to_string(t.lineweights.size()));
            }
            t.lineweights.push_back(w);
        }
    }
    if (kind == TableKind::ColorDependent && !t.aciTable.empty() &&
        t.aciTable.size() != kColorDependentStyles) {
        Damaged("its aci_table holds " + std::to_string(t.aciTable.size()) +
                " names instead of 255");
    }
    t.Validate();
    return t;
}

std::string PlotStyleText(const PlotStyleTable& t) {
    std::string out;
    out += "description=\"" + t.description + "\n";
    out += std::string("aci_table_available=") +
           (t.kind == TableKind::ColorDependent ? "TRUE" : "FALSE") + "\n";
    out += "scale_factor=" + FormatDouble(t.scaleFactor) + "\n";
    out += std::string("apply_factor=") + (t.applyFactor ? "TRUE" : "FALSE") + "\n";
    out +=
        "custom_lineweight_display_units=" + std::to_string(t.customLineweightDisplayUnits) + "\n";
    if (t.kind == TableKind::ColorDependent) {
        out += "aci_table{\n";
        for (std::size_t i = 0; i < t.aciTable.size(); ++i) {
            out += " " + std::to_string(i) + "=\"" + t.aciTable[i] + "\n";
        }
        out += "}\n";
    }
    out += "plot_style{\n";
    for (std::size_t i = 0; i < t.styles.size(); ++i) {
        WriteStyle(out, static_cast<int>(i), t.styles[i]);
    }
    out += "}\n";
    out += "custom_lineweight_table{\n";
    for (std::size_t i = 0; i < t.lineweights.size(); ++i) {
        out += " " + std::to_string(i) + "=" + FormatDouble(t.lineweights[i]) + "\n";
    }
    out += "}\n";
    return out;
}

PlotStyleTable DecodePlotStyleFile(std::string_view bytes, std::string_view fileName) {
    try {
        const auto lineEnd = bytes.find("\r\n");
        if (bytes.substr(0, kVersion.size()) != kVersion || lineEnd == std::string_view::npos ||
            lineEnd > 80) {
            throw PlotStyleError(
                "The plot style table is no plot style table (its header line "
                "is missing).");
        }
        const std::string_view header = bytes.substr(0, lineEnd);
        TableKind kind;
        if (header.find(",CTBVER1,") != std::string_view::npos) {
            kind = TableKind::ColorDependent;
        } else if (header.find(",STBVER1,") != std::string_view::npos) {
            kind = TableKind::Named;
        } else {
            throw PlotStyleError("The plot style table is no plot style table (header \"" +
                                 std::string(header) + "\").");
        }
        if (header.substr(header.size() - 9) != ",compress") {
            Damaged("its header \"" + std::string(header) + "\" names no compression");
        }
        std::size_t at = lineEnd + 2;
        if (bytes.substr(at, kCodec.size()) != kCodec) {
            Damaged("the codec tag after the header is missing");
        }
        at += kCodec.size();
        if (bytes.size() < at + 12) {
            Damaged("the file is cut short in its header");
        }
        const std::uint32_t checksum = ReadU32(bytes, at);
        const std::uint32_t textSize = ReadU32(bytes, at + 4);
        const std::uint32_t packedSize = ReadU32(bytes, at + 8);
        at += 12;
        const std::string_view packed = bytes.substr(at);
        if (packed.size() < packedSize) {
            Damaged("the file is cut short (" + std::to_string(packed.size()) + " of " +
                    std::to_string(packedSize) + " compressed bytes)");
        }
        const std::string_view stream = packed.substr(0, packedSize);
        const uLong adler =
            adler32(adler32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(stream.data()),
                    static_cast<uInt>(stream.size()));
        if (adler != checksum) {
            Damaged("the checksum of its compressed data does not match");
        }
        if (textSize == 0 || textSize > kMaxTextBytes) {
            Damaged("it announces " + std::to_string(textSize) + " bytes of text");
        }
        std::string text(textSize, '\0');
        uLongf produced = textSize;
        const int rc = uncompress(reinterpret_cast<Bytef*>(text.data()), &produced,
                                  reinterpret_cast<const Bytef*>(stream.data()),
                                  static_cast<uLong>(stream.size()));
        if (rc != Z_OK) {
            Damaged(std::string("its compressed data cannot be unpacked (") +
                    (rc == Z_DATA_ERROR  ? "corrupt stream"
                     : rc == Z_BUF_ERROR ? "more text than announced"
                                         : "zlib error " + std::to_string(rc)) +
                    ")");
        }
        if (produced != textSize) {
            Damaged("it holds " + std::to_string(produced) + " bytes of text, not the " +
                    std::to_string(textSize) + " announced");
        }
        return ParsePlotStyleText(text, kind);
    } catch (const PlotStyleError& e) {
        throw PlotStyleError(WithFile(e, fileName));
    }
}

PlotStyleTable ReadPlotStyleFile(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) {
        throw PlotStyleError("The plot style table \"" + name +
                             "\" cannot be read: " + ec.message() + ".");
    }
    if (size > kMaxFileBytes) {
        throw PlotStyleError("The plot style table \"" + name + "\" is too large (" +
                             std::to_string(size) + " bytes) to be a plot style table.");
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        throw PlotStyleError("The plot style table \"" + name + "\" cannot be read.");
    }
    return DecodePlotStyleFile(bytes, name);
}

std::string EncodePlotStyleFile(const PlotStyleTable& table) {
    table.Validate();
    std::string text = PlotStyleText(table);
    text.push_back('\0');
    uLongf packedSize = compressBound(static_cast<uLong>(text.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        throw PlotStyleError("The plot style table cannot be compressed.");
    }
    packed.resize(packedSize);
    std::string out(kVersion);
    out += table.kind == TableKind::ColorDependent ? "CTBVER1" : "STBVER1";
    out += ",compress\r\n";
    out += kCodec;
    const uLong adler =
        adler32(adler32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(packed.data()),
                static_cast<uInt>(packed.size()));
    PutU32(out, static_cast<std::uint32_t>(adler));
    PutU32(out, static_cast<std::uint32_t>(text.size()));
    PutU32(out, static_cast<std::uint32_t>(packed.size()));
    out += packed;
    return out;
}

void WritePlotStyleFile(const std::filesystem::path& file, const PlotStyleTable& table) {
    std::string error;
    if (!files::WriteFileAtomically(file, EncodePlotStyleFile(table), error)) {
        throw PlotStyleError("The plot style table \"" + file.string() +
                             "\" cannot be written: " + error + ".");
    }
}

}  // namespace vx::engine::plotstyle
