#include <gtest/gtest.h>

#include "QtPrinters.h"

#include "search/Wildcard.h"

using vx::search::Wildcard;

namespace {

struct Case {
    const char* pattern;
    const char* name;
    bool matches;
};

class WildcardCases : public ::testing::TestWithParam<Case> {};

TEST_P(WildcardCases, MatchAsWindowsDoes) {
    const Case& c = GetParam();
    EXPECT_EQ(Wildcard(QString::fromUtf8(c.pattern)).Matches(QString::fromUtf8(c.name)), c.matches)
        << c.pattern << " vs " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, WildcardCases,
    ::testing::Values(
        // Letters ignore case; the whole name must be covered.
        Case{"*.DWG", "plan.dwg", true}, Case{"*.DWG", "PLAN.DWG", true},
        Case{"*.dwg", "Plan.Dwg", true}, Case{"*.DWG", "plan.dwg.bak", false},
        Case{"*.DWG", "plan.dwgx", false}, Case{"*.DWG", "dwg", false}, Case{"*.DWG", ".dwg", true},
        Case{"*.DWG", "a.b.dwg", true},
        // "?" is exactly one character.
        Case{"A?.dwg", "a1.dwg", true}, Case{"A?.dwg", "a.dwg", false},
        Case{"A?.dwg", "a12.dwg", false}, Case{"???", "abc", true}, Case{"???", "ab", false},
        // "*" also stands for nothing, and several stars backtrack.
        Case{"*", "anything", true}, Case{"a*b*c", "abc", true}, Case{"a*b*c", "aXbYbZc", true},
        Case{"a*b*c", "aXbYbZ", false}, Case{"*x*", "x", true}, Case{"**.dwg", "a.dwg", true},
        // Non-ASCII letters ignore case too.
        Case{"ÄRGER*", "ärger.dwg", true}, Case{"*É.DWG", "café.dwg", true},
        // Windows extras: ".*" also takes names without any dot, a final "." only them.
        Case{"*.*", "README", true}, Case{"*.*", "a.dwg", true}, Case{"a.*", "a", true},
        Case{"a.*", "ab", false}, Case{"*.", "README", true}, Case{"*.", "a.dwg", false},
        Case{"plan.", "plan", true},
        // The empty pattern lists everything.
        Case{"", "plan.dwg", true}, Case{"", "README", true},
        // Names with the pattern's special characters are matched literally.
        Case{"a[1].dwg", "a[1].dwg", true}, Case{"a[1].dwg", "a1.dwg", false}));

TEST(Wildcard, LongNamesAgainstManyStarsFinishQuickly) {
    const QString name = QString(5000, QChar('a')) + "b";
    EXPECT_FALSE(Wildcard("*a*a*a*a*a*a*a*a*c").Matches(name));
    EXPECT_TRUE(Wildcard("*a*a*a*a*a*a*a*a*b").Matches(name));
}

}  // namespace
