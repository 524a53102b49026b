#include "search/Wildcard.h"

namespace vx::search {

Wildcard::Wildcard(const QString& pattern) {
    QString p = pattern.isEmpty() ? QStringLiteral("*") : pattern;
    if (p.endsWith(QLatin1String(".*"))) {
        withoutDotStar_ = p.left(p.size() - 2).toCaseFolded();
    } else if (p.endsWith(QLatin1Char('.')) && p.size() > 1) {
        trailingDot_ = true;
        p.chop(1);
    }
    folded_ = p.toCaseFolded();
}

bool Wildcard::Matches(const QString& name) const {
    if (trailingDot_) {
        return !name.contains(QLatin1Char('.')) && Match(folded_, name);
    }
    if (Match(folded_, name)) {
        return true;
    }
    return !withoutDotStar_.isEmpty() && !name.contains(QLatin1Char('.')) &&
           Match(withoutDotStar_, name);
}

// Iterative matching with one backtrack point for the last "*": never exponential. The
// name is folded character by character.
bool Wildcard::Match(const QString& p, const QString& s) {
    qsizetype pi = 0;
    qsizetype si = 0;
    qsizetype starP = -1;
    qsizetype starS = 0;
    const qsizetype pn = p.size();
    const qsizetype sn = s.size();
    while (si < sn) {
        if (pi < pn && p.at(pi) == QLatin1Char('*')) {
            starP = pi++;
            starS = si;
        } else if (pi < pn &&
                   (p.at(pi) == QLatin1Char('?') || p.at(pi) == s.at(si).toCaseFolded())) {
            ++pi;
            ++si;
        } else if (starP >= 0) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < pn && p.at(pi) == QLatin1Char('*')) {
        ++pi;
    }
    return pi == pn;
}

}  // namespace vx::search
