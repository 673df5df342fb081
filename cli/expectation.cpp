// Judging an answer.
#include "cli/expectation.h"

#include "cli/exit_status.h"

namespace tqm::cli {

Expectation Expectation::of(Kind kind, const QString &text) {
    Expectation expectation{kind, text, {}};
    if (kind == Match) {
        expectation.pattern = QRegularExpression(QRegularExpression::anchoredPattern(text));
        if (!expectation.pattern.isValid())
            throw Usage{QStringLiteral("bad regular expression: %1")
                            .arg(expectation.pattern.errorString())};
    }
    return expectation;
}

bool Expectation::met(const QString &printed) const {
    return kind == Expect ? printed == text : pattern.match(printed).hasMatch();
}

QString Expectation::verb() const {
    return kind == Expect ? QStringLiteral("expect") : QStringLiteral("match");
}

} // namespace tqm::cli
