// The serial device: opening, line settings and modem lines on QSerialPort, and noticing that the
// device went away.
#include "serial/serial_port_device.h"

#include "serial/failure.h"

#include <QFileInfo>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace tqm {

SerialPortDevice::SerialPortDevice(int com, QString path, QString direct, qint64 readAhead,
                                   QObject *parent)
    : PortDevice(com, std::move(direct), parent)
    , path_(std::move(path)) {
    port_.setReadBufferSize(readAhead);
    connect(&port_, &QSerialPort::readyRead, this, &PortDevice::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPortDevice::onError);
}

QString SerialPortDevice::failureText(const QString &device) const {
    QString text = longName(device) + QStringLiteral(": ") + port_.errorString();
#ifndef Q_OS_WIN
    if (port_.error() == QSerialPort::PermissionError &&
        ::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0)
        text += QStringLiteral(
            " - this user may not open the device; add the user to the dialout group "
            "(sudo adduser $USER dialout) and log in again");
#endif
    return text;
}

void SerialPortDevice::open(const LineSettings &line) {
    const QString device = QFileInfo(path_).canonicalFilePath();
    if (device.isEmpty()) {
        const QString target = QFileInfo(path_).symLinkTarget();
        throw Failure(longName(target.isEmpty() ? path_ : target) +
                      QStringLiteral(": No such file or directory"));
    }
    if (seen_) {
        if (const QString holders = holdersText(seen_->holdersOf(device)); !holders.isEmpty())
            throw Failure(longName(device) + QStringLiteral(": in use by ") + holders);
    }
    port_.setPortName(device);
    opened_ = device;
    if (!port_.open(QIODevice::ReadWrite)) {
#ifndef Q_OS_WIN
        // The lock file, or exclusive use, of another program, where this user may open the
        // device: what the technician does next depends on who has it, not on how Qt locks it.
        if (port_.error() == QSerialPort::PermissionError &&
            ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0) {
            const QString holders = holdersText(PortHolderScan().holdersOf(device));
            throw Failure(longName(device) + QStringLiteral(": in use by ") +
                          (holders.isEmpty() ? QStringLiteral("another program") : holders));
        }
#endif
        throw Failure(failureText(device));
    }
    try {
        applyLine(line);
    } catch (...) {
        port_.close();
        throw;
    }
}

void SerialPortDevice::close() {
    if (port_.isOpen())
        port_.close();
}

void SerialPortDevice::checkLine(bool ok, const char *what) {
    if (!ok)
        throw Failure(QStringLiteral("%1: cannot set %2: %3")
                          .arg(shortName(), QLatin1String(what), port_.errorString()));
}

void SerialPortDevice::applyLine(const LineSettings &line) {
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
    refuseFewDataBits(line);
    checkLine(port_.setBaudRate(line.baud), "the speed");
    checkLine(port_.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits)), "data bits");
    checkLine(port_.setParity(parity), "the parity");
    checkLine(port_.setStopBits(stop), "stop bits");
    checkLine(port_.setFlowControl(QSerialPort::NoFlowControl), "flow control");
}

// A port without modem lines (a pseudo-terminal, some adapters) still works as a link:
// the line state is remembered and nothing more is asked of it.
void SerialPortDevice::applyDtr(bool on) {
    if (!port_.setDataTerminalReady(on) && port_.error() == QSerialPort::UnsupportedOperationError)
        port_.clearError();
    else
        checkLine(port_.error() == QSerialPort::NoError, "DTR");
}

void SerialPortDevice::applyRts(bool on) {
    if (!port_.setRequestToSend(on) && port_.error() == QSerialPort::UnsupportedOperationError)
        port_.clearError();
    else
        checkLine(port_.error() == QSerialPort::NoError, "RTS");
}

void SerialPortDevice::write(const QByteArray &bytes) {
    if (port_.write(bytes) != bytes.size())
        throw Failure(QStringLiteral("%1: cannot send: %2").arg(shortName(), port_.errorString()));
    // Put the frame on the line now rather than on the next turn of the event loop.
    port_.flush();
}

QByteArray SerialPortDevice::read(qint64 maxBytes) {
    return port_.read(maxBytes);
}

void SerialPortDevice::discardInput() {
    if (!port_.clear(QSerialPort::Input))
        throw Failure(
            QStringLiteral("%1: cannot clear the input: %2").arg(shortName(), port_.errorString()));
}

bool SerialPortDevice::mayReturn() {
    return !QFileInfo(path_).canonicalFilePath().isEmpty();
}

void SerialPortDevice::onError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (port_.isOpen())
        emit gone(longName(opened_) +
                  QStringLiteral(": the device is gone (%1)").arg(port_.errorString()));
}

} // namespace tqm
