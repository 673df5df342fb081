// Exchanging frames and answers on the serial control, one event loop per exchange.
#include "cli/line.h"

#include "cli/output.h"
#include "serial/failure.h"

#include <QEventLoop>
#include <QTimer>

namespace tqm::cli {

namespace {

bool transcriptFailedOnce = false;

PortMap mapFor(const PortChoice &choice) {
    return choice.device.isEmpty() ? PortMap() : PortMap::single(choice.com, choice.device);
}

} // namespace

Line::Line(const PortChoice &choice)
    : choice_(choice)
    , port_(mapFor(choice))
    , link_(port_, clock_) {
    connect(&link_, &Link::transcriptFailed, this, [this](const QString &why) {
        transcriptFailedOnce = true;
        transcriptError_ = why;
        toStderr(why);
    });
}

bool Line::transcriptFailed() {
    return transcriptFailedOnce;
}

QString Line::lostReason() const {
    const LinkLoss *loss = link_.loss(port_.commPort());
    return loss ? loss->reason : QString();
}

void Line::open() {
    if (!choice_.transcript.isEmpty()) {
        QString name = choice_.device.isEmpty() ? comName(choice_.com) : choice_.device;
        if (!link_.attachTranscript(choice_.transcript, [name = std::move(name)] { return name; }))
            throw TranscriptUnavailable{};
    }
    port_.setCommPort(choice_.com);
    setUpConsoleLine(port_, choice_.dtr, choice_.rts);
    try {
        port_.setPortOpen(true);
    } catch (const Failure &) {
        // What the technician does next depends on who has the port, not on how Qt locks it.
        if (port_.heldElsewhere())
            throw Failure(port_.messageName(choice_.com) +
                          QStringLiteral(": in use by another program"));
        throw;
    }
}

bool openOrSay(Line &line) {
    try {
        line.open();
        return true;
    } catch (const TranscriptUnavailable &) {
        return false;
    } catch (const Failure &failure) {
        toStderr(failure.message());
        return false;
    }
}

void Line::close() {
    if (port_.portOpen())
        port_.setPortOpen(false);
}

void Line::throwIfLost() const {
    if (const QString reason = lostReason(); !reason.isEmpty())
        throw Failure(reason);
}

QByteArray Line::exchange(const QStringList &frames, int waitMs, int idleMs,
                          const std::function<bool(const QByteArray &)> &enough) {
    throwIfLost();
    port_.clearInput();
    QEventLoop loop;
    QTimer wait;
    QTimer idle;
    wait.setSingleShot(true);
    idle.setSingleShot(true);
    wait.setTimerType(Qt::PreciseTimer);
    idle.setTimerType(Qt::PreciseTimer);
    connect(&wait, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&idle, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QMetaObject::Connection lost =
        connect(&port_, &SerialControl::linkLost, &loop, &QEventLoop::quit);

    QByteArray answer;
    bool complete = false;
    const QMetaObject::Connection arrived = connect(&port_, &SerialControl::OnComm, &loop, [&] {
        if (complete || !port_.portOpen())
            return;
        const QByteArray batch = port_.input();
        // Byte by byte, so that bytes after the one that meets the expectation stay out.
        for (const char byte : batch) {
            answer.append(byte);
            if (enough && enough(answer)) {
                complete = true;
                loop.quit();
                return;
            }
        }
        if (!answer.isEmpty())
            idle.start(idleMs);
    });

    for (const QString &frame : frames)
        port_.output(frame);
    wait.start(waitMs);
    if (!(enough && enough(answer)))
        loop.exec();
    disconnect(arrived);
    disconnect(lost);
    throwIfLost();
    return answer;
}

void Line::pause(int ms) {
    throwIfLost();
    QEventLoop loop;
    QTimer done;
    done.setSingleShot(true);
    done.setTimerType(Qt::PreciseTimer);
    connect(&done, &QTimer::timeout, &loop, &QEventLoop::quit);
    done.start(ms);
    const QMetaObject::Connection lost =
        connect(&port_, &SerialControl::linkLost, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(lost);
    throwIfLost();
}

} // namespace tqm::cli
