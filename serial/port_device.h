// What a COM number leads to once open: a serial device or a network port. The serial control
// keeps the properties and raises the receive events; a device moves the bytes and sets the line.
#pragma once

#include "serial/failure.h"
#include "serial/serial_control.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace tqm {

class PortDevice : public QObject {
    Q_OBJECT
public:
    // `direct`: the device or address as named on a command line, and then all messages name it
    // so; empty for COM`com` through the port map.
    PortDevice(int com, QString direct, QObject *parent = nullptr)
        : QObject(parent)
        , com_(com)
        , direct_(std::move(direct)) {}

    // Each throws Failure with the cause as the operator reads it ("COM3 (...): ...").
    virtual void open(const LineSettings &line) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void applyLine(const LineSettings &line) = 0;
    // A line the device has not got (a pty, a raw network port) is no failure.
    virtual void applyDtr(bool on) = 0;
    virtual void applyRts(bool on) = 0;
    virtual void write(const QByteArray &bytes) = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual void discardInput() = 0;

    // While the link is lost: whether open() may succeed now. A device that has to ask first (a
    // network port) starts asking and says returnReady when it may.
    virtual bool mayReturn() = 0;

    // How messages name the port: "COM3 (where)" or "COM3", or what was named directly.
    QString longName(const QString &where) const {
        return direct_.isEmpty() ? QStringLiteral("COM%1 (%2)").arg(com_).arg(where) : direct_;
    }
    QString shortName() const {
        return direct_.isEmpty() ? QStringLiteral("COM%1").arg(com_) : direct_;
    }

signals:
    void readyRead();
    // The open device went away under us.
    void gone(const QString &reason);
    void returnReady();
    // Worth a line in a transcript: where a network port leads, who sets its line.
    void noted(const QString &what);

protected:
    // Fewer than five data bits: the settings text takes them, but no device here carries them.
    void refuseFewDataBits(const LineSettings &line) const {
        if (line.dataBits < 5)
            throw Failure(QStringLiteral("%1: %2 data bits are not supported by this platform")
                              .arg(shortName())
                              .arg(line.dataBits));
    }

    const int com_;

private:
    const QString direct_;
};

} // namespace tqm
