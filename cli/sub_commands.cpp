// The sub-command table and the help made from it.
#include "cli/sub_commands.h"

#include "cli/options.h"

#include <vector>

namespace tqm::cli {

namespace {

constexpr OptionSpec kClockOptions[] = {{"--at", "TIME", nullptr}};
constexpr OptionSpec kMonitorOptions[] = {{"--seconds", "S", nullptr},
                                          {"--timestamps", nullptr, nullptr}};
constexpr OptionSpec kRunOptions[] = {
    {"--junit", "FILE", nullptr}, {"--wait", "MS", nullptr}, {"--idle", "MS", nullptr}};
constexpr OptionSpec kMapOptions[] = {{"--remove", nullptr, nullptr}};
constexpr OptionSpec kDevicesOptions[] = {
    {"--sysfs", "DIR", nullptr}, {"--dev", "DIR", nullptr}, {"--by-id", "DIR", nullptr}};

constexpr SubCommand kSubCommands[] = {
    {"commands",
     "",
     "list the device commands: control, alias, caption, description,\nframes in hex (\" | \" "
     "between hand-overs)",
     false,
     false,
     {},
     commandsCommand},
    {"ports", "", "list COM1..COM8 that open now", false, false, {}, portsCommand},
    {"send",
     "[PORT] [ANSWER] COMMAND...",
     "send each command (control name or alias) and print its answer",
     true,
     true,
     {},
     sendCommand},
    {"lcd",
     "[PORT] [ANSWER] LINE [LINE [LINE [LINE]]]",
     "show up to four lines of text on the LCD (code page 949)",
     true,
     true,
     {},
     lcdCommand},
    {"clock", "[PORT] [ANSWER] [--at \"YYYY-MM-DD hh:mm:ss\"]",
     "set the device clock from the PC clock or the given local time", true, true, kClockOptions,
     clockCommand},
    {"monitor", "[PORT] [--seconds S] [--timestamps]",
     "print what arrives until S seconds pass, SIGINT or SIGTERM", true, false, kMonitorOptions,
     monitorCommand},
    {"run", "[PORT] [--junit FILE] [--wait MS] [--idle MS] SCRIPT|-",
     "run a test script (- reads it from stdin) on one port or several at\nonce; TAP version 13 "
     "on stdout, JUnit XML in FILE",
     true, false, kRunOptions, runCommand},
    {"map", "[COMn [TARGET | --remove]]", "show or change the port map (links in the ports folder)",
     false, false, kMapOptions, mapCommand},
    {"devices", "[--sysfs DIR] [--dev DIR] [--by-id DIR]", "list the serial devices present", false,
     false, kDevicesOptions, devicesCommand},
};

const char *const kHead = "Usage: tqm810 COMMAND [OPTIONS] [ARGUMENTS]\n"
                          "Drives a TQM-810 terminal on a serial line with the console's frames "
                          "(9600,n,8,1).\n";

const char *const kTail =
    "Scripts (run):\n"
    "  One step a line, each step one TAP test: send COMMAND..., lcd LINE...,\n"
    "  clock [--at \"YYYY-MM-DD hh:mm:ss\"], wait MS, and expect TEXT or match REGEX,\n"
    "  which judge the last answer of the send, lcd or clock before them. A line\n"
    "  that starts with # is a comment. Blanks separate words; \"...\" quotes a word,\n"
    "  with \\\" and \\\\ its only escapes; '...' keeps every character as written, so a\n"
    "  regular expression goes in as it is. A script on standard input, for example:\n"
    "\n"
    "  $ tqm810 run --com 1 - <<'END'\n"
    "  > # one unit off the line\n"
    "  > send reset\n"
    "  > expect [ACK]\n"
    "  > send version\n"
    "  > match '\\[STX\\]TQM-810 .*\\[ETX\\]\\[CR\\]'\n"
    "  > lcd \"UNIT OK\"\n"
    "  > END\n"
    "\n"
    "Several ports (run --com 1,3,5-8, or --device repeated) run the script side by\n"
    "side, each at its own pace. The TAP comes when all have finished: each test named\n"
    "with its port (\"COM3: send version\"), ports in ascending order; a port that\n"
    "cannot open or is lost fails its remaining steps, naming the cause. Progress and\n"
    "one summary line per port go to stderr, one <testsuite> per port to the JUnit\n"
    "file, every port's lines to the one transcript. The status is the largest of any\n"
    "port's.\n"
    "\n"
    "A device that another program of this user has open (a cat, a monitor left\n"
    "running) is refused, naming the program, unless --shared.\n"
    "\n"
    "A wait (wait, --wait, --idle) is at most %1 ms: ten minutes.\n"
    "Answers are printed one line per command, each byte as the console's receive box shows it.\n"
    "The ports folder is ${XDG_CONFIG_HOME:-$HOME/.config}/tqm810-console/ports (links "
    "com1..com8).\n"
    "\n"
    "Exit status (where several apply, the largest):\n"
    "  0  done, every expectation met\n"
    "  1  an expectation not met, or no answer where one was expected\n"
    "  2  usage error: unknown command or option, bad text, bad script line\n"
    "  3  the port, the transcript or the report file could not be opened, written or kept\n";

// "  head" and its text in a column of their own; a head too wide for its column stands alone.
QString entry(const QString &head, const QString &text, int column) {
    const QString indent(column, QLatin1Char(' '));
    QString line = QStringLiteral("  ") + head;
    line += line.size() < column ? QString(column - line.size(), QLatin1Char(' '))
                                 : QLatin1Char('\n') + indent;
    return line + QString(text).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent) +
           QLatin1Char('\n');
}

QString optionList(const char *title, std::span<const OptionSpec> options) {
    QString text = QString::fromLatin1(title) + QLatin1Char('\n');
    for (const OptionSpec &o : options)
        text += entry(QLatin1String(o.name) +
                          (o.value ? QLatin1Char(' ') + QLatin1String(o.value) : QString()),
                      QString::fromUtf8(o.help), 19);
    return text;
}

} // namespace

std::span<const SubCommand> subCommands() {
    return kSubCommands;
}

Args parseFor(const SubCommand &command, const QStringList &words) {
    std::vector<OptionSpec> options(command.own.begin(), command.own.end());
    if (command.portOptions)
        options.insert(options.end(), portOptions().begin(), portOptions().end());
    if (command.answerOptions)
        options.insert(options.end(), answerOptions().begin(), answerOptions().end());
    try {
        return parseCommandLine(words, options);
    } catch (const CommandLineError &error) {
        if (error.kind == CommandLineError::MissingValue)
            throw Usage{QStringLiteral("%1 wants a value").arg(error.option)};
        throw Usage{QStringLiteral("unknown option %1").arg(error.word)};
    }
}

QString helpText() {
    QString text = QString::fromUtf8(kHead) + QStringLiteral("\nCommands:\n");
    for (const SubCommand &c : kSubCommands)
        text += entry(QLatin1String(c.name) +
                          (*c.synopsis ? QLatin1Char(' ') + QLatin1String(c.synopsis) : QString()),
                      QString::fromUtf8(c.summary), 32);
    return text + QLatin1Char('\n') + optionList("PORT options:", portOptions()) +
           QLatin1Char('\n') + optionList("ANSWER options:", answerOptions()) + QLatin1Char('\n') +
           QString::fromUtf8(kTail).arg(kLongestWaitMs);
}

} // namespace tqm::cli
