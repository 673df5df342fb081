// 100 MiB from the device at full speed into the real console while the operator clicks commands:
// the console survives, stays responsive, shows every byte that came after the last click, and
// holds memory in proportion to what the box shows, not to what the line has carried.
#include "app/receive_box.h"
#include "tests/robustness/noise.h"
#include "tests/support/expected_rendering.h"
#include "tests/support/message_catcher.h"
#include "tests/support/pty_console.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <functional>
#include <semaphore>
#include <thread>

#include <unistd.h>

using namespace tqm;
using namespace tqm::test;

class FloodTest : public QObject {
    Q_OBJECT
private slots:
    void floodWhileClicking();
};

namespace {

constexpr qsizetype MiB = qsizetype(1) << 20;
// Three rounds of clicking into the flood, then the part after the last click: 100 MiB in all.
constexpr int kRounds = 3;
constexpr qsizetype kClickedPart = 19 * MiB; // clicks land anywhere in it
constexpr qsizetype kQuietPart = 1 * MiB;    // no clicks: the round ends with the marker shown
constexpr qsizetype kLastPart = 100 * MiB - kRounds * (kClickedPart + kQuietPart);
constexpr qsizetype kBlock = 64 * 1024; // one write of the far end
// A click every this many characters in the box.
constexpr qsizetype kClickEvery = 4'000'000;
// Ends each round, so the test knows every byte of it is in the box.
const QByteArray kMarker("\x02"
                         "FLOOD ROUND END"
                         "\x03");
const char *const kCommands[] = {"cmd_version",     "cmd_ext_sensor", "cmdread",
                                 "cmd_Lcd_Display", "cmdreadinc",     "Option1"};

// FNV-1a over UTF-16 code units, the same for the box and for the test's own rendering.
struct TextSum {
    quint64 hash = 0xcbf29ce484222325ull;
    qsizetype length = 0;
    void add(QStringView text) {
        for (const QChar c : text)
            hash = (hash ^ c.unicode()) * 0x100000001b3ull;
        length += text.size();
    }
    void addRendering(const QByteArray &bytes) {
        for (const char c : bytes)
            add(expectedRenderings()[uchar(c)]);
    }
};

qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : -1;
}

// The far end on its own thread, a round at a time when the test says go.
class FarEnd {
public:
    explicit FarEnd(PtyPair &line)
        : line_(line)
        , thread_([this] { run(); }) {}
    // A test that failed half-way leaves the far end in a write: serve the console until the
    // write is taken, so the thread can see the stop.
    ~FarEnd() {
        stop_ = true;
        go_.release();
        while (!done_)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        thread_.join();
    }
    void go() { go_.release(); }
    bool paused() { return paused_.try_acquire(); }
    bool lastPartSent() const { return lastSent_; }
    const TextSum &lastPartSum() const { return lastSum_; }

private:
    void send(qsizetype size, TextSum *sum) {
        for (qsizetype done = 0; done < size && !stop_; done += kBlock) {
            const QByteArray block = noise_.next(std::min(kBlock, size - done));
            line_.write(block);
            if (sum)
                sum->addRendering(block);
        }
    }
    bool waitForGo() {
        go_.acquire();
        return !stop_;
    }
    void run() {
        for (int round = 0; round < kRounds && waitForGo(); ++round) {
            send(kClickedPart, nullptr);
            paused_.release();
            if (!waitForGo())
                break;
            send(kQuietPart, nullptr);
            line_.write(kMarker);
            paused_.release();
        }
        if (!stop_ && waitForGo()) {
            send(kLastPart, &lastSum_);
            lastSent_ = true;
        }
        done_ = true;
    }

    PtyPair &line_;
    Noise noise_;
    TextSum lastSum_; // read by the test only after lastSent_
    std::atomic<bool> lastSent_ = false;
    std::atomic<bool> stop_ = false;
    std::atomic<bool> done_ = false;
    std::counting_semaphore<> go_{0};
    std::counting_semaphore<> paused_{0};
    std::thread thread_;
};

