#include "engine/fonts/FontResolver.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QStandardPaths>
#include <QTextLayout>
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
        // Big fonts named as a style's font: their East Asian characters come from a CJK
        // face (see BigFonts), any others from simplex.
        {"bigfont", {"simplex"}},
        {"chineset", {"simplex"}},
        {"extfont", {"simplex"}},
        {"extfont2", {"simplex"}},
        {"gbcbig", {"simplex"}},
        {"hztxt", {"simplex"}},
        {"whgtxt", {"simplex"}},
        {"whgdtxt", {"simplex"}},
        {"whtgtxt", {"simplex"}},
        {"whtmtxt", {"simplex"}},
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
// Characters drawn from a fallback font that are named one by one, per pair of fonts.
constexpr std::size_t kNamedCharacters = 5;
constexpr const char* kLacksCharacter =
    "The font lacks the character; it is drawn from another font.";

// Big fonts by name (without folder and extension) and the language they hold.
const std::map<std::string, CjkLanguage>& BigFonts() {
    using L = CjkLanguage;
    static const std::map<std::string, CjkLanguage> table = {
        {"gbcbig", L::SimplifiedChinese},
        {"hztxt", L::SimplifiedChinese},
        {"chineset", L::TraditionalChinese},
        {"bigfont", L::Japanese},
        {"extfont", L::Japanese},
        {"extfont2", L::Japanese},
        {"whgtxt", L::Korean},
        {"whgdtxt", L::Korean},
        {"whtgtxt", L::Korean},
        {"whtmtxt", L::Korean},
    };
    return table;
}

std::string FileStem(std::string_view name) {
    std::string base(name.substr(name.find_last_of("/\\") + 1));
    if (const auto dot = base.rfind('.'); dot != std::string::npos) {
        base.erase(dot);
    }
    return Lower(base);
}

// The language an East Asian character is most likely written in when no big font says.
CjkLanguage ScriptLanguage(char32_t c) {
    if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
        (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF)) {
        return CjkLanguage::Korean;
    }
    if ((c >= 0x3040 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) ||
        (c >= 0xFF66 && c <= 0xFF9F)) {
        return CjkLanguage::Japanese;
    }
    return CjkLanguage::SimplifiedChinese;
}

const char* LanguageName(CjkLanguage l) {
    switch (l) {
        case CjkLanguage::SimplifiedChinese:
            return "Simplified Chinese";
        case CjkLanguage::TraditionalChinese:
            return "Traditional Chinese";
        case CjkLanguage::Japanese:
            return "Japanese";
        case CjkLanguage::Korean:
            return "Korean";
    }
    return "";
}

// A face for glyph outlines. East Asian glyphs are fitted to the character cell as a big
// font draws them: the ink of an ideograph from the baseline up to the text height. Other
// glyphs are scaled to capital height 1.
std::shared_ptr<OutlineFace> MakeFace(QRawFont raw, bool cell) {
    if (!raw.isValid()) {
        return nullptr;
    }
    auto face = std::make_shared<OutlineFace>();
    face->family = raw.familyName().toStdString();
    face->scale = raw.capHeight() > 0 ? 1.0 / raw.capHeight() : 1.0 / (0.7 * kOutlinePixels);
    if (cell) {
        for (char32_t probe : {U'\u4E2D', U'\uD55C', U'\u3042'}) {
            const QList<quint32> index = raw.glyphIndexesForString(QString::fromUcs4(&probe, 1));
            if (index.size() != 1 || index.front() == 0) {
                continue;
            }
            const QRectF ink = raw.pathForGlyph(index.front()).boundingRect();
            if (ink.height() > 0) {
                face->scale = 1.0 / ink.height();
                face->rise = ink.bottom() * face->scale;  // pixels run down from the baseline
                break;
            }
        }
    }
    face->raw = std::move(raw);
    return face;
}

