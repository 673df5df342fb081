// The control's properties and their rules, shared by the real port and the fake.
#include "serial/serial_control.h"

#include "serial/cp949.h"
#include "serial/failure.h"

#include <QStringList>

#include <utility>

namespace tqm {

LineSettings parseSettings(const QString &settings) {
    const auto bad = [&settings]() {
        return Failure(QStringLiteral("Invalid port settings \"%1\" (expected e.g. \"9600,n,8,1\")")
                           .arg(settings));
    };
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        throw bad();
    LineSettings line;
    bool ok = false;
    line.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || line.baud < 50 || line.baud > 4000000)
        throw bad();
    const QString parity = parts[1].trimmed().toLower();
    if (parity.size() != 1 || !QStringLiteral("neoms").contains(parity))
        throw bad();
    line.parity = parity.at(0).toLatin1();
    line.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || line.dataBits < 4 || line.dataBits > 8)
        throw bad();
    line.stopBits = parts[3].trimmed();
    if (line.stopBits != QLatin1String("1") && line.stopBits != QLatin1String("1.5") &&
        line.stopBits != QLatin1String("2"))
        throw bad();
    return line;
}

QString settingsText(const LineSettings &line) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(line.baud)
        .arg(QLatin1Char(line.parity))
        .arg(line.dataBits)
        .arg(line.stopBits);
}

SerialControl::SerialControl(QObject *parent)
    : QObject(parent) {}

QString SerialControl::portDescription(int) const {
    return {};
}

void SerialControl::setCommPort(int port) {
    traced(QStringLiteral("CommPort=%1").arg(port));
    if (open_)
        throw Failure(QStringLiteral("COM%1: the port number cannot change while COM%2 is open")
                          .arg(port)
                          .arg(commPort_));
    if (port < 1 || port > maxPort)
        throw Failure(QStringLiteral("COM%1: invalid port number").arg(port));
    commPort_ = port;
    lost_ = false;
}

void SerialControl::setPortOpen(bool open) {
    traced(QStringLiteral("PortOpen=%1").arg(open ? "True" : "False"));
    if (open == open_) {
        // Closing a closed port is harmless; opening an open one is the caller's mistake.
        if (open)
            throw Failure(QStringLiteral("COM%1: the port is already open").arg(commPort_));
        lost_ = false;
        closeDevice();
        return;
    }
    if (!open) {
        open_ = false;
        lost_ = false;
        closeDevice();
        emit closed();
        return;
    }
    lost_ = false;
    try {
        openDevice(commPort_, line_);
    } catch (const Failure &failure) {
        emit openFailed(failure.message());
        throw;
    }
    open_ = true;
    emit opened();
    // Opening raises DTR and RTS on Linux and drops RTS on Windows: make the lines what we say.
    applyDtr(dtr_);
    applyRts(rts_);
}

void SerialControl::setSettings(const QString &settings) {
    traced(QStringLiteral("Settings=%1").arg(settings));
    const LineSettings line = parseSettings(settings);
    if (open_)
        applyLine(line);
    line_ = line;
    settings_ = settings;
}

void SerialControl::setNumber(const char *property, const char *meaning, int &member, int value,
                              bool valid) {
    traced(QStringLiteral("%1=%2").arg(QLatin1String(property)).arg(value));
    if (!valid)
        throw Failure(QStringLiteral("Invalid %1 %2").arg(QLatin1String(meaning)).arg(value));
    member = value;
}

void SerialControl::setRThreshold(int bytes) {
    setNumber("RThreshold", "receive threshold", rThreshold_, bytes, bytes >= 0);
}

void SerialControl::setInputMode(int mode) {
    setNumber("InputMode", "input mode", inputMode_, mode, mode == 0 || mode == 1);
}

void SerialControl::setInputLen(int bytes) {
    setNumber("InputLen", "input length", inputLen_, bytes, bytes >= 0);
}

void SerialControl::setDTREnable(bool on) {
    traced(QStringLiteral("DTREnable=%1").arg(on ? "True" : "False"));
    if (std::exchange(dtr_, on) != on)
        emit lineChanged(QStringLiteral("DTR"), on);
    if (open_)
        applyDtr(on);
}

void SerialControl::setRTSEnable(bool on) {
    traced(QStringLiteral("RTSEnable=%1").arg(on ? "True" : "False"));
    if (std::exchange(rts_, on) != on)
        emit lineChanged(QStringLiteral("RTS"), on);
    if (open_)
        applyRts(on);
}

void SerialControl::requireOpen(const char *what) const {
    if (!open_)
        throw Failure(QStringLiteral("COM%1: cannot %2, the port is not open")
                          .arg(commPort_)
                          .arg(QLatin1String(what)));
}

void SerialControl::output(const QString &frame) {
    QByteArray bytes;
    try {
        requireOpen("send");
        // Encode before writing anything, so a frame goes out whole or not at all.
        bytes = encodeCp949(frame);
        writeBytes(bytes);
    } catch (const Failure &failure) {
        emit sendFailed(failure.message());
        throw;
    }
    emit handedOver(bytes);
}

void SerialControl::clearInput() {
    requireOpen("clear the input");
    discardWaiting();
}

void SerialControl::discardWaiting() {
    while (bytesWaiting() > 0 && !readBytes(0).isEmpty()) {
    }
}

QByteArray SerialControl::input() {
    requireOpen("read");
    QByteArray batch = readBytes(inputLen_);
    if (!batch.isEmpty())
        emit batchTaken(batch);
    return batch;
}

void SerialControl::dataArrived() {
    if (open_ && rThreshold_ > 0 && bytesWaiting() >= rThreshold_)
        raiseCommEvent(comEvReceive);
}

void SerialControl::raiseCommEvent(int code) {
    commEvent_ = code;
    emit OnComm();
}

void SerialControl::dropLink(const QString &reason) {
    if (!open_)
        return;
    open_ = false;
    lost_ = true;
    closeDevice();
    awaitReturn();
    emit linkLost(reason);
}

void SerialControl::reopenLost() {
    if (!lost_ || open_)
        return;
    openDevice(commPort_, line_);
    open_ = true;
    lost_ = false;
    applyDtr(dtr_);
    applyRts(rts_);
    emit linkRestored();
}

} // namespace tqm
