#include "engine/fonts/FontResolver.h"

#include <QFontInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/ProgramData.h"
#include "engine/Strings.h"

namespace vx::engine::fonts {

namespace {

std::string CodePoint(char32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

// SHX fonts and the stroke fonts that draw them, best first. Names not listed are looked
// for under their own name; unknown fonts get simplex.
const std::map<std::string, std::vector<std::string>>& StrokeSubstitutes() {
    static const std::map<std::string, std::vector<std::string>> table = {
        {"txt", {"standard", "rowmans"}},
        {"monotxt", {"standard", "rowmans"}},
        {"simplex", {"simplex", "rowmans"}},
        {"romans", {"romans", "rowmans"}},
        {"romand", {"romand", "rowmand"}},
        {"romanc", {"romanc", "rowmant"}},
        {"romant", {"romant", "rowmant"}},
        {"complex", {"romanc", "rowmant"}},
        {"italic", {"italicc", "timesi"}},
        {"italicc", {"italicc", "timesi"}},
        {"italict", {"italict", "timesi"}},
        {"scripts", {"scripts", "scripts"}},
        {"scriptc", {"scriptc", "scriptc"}},
        {"greeks", {"greeks", "greeks"}},
        {"greekc", {"greekc", "greekc"}},
        {"gothice", {"gothgbt", "gothiceng"}},
        {"gothicg", {"gothgrt", "gothicger"}},
        {"gothici", {"gothitt", "gothicita"}},
        {"cyrillic", {"cyrillic_ii", "cyrillic"}},
        {"cyriltlc", {"cyrillic_ii", "cyrilc_1"}},
        {"isocp", {"iso", "rowmans"}},
        {"isocp2", {"iso", "rowmans"}},
        {"isocp3", {"iso", "rowmans"}},
        {"isoct", {"iso", "rowmans"}},
        {"isoct2", {"iso", "rowmans"}},
        {"isoct3", {"iso", "rowmans"}},
        {"iso3098", {"iso3098", "rowmans"}},
        {"gdt", {"simplex", "rowmans"}},
        {"amgdt", {"simplex", "rowmans"}},
        {"bigfont", {"unicode", "simplex"}},
        {"chineset", {"unicode", "simplex"}},
        {"extfont", {"unicode", "simplex"}},
        {"extfont2", {"unicode", "simplex"}},
        {"gbcbig", {"unicode", "simplex"}},
        {"hztxt", {"unicode", "simplex"}},
    };
    return table;
}

// Windows font files of TrueType text styles and their families.
const std::map<std::string, std::pair<std::string, int>>& TrueTypeFiles() {
    enum { kRegular = 0, kBold = 1, kItalic = 2 };
    static const std::map<std::string, std::pair<std::string, int>> table = {
        {"arial", {"Arial", kRegular}},
        {"arialbd", {"Arial", kBold}},
        {"ariali", {"Arial", kItalic}},
        {"arialbi", {"Arial", kBold | kItalic}},
        {"arialn", {"Arial Narrow", kRegular}},
        {"times", {"Times New Roman", kRegular}},
        {"timesbd", {"Times New Roman", kBold}},
        {"timesi", {"Times New Roman", kItalic}},
        {"timesbi", {"Times New Roman", kBold | kItalic}},
        {"cour", {"Courier New", kRegular}},
        {"courbd", {"Courier New", kBold}},
        {"calibri", {"Calibri", kRegular}},
        {"calibrib", {"Calibri", kBold}},
        {"cambria", {"Cambria", kRegular}},
        {"verdana", {"Verdana", kRegular}},
        {"tahoma", {"Tahoma", kRegular}},
        {"georgia", {"Georgia", kRegular}},
        {"trebuc", {"Trebuchet MS", kRegular}},
        {"comic", {"Comic Sans MS", kRegular}},
        {"simsun", {"SimSun", kRegular}},
        {"msgothic", {"MS Gothic", kRegular}},
        {"isocpeur", {"ISOCPEUR", kRegular}},
        {"isocteur", {"ISOCTEUR", kRegular}},
    };
    return table;
}

// Families metric-compatible with the ones asked for (their text runs as long).
bool MetricCompatible(const std::string& asked, const std::string& used) {
    static const std::map<std::string, std::string> pairs = {
        {"arial", "liberation sans"},
        {"times new roman", "liberation serif"},
        {"courier new", "liberation mono"},
        {"arial narrow", "liberation sans narrow"},
        {"calibri", "carlito"},
        {"cambria", "caladea"},
    };
    const auto it = pairs.find(Lower(asked));
    return it != pairs.end() && it->second == Lower(used);
}

// %%nnn: a character of the Windows Latin-1 code page (1252), as drawings are written.
char32_t FromCodePage(unsigned value) {
    static const char32_t high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (value == 0 || value > 255) {
        return 0;
    }
    if (value >= 128 && value < 160) {
        return high[value - 128];
    }
    return static_cast<char32_t>(value);
}

constexpr const char* kStrokeFallbacks[] = {"simplex", "unicode", "rowmans"};
constexpr const char* kTrueTypeFallback = "DejaVu Sans";
// Glyph outlines are taken at this pixel size and scaled down: plenty of precision.
constexpr int kOutlinePixels = 1000;

}  // namespace

void SubstitutionLog::Add(Substitution s) {
    if (std::find(items_.begin(), items_.end(), s) == items_.end()) {
        items_.push_back(std::move(s));
    }
}

FontFolders DefaultFontFolders() {
    FontFolders f;
    if (const std::filesystem::path data = ProgramDataFolder(); !data.empty()) {
        f.stroke.push_back(data / "fonts");
    }
    const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!user.isEmpty()) {
        f.stroke.push_back(std::filesystem::path(user.toStdString()) / "fonts");
    }
    f.stroke.push_back("/usr/share/librecad/fonts");
    f.stroke.push_back("/usr/share/hershey-fonts");
    return f;
}

// The stroke fonts a resolver has read, shared with the fonts it made so that they can read
// their fallback fonts when they first need them.
struct StrokeStore {
    FontFolders folders;
    std::map<std::string, std::shared_ptr<const StrokeFont>> loaded;
    std::shared_ptr<SubstitutionLog> log;