QFont OutlineFont(const std::string& family) {
    QFont f(QString::fromStdString(family));
    f.setPixelSize(kOutlinePixels);
    return f;
}

}  // namespace

std::optional<CjkLanguage> BigFontLanguage(std::string_view bigFont) {
    const auto it = BigFonts().find(FileStem(bigFont));
    return it == BigFonts().end() ? std::nullopt : std::optional(it->second);
}

bool IsEastAsian(char32_t c) {
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x9FFF) ||
           (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

void SubstitutionLog::Add(Substitution s) {
    if (std::find(items_.begin(), items_.end(), s) == items_.end()) {
        items_.push_back(std::move(s));
    }
}

void SubstitutionLog::AddCharacter(char32_t c, const std::string& font, const std::string& used,
                                   const std::string& reason) {
    Pair& p = characters_[{font, used}];
    if (!p.seen.insert(c).second) {
        return;
    }
    if (p.seen.size() <= kNamedCharacters) {
        items_.push_back({CodePoint(c) + " in " + font, used, reason});
        return;
    }
    ++p.more;
    Substitution s{std::to_string(p.more) +
                       (p.more == 1 ? " more character in " : " more characters in ") + font,
                   used, reason};
    if (p.more == 1) {
        p.moreItem = items_.size();
        items_.push_back(std::move(s));
    } else {
        items_[p.moreItem] = std::move(s);
    }
}

void SubstitutionLog::Clear() {
    items_.clear();
    characters_.clear();
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

// The fonts a resolver has read, shared with the fonts it made so that they can read their
// fallback fonts when they first need them.
struct FontStore {
    FontFolders folders;
    std::map<std::string, std::shared_ptr<const StrokeFont>> loaded;
    std::shared_ptr<SubstitutionLog> log;
    std::map<CjkLanguage, std::shared_ptr<const OutlineFace>> cjk;  // null: none installed
    // Faces found by Qt's font fallback, by family and fitting.
    std::map<std::pair<std::string, bool>, std::shared_ptr<const OutlineFace>> system;
    std::map<char32_t, std::shared_ptr<const OutlineFace>> systemByCharacter;

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

    // The CJK face of a language: a well-known family when installed, else the first
    // family fontconfig lists for the language's writing system.
    std::shared_ptr<const OutlineFace> Cjk(CjkLanguage language) {
        if (const auto it = cjk.find(language); it != cjk.end()) {
            return it->second;
        }
        static const std::map<CjkLanguage,
                              std::pair<QFontDatabase::WritingSystem, std::vector<const char*>>>
            known = {
                {CjkLanguage::SimplifiedChinese,
                 {QFontDatabase::SimplifiedChinese,
                  {"Noto Sans CJK SC", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei",
                   "Microsoft YaHei", "SimSun"}}},
                {CjkLanguage::TraditionalChinese,
                 {QFontDatabase::TraditionalChinese,
                  {"Noto Sans CJK TC", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei",
                   "Microsoft JhengHei", "MingLiU"}}},
                {CjkLanguage::Japanese,
                 {QFontDatabase::Japanese,
                  {"Noto Sans CJK JP", "IPAGothic", "VL Gothic", "WenQuanYi Micro Hei", "Yu Gothic",
                   "MS Gothic"}}},
                {CjkLanguage::Korean,
                 {QFontDatabase::Korean,
                  {"Noto Sans CJK KR", "NanumGothic", "UnDotum", "WenQuanYi Micro Hei",
                   "Malgun Gothic", "Gulim"}}},
            };
        const auto& [writing, names] = known.at(language);
        QStringList families;
        for (const char* name : names) {
            families << QString::fromLatin1(name);
        }
        families << QFontDatabase::families(writing);
        const char32_t probe = language == CjkLanguage::Korean     ? U'\uD55C'
                               : language == CjkLanguage::Japanese ? U'\u3042'
                                                                   : U'\u4E2D';
        std::shared_ptr<const OutlineFace> found;
        for (const QString& family : families) {
            const QFont f = OutlineFont(family.toStdString());
            // fontconfig answers every family with some font: only the one asked for counts.
            if (QFontInfo(f).family().compare(family, Qt::CaseInsensitive) != 0) {
                continue;
            }
            QRawFont raw = QRawFont::fromFont(f);
            if (raw.isValid() && raw.supportsCharacter(probe)) {
                found = MakeFace(std::move(raw), true);
                break;
            }
        }
        cjk.emplace(language, found);
        return found;
    }

    // The face Qt's font fallback draws the character with when `base` lacks it (on Linux
    // fontconfig's list of fonts for the character's script); null when no font has it.
    std::shared_ptr<const OutlineFace> SystemFace(char32_t c, const QFont& base) {
        if (const auto it = systemByCharacter.find(c); it != systemByCharacter.end()) {
            return it->second;
        }
        std::shared_ptr<const OutlineFace> found;
        QTextLayout layout(QString::fromUcs4(&c, 1), base);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun& run : layout.glyphRuns()) {
            const QList<quint32> indexes = run.glyphIndexes();
            if (indexes.size() != 1 || indexes.front() == 0) {
                continue;
            }
            QRawFont raw = run.rawFont();
            raw.setPixelSize(kOutlinePixels);
            const std::pair key{raw.familyName().toStdString(), IsEastAsian(c)};
            auto& face = system[key];
            if (!face) {
                face = MakeFace(std::move(raw), key.second);
            }
            found = face;
            break;
        }
        systemByCharacter.emplace(c, found);
        return found;
    }
};

FontResolver::FontResolver(FontFolders folders) : store_(std::make_shared<FontStore>()) {
    store_->folders = std::move(folders);
    store_->log = log_;
}

std::shared_ptr<const StrokeFont> FontResolver::StrokeFontNamed(std::string_view name) {
    return store_->Named(name);
}

std::shared_ptr<const ResolvedFont> FontResolver::Resolve(std::string_view fontName,
                                                          std::string_view bigFont) {
    std::string asked(fontName);
    while (!asked.empty() && std::isspace(static_cast<unsigned char>(asked.back()))) {
        asked.pop_back();
    }
    std::string big(bigFont);
    while (!big.empty() && std::isspace(static_cast<unsigned char>(big.back()))) {
        big.pop_back();
    }
    // A big font named as the style's font stands for itself too.
    if (big.empty() && BigFontLanguage(asked)) {
        big = asked;
    }
    const std::string key = Lower(asked) + '\n' + Lower(big);
    if (const auto it = resolved_.find(key); it != resolved_.end()) {
        // Every plot that uses the font tells its substitution, whatever was plotted
        // before it (the log is cleared for each plot).
        for (const Substitution& s : resolvedSubstitutions_[key]) {
            log_->Add(s);
        }
        return it->second;
    }
    const std::size_t logged = log_->Items().size();
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
    if (!big.empty()) {
        // The same fonts with the big font's face for East Asian characters.
        auto withBig = std::make_shared<ResolvedFont>(*font);
        withBig->bigFont_ = big;
        font = std::move(withBig);
    }
    resolved_[key] = font;
    const auto& items = log_->Items();
    resolvedSubstitutions_[key].assign(items.begin() + static_cast<std::ptrdiff_t>(logged),
                                       items.end());
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
    // txt.shx and monotxt.shx set letters and digits 4 units wide on a 6-unit capital at a
    // pitch of 6 (a TEXT "FOO" 0.75 high fitted between points 2 apart); the proportional
    // font standing in for them is set on that grid, so that their texts keep their length.
    if (const std::string b = Lower(base);
        (b == "txt" || b == "monotxt") && !font->strokes_.empty() &&
        std::filesystem::path(font->strokes_.front()->Name()).stem().string() != b) {
        const std::string key = "|txt pitch|" + font->strokes_.front()->Name();
        auto& fitted = store_->loaded[key];
        if (!fitted) {
            fitted = StrokeFont::AtPitch(*font->strokes_.front(), 4.0 / 6.0, 1.0);
        }
        font->strokes_.front() = fitted;
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
    font->ownStrokes_ = font->strokes_.size();
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
    font->store_ = store_;
    QFont f = OutlineFont(family);
    f.setBold(bold);
    f.setItalic(italic);
    const QString got = QFontInfo(f).family();
    font->font_ = f;
    font->used_ = got.toStdString();
    if (auto face = MakeFace(QRawFont::fromFont(f), false)) {
        face->family = font->used_;
        font->trueType_.push_back(std::move(face));
    }
    const QFont fallback = OutlineFont(kTrueTypeFallback);
    if (QFontInfo(fallback).family() != got) {
        if (auto face = MakeFace(QRawFont::fromFont(fallback), false)) {
            face->family = QFontInfo(fallback).family().toStdString();
            font->trueType_.push_back(std::move(face));
        }
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

namespace {

// The glyph `index` of a face, made at its first use.
std::shared_ptr<const OutlineGlyph> FaceGlyph(const OutlineFace& face, quint32 index) {
    if (const auto it = face.glyphs.find(index); it != face.glyphs.end()) {
        return it->second;
    }
    auto g = std::make_shared<OutlineGlyph>();
    QTransform t;
    t.translate(0, face.rise);
    t.scale(face.scale, -face.scale);  // y down in pixels -> y up
    const QPainterPath path = t.map(face.raw.pathForGlyph(index));
    if (!path.isEmpty()) {
        const QRectF r = path.boundingRect();
        g->ink = {r.left(), r.top(), r.right(), r.bottom()};
    }
    const int n = path.elementCount();
    g->outline.Reserve(static_cast<std::size_t>(n), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            g->outline.MoveTo({e.x, e.y});
        } else if (e.type == QPainterPath::LineToElement) {
            g->outline.LineTo({e.x, e.y});
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < n) {
            const QPainterPath::Element& c2 = path.elementAt(i + 1);
            const QPainterPath::Element& end = path.elementAt(i + 2);
            g->outline.CubicTo({e.x, e.y}, {c2.x, c2.y}, {end.x, end.y});
            i += 2;
        }
    }
    const QList<QPointF> advances = face.raw.advancesForGlyphIndexes(QList<quint32>{index});
    g->advance = advances.isEmpty() ? 0.0 : advances.front().x() * face.scale;
    const std::size_t bytes = sizeof(OutlineGlyph) + 64 +
                              g->outline.Points().size() * sizeof(geom::Vec2) +
                              g->outline.Ops().size() * sizeof(geom::Path::Op);
    if (face.glyphBytes + bytes > OutlineFace::kMaxGlyphBytes) {
        face.glyphs.clear();
        face.glyphBytes = 0;
    }
    face.glyphBytes += bytes;
    face.glyphs.emplace(index, g);
    return g;
}

std::optional<GlyphShape> FromTrueType(const OutlineFace& face, char32_t c) {
    if (!face.raw.isValid()) {
        return std::nullopt;
    }
    const QString text = QString::fromUcs4(&c, 1);
    const QList<quint32> indexes = face.raw.glyphIndexesForString(text);
    if (indexes.size() != 1 || indexes.front() == 0) {
        return std::nullopt;
    }
    GlyphShape g;
    g.outline = FaceGlyph(face, indexes.front());
    g.advance = g.outline->advance;
    g.font = face.family;
    return g;
}

}  // namespace

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

const std::string& ResolvedFont::PrimaryName() const {
    return used_;
}

std::optional<GlyphShape> ResolvedFont::FromStroke(std::size_t font, char32_t c) const {
    // The diameter sign (%%c) has several code points; a font that draws one of them
    // draws the sign in its own style before any other font is asked.
    std::vector<char32_t> forms{c};
    if (c == U'\u00D8' || c == U'\u2300' || c == U'\u2205') {
        forms = {c, U'\u2300', U'\u2205', U'\u00D8'};
    }
    for (char32_t form : forms) {
        if (const StrokeGlyph* g = strokes_[font]->Glyph(form)) {
            return GlyphShape{g->strokes, {}, g->advance, strokes_[font]->Name()};
        }
    }
    return std::nullopt;
}

std::optional<GlyphShape> ResolvedFont::FromCjk(char32_t c) const {
    if (!store_) {
        return std::nullopt;
    }
    std::shared_ptr<const OutlineFace> bigFace;
    if (!bigFont_.empty()) {
        const CjkLanguage language = BigFontLanguage(bigFont_).value_or(ScriptLanguage(c));
        bigFace = store_->Cjk(language);
        if (!bigFace) {
            log_->Add({bigFont_, "other fonts",
                       "No CJK TrueType font is installed (fonts-wqy-microhei or "
                       "fonts-noto-cjk); the big font's characters are drawn from other "
                       "fonts where they have them."});
        } else if (auto g = FromTrueType(*bigFace, c)) {
            log_->Add({bigFont_, bigFace->family,
                       std::string("Big fonts are drawn with a CJK TrueType font; ") +
                           bigFace->family + " is the one installed for " + LanguageName(language) +
                           "."});
            return g;
        }
    }
    const auto face = store_->Cjk(ScriptLanguage(c));
    if (face && face != bigFace) {
        if (auto g = FromTrueType(*face, c)) {
            log_->AddCharacter(c, PrimaryName(), face->family, kLacksCharacter);
            return g;
        }
    }
    return std::nullopt;
}

GlyphShape ResolvedFont::Glyph(char32_t c) const {
    const auto fromFallback = [&](GlyphShape g) {
        log_->AddCharacter(c, PrimaryName(), g.font, kLacksCharacter);
        return g;
    };
    // The style's own fonts.
    if (kind_ == Kind::Stroke) {
        for (std::size_t i = 0; i < ownStrokes_; ++i) {
            if (auto g = FromStroke(i, c)) {
                return i == 0 ? *g : fromFallback(*g);
            }
        }
    } else if (!trueType_.empty()) {
        if (auto g = FromTrueType(*trueType_.front(), c)) {
            return *g;
        }
    }
    // East Asian characters from the big font or a CJK face, so that a text's characters of
    // one script share one design.
    const bool eastAsian = IsEastAsian(c);
    if (eastAsian) {
        if (auto g = FromCjk(c)) {
            return *g;
        }
    }
    // The fallback fonts of the kind.
    if (kind_ == Kind::Stroke) {
        for (std::size_t i = ownStrokes_; i < strokes_.size() || ReadNextFallback(); ++i) {
            if (auto g = FromStroke(i, c)) {
                return fromFallback(*g);
            }
        }
    } else {
        for (std::size_t i = 1; i < trueType_.size(); ++i) {
            if (auto g = FromTrueType(*trueType_[i], c)) {
                return fromFallback(*g);
            }
        }
    }
    // Any installed font that has it.
    if (store_) {
        const QFont base = kind_ == Kind::TrueType ? font_ : OutlineFont(kTrueTypeFallback);
        if (const auto face = store_->SystemFace(c, base)) {
            if (auto g = FromTrueType(*face, c)) {
                return fromFallback(*g);
            }
        }
    }
    if (c == U'?') {
        return {{}, {}, SpaceAdvance(), "?"};
    }
    log_->AddCharacter(c, PrimaryName(), "?",
                       "No installed font has the character; it is drawn as a question mark.");
    GlyphShape q = Glyph(U'?');
    q.font = "?";
    return q;
}

double ResolvedFont::SpaceAdvance() const {
    if (kind_ == Kind::Stroke) {
        return strokes_.empty() ? 0.5 : strokes_.front()->SpaceAdvance();
    }
    if (!trueType_.empty()) {
        if (auto g = FromTrueType(*trueType_.front(), U' ')) {
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
