// The benchmark report: a 10 ms heartbeat measures how late the event loop runs, and on SIGUSR1 and
// at the end (SIGTERM, SIGINT, window closed) a report is appended to the file: the heartbeat
// lateness since the previous report, the receive box's length and checksum, the process's CPU
// time, and when each click's release reached a command button. The first report comes when the
// window first paints, with the command buttons' screen positions.
#include "app/bench_report.h"

#include "app/bench_report_format.h"
#include "app/main_window.h"
#include "app/receive_box.h"
#include "commands/command_table.h"
#include "process/signal_events.h"

#ifdef Q_OS_UNIX
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <vector>
#endif

namespace tqm {

#ifdef Q_OS_UNIX
namespace {

class BenchHook : public QObject {
public:
    BenchHook(MainWindow &window, QString path)
        : window_(window)
        , box_(*window.control<ReceiveBox>("txtrecv"))
        , path_(std::move(path)) {
        catchSignals();
        heartbeat_.setTimerType(Qt::PreciseTimer);
        heartbeat_.setInterval(10);
        connect(&heartbeat_, &QTimer::timeout, this, &BenchHook::beat);
        beatClock_.start();
        heartbeat_.start();
        for (const CommandRow &row : commandTable()) {
            auto *button = window.control<QAbstractButton>(row.control);
            buttons_.push_back(button);
            button->installEventFilter(this);
        }
        window.installEventFilter(this);
        connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { report("end", true); });
        if (const int ms = qEnvironmentVariableIntValue(bench::kRoundVariable); ms > 0) {
            connect(&drive_, &QTimer::timeout, this,
                    [this] { buttons_[driven_++ % buttons_.size()]->click(); });
            drive_.setTimerType(Qt::PreciseTimer);
            drive_.start(std::max(1, ms / int(buttons_.size())));
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == &window_) {
            if (event->type() == QEvent::Paint && !shown_) {
                shown_ = true;
                // After this paint, so the report does not delay it.
                QTimer::singleShot(0, this, [this] { report("shown", true); });
            }
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            clicks_.push_back(monotonicNs()); // the far end times the first byte against it
        }
        return false;
    }

private:
    static qint64 monotonicNs() {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    }

    void catchSignals() {
        connect(&signalEvents_, &SignalEvents::caught, this, [this](int number) {
            if (number == SIGUSR1)
                report("signal", false);
            else
                window_.close(); // the last window: the application quits and reports "end"
        });
    }

    // Lateness counted in 0.05 ms steps, all beyond a second in the last: a soak of any length
    // keeps the console's memory as it is.
    static constexpr double stepMs = 0.05;

    void beat() {
        const qint64 t = beatClock_.nsecsElapsed();
        if (lastBeat_ >= 0) {
            const double ms = double(std::max<qint64>(0, t - lastBeat_ - 10'000'000)) / 1e6;
            ++lateness_[std::min(lateness_.size() - 1, size_t(ms / stepMs))];
            ++beats_;
            latest_ = std::max(latest_, ms);
        }
        lastBeat_ = t;
    }

    // The upper edge of the step holding the beat of rank p * beats.
    double percentile(double p) const {
        const auto rank = quint64(p * double(beats_));
        quint64 below = 0;
        for (size_t step = 0; step < lateness_.size(); ++step) {
            below += lateness_[step];
            if (below > rank)
                return std::min(latest_, double(step + 1) * stepMs);
        }
        return latest_;
    }

    // The checksum reads the whole box: only at the ends, never inside a measured stretch.
    void report(const char *reason, bool full) {
        FILE *out = std::fopen(QFile::encodeName(path_).constData(), "a");
        if (!out)
            return;
        timespec cpu{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        std::fprintf(out, bench::kReportLine, reports_++, reason);
        std::fprintf(out, bench::kHeartbeatsLine, static_cast<unsigned long long>(beats_),
                     percentile(0.50), percentile(0.99), latest_);
        std::fill(lateness_.begin(), lateness_.end(), 0);
        beats_ = 0;
        latest_ = 0;
        std::fprintf(out, bench::kBoxCharsLine, static_cast<long long>(box_.text().size()));
        std::fprintf(out, bench::kDrivenLine, driven_);
        std::fprintf(out, bench::kCpuLine, double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6);
        if (full) {
            std::fprintf(out, bench::kBoxChecksumLine,
                         static_cast<unsigned long long>(bench::fnv1a(box_.text())));
            for (QAbstractButton *button : buttons_) {
                const QPoint centre = button->mapToGlobal(button->rect().center());
                std::fprintf(out, bench::kButtonLine, qPrintable(button->objectName()), centre.x(),
                             centre.y());
            }
        }
        for (const qint64 seen : clicks_)
            std::fprintf(out, bench::kClickLine, static_cast<long long>(seen));
        clicks_.clear();
        std::fputs(bench::kEndLine, out);
        std::fclose(out);
    }

    MainWindow &window_;
    SignalEvents signalEvents_{SIGUSR1, SIGTERM, SIGINT};
    const ReceiveBox &box_;
    const QString path_;
    QTimer heartbeat_;
    QElapsedTimer beatClock_;
    qint64 lastBeat_ = -1;
    std::vector<quint32> lateness_ = std::vector<quint32>(size_t(1000 / stepMs) + 1);
    quint64 beats_ = 0;
    double latest_ = 0; // the largest lateness since the last report
    std::vector<QAbstractButton *> buttons_;
    std::vector<qint64> clicks_; // CLOCK_MONOTONIC ns
    QTimer drive_;
    size_t driven_ = 0; // commands clicked by the driver
    bool shown_ = false;
    int reports_ = 0;
};

} // namespace
#endif

std::unique_ptr<QObject> startBenchReport(MainWindow &window) {
#ifdef Q_OS_UNIX
    if (const QString path = qEnvironmentVariable(bench::kReportVariable); !path.isEmpty())
        return std::make_unique<BenchHook>(window, path);
#else
    Q_UNUSED(window);
#endif
    return nullptr;
}

} // namespace tqm
