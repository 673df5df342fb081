// The serial control on QSerialPort: opening through the port map, line settings, modem lines,
// the receive event, and recovering when a device goes away and comes back.
#include "serial/qt_serial_control.h"

#include "serial/failure.h"

#include <QFileInfo>
#include <QScopedValueRollback>

#include <algorithm>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace tqm {

QtSerialControl::QtSerialControl(PortMap map, QObject *parent)
    : SerialControl(parent)
    , map_(std::move(map)) {
    connect(&port_, &QSerialPort::readyRead, this, &QtSerialControl::deliverWaiting);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialControl::onError);
    reconnect_.setInterval(500);
    connect(&reconnect_, &QTimer::timeout, this, &QtSerialControl::tryReconnect);
}

QtSerialControl::~QtSerialControl() {
    reconnect_.stop();
    port_.close();
}

QString QtSerialControl::portDescription(int port) const {
    const QString path = map_.devicePath(port);
    if (path.isEmpty())
        return {};
    const QString target = QFileInfo(path).symLinkTarget();
    return target.isEmpty() ? path : target;
}

QString QtSerialControl::named(int port, const QString &device) const {
    return map_.isSingle() ? map_.devicePath(port)
                           : QStringLiteral("COM%1 (%2)").arg(port).arg(device);
}

QString QtSerialControl::shortName(int port) const {
    return map_.isSingle() ? map_.devicePath(port) : QStringLiteral("COM%1").arg(port);
}

QString QtSerialControl::messageName(int port) const {
    const QString device = QFileInfo(map_.devicePath(port)).canonicalFilePath();
    return named(port, device.isEmpty() ? portDescription(port) : device);
}

QString QtSerialControl::failureText(int port, const QString &device) const {
    QString text = named(port, device) + QStringLiteral(": ") + port_.errorString();
#ifndef Q_OS_WIN
    if (port_.error() == QSerialPort::PermissionError &&
        ::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0)
        text += QStringLiteral(
            " - this user may not open the device; add the user to the dialout group "
            "(sudo adduser $USER dialout) and log in again");
#endif
    return text;
}

void QtSerialControl::openDevice(int port, const LineSettings &line) {
    reconnect_.stop();
    heldElsewhere_ = false;
    const QString path = map_.devicePath(port);
    if (path.isEmpty())
        throw Failure(QStringLiteral("COM%1: no such port (no com%1 link in %2)")
                          .arg(port)
                          .arg(map_.portsDir()));
    // The lock belongs to the device itself, not to the link that names it.
    QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty())
        throw Failure(named(port, portDescription(port)) +
                      QStringLiteral(": No such file or directory"));
    port_.setPortName(device);
    port_.setReadBufferSize(readAheadSize);
    if (!port_.open(QIODevice::ReadWrite)) {
#ifndef Q_OS_WIN
        // The lock file, or exclusive use, of another program: the user may open the device.
        heldElsewhere_ = port_.error() == QSerialPort::PermissionError &&
                         ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#endif
        throw Failure(failureText(port, device));
    }
    try {
        applyLine(line);
    } catch (...) {
        port_.close();
        throw;
    }
}

void QtSerialControl::closeDevice() {
    reconnect_.stop();
    if (port_.isOpen())
        port_.close();
}

void QtSerialControl::checkLine(bool ok, const char *what) {
    if (!ok)
        throw Failure(QStringLiteral("%1: cannot set %2: %3")
                          .arg(shortName(commPort()), QLatin1String(what), port_.errorString()));
}

