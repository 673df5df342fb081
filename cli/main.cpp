// tqm810: the TQM-810's commands from a shell, a script or a production test line, with the
// console's frames, line settings and rendering, and exit statuses a script can trust.
#include "app/control_table.h"
#include "cli/aliases.h"
#include "cli/args.h"
#include "cli/devices.h"
#include "cli/exit_status.h"
#include "cli/lcd_text.h"
#include "cli/line.h"
#include "cli/output.h"
#include "cli/port_links.h"
#include "cli/script.h"
#include "cli/test_run.h"
#include "commands/command_table.h"
#include "receive/byte_rendering.h"
#include "serial/cp949.h"
#include "serial/failure.h"
#include "serial/port_map.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <unistd.h>

using namespace tqm;
using namespace tqm::cli;

namespace {

const char *const kHelp = R"(Usage: tqm810 COMMAND [OPTIONS] [ARGUMENTS]
Drives a TQM-810 terminal on a serial line with the console's frames (9600,n,8,1).

Commands:
  commands                      list the device commands: control, alias, caption, description,
                                frames in hex (" | " between hand-overs)
  ports                         list COM1..COM8 that open now
  send [PORT] [ANSWER] COMMAND...
                                send each command (control name or alias) and print its answer
  lcd [PORT] [ANSWER] LINE [LINE [LINE [LINE]]]
                                show up to four lines of text on the LCD (code page 949)
  clock [PORT] [ANSWER] [--at "YYYY-MM-DD hh:mm:ss"]
                                set the device clock from the PC clock or the given local time
  monitor [PORT] [--seconds S] [--timestamps]
                                print what arrives until S seconds pass, SIGINT or SIGTERM
  run [PORT] [--junit FILE] [--wait MS] [--idle MS] SCRIPT
                                run a test script; TAP version 14 on stdout
  map [COMn [TARGET | --remove]]
                                show or change the port map (links in the ports folder)
  devices [--sysfs DIR] [--dev DIR] [--by-id DIR]
                                list the serial devices present

PORT options:
  --com N          COM1..COM8 through the port map (default 1)
  --device PATH    this device, bypassing the port map
  --dtr on|off     DTR line (default on)
  --rts on|off     RTS line (default on)
  --transcript FILE
                   append every exchange to FILE, timed: TX, RX and link events

ANSWER options:
  --wait MS        longest wait for an answer after the last frame (default 1000)
  --idle MS        an answer ends after MS quiet after its first byte (default 100)
  --expect TEXT    the last answer, as printed, must be TEXT
  --match REGEX    the last answer, as printed, must match REGEX whole
  --hex            print answers as upper-case hex pairs, not as rendered text

Script steps (run): send COMMAND..., lcd LINE..., clock [--at ...], expect TEXT, match REGEX,
  wait MS, # comment. "..." quotes a word; inside it \" and \\ are the only escapes.

Answers are printed one line per command, each byte as the console's receive box shows it.
The ports folder is ${XDG_CONFIG_HOME:-$HOME/.config}/tqm810-console/ports (links com1..com8).

Exit status (where several apply, the largest):
  0  done, every expectation met
  1  an expectation not met, or no answer where one was expected
  2  usage error: unknown command or option, bad text, bad script line
  3  the port or the transcript could not be opened, written or kept
)";

const QStringList kPortOptions{"--com", "--device", "--dtr", "--rts", "--transcript"};
const QStringList kAnswerOptions{"--wait", "--idle", "--expect", "--match"};

bool onOff(const Args &args, const QString &option) {
    const QString value = args.value(option).value_or(QStringLiteral("on"));
    if (value != QLatin1String("on") && value != QLatin1String("off"))
        throw Usage{QStringLiteral("%1 wants on or off, not \"%2\"").arg(option, value)};
    return value == QLatin1String("on");
}

