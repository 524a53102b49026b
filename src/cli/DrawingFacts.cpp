#include "cli/DrawingFacts.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace vx::cli {

namespace db = engine::db;

EntityCounts CountEntities(const db::Database& d) {
    EntityCounts c;
    for (const auto& l : d.layouts) {
        if (l.block >= d.blocks.size()) {
            continue;
        }
        for (const auto& e : d.blocks[l.block].entities) {
            std::string name(e.TypeName());
            ++c.all[name];
            if (e.type == db::EntityType::Unknown) {
                ++c.unknown[name];
            }
        }
    }
    return c;
}

std::vector<FontUse> SubstitutedFonts(const db::Database& d) {
    std::set<db::StyleId> used;
    for (const auto& block : d.blocks) {
        for (const auto& e : block.entities) {
            if (const auto* t = e.As<db::Text>()) {
                used.insert(t->style);
            } else if (const auto* m = e.As<db::MText>()) {
                used.insert(m->style);
            } else if (const auto* a = e.As<db::Attribute>()) {
                used.insert(a->text.style);
            } else if (const auto* insert = e.As<db::Insert>()) {
                for (const auto& attrib : insert->attribs) {
                    used.insert(attrib.attribute.text.style);
                }
            }
        }
    }
    engine::fonts::FontResolver resolver;
    for (db::StyleId id : used) {
        // The font name as the text layout takes it: the style's font file, else its
        // TrueType family, else the default "txt"; an unknown style is "Standard".
        if (id >= d.textStyles.size()) {
            id = d.FindTextStyle("Standard");
        }
        if (id >= d.textStyles.size()) {
            resolver.Resolve("txt");
            continue;
        }
        const db::TextStyle& s = d.textStyles[id];
        std::string name = s.fontFile;
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        if (name.empty() ||
            (!s.fontFamily.empty() && name.find('.') == std::string::npos && lower != "txt")) {
            name = s.fontFamily.empty() ? "txt" : s.fontFamily;
        }
        resolver.Resolve(name);
    }
    // The stand-ins the resolver takes for a stroke font and a TrueType font that exist
    // nowhere; a font drawn with one of them (under another name) is missing.
    engine::fonts::FontResolver probe;
    const std::set<std::string> standIns{probe.Resolve("vormex-no-such-font.shx")->UsedName(),
                                         probe.Resolve("vormex-no-such-font.ttf")->UsedName()};
    const auto stem = [](const std::string& name) {
        std::string s = std::filesystem::path(name).stem().string();
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        return s;
    };
    std::vector<FontUse> uses;
    for (const auto& s : resolver.Substitutions()) {
        uses.push_back({s, standIns.count(s.used) > 0 && stem(s.used) != stem(s.asked)});
    }
    return uses;
}

}  // namespace vx::cli
