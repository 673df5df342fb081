// What an answer must be: the same text, or a match of a regular expression over all of it. One
// judgement for the sub-commands' --expect and --match and for a script's expect and match steps.
#pragma once

#include <QRegularExpression>
#include <QString>

namespace tqm::cli {

struct Expectation {
    enum Kind { Expect, Match };
    Kind kind = Expect;
    QString text;               // as written
    QRegularExpression pattern; // Match: anchored, so the whole answer must match

    // Throws Usage on a bad regular expression.
    static Expectation of(Kind kind, const QString &text);

    // `printed`: the answer as printed.
    bool met(const QString &printed) const;
    // "expect" or "match".
    QString verb() const;
};

} // namespace tqm::cli