    std::shared_ptr<const StrokeFont> Named(std::string_view name) {
        const std::string key = Lower(name);
        if (const auto it = loaded.find(key); it != loaded.end()) {
            return it->second;
        }
        std::shared_ptr<const StrokeFont> font;
        for (const char* ext : {".lff", ".jhf"}) {
            for (const auto& folder : folders.stroke) {
                const auto file = folder / (key + ext);
                std::error_code ec;
                if (!std::filesystem::is_regular_file(file, ec)) {
                    continue;
                }
                try {
                    font = StrokeFont::Load(file);
                } catch (const FontError& e) {
                    log->Add({file.filename().string(), "another font", e.what()});
                    continue;
                }
                break;
            }
            if (font) {
                break;
            }
        }
        loaded[key] = font;
        return font;
    }
};

FontResolver::FontResolver(FontFolders folders) : store_(std::make_shared<StrokeStore>()) {
    store_->folders = std::move(folders);
    store_->log = log_;
}

std::shared_ptr<const StrokeFont> FontResolver::StrokeFontNamed(std::string_view name) {
    return store_->Named(name);
}

std::shared_ptr<const ResolvedFont> FontResolver::Resolve(std::string_view fontName) {
    std::string asked(fontName);
    while (!asked.empty() && std::isspace(static_cast<unsigned char>(asked.back()))) {
        asked.pop_back();
    }
    const std::string key = Lower(asked);
    if (const auto it = resolved_.find(key); it != resolved_.end()) {
        return it->second;
    }
    // The file name without folder (a style may store a Windows path) and extension.
    std::string base = asked.substr(asked.find_last_of("/\\") + 1);
    std::string ext;
    if (const auto dot = base.rfind('.'); dot != std::string::npos) {
        ext = Lower(base.substr(dot + 1));
        base = base.substr(0, dot);
    }
    std::shared_ptr<const ResolvedFont> font;
    if (ext == "ttf" || ext == "ttc" || ext == "otf") {
        const auto known = TrueTypeFiles().find(Lower(base));
        if (known != TrueTypeFiles().end()) {
            font = ResolveTrueType(asked, known->second.first, known->second.second & 1,
                                   known->second.second & 2);
        } else {
            font = ResolveTrueType(asked, base, false, false);
        }
    } else if (ext == "shx" || ext == "lff" || ext == "jhf" || base.empty() ||
               StrokeSubstitutes().count(Lower(base)) || StrokeFontNamed(base)) {
        font = ResolveStroke(asked.empty() ? "txt" : asked, base.empty() ? "txt" : base);
    } else {
        // A family name ("Arial", "Times New Roman").
        font = ResolveTrueType(asked, asked, false, false);
    }
    resolved_[key] = font;
    return font;
}

std::shared_ptr<const ResolvedFont> FontResolver::ResolveStroke(const std::string& asked,
                                                                const std::string& base) {
    auto font = std::make_shared<ResolvedFont>();
    font->kind_ = ResolvedFont::Kind::Stroke;
    font->log_ = log_;
    std::vector<std::string> candidates{Lower(base)};
    if (const auto it = StrokeSubstitutes().find(Lower(base)); it != StrokeSubstitutes().end()) {
        candidates.insert(candidates.end(), it->second.begin(), it->second.end());
    }
    for (const std::string& name : candidates) {
        if (auto f = StrokeFontNamed(name);
            f &&
            std::find(font->strokes_.begin(), font->strokes_.end(), f) == font->strokes_.end()) {
            font->strokes_.push_back(f);
        }
    }
    // Fallbacks: the first that exists stands in for a font that is not installed; the
    // others wait until a glyph is missing.
    for (const char* fallback : kStrokeFallbacks) {
        if (font->strokes_.empty()) {
            if (auto f = StrokeFontNamed(fallback)) {
                font->strokes_.push_back(f);
            }
        } else {
            font->pendingFallbacks_.emplace_back(fallback);
        }
    }
    font->store_ = store_;
    if (font->strokes_.empty()) {
        // No stroke font at all on this system: TrueType text stands in.
        auto tt = ResolveTrueType(asked, kTrueTypeFallback, false, false);
        log_->Add({asked, tt->UsedName(),
                   "No single-stroke font is installed (librecad-data or hershey-fonts-data); "
                   "the text is drawn in a TrueType font."});
        return tt;
    }
    font->used_ = font->strokes_.front()->Name();
    const std::string primaryStem =
        std::filesystem::path(font->strokes_.front()->Name()).stem().string();
    const bool sameName = primaryStem == Lower(base);
    const std::string ext = Lower(std::filesystem::path(asked).extension().string());
    if (ext != ".lff" && ext != ".jhf") {
        log_->Add({asked, font->used_,
                   sameName ? "SHX fonts are drawn with the single-stroke font of the same name."
                            : "SHX fonts are drawn with single-stroke fonts; " + font->used_ +
                                  " is the nearest one installed."});
    } else if (!sameName) {
        log_->Add({asked, font->used_,
                   "The font is not installed; " + font->used_ + " is used instead."});
    }
    return font;
}

std::shared_ptr<const ResolvedFont> FontResolver::ResolveTrueType(const std::string& asked,
                                                                  const std::string& family,
                                                                  bool bold, bool italic) {
    auto font = std::make_shared<ResolvedFont>();
    font->kind_ = ResolvedFont::Kind::TrueType;
    font->log_ = log_;
    QFont f(QString::fromStdString(family));
    f.setBold(bold);
    f.setItalic(italic);
    f.setPixelSize(kOutlinePixels);
    const QString got = QFontInfo(f).family();
    font->font_ = f;
    font->used_ = got.toStdString();
    const auto face = [](const QFont& qf) {
        ResolvedFont::TrueTypeFace t;
        t.raw = QRawFont::fromFont(qf);
        t.family = QFontInfo(qf).family().toStdString();
        const double cap = t.raw.isValid() ? t.raw.capHeight() : 0.0;
        t.scale = cap > 0 ? 1.0 / cap : 1.0 / (0.7 * kOutlinePixels);
        return t;
    };
    font->trueType_.push_back(face(f));
    QFont fallback(kTrueTypeFallback);
    fallback.setPixelSize(kOutlinePixels);
    if (QFontInfo(fallback).family() != got) {
        font->trueType_.push_back(face(fallback));
    }
    if (Lower(font->used_) != Lower(family)) {
        log_->Add({asked, font->used_,
                   MetricCompatible(family, font->used_)
                       ? "The font " + family + " is not installed; " + font->used_ +
                             " has the same character widths."
                       : "The font " + family + " is not installed; " + font->used_ +
                             " is used instead (text may run longer or shorter)."});
    }
    return font;
}

std::optional<GlyphShape> ResolvedFont::FromTrueType(const TrueTypeFace& face, char32_t c) const {
    if (!face.raw.isValid()) {
        return std::nullopt;
    }
    const QString text = QString::fromUcs4(&c, 1);
    const QList<quint32> indexes = face.raw.glyphIndexesForString(text);
    if (indexes.size() != 1 || indexes.front() == 0) {
        return std::nullopt;
    }
    GlyphShape g;
    QTransform t;
    t.scale(face.scale, -face.scale);  // y down in pixels -> y up, capital height 1
    g.outline = t.map(face.raw.pathForGlyph(indexes.front()));
    const QList<QPointF> advances = face.raw.advancesForGlyphIndexes(indexes);
    g.advance = advances.isEmpty() ? 0.0 : advances.front().x() * face.scale;
    return g;
}

bool ResolvedFont::ReadNextFallback() const {
    // Every font read so far lacks a glyph: read the next fallback that is installed and
    // not among them yet.
    while (!pendingFallbacks_.empty()) {
        auto f = store_ ? store_->Named(pendingFallbacks_.front()) : nullptr;
        pendingFallbacks_.erase(pendingFallbacks_.begin());
        if (f && std::find(strokes_.begin(), strokes_.end(), f) == strokes_.end()) {
            strokes_.push_back(std::move(f));
            return true;
        }
    }
    return false;
}

GlyphShape ResolvedFont::Glyph(char32_t c) const {
    if (kind_ == Kind::Stroke) {
        // The diameter sign (%%c) has several code points; a font that draws one of them
        // draws the sign in its own style before any other font is asked.
        std::vector<char32_t> forms{c};
        if (c == U'\u00D8' || c == U'\u2300' || c == U'\u2205') {
            forms = {c, U'\u2300', U'\u2205', U'\u00D8'};
        }
        for (std::size_t i = 0; i < strokes_.size() || ReadNextFallback(); ++i) {
            const StrokeGlyph* g = nullptr;
            for (char32_t form : forms) {
                if ((g = strokes_[i]->Glyph(form)) != nullptr) {
                    break;
                }
            }
            if (g) {
                if (i > 0) {
                    log_->Add({CodePoint(c) + " in " + strokes_.front()->Name(),
                               strokes_[i]->Name(),
                               "The font lacks the character; it is drawn from another font."});
                }
                return {g->strokes, {}, g->advance};
            }
        }
    } else {
        for (std::size_t i = 0; i < trueType_.size(); ++i) {
            if (auto g = FromTrueType(trueType_[i], c)) {
                if (i > 0) {
                    log_->Add({CodePoint(c) + " in " + trueType_.front().family,
                               trueType_[i].family,
                               "The font lacks the character; it is drawn from another font."});
                }
                return *g;
            }
        }
    }
    if (c == U'?') {
        return {{}, {}, SpaceAdvance()};
    }
    log_->Add({CodePoint(c) + " in " + used_, "?",
               "No installed font has the character; it is drawn as a question mark."});
    return Glyph(U'?');
}

double ResolvedFont::SpaceAdvance() const {
    if (kind_ == Kind::Stroke) {
        return strokes_.empty() ? 0.5 : strokes_.front()->SpaceAdvance();
    }
    if (!trueType_.empty()) {
        if (auto g = FromTrueType(trueType_.front(), U' ')) {
            return g->advance;
        }
    }
    return 0.3;
}

std::string ExpandSpecialCodes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, 2) != "%%" || i + 2 >= text.size()) {
            out.push_back(text[i++]);
            continue;
        }
        const char code = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 2])));
        switch (code) {
            case 'd':
                AppendUtf8(out, U'\u00B0');
                i += 3;
                continue;
            case 'p':
                AppendUtf8(out, U'\u00B1');
                i += 3;
                continue;
            case 'c':
                AppendUtf8(out, U'\u00D8');
                i += 3;
                continue;
            case '%':
                out.push_back('%');
                i += 3;
                continue;
            default:
                break;
        }
        if (i + 5 <= text.size() && std::isdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(text[i + 3])) &&
            std::isdigit(static_cast<unsigned char>(text[i + 4]))) {
            const unsigned value = static_cast<unsigned>(
                (text[i + 2] - '0') * 100 + (text[i + 3] - '0') * 10 + (text[i + 4] - '0'));
            if (const char32_t c = FromCodePage(value)) {
                AppendUtf8(out, c);
                i += 5;
                continue;
            }
        }
        out.push_back(text[i++]);
    }
    return out;
}

}  // namespace vx::engine::fonts
