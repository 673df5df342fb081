// Start-up: the one window on the real serial port and the PC clock.
#include "app/console_config.h"
#include "app/main_window.h"
#include "app/window_place.h"
#include "commands/clock.h"
#include "process/command_line.h"
#include "process/signal_events.h"
#include "serial/cp949.h"
#include "serial/qt_serial_control.h"

#ifdef TQM_BENCH_HOOK
#include "app/bench_report.h"
#endif

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <string_view>

namespace {

// --help prints this table and the manual page is made from --help, so an option added here is
// documented everywhere at once.
constexpr tqm::OptionSpec kOptions[] = {
    {"--help", nullptr, "print this help and exit", "-h"},
    {"--version", nullptr, "print the version and exit"},
    {"--transcript", "FILE", "append every exchange on the line to FILE, timed"},
};

void printHelp() {
    std::puts("Usage: tqm810-console [OPTION]...\n"
              "Console for a TQM-810 terminal on an RS-232 line (9600,n,8,1): pick a COM port,\n"
              "switch DTR and RTS, send each of the device's commands with one click and watch\n"
              "what the device answers, every control byte spelled out by its ASCII name.\n"
              "\n"
              "Options:");
    for (const tqm::OptionSpec &option : kOptions) {
        const QString names =
            (option.alias ? QLatin1String(option.alias) + QStringLiteral(", ")
                          : QStringLiteral("    ")) +
            QLatin1String(option.name) +
            (option.value ? QLatin1Char(' ') + QLatin1String(option.value) : QString());
        std::printf("  %-18s %s\n", qPrintable(names), option.help);
    }
    std::puts("\nQt's own options (-platform, -style, -display, ...) are accepted as well.");
}

} // namespace

int main(int argc, char *argv[]) {
    tqm::outliveWriteFailures(); // a transcript into a pipe whose reader goes away
    // Answered before QApplication exists, so they need neither a display nor a port.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            printHelp();
            return 0;
        }
        if (arg == "--version") {
            std::puts("tqm810-console " PROJECT_VERSION);
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tqm810-console"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    // QApplication has taken its own options out; anything left but ours is a mistake, better
    // said than silently ignored.
    QString transcript;
    try {
        const tqm::CommandLine options =
            tqm::parseCommandLine(QApplication::arguments().mid(1), kOptions);
        if (!options.operands.isEmpty())
            throw tqm::CommandLineError{
                tqm::CommandLineError::UnknownOption, options.operands.first(), {}};
        transcript = options.value(QStringLiteral("--transcript")).value_or(QString());
    } catch (const tqm::CommandLineError &error) {
        std::fprintf(stderr, "tqm810-console: unknown argument '%s'; see tqm810-console --help\n",
                     qPrintable(error.word));
        return 2;
    }

    if (!tqm::cp949Available()) {
        // Without it no Korean text can reach the device byte-exact: refuse to start.
        QMessageBox::critical(nullptr, QStringLiteral("tqm810-console"),
                              QStringLiteral("The code page 949 converter (windows-949) is missing "
                                             "from this Qt installation; the console cannot send "
                                             "Korean text correctly."));
        return 1;
    }

    tqm::QtSerialControl mscom1;
    tqm::SystemClock clock;
    tqm::MainWindow main(mscom1, clock);
#ifdef TQM_BENCH_HOOK
    const auto bench = tqm::startBenchReport(main); // off unless TQM810_BENCH_REPORT is set
#endif
    tqm::startTranscript(transcript, main.link());
    main.load();
    const auto place = tqm::placeApart(main);
    main.show();
    return app.exec();
}