PortChoice portChoice(const Args &args) {
    if (args.value(QStringLiteral("--com")) && args.value(QStringLiteral("--device")))
        throw Usage{QStringLiteral("--com and --device exclude each other")};
    PortChoice choice;
    choice.com = numberOption(args, QStringLiteral("--com"), 1, 1);
    if (choice.com > PortLinks::kPorts)
        throw Usage{QStringLiteral("--com wants 1 to %1").arg(PortLinks::kPorts)};
    choice.device = args.value(QStringLiteral("--device")).value_or(QString());
    if (args.value(QStringLiteral("--device")) && choice.device.isEmpty())
        throw Usage{QStringLiteral("--device wants a path")};
    choice.dtr = onOff(args, QStringLiteral("--dtr"));
    choice.rts = onOff(args, QStringLiteral("--rts"));
    choice.transcript = args.value(QStringLiteral("--transcript")).value_or(QString());
    if (args.value(QStringLiteral("--transcript")) && choice.transcript.isEmpty())
        throw Usage{QStringLiteral("--transcript wants a file")};
    return choice;
}

AnswerRules answerRules(const Args &args) {
    AnswerRules rules;
    rules.waitMs = numberOption(args, QStringLiteral("--wait"), rules.waitMs);
    rules.idleMs = numberOption(args, QStringLiteral("--idle"), rules.idleMs, 1);
    rules.hex = args.has(QStringLiteral("--hex"));
    rules.expect = args.value(QStringLiteral("--expect"));
    if (const auto pattern = args.value(QStringLiteral("--match"))) {
        if (rules.expect)
            throw Usage{QStringLiteral("--expect and --match exclude each other")};
        rules.matchText = *pattern;
        rules.match = QRegularExpression(QRegularExpression::anchoredPattern(*pattern));
        if (!rules.match->isValid())
            throw Usage{
                QStringLiteral("bad regular expression: %1").arg(rules.match->errorString())};
    }
    return rules;
}

Args answerArgs(const QStringList &words, const QStringList &moreValued = {}) {
    return parseArgs(words, kPortOptions + kAnswerOptions + moreValued, {QStringLiteral("--hex")});
}

// Opens the line; false, with the cause on stderr as the console words it, when it cannot.
bool openOrSay(Line &line) {
    try {
        line.open();
        return true;
    } catch (const Failure &failure) {
        toStderr(failure.message());
        return false;
    }
}

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
            if (k + 1 == count && rules.expects())
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
    if (rules.expect)
        toStderr(QStringLiteral("expected \"%1\", got \"%2\"").arg(*rules.expect, last));
    else
        toStderr(QStringLiteral("\"%1\" does not match \"%2\"").arg(last, rules.matchText));
    return NotMet;
}

} // namespace

