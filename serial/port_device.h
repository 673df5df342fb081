// What a COM number leads to once open: a serial device or a network port. The serial control
// keeps the properties and raises the receive events; a device moves the bytes and sets the line.
#pragma once

#include "serial/serial_control.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace tqm {

class PortDevice : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

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

signals:
    void readyRead();
    // The open device went away under us.
    void gone(const QString &reason);
    void returnReady();
    // Worth a line in a transcript: where a network port leads, who sets its line.
    void noted(const QString &what);
};

} // namespace tqm
