// The network port: connecting with a deadline, Telnet negotiation, the line through the server,
// and telling a lost connection from a closed one.
#include "serial/network_port.h"

#include "serial/failure.h"

#include <QEventLoop>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace tqm {

namespace {

constexpr char kServersLine[] =
    "the server refuses the line option: the line settings are the server's";

} // namespace

NetworkPort::NetworkPort(int com, NetworkAddress address, QString direct, qint64 readAhead,
                         QObject *parent)
    : PortDevice(com, std::move(direct), parent)
    , address_(std::move(address))
    , readAhead_(readAhead) {
    socket_.setReadBufferSize(readAhead_);
    deadline_.setSingleShot(true);
    deadline_.setInterval(kConnectTimeoutMs);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        fail(state_ == Connecting
                 ? QStringLiteral("%1: no connection within %2 s")
                       .arg(where())
                       .arg(kConnectTimeoutMs / 1000)
                 : QStringLiteral("%1: no answer to the Telnet negotiation within %2 s "
                                  "(a raw TCP port? then use tcp://)")
                       .arg(where())
                       .arg(kConnectTimeoutMs / 1000));
    });
    rest_.setSingleShot(true);
    rest_.setInterval(kRestMs);
    rest_.setTimerType(Qt::PreciseTimer);
    connect(&rest_, &QTimer::timeout, this, &NetworkPort::endRest);
    connect(&socket_, &QTcpSocket::connected, this, &NetworkPort::onConnected);
    connect(&socket_, &QTcpSocket::readyRead, this, &NetworkPort::onReadyRead);
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // A look for more data that found none (after a rest) is no failure of the connection.
        if (error != QAbstractSocket::SocketTimeoutError)
            onError(socket_.errorString());
    });
    connect(&socket_, &QTcpSocket::disconnected, this,
            [this] { onError(QStringLiteral("closed by the server")); });
}

QString NetworkPort::where() const {
    return longName(address_.url());
}

void NetworkPort::connectInBackground() {
    socket_.abort();
    codec_ = TelnetCodec();
    received_.clear();
    taken_ = 0;
    failure_.clear();
    state_ = Connecting;
    deadline_.start();
    socket_.connectToHost(address_.host, address_.port);
}

void NetworkPort::onConnected() {
    // A frame goes out at once, and a server that vanished without closing is noticed in
    // seconds rather than hours.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int fd = int(socket_.socketDescriptor());
    for (const auto &[option, value] :
         {std::pair{TCP_KEEPIDLE, 5}, {TCP_KEEPINTVL, 2}, {TCP_KEEPCNT, 3}})
        ::setsockopt(fd, IPPROTO_TCP, option, &value, sizeof value);
#endif
    if (raw()) {
        ready();
        return;
    }
    state_ = Negotiating;
    socket_.write(codec_.start());
}

void NetworkPort::ready() {
    deadline_.stop();
    state_ = Ready;
    emit attemptEnded();
    emit returnReady();
}

void NetworkPort::fail(const QString &why) {
    deadline_.stop();
    // Failed first: the abort says the connection closed, and that is not why the attempt failed.
    state_ = Failed;
    failure_ = why;
    socket_.abort();
    emit attemptEnded();
}

void NetworkPort::pull() {
    const QByteArray bytes = socket_.readAll();
    if (bytes.isEmpty())
        return;
    QByteArray data;
    if (raw()) {
        data = bytes;
    } else {
        TelnetCodec::Output out = codec_.feed(bytes);
        if (!out.reply.isEmpty())
            socket_.write(out.reply);
        data = std::move(out.data);
        if (out.events.contains(TelnetCodec::Event::ComPortRefused) && state_ == Open)
            emit noted(QString::fromLatin1(kServersLine));
    }
    if (taken_ == received_.size()) {
        received_ = std::move(data);
        taken_ = 0;
    } else {
        received_ += data;
    }
}

