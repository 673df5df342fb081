// Judging an answer.
#include "cli/expectation.h"

#include "cli/exit_status.h"

namespace tqm::cli {

Expectation Expectation::of(Kind kind, const QString &text) {
    // An answer as printed spells every control byte out, so text holding one is no answer: it can
    // only come from a damaged script, and would leave the report with a raw control byte.
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].category() == QChar::Other_Control)
            throw Usage{
                QStringLiteral("control character U+%1 at position %2")
                    .arg(QString::number(text[i].unicode(), 16).toUpper().rightJustified(4, u'0'))
                    .arg(i + 1),
                QStringLiteral("an answer shows it by its name: [NUL], [STX] ...")};
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
