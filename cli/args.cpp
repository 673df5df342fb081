// Option parsing shared by the sub-commands.
#include "cli/args.h"

#include "cli/exit_status.h"

namespace tqm::cli {

std::optional<QString> Args::value(const QString &option) const {
    const auto it = values.constFind(option);
    if (it == values.cend())
        return std::nullopt;
    return *it;
}

Args parseArgs(const QStringList &words, const QStringList &valued, const QStringList &flags) {
    Args args;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        if (word == QLatin1String("--")) {
            args.operands += words.mid(i + 1);
            break;
        }
        if (!word.startsWith(QLatin1String("--")) || word.size() == 2) {
            args.operands << word;
            continue;
        }
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? word : word.left(eq);
        if (valued.contains(name)) {
            if (eq >= 0) {
                args.values.insert(name, word.mid(eq + 1));
            } else if (i + 1 < words.size()) {
                args.values.insert(name, words[++i]);
            } else {
                throw Usage{QStringLiteral("%1 wants a value").arg(name)};
            }
        } else if (flags.contains(name) && eq < 0) {
            args.flags.insert(name);
        } else {
            throw Usage{QStringLiteral("unknown option %1").arg(word)};
        }
    }
    return args;
}

int numberOption(const Args &args, const QString &option, int fallback, int min, int max) {
    const std::optional<QString> text = args.value(option);
    if (!text)
        return fallback;
    bool ok = false;
    const int value = text->toInt(&ok);
    if (!ok || value < min || value > max)
        throw Usage{QStringLiteral("%1 wants a whole number from %2 %3, not \"%4\"")
                        .arg(option)
                        .arg(min)
                        .arg(max == std::numeric_limits<int>::max()
                                 ? QStringLiteral("up")
                                 : QStringLiteral("to %1").arg(max))
                        .arg(*text)};
    return value;
}

} // namespace tqm::cli
