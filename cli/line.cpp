// Exchanging frames and answers on the serial control, one event loop per exchange.
#include "cli/line.h"

#include "cli/output.h"
#include "serial/failure.h"

#include <QCoreApplication>

#include <QEventLoop>
#include <QTimer>

namespace tqm::cli {

bool AnswerRules::met(const QString &printed) const {
    if (expect)
        return printed == *expect;
    if (match)
        return match->match(printed).hasMatch();
    return true;
}

namespace {

bool transcriptFailedOnce = false;

PortMap mapFor(const PortChoice &choice) {
    return choice.device.isEmpty() ? PortMap() : PortMap::single(choice.com, choice.device);
}

} // namespace

Line::Line(const PortChoice &choice)
    : choice_(choice)
    , port_(mapFor(choice)) {
    connect(&port_, &SerialControl::linkLost, this, [this](const QString &reason) {
        if (lost_.isEmpty())
            lost_ = reason;
    });
}

bool Line::transcriptFailed() {
    return transcriptFailedOnce;
}

void Line::open() {
    if (!choice_.transcript.isEmpty() && !transcript_.isOpen()) {
        if (!transcript_.open(choice_.transcript, QCoreApplication::applicationName(),
                              QCoreApplication::applicationVersion())) {
            transcriptFailedOnce = true;
            throw Failure(transcript_.error());
        }
        const QString name =
            choice_.device.isEmpty() ? QStringLiteral("COM%1").arg(choice_.com) : choice_.device;
        transcript_.attach(port_, [name] { return name; });
        connect(&transcript_, &Transcript::failed, this, [](const QString &why) {
            transcriptFailedOnce = true;
            toStderr(why);
        });
    }
    port_.setCommPort(choice_.com);
    port_.setSettings(QStringLiteral("9600,n,8,1"));
    port_.setRThreshold(1);
    port_.setInputLen(0);
    port_.setDTREnable(choice_.dtr);
    port_.setRTSEnable(choice_.rts);
    port_.setPortOpen(true);
}

void Line::close() {
    if (port_.portOpen())
        port_.setPortOpen(false);
}

void Line::throwIfLost() const {
    if (!lost_.isEmpty())
        throw Failure(lost_);
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
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    const QMetaObject::Connection lost =
        connect(&port_, &SerialControl::linkLost, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(lost);
    throwIfLost();
}

} // namespace tqm::cli
