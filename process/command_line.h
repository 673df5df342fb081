// The command lines of the three programs, read one way: each program lists its options in a
// table, with their help, and the words after the program's name are read against it.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace tqm {

struct OptionSpec {
    const char *name;            // "--com"
    const char *value;           // "N": the option takes a value; nullptr: a flag
    const char *help;            // nullptr: listed by its program some other way
    const char *alias = nullptr; // "-h"
};

struct CommandLine {
    QHash<QString, QString> values; // by name: "--wait" -> "500"
    QSet<QString> flags;            // by name: "--hex"
    QStringList operands;

    std::optional<QString> value(const QString &name) const;
    bool has(const QString &name) const { return flags.contains(name); }
};

// What is wrong with a command line; each program words it its own way.
struct CommandLineError {
    enum Kind {
        UnknownOption,   // `word` names no option of the table
        MissingValue,    // `option` is the last word and wants a value
        UnexpectedValue, // `option` is a flag but `word` gives it a value
    };
    Kind kind;
    QString word;   // as written: "--hex=1"
    QString option; // its name: "--hex"
};

// Options may stand anywhere among the operands; "--" ends them. `--opt=value` and `--opt value`
// are the same, and an alias stands for its option. Any other word that starts with "--" is an
// unknown option; a word with one "-" the table does not name is an operand (a line of text may
// begin with a dash). Throws CommandLineError.
CommandLine parseCommandLine(const QStringList &words, std::span<const OptionSpec> options);

} // namespace tqm