// Runs the event loop as the application does until `done` holds or the time is up; qWait and
// the QTRY macros would sleep between turns and starve the console of its line.
bool serveUntil(const std::function<bool()> &done, int timeoutMs,
                const std::function<void()> &meanwhile = {}) {
    bool met = done();
    if (met)
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (meanwhile)
            meanwhile();
        if (done()) {
            met = true;
            loop.quit();
        }
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return met;
}

} // namespace

void FloodTest::floodWhileClicking() {
    Com1Console console;
    QVERIFY(console.com1.isValid());
    MessageCatcher catcher; // a message box would otherwise wait for a click until the timeout
    QVERIFY(console.start());
    QVERIFY(console.port->portOpen());
    const ReceiveBox *box = console.receiveBox();

    int clicks = 0;
    const auto click = [&] { QVERIFY(console.click(kCommands[clicks++ % 6])); };

    // The longest the window went without serving its event loop.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    ticker.start(10);
    sinceTick.start();

    // What the operator would see, for a failure's message.
    const auto state = [&] {
        return QStringLiteral("box %1 characters; messages: %2")
            .arg(box->text().size())
            .arg(catcher.texts().join(QStringLiteral(" | ")))
            .toUtf8();
    };
    const QString markerText = expectedText(kMarker);
    QElapsedTimer elapsed;
    elapsed.start();
    FarEnd far(console.com1);
    int clicksLeavingText = 0;
    for (int round = 0; round < kRounds; ++round) {
        far.go();
        QVERIFY2(serveUntil([&] { return far.paused(); }, 120000,
                            [&] {
                                if (box->text().size() >= kClickEvery) {
                                    click();
                                    clicksLeavingText += !box->text().isEmpty();
                                }
                            }),
                 state().constData());
        QCOMPARE(clicksLeavingText, 0);
        far.go();
        QVERIFY2(serveUntil([&] { return far.paused(); }, 120000), state().constData());
        QVERIFY2(serveUntil([&] { return box->text().endsWith(markerText); }, 120000),
                 state().constData());
    }
    // The line is quiet and everything sent so far is in the box: the last click.
    click();
    QVERIFY(box->text().isEmpty());
    const qint64 residentBefore = residentBytes();
    far.go();
    QVERIFY2(serveUntil([&] { return far.lastPartSent(); }, 120000), state().constData());
    const qsizetype expectedLength = far.lastPartSum().length;
    QVERIFY2(serveUntil([&] { return box->text().size() >= expectedLength; }, 120000),
             state().constData());
    const double seconds = elapsed.elapsed() / 1000.0;
    const qint64 residentAfter = residentBytes();

    QCOMPARE(catcher.texts(), QStringList());
    TextSum shown;
    shown.add(box->text());
    QCOMPARE(shown.length, expectedLength);
    QCOMPARE(shown.hash, far.lastPartSum().hash);

    const double perCharacter = double(residentAfter) / shown.length;
    const double growthPerCharacter = double(residentAfter - residentBefore) / shown.length;
    qInfo("flood: 100 MiB in %.1f s, %d clicks, longest event-loop gap %lld ms; box %lld "
          "characters; resident %.2f bytes per character (%.2f for the growth since the last "
          "click)",
          seconds, clicks, longestGap, qlonglong(shown.length), perCharacter, growthPerCharacter);
    // UTF-16 text is 2 bytes a character; growing it may leave as much again unused.
    QVERIFY2(growthPerCharacter < 5, qPrintable(QString::number(growthPerCharacter)));
#ifndef __SANITIZE_ADDRESS__ // that allocator holds freed blocks back on purpose
    // What earlier clicks emptied was given back: the whole process stays near the box's size.
    QVERIFY2(perCharacter < 6, qPrintable(QString::number(perCharacter)));
#endif
    QVERIFY2(longestGap < 5000, qPrintable(QString::number(longestGap)));
}

QTEST_MAIN(FloodTest)
#include "test_flood.moc"
