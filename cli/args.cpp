// The numbers of a sub-command's options.
#include "cli/args.h"

#include "cli/exit_status.h"

namespace tqm::cli {

int waitOption(const Args &args, const QString &option, int fallback, int min) {
    const std::optional<QString> text = args.value(option);
    if (!text)
        return fallback;
    bool ok = false;
    const int value = text->toInt(&ok);
    if (!ok || value < min || value > kLongestWaitMs)
        throw Usage{QStringLiteral("%1 wants a whole number from %2 to %3, not \"%4\"")
                        .arg(option)
                        .arg(min)
                        .arg(kLongestWaitMs)
                        .arg(*text)};
    return value;
}

} // namespace tqm::cli
