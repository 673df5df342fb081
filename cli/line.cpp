// Exchanging frames and answers on the serial control: timers and the receive event end each
// step, and no step waits in a loop of its own unless a one-port sub-command asks it to.
#include "cli/line.h"

#include "cli/output.h"
#include "serial/failure.h"

#include <QEventLoop>

namespace tqm::cli {

namespace {

bool transcriptFailedOnce = false;

PortMap mapFor(const PortChoice &choice) {
    return choice.device.isEmpty() ? PortMap() : PortMap::single(choice.com, choice.device);
}

} // namespace

Line::Line(const PortChoice &choice, std::shared_ptr<const PortHolderScan> seen)
    : choice_(choice)
    , port_(mapFor(choice))
    , link_(port_, clock_) {
    if (!choice.shared)
        port_.setRefuseHeld(seen ? std::move(seen) : std::make_shared<PortHolderScan>());
    connect(&link_, &Link::transcriptFailed, this, [this](const QString &why) {
        transcriptFailedOnce = true;
        transcriptError_ = why;
        toStderr(why);
    });
    for (QTimer *timer : {&wait_, &idle_}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this] { end({}); });
    }
    // Each step ends on the next turn of the event loop: whoever goes on from there (the next
    // exchange) never runs inside the port's receive event or the caller's own start.
    connect(this, &Line::openDue, this, &Line::finishOpen, Qt::QueuedConnection);
    connect(this, &Line::endDue, this, &Line::ended, Qt::QueuedConnection);
    connect(&port_, &SerialControl::OnComm, this, &Line::onArrived);
    connect(&port_, &SerialControl::linkLost, this, [this](const QString &reason) {
        if (busy_ != Busy::No)
            end(reason);
    });
}

bool Line::transcriptFailed() {
    return transcriptFailedOnce;
}

QString Line::name() const {
    return choice_.device.isEmpty() ? comName(choice_.com) : choice_.device;
}

QString Line::lostReason() const {
    const LinkLoss *loss = link_.loss(port_.commPort());
    return loss ? loss->reason : QString();
}

void Line::attachTranscript(const Line *first) {
    if (choice_.transcript.isEmpty())
        return;
    const auto portName = [name = name()] { return name; };
    if (first ? !link_.shareTranscript(first->link_, portName)
              : !link_.attachTranscript(choice_.transcript, portName))
        throw TranscriptUnavailable{};
}

void Line::openPort() {
    port_.setCommPort(choice_.com);
    setUpConsoleLine(port_, choice_.dtr, choice_.rts);
    port_.setPortOpen(true);
}

void Line::open() {
    attachTranscript();
    openPort();
}

void Line::openInBackground() {
    // A device server is asked first, so that its seconds pass while the other ports work.
    if (port_.connectAhead({choice_.com}))
        connect(&port_, &QtSerialControl::settledAhead, this, &Line::finishOpen,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    else
        emit openDue();
}

void Line::finishOpen() {
    QString failure;
    try {
        openPort();
    } catch (const Failure &f) {
        failure = f.message();
    }
    emit opened(failure);
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
    // A port lost meanwhile stops watching for its device's return too.
    port_.setPortOpen(false);
}

void Line::startExchange(const QStringList &frames, int waitMs, int idleMs,
                         const std::function<bool(const QByteArray &)> &enough) {
    busy_ = Busy::Exchange;
    answer_.clear();
    enough_ = enough;
    idleMs_ = idleMs;
    try {
        if (const QString reason = lostReason(); !reason.isEmpty())
            throw Failure(reason);
        port_.clearInput();
        for (const QString &frame : frames)
            port_.output(frame);
    } catch (const Failure &failure) {
        return end(failure.message());
    }
    if (enough_ && enough_(answer_))
        return end({});
    wait_.start(waitMs);
}

void Line::startPause(int ms) {
    busy_ = Busy::Pause;
    answer_.clear();
    if (const QString reason = lostReason(); !reason.isEmpty())
        return end(reason);
    wait_.start(ms);
}

void Line::onArrived() {
    if (busy_ != Busy::Exchange || !port_.portOpen())
        return;
    const QByteArray batch = port_.input();
    // Byte by byte, so that bytes after the one that meets the expectation stay out.
    for (const char byte : batch) {
        answer_.append(byte);
        if (enough_ && enough_(answer_))
            return end({});
    }
    if (!answer_.isEmpty())
        idle_.start(idleMs_);
}

void Line::end(const QString &failure) {
    busy_ = Busy::No;
    wait_.stop();
    idle_.stop();
    emit endDue(answer_, failure);
}

QByteArray Line::exchange(const QStringList &frames, int waitMs, int idleMs,
                          const std::function<bool(const QByteArray &)> &enough) {
    QEventLoop loop;
    QByteArray answer;
    QString failure;
    const QMetaObject::Connection done =
        connect(this, &Line::ended, &loop, [&](const QByteArray &a, const QString &f) {
            answer = a;
            failure = f;
            loop.quit();
        });
    startExchange(frames, waitMs, idleMs, enough);
    loop.exec();
    disconnect(done);
    if (!failure.isEmpty())
        throw Failure(failure);
    return answer;
}

} // namespace tqm::cli