void NetworkPort::onReadyRead() {
    // What came stays in the socket until the rest is over, or until the reader has taken what
    // was read ahead.
    if (resting_ || (state_ == Open && bytesAvailable() >= readAhead_))
        return;
    const qint64 before = socket_.bytesAvailable();
    pull();
    if (!raw() && state_ == Negotiating) {
        if (codec_.binaryRefused())
            fail(where() + QStringLiteral(": the server refuses binary mode"));
        else if (codec_.settled())
            ready();
        return;
    }
    if (!raw() && state_ == Open && codec_.binaryRefused())
        emit gone(where() + QStringLiteral(": the server refuses binary mode"));
    else if (state_ == Open && bytesAvailable() > 0)
        emit readyRead();
    // A server passes a flood on in pieces of a TCP segment, and waking for each costs more than
    // the bytes do. After a big piece the socket rests a moment and takes what gathered at once;
    // an answer of a few bytes is never held back.
    if (state_ == Open && before >= kFloodPiece && !resting_) {
        resting_ = true;
        // Qt stops reading once its buffer holds this much: nothing wakes us meanwhile.
        socket_.setReadBufferSize(1);
        rest_.start();
    }
}

void NetworkPort::endRest() {
    resting_ = false;
    socket_.setReadBufferSize(readAhead_);
    if (state_ != Open)
        return;
    socket_.waitForReadyRead(0); // takes what gathered in the kernel meanwhile, if anything
    if (socket_.bytesAvailable() > 0)
        onReadyRead();
}

void NetworkPort::onError(const QString &cause) {
    switch (state_) {
    case Connecting:
    case Negotiating:
        fail(where() + QStringLiteral(": ") + cause);
        break;
    case Ready:
        state_ = Failed;
        failure_ = where() + QStringLiteral(": ") + cause;
        break;
    case Open:
        // What the server sent before it went is the device's too.
        pull();
        emit gone(where() + QStringLiteral(": the connection is gone (%1)").arg(cause));
        break;
    default:
        break;
    }
}

void NetworkPort::open(const LineSettings &line) {
    if (state_ == Closed || state_ == Failed)
        connectInBackground();
    if (attempting()) {
        QEventLoop loop;
        connect(this, &NetworkPort::attemptEnded, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (state_ != Ready)
        throw Failure(failure_.isEmpty() ? where() + QStringLiteral(": not connected") : failure_);
    state_ = Open;
    emit noted(address_.url() + QStringLiteral(" connected"));
    if (raw())
        emit noted(QStringLiteral("raw TCP: the line settings are the server's"));
    else if (!codec_.comPortOn())
        emit noted(QString::fromLatin1(kServersLine));
    try {
        applyLine(line);
    } catch (...) {
        close();
        throw;
    }
    // Bytes that came while negotiating are the device's: they get their receive event.
    if (bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, "readyRead", Qt::QueuedConnection);
}

void NetworkPort::close() {
    deadline_.stop();
    rest_.stop();
    resting_ = false;
    socket_.setReadBufferSize(readAhead_);
    state_ = Closed;
    socket_.abort();
    received_.clear();
    taken_ = 0;
}

void NetworkPort::send(const QByteArray &bytes) {
    if (bytes.isEmpty())
        return;
    if (state_ != Open || socket_.write(bytes) != bytes.size())
        throw Failure(where() + QStringLiteral(": cannot send: ") + socket_.errorString());
    socket_.flush();
}

void NetworkPort::applyLine(const LineSettings &line) {
    if (raw())
        return;
    refuseFewDataBits(line);
    send(codec_.lineSettings(line));
}

void NetworkPort::applyDtr(bool on) {
    if (!raw())
        send(codec_.control(on ? TelnetCodec::DtrOn : TelnetCodec::DtrOff));
}

void NetworkPort::applyRts(bool on) {
    if (!raw())
        send(codec_.control(on ? TelnetCodec::RtsOn : TelnetCodec::RtsOff));
}

void NetworkPort::write(const QByteArray &bytes) {
    send(raw() ? bytes : TelnetCodec::escape(bytes));
}

QByteArray NetworkPort::read(qint64 maxBytes) {
    const qsizetype n = std::min<qsizetype>(maxBytes, bytesAvailable());
    QByteArray out = received_.mid(taken_, n);
    taken_ += n;
    if (taken_ == received_.size()) {
        received_.clear();
        taken_ = 0;
        // Held back while the reader was behind: its turn now, with an event of its own.
        if (!resting_ && socket_.bytesAvailable() > 0)
            QMetaObject::invokeMethod(this, "onReadyRead", Qt::QueuedConnection);
    }
    return out;
}

void NetworkPort::discardInput() {
    // Read through the codec first, so that no Telnet command is cut in two.
    pull();
    received_.clear();
    taken_ = 0;
    if (!raw())
        send(codec_.purgeReceived());
}

bool NetworkPort::mayReturn() {
    if (state_ == Ready)
        return true;
    if (state_ == Closed || state_ == Failed)
        connectInBackground();
    return false;
}

} // namespace tqm
