// File-name patterns as Windows matches them.
#pragma once

#include <QString>

namespace vx::search {

// "*" stands for any run of characters (also none), "?" for exactly one; letters match
// without regard to case; the pattern must cover the whole name. As on Windows, a
// pattern ending in ".*" also matches a name without any "." ("*.*" matches every
// name), and a pattern ending in "." matches names without any "." ("*." the names
// without extension). The empty pattern matches every name, as listing a folder by its
// path alone does.
class Wildcard {
public:
    explicit Wildcard(const QString& pattern);
    bool Matches(const QString& name) const;

private:
    static bool Match(const QString& foldedPattern, const QString& name);

    QString folded_;          // the pattern, case-folded
    QString withoutDotStar_;  // for a pattern ending in ".*": the pattern before it
    bool trailingDot_ = false;
};

}  // namespace vx::search