void QtSerialControl::applyLine(const LineSettings &line) {
    static constexpr struct {
        char code;
        QSerialPort::Parity parity;
    } parities[] = {{'n', QSerialPort::NoParity},
                    {'e', QSerialPort::EvenParity},
                    {'o', QSerialPort::OddParity},
                    {'m', QSerialPort::MarkParity},
                    {'s', QSerialPort::SpaceParity}};
    QSerialPort::Parity parity = QSerialPort::NoParity;
    for (const auto &p : parities)
        if (p.code == line.parity)
            parity = p.parity;
    const QSerialPort::StopBits stop = line.stopBits == QLatin1String("2") ? QSerialPort::TwoStop
                                       : line.stopBits == QLatin1String("1.5")
                                           ? QSerialPort::OneAndHalfStop
                                           : QSerialPort::OneStop;
    if (line.dataBits < 5)
        throw Failure(QStringLiteral("%1: %2 data bits are not supported by this platform")
                          .arg(shortName(commPort()))
                          .arg(line.dataBits));
    checkLine(port_.setBaudRate(line.baud), "the speed");
    checkLine(port_.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits)), "data bits");
    checkLine(port_.setParity(parity), "the parity");
    checkLine(port_.setStopBits(stop), "stop bits");
    checkLine(port_.setFlowControl(QSerialPort::NoFlowControl), "flow control");
}

// A port without modem lines (a pseudo-terminal, some adapters) still works as a link:
// the line state is remembered and nothing more is asked of it.
void QtSerialControl::applyDtr(bool on) {
    if (!port_.setDataTerminalReady(on) && port_.error() == QSerialPort::UnsupportedOperationError)
        port_.clearError();
    else
        checkLine(port_.error() == QSerialPort::NoError, "DTR");
}

void QtSerialControl::applyRts(bool on) {
    if (!port_.setRequestToSend(on) && port_.error() == QSerialPort::UnsupportedOperationError)
        port_.clearError();
    else
        checkLine(port_.error() == QSerialPort::NoError, "RTS");
}

void QtSerialControl::writeBytes(const QByteArray &bytes) {
    if (port_.write(bytes) != bytes.size())
        throw Failure(
            QStringLiteral("%1: cannot send: %2").arg(shortName(commPort()), port_.errorString()));
    // Put the frame on the line now rather than on the next turn of the event loop.
    port_.flush();
}

QByteArray QtSerialControl::readBytes(qint64 maxBytes) {
    QByteArray batch =
        port_.read(maxBytes > 0 ? std::min(maxBytes, receiveBufferSize) : receiveBufferSize);
    // Read outside a receive event: what is left still comes with an event of its own.
    if (!delivering_ && !redeliveryDue_ && port_.bytesAvailable() > 0) {
        redeliveryDue_ = true;
        QMetaObject::invokeMethod(this, &QtSerialControl::deliverWaiting, Qt::QueuedConnection);
    }
    return batch;
}

// One receive event per batch for everything the port has read ahead. A flood then costs one
// turn of the event loop per read of the line, not one per batch.
void QtSerialControl::deliverWaiting() {
    redeliveryDue_ = false;
    const QScopedValueRollback delivering(delivering_, true);
    for (qint64 waiting = port_.bytesAvailable(); waiting > 0;) {
        dataArrived();
        const qint64 left = port_.isOpen() ? port_.bytesAvailable() : 0;
        if (left >= waiting)
            break; // not taken: it waits for the next arrival or read
        waiting = left;
    }
}

qint64 QtSerialControl::bytesWaiting() const {
    return port_.bytesAvailable();
}

void QtSerialControl::discardWaiting() {
    if (!port_.clear(QSerialPort::Input))
        throw Failure(QStringLiteral("%1: cannot clear the input: %2")
                          .arg(shortName(commPort()), port_.errorString()));
}

void QtSerialControl::onError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!portOpen())
        return;
    const QString reason = named(commPort(), port_.portName()) +
                           QStringLiteral(": the device is gone (%1)").arg(port_.errorString());
    // Keep what arrived before the loss: hand it over before the port closes.
    for (qint64 waiting = port_.bytesAvailable(); waiting > 0;) {
        raiseCommEvent(comEvReceive);
        const qint64 left = port_.bytesAvailable();
        if (left >= waiting)
            break;
        waiting = left;
    }
    dropLink(reason);
}

void QtSerialControl::awaitReturn() {
    reconnect_.start();
}

void QtSerialControl::tryReconnect() {
    if (!lost()) {
        reconnect_.stop();
        return;
    }
    if (QFileInfo(map_.devicePath(commPort())).canonicalFilePath().isEmpty())
        return;
    try {
        reopenLost();
    } catch (const Failure &) {
        // Still not usable: try again on the next tick.
        if (lost())
            reconnect_.start();
    }
}

} // namespace tqm
