// send, lcd and clock: frames out, one printed answer each, the last one judged.
#include "cli/lcd_text.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/script.h"
#include "cli/sub_commands.h"
#include "serial/failure.h"

#include <functional>

namespace tqm::cli {

namespace {

// Sends each command's frames (made when it goes out, so a clock stamp is read then), prints
// one line per answer, and checks the last one.
ExitStatus exchangeAll(const PortChoice &choice, const AnswerRules &rules,
                       const std::function<QStringList(qsizetype)> &framesAt, qsizetype count) {
    Line line(choice);
    if (!openOrSay(line))
        return PortFailure;
    QString last;
    try {
        for (qsizetype k = 0; k < count; ++k) {
            std::function<bool(const QByteArray &)> enough;
            if (k + 1 == count && rules.check)
                enough = [&rules](const QByteArray &answer) {
                    return rules.met(printedAnswer(answer, rules.hex));
                };
            last = printedAnswer(line.exchange(framesAt(k), rules.waitMs, rules.idleMs, enough),
                                 rules.hex);
            toStdout(last + QLatin1Char('\n'));
        }
    } catch (const Failure &failure) {
        toStderr(failure.message());
        return PortFailure;
    }
    line.close();
    if (rules.met(last))
        return Done;
    if (rules.check->kind == Expectation::Expect)
        toStderr(QStringLiteral("expected \"%1\", got \"%2\"").arg(rules.check->text, last));
    else
        toStderr(QStringLiteral("\"%1\" does not match \"%2\"").arg(last, rules.check->text));
    return NotMet;
}

} // namespace

ExitStatus sendCommand(const Args &args) {
    const PortChoice choice = portChoice(args, "send");
    const AnswerRules rules = answerRules(args);
    if (args.operands.isEmpty())
        throw Usage{QStringLiteral("send wants at least one command")};
    for (const QString &name : args.operands)
        framesOf(name, QDateTime::currentDateTime());
    return exchangeAll(
        choice, rules,
        [&](qsizetype k) { return framesOf(args.operands[k], QDateTime::currentDateTime()); },
        args.operands.size());
}

ExitStatus lcdCommand(const Args &args) {
    const PortChoice choice = portChoice(args, "lcd");
    const AnswerRules rules = answerRules(args);
    const QString frame = lcdFrame(args.operands);
    return exchangeAll(
        choice, rules, [&](qsizetype) { return QStringList{frame}; }, 1);
}

ExitStatus clockCommand(const Args &args) {
    const PortChoice choice = portChoice(args, "clock");
    const AnswerRules rules = answerRules(args);
    if (!args.operands.isEmpty())
        throw Usage{QStringLiteral("clock takes no arguments but options")};
    std::optional<QDateTime> at;
    if (const auto text = args.value(QStringLiteral("--at")))
        at = parseLocalTime(*text);
    return exchangeAll(
        choice, rules,
        [&](qsizetype) {
            // One reading of the PC clock for every field of the stamp.
            return framesOf(QStringLiteral("cmdtimessetting"),
                            at.value_or(QDateTime::currentDateTime()));
        },
        1);
}

} // namespace tqm::cli
