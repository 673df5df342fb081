// The command line of one sub-command: options with and without values, then the operands.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <limits>
#include <optional>

namespace tqm::cli {

struct Args {
    QHash<QString, QString> values; // "--wait" -> "500"
    QSet<QString> flags;            // "--hex"
    QStringList operands;

    std::optional<QString> value(const QString &option) const;
    bool has(const QString &option) const { return flags.contains(option); }
};

// Options may stand anywhere among the operands; "--" ends them. `--opt=value` and `--opt value`
// are the same. Throws Usage on an option not named here or one without its value.
Args parseArgs(const QStringList &words, const QStringList &valued, const QStringList &flags);

// The longest a script step or an option may wait: ten minutes. A monitor may run all day.
constexpr int kLongestWaitMs = 10 * 60 * 1000;

// A whole number from `min` to `max`; throws Usage naming the option.
int numberOption(const Args &args, const QString &option, int fallback, int min = 0,
                 int max = std::numeric_limits<int>::max());

} // namespace tqm::cli