namespace {

// --- the sub-commands ---------------------------------------------------------------------------

QString caption(const char *control) {
    for (const ControlRow &row : controlTable())
        if (qstrcmp(row.name, control) == 0)
            return QString::fromUtf8(row.caption);
    return {};
}

QString hexOf(const QString &frame) {
    return QString::fromLatin1(encodeCp949(frame).toHex(' ').toUpper());
}

ExitStatus commandsCommand(const QStringList &words) {
    const Args args = parseArgs(words, {}, {});
    if (!args.operands.isEmpty())
        throw Usage{QStringLiteral("commands takes no arguments")};
    // A fixed moment whose stamp digits are then written as their field names.
    const FrozenClock clock(QDateTime(QDate(2007, 9, 11), QTime(12, 34, 56)));
    const QString stamp = hexOf(clockStamp(clock).left(12));
    QString out;
    for (const CommandRow &row : commandTable()) {
        QStringList handOvers;
        for (const QString &frame : commandFrames(row, clock))
            handOvers << hexOf(frame).replace(stamp, QStringLiteral("YY MM DD hh mm ss"));
        out += QStringList{QLatin1String(row.control), aliasOf(row), caption(row.control),
                           QString::fromUtf8(row.description).trimmed(),
                           handOvers.join(QLatin1String(" | "))}
                   .join(QLatin1Char('\t')) +
               QLatin1Char('\n');
    }
    toStdout(out);
    return Done;
}

ExitStatus portsCommand(const QStringList &words) {
    const Args args = parseArgs(words, {}, {});
    if (!args.operands.isEmpty())
        throw Usage{QStringLiteral("ports takes no arguments")};
    for (int com = 1; com <= PortLinks::kPorts; ++com) {
        QtSerialControl port{PortMap()};
        try {
            port.setCommPort(com);
            port.setPortOpen(true);
            port.setPortOpen(false);
            toStdout(QStringLiteral("COM%1\n").arg(com));
        } catch (const Failure &) {
            // Not there or not free now: not listed, as the console lists them.
        }
    }
    return Done;
}

ExitStatus sendCommand(const QStringList &words) {
    const Args args = answerArgs(words);
    const PortChoice choice = portChoice(args);
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

ExitStatus lcdCommand(const QStringList &words) {
    const Args args = answerArgs(words);
    const PortChoice choice = portChoice(args);
    const AnswerRules rules = answerRules(args);
    const QString frame = lcdFrame(args.operands);
    return exchangeAll(
        choice, rules, [&](qsizetype) { return QStringList{frame}; }, 1);
}

ExitStatus clockCommand(const QStringList &words) {
    const Args args = answerArgs(words, {QStringLiteral("--at")});
    const PortChoice choice = portChoice(args);
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

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

QString localTimestamp() {
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

ExitStatus monitorCommand(const QStringList &words) {
    const Args args = parseArgs(words, kPortOptions + QStringList{QStringLiteral("--seconds")},
                                {QStringLiteral("--timestamps")});
    const PortChoice choice = portChoice(args);
    if (!args.operands.isEmpty())
        throw Usage{QStringLiteral("monitor takes no arguments but options")};
    double seconds = -1;
    if (const auto text = args.value(QStringLiteral("--seconds"))) {
        bool ok = false;
        seconds = text->toDouble(&ok);
        if (!ok || seconds < 0)
            throw Usage{
                QStringLiteral("--seconds wants a number from 0 up, not \"%1\"").arg(*text)};
    }
    const bool timestamps = args.has(QStringLiteral("--timestamps"));

    if (::pipe(g_signalPipe) != 0)
        throw Failure(QStringLiteral("cannot watch for signals"));
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QSocketNotifier signalled(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalled, &QSocketNotifier::activated, qApp, [] { qApp->exit(Done); });

    Line line(choice);
    if (!openOrSay(line))
        return PortFailure;
    bool printed = false;
    QObject::connect(&line.port(), &SerialControl::OnComm, qApp, [&] {
        if (!line.port().portOpen())
            return;
        const QByteArray batch = line.port().input();
        if (batch.isEmpty())
            return;
        QString text = renderBatch(batch);
        if (timestamps)
            text = (printed ? QStringLiteral("\n") : QString()) + localTimestamp() +
                   QLatin1Char('\t') + text;
        printed = true;
        toStdout(text);
    });
    QObject::connect(&line.port(), &SerialControl::linkLost, qApp, [](const QString &reason) {
        toStderr(reason);
        qApp->exit(PortFailure);
    });
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, qApp, [] { qApp->exit(Done); });
    if (seconds >= 0)
        end.start(int(seconds * 1000));
    const auto status = ExitStatus(QCoreApplication::exec());
    if (printed)
        toStdout(QStringLiteral("\n"));
    line.close();
    return status;
}

ExitStatus runCommand(const QStringList &words) {
    const Args args =
        parseArgs(words, kPortOptions + QStringList{"--junit", "--wait", "--idle"}, {});
    const PortChoice choice = portChoice(args);
    if (args.operands.size() != 1)
        throw Usage{QStringLiteral("run wants one script file")};
    RunOptions options;
    options.scriptName = args.operands[0];
    options.junitFile = args.value(QStringLiteral("--junit")).value_or(QString());
    options.waitMs = numberOption(args, QStringLiteral("--wait"), options.waitMs);
    options.idleMs = numberOption(args, QStringLiteral("--idle"), options.idleMs, 1);
    QFile file(options.scriptName);
    if (!file.open(QIODevice::ReadOnly))
        throw Usage{
            QStringLiteral("cannot read %1: %2").arg(options.scriptName, file.errorString())};
    const QList<Step> steps = parseScript(options.scriptName, QString::fromUtf8(file.readAll()));
    Line line(choice);
    return runScript(steps, line, options);
}

ExitStatus mapCommand(const QStringList &words) {
    const Args args = parseArgs(words, {}, {QStringLiteral("--remove")});
    const QString dir = PortMap::defaultPortsDir();
    PortLinks links(dir);
    const auto show = [&](int com) {
        const PortLink link = links.link(com);
        toStdout(QStringLiteral("COM%1\t%2\t%3\n")
                     .arg(com)
                     .arg(link.target.isEmpty() ? QStringLiteral("-") : link.target,
                          link.present ? QStringLiteral("present") : QStringLiteral("absent")));
    };
    if (args.operands.isEmpty()) {
        if (args.has(QStringLiteral("--remove")))
            throw Usage{QStringLiteral("--remove wants a COM port")};
        for (int com = 1; com <= PortLinks::kPorts; ++com)
            show(com);
        return Done;
    }
    const int com = parseComName(args.operands[0]);
    if (com == 0)
        throw Usage{QStringLiteral("\"%1\" is not COM1 to COM%2")
                        .arg(args.operands[0])
                        .arg(PortLinks::kPorts)};
    const bool remove = args.has(QStringLiteral("--remove"));
    if (args.operands.size() > 2 || (remove && args.operands.size() > 1))
        throw Usage{QStringLiteral("map takes COMn and one target, or COMn --remove")};
    try {
        if (remove) {
            links.remove(com);
        } else if (args.operands.size() == 2) {
            bool created = false;
            links.set(com, args.operands[1], created);
            if (created)
                toStderr(QStringLiteral("created %1: it is now the whole port map, so COM "
                                        "numbers without a link there no longer fall back to "
                                        "/dev/ttyS*")
                             .arg(dir));
        }
    } catch (const Failure &failure) {
        toStderr(failure.message());
        return PortFailure;
    }
    show(com);
    return Done;
}

ExitStatus devicesCommand(const QStringList &words) {
    const Args args = parseArgs(words, {"--sysfs", "--dev", "--by-id"}, {});
    if (!args.operands.isEmpty())
        throw Usage{QStringLiteral("devices takes no arguments but options")};
    DeviceFolders folders;
    folders.sysClassTty = args.value(QStringLiteral("--sysfs")).value_or(folders.sysClassTty);
    folders.dev = args.value(QStringLiteral("--dev")).value_or(folders.dev);
    folders.byId = args.value(QStringLiteral("--by-id")).value_or(folders.byId);
    const auto orDash = [](const QString &text) {
        return text.isEmpty() ? QStringLiteral("-") : text;
    };
    QString out;
    for (const SerialDevice &d : serialDevices(folders))
        out += QStringList{d.path, orDash(d.byId), orDash(d.vendorProduct), orDash(d.serialNumber),
                           orDash(d.description)}
                   .join(QLatin1Char('\t')) +
               QLatin1Char('\n');
    toStdout(out);
    return Done;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tqm810"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    const QStringList all = QCoreApplication::arguments().mid(1);
    const QString command = all.value(0);
    const QStringList words = all.mid(1);
    const QStringList beforeEnd =
        words.mid(0, words.indexOf(QStringLiteral("--")) < 0 ? words.size()
                                                             : words.indexOf(QStringLiteral("--")));
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help") || beforeEnd.contains(QStringLiteral("--help"))) {
        toStdout(QString::fromUtf8(kHelp));
        return Done;
    }
    if (command == QLatin1String("--version")) {
        toStdout(QStringLiteral("tqm810 %1\n").arg(QLatin1String(PROJECT_VERSION)));
        return Done;
    }
    static constexpr struct {
        const char *name;
        ExitStatus (*run)(const QStringList &);
    } kCommands[] = {
        {"commands", commandsCommand}, {"ports", portsCommand}, {"send", sendCommand},
        {"lcd", lcdCommand},           {"clock", clockCommand}, {"monitor", monitorCommand},
        {"run", runCommand},           {"map", mapCommand},     {"devices", devicesCommand},
    };
    try {
        if (command.isEmpty())
            throw Usage{QStringLiteral("no command given")};
        for (const auto &c : kCommands)
            if (command == QLatin1String(c.name))
                return worst(c.run(words), Line::transcriptFailed() ? PortFailure : Done);
        throw Usage{QStringLiteral("unknown command \"%1\"").arg(command)};
    } catch (const Usage &usage) {
        toStderr(usage.message + QStringLiteral(" (tqm810 --help tells more)"));
        return UsageError;
    } catch (const Failure &failure) {
        toStderr(failure.message());
        return PortFailure;
    }
}
