// Reading a command line against its table of options.
#include "process/command_line.h"

#include <QLatin1String>

namespace tqm {

std::optional<QString> CommandLine::value(const QString &name) const {
    const auto it = values.constFind(name);
    if (it == values.cend())
        return std::nullopt;
    return *it;
}

CommandLine parseCommandLine(const QStringList &words, std::span<const OptionSpec> options) {
    const auto find = [&](QStringView name) -> const OptionSpec * {
        for (const OptionSpec &o : options)
            if (name == QLatin1String(o.name) || (o.alias && name == QLatin1String(o.alias)))
                return &o;
        return nullptr;
    };
    CommandLine line;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        if (word == QLatin1String("--")) {
            line.operands += words.mid(i + 1);
            break;
        }
        const qsizetype eq = word.startsWith(QLatin1String("--")) ? word.indexOf(u'=') : -1;
        const QString written = eq < 0 ? word : word.left(eq);
        const OptionSpec *option = word.size() > 1 ? find(written) : nullptr;
        if (!option) {
            if (word.startsWith(QLatin1String("--")) && word.size() > 2)
                throw CommandLineError{CommandLineError::UnknownOption, word, written};
            line.operands << word;
            continue;
        }
        const QString name = QLatin1String(option->name);
        if (!option->value) {
            if (eq >= 0)
                throw CommandLineError{CommandLineError::UnexpectedValue, word, name};
            line.flags.insert(name);
        } else if (eq >= 0) {
            line.values.insert(name, word.mid(eq + 1));
        } else if (i + 1 < words.size()) {
            line.values.insert(name, words[++i]);
        } else {
            throw CommandLineError{CommandLineError::MissingValue, word, name};
        }
    }
    return line;
}

} // namespace tqm
