// Start-up: the one window on the real serial port and the PC clock.
#include "app/bench_report.h"
#include "app/console_config.h"
#include "app/main_window.h"
#include "receive/transcript.h"
#include "commands/clock.h"
#include "serial/cp949.h"
#include "serial/qt_serial_control.h"

#include <QApplication>
#include <QMessageBox>

namespace {

// "--transcript FILE" or "--transcript=FILE"; empty when not given.
QString transcriptOption(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--transcript") && i + 1 < argc)
            return QString::fromLocal8Bit(argv[i + 1]);
        if (arg.startsWith(QLatin1String("--transcript=")))
            return arg.mid(13);
    }
    return {};
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tqm810-console"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

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
    const auto bench = tqm::startBenchReport(main); // benchmarks only
    const auto transcript = tqm::startTranscript(transcriptOption(argc, argv), main, mscom1);
    main.load();
    main.show();
    return app.exec();
}
