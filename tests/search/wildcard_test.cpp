#include <gtest/gtest.h>

#include "QtPrinters.h"

#include "search/Wildcard.h"

using vx::search::Wildcard;

namespace {

TEST(Wildcard, MatchesAsWindowsDoes) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        // Letters ignore case, non-ASCII ones too; the whole name must be covered.
        {"*.DWG", "Plan.Dwg", true},
        {"*.DWG", "plan.dwg.bak", false},
        {"ÄRGER*", "ärger.dwg", true},
        // "?" is exactly one character; "*" also stands for nothing, and backtracks.
        {"A?.dwg", "a.dwg", false},
        {"a*b*c", "aXbYbZ", false},
        // ".*" also takes names without any dot, a final "." only them.
        {"*.", "README", true},
        {"*.", "a.dwg", false},
        {"", "README", true},
        // The pattern's other special characters are literal.
        {"a[1].dwg", "a1.dwg", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Wildcard(QString::fromUtf8(c.pattern)).Matches(QString::fromUtf8(c.name)),
                  c.matches)
            << c.pattern << " vs " << c.name;
    }
    // Many stars against a long name finish.
    EXPECT_FALSE(Wildcard("*a*a*a*a*a*a*a*a*c").Matches(QString(5000, QChar('a')) + "b"));
}

}  // namespace
