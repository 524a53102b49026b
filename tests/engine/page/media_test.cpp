// Paper names: canonical and display forms, short names, names as drawings store them.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "engine/page/Media.h"

using namespace vx::engine::page;

namespace {

// A paper as "name width x height mm, units".
std::string Describe(const std::optional<Media>& m) {
    if (!m) {
        return "none";
    }
    std::ostringstream s;
    s << m->canonicalName << " " << m->widthMm << " x " << m->heightMm << " mm, "
      << (m->units == PaperUnits::Inches ? "inches" : "mm");
    return s.str();
}

TEST(MediaNames, CanonicalFormOfTheField) {
    EXPECT_EQ(FormatMediaName("ISO_A4", 210, 297, PaperUnits::Millimeters),
              "ISO_A4_(210.00_x_297.00_MM)");
    EXPECT_EQ(FormatMediaName("ISO full bleed A4", 210, 297, PaperUnits::Millimeters),
              "ISO_full_bleed_A4_(210.00_x_297.00_MM)");
    EXPECT_EQ(LocaleMediaName("ISO_full_bleed_A4_(210.00_x_297.00_MM)"),
              "ISO full bleed A4 (210.00 x 297.00 MM)");
}

TEST(MediaNames, EveryStandardPaperRoundTripsThroughItsDisplayName) {
    std::set<std::string> names;
    for (const Media& m : StandardMedia()) {
        EXPECT_TRUE(names.insert(m.canonicalName).second) << "twice: " << m.canonicalName;
        const std::string shown = LocaleMediaName(m.canonicalName);
        EXPECT_EQ(CanonicalFromLocale(shown), m.canonicalName);
        for (const std::string& form : {m.canonicalName, shown}) {
            EXPECT_EQ(Describe(ParseMediaName(form)), Describe(m)) << form;
        }
        EXPECT_LT(m.widthMm, m.heightMm) << "catalogue papers are portrait: " << m.canonicalName;
    }
}

TEST(MediaNames, ShortNamesFindTheStandardPaper) {
    const struct {
        const char* name;
        const char* canonical;
    } cases[] = {
        {"A4", "ISO_A4_(210.00_x_297.00_MM)"},
        {"iso a3", "ISO_A3_(297.00_x_420.00_MM)"},
        {"Letter", "Letter_(8.50_x_11.00_Inches)"},
        {"Tabloid", "ANSI_B_(11.00_x_17.00_Inches)"},
    };
    for (const auto& c : cases) {
        const auto m = ParseMediaName(c.name);
        EXPECT_EQ(m ? m->canonicalName : "none", c.canonical) << c.name;
    }
    EXPECT_EQ(Describe(ParseMediaName("ARCH E1")),
              "ARCH_E1_(30.00_x_42.00_Inches) 762 x 1066.8 mm, inches");
}

TEST(MediaNames, SizedNamesAsDrawingsStoreThem) {
    EXPECT_EQ(Describe(ParseMediaName("UserDefinedMetric (300.00 x 200.00MM)")),
              "UserDefinedMetric_(300.00_x_200.00MM) 300 x 200 mm, mm");
    EXPECT_TRUE(ParseMediaName("UserDefinedMetric (300.00 x 200.00MM)")->IsLandscape());
    EXPECT_EQ(Describe(ParseMediaName("  ISO_A4_(297.00_x_210.00_MM) ")),
              "ISO_A4_(297.00_x_210.00_MM) 297 x 210 mm, mm");
}

TEST(MediaNames, NamesWithoutAUsableSizeAreRefused) {
    for (const char* bad :
         {"", "A44", "X_(0.00_x_297.00_MM)", "X_(-210_x_297_MM)", "X_(210_x_297_Pixels)",
          "X_(210.00_x_297.00_MM", "X_(1e9_x_1_MM)", "X_(nan_x_1_MM)"}) {
        EXPECT_FALSE(ParseMediaName(bad)) << "'" << bad << "'";
    }
}

TEST(MediaNames, RotatedPaperSwapsSizeNameAndMargins) {
    Media a4 = *ParseMediaName("A4");
    a4.margins = {1, 2, 3, 4};
    const Media turned = Rotated(a4);
    EXPECT_EQ(Describe(turned), "ISO_A4_(297.00_x_210.00_MM) 297 x 210 mm, mm");
    // Turned a quarter counter-clockwise: the left border becomes the bottom one.
    EXPECT_EQ(turned.margins, (Margins{4, 1, 2, 3}));
    EXPECT_EQ(turned.PrintableArea(), (Rect{4, 1, 295, 207}));
}

}  // namespace
