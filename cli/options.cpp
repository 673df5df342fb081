// The PORT and ANSWER options.
#include "cli/options.h"

#include "cli/exit_status.h"
#include "commands/control_table.h"
#include "serial/network_address.h"

#include <algorithm>

namespace tqm::cli {

namespace {

constexpr OptionSpec kPortOptions[] = {
    {"--com", "N",
     "COM1..COM8 through the port map (default 1); run takes a\nlist, such as 1,3,5-8"},
    {"--device", "PATH|URL",
     "this device, or a device server's rfc2217://HOST:PORT or\ntcp://HOST:PORT, bypassing the "
     "port map; run takes it repeated"},
    {"--dtr", "on|off", "DTR line (default on)"},
    {"--rts", "on|off", "RTS line (default on)"},
    {"--transcript", "FILE",
     "append every exchange to FILE, timed: TX, RX and link events;\none file for all ports, each "
     "line naming its port"},
    {"--shared", nullptr,
     "open a device even while another program of this user has it\nopen (refused by default: it "
     "would take the answers)"},
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

// "1,3,5-8", given once or more, as COM numbers in ascending order.
QList<int> comList(const QStringList &values) {
    QList<int> ports;
    const auto number = [](const QString &item, const QString &text) {
        bool ok = false;
        const int n = text.toInt(&ok);
        if (!ok || n < 1 || n > kComPorts)
            throw Usage{QStringLiteral("--com wants COM numbers from 1 to %1, such as 1,3,5-8, "
                                       "not \"%2\"")
                            .arg(kComPorts)
                            .arg(item)};
        return n;
    };
    for (const QString &value : values)
        for (const QString &item : value.split(u',')) {
            const qsizetype dash = item.indexOf(u'-', 1);
            const int first = number(item, dash < 0 ? item : item.left(dash));
            const int last = dash < 0 ? first : number(item, item.mid(dash + 1));
            if (last < first)
                throw Usage{QStringLiteral("--com: the range \"%1\" runs backwards").arg(item)};
            for (int n = first; n <= last; ++n) {
                if (ports.contains(n))
                    throw Usage{QStringLiteral("--com names COM%1 twice").arg(n)};
                ports << n;
            }
        }
    std::sort(ports.begin(), ports.end());
    return ports;
}

} // namespace

std::span<const OptionSpec> portOptions() {
    return kPortOptions;
}

std::span<const OptionSpec> answerOptions() {
    return kAnswerOptions;
}

QList<PortChoice> portChoices(const Args &args) {
    const QStringList devices = args.valuesOf(QStringLiteral("--device"));
    const QStringList coms = args.valuesOf(QStringLiteral("--com"));
    const QList<int> comPorts = comList(coms.isEmpty() ? QStringList{QStringLiteral("1")} : coms);
    if (!coms.isEmpty() && !devices.isEmpty())
        throw Usage{QStringLiteral("--com and --device exclude each other")};
    PortChoice choice;
    choice.dtr = onOff(args, QStringLiteral("--dtr"));
    choice.rts = onOff(args, QStringLiteral("--rts"));
    choice.shared = args.has(QStringLiteral("--shared"));
    choice.transcript = args.value(QStringLiteral("--transcript")).value_or(QString());
    if (args.value(QStringLiteral("--transcript")) && choice.transcript.isEmpty())
        throw Usage{QStringLiteral("--transcript wants a file")};
    QList<PortChoice> choices;
    for (const QString &device : devices) {
        if (device.isEmpty())
            throw Usage{QStringLiteral("--device wants a path")};
        if (QString why; looksLikeUrl(device) && !parseNetworkAddress(device, &why))
            throw Usage{why};
        if (devices.count(device) > 1)
            throw Usage{QStringLiteral("--device names %1 twice").arg(device)};
        choice.device = device;
        choices << choice;
    }
    for (const int com : devices.isEmpty() ? comPorts : QList<int>()) {
        choice.com = com;
        choices << choice;
    }
    return choices;
}

PortChoice portChoice(const Args &args, const char *command) {
    const QList<PortChoice> choices = portChoices(args);
    if (choices.size() > 1)
        throw Usage{QStringLiteral("%1 takes one port; only run takes several")
                        .arg(QLatin1String(command))};
    return choices.first();
}

AnswerTiming answerTiming(const Args &args) {
    AnswerTiming timing;
    timing.waitMs = waitOption(args, QStringLiteral("--wait"), timing.waitMs, 0);
    timing.idleMs = waitOption(args, QStringLiteral("--idle"), timing.idleMs, 1);
    return timing;
}

AnswerRules answerRules(const Args &args) {
    AnswerRules rules;
    static_cast<AnswerTiming &>(rules) = answerTiming(args);
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
