// The PORT and ANSWER options.
#include "cli/options.h"

#include "cli/exit_status.h"
#include "commands/control_table.h"
#include "serial/network_address.h"

namespace tqm::cli {

namespace {

constexpr OptionSpec kPortOptions[] = {
    {"--com", "N", "COM1..COM8 through the port map (default 1)"},
    {"--device", "PATH|URL",
     "this device, or a device server's rfc2217://HOST:PORT or\ntcp://HOST:PORT, bypassing the "
     "port map"},
    {"--dtr", "on|off", "DTR line (default on)"},
    {"--rts", "on|off", "RTS line (default on)"},
    {"--transcript", "FILE", "append every exchange to FILE, timed: TX, RX and link events"},
};

constexpr OptionSpec kAnswerOptions[] = {
    {"--wait", "MS", "longest wait for an answer after the last frame (default 1000)"},
    {"--idle", "MS", "an answer ends after MS quiet after its first byte (default 100)"},
    {"--expect", "TEXT", "the last answer, as printed, must be TEXT"},
    {"--match", "REGEX", "the last answer, as printed, must match REGEX whole"},
    {"--hex", nullptr, "print answers as upper-case hex pairs, not as rendered text"},
};

bool onOff(const Args &args, const QString &option) {
    const QString value = args.value(option).value_or(QStringLiteral("on"));
    if (value != QLatin1String("on") && value != QLatin1String("off"))
        throw Usage{QStringLiteral("%1 wants on or off, not \"%2\"").arg(option, value)};
    return value == QLatin1String("on");
}

} // namespace

std::span<const OptionSpec> portOptions() {
    return kPortOptions;
}

std::span<const OptionSpec> answerOptions() {
    return kAnswerOptions;
}

PortChoice portChoice(const Args &args) {
    if (args.value(QStringLiteral("--com")) && args.value(QStringLiteral("--device")))
        throw Usage{QStringLiteral("--com and --device exclude each other")};
    PortChoice choice;
    choice.com = numberOption(args, QStringLiteral("--com"), 1, 1);
    if (choice.com > kComPorts)
        throw Usage{QStringLiteral("--com wants 1 to %1").arg(kComPorts)};
    choice.device = args.value(QStringLiteral("--device")).value_or(QString());
    if (args.value(QStringLiteral("--device")) && choice.device.isEmpty())
        throw Usage{QStringLiteral("--device wants a path")};
    if (QString why; looksLikeUrl(choice.device) && !parseNetworkAddress(choice.device, &why))
        throw Usage{why};
    choice.dtr = onOff(args, QStringLiteral("--dtr"));
    choice.rts = onOff(args, QStringLiteral("--rts"));
    choice.transcript = args.value(QStringLiteral("--transcript")).value_or(QString());
    if (args.value(QStringLiteral("--transcript")) && choice.transcript.isEmpty())
        throw Usage{QStringLiteral("--transcript wants a file")};
    return choice;
}

AnswerRules answerRules(const Args &args) {
    AnswerRules rules;
    rules.waitMs = numberOption(args, QStringLiteral("--wait"), rules.waitMs, 0, kLongestWaitMs);
    rules.idleMs = numberOption(args, QStringLiteral("--idle"), rules.idleMs, 1, kLongestWaitMs);
    rules.hex = args.has(QStringLiteral("--hex"));
    const auto expect = args.value(QStringLiteral("--expect"));
    const auto match = args.value(QStringLiteral("--match"));
    if (expect && match)
        throw Usage{QStringLiteral("--expect and --match exclude each other")};
    if (expect)
        rules.check = Expectation::of(Expectation::Expect, *expect);
    else if (match)
        rules.check = Expectation::of(Expectation::Match, *match);
    return rules;
}

} // namespace tqm::cli
