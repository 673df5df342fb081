// The numbers of a sub-command's options.
#include "cli/args.h"

#include "cli/exit_status.h"

namespace tqm::cli {

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
