// The serial control on the port map: picking the device a COM number leads to, the receive
// event, and recovering when a device goes away and comes back.
#include "serial/qt_serial_control.h"

#include "serial/failure.h"
#include "serial/network_address.h"
#include "serial/network_port.h"
#include "serial/serial_port_device.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QScopedValueRollback>

#include <algorithm>

namespace tqm {

namespace {

// A network port the start-up probe could not reach is not waited on again by the open that
// follows the probe at once (the default link's).
constexpr qint64 kProbeAnswerMs = 1000;

} // namespace

QtSerialControl::QtSerialControl(PortMap map, QObject *parent)
    : SerialControl(parent)
    , map_(std::move(map)) {
    reconnect_.setInterval(500);
    connect(&reconnect_, &QTimer::timeout, this, &QtSerialControl::tryReconnect);
}

QtSerialControl::~QtSerialControl() {
    reconnect_.stop();
}

QString QtSerialControl::portDescription(int port) const {
    QString url = map_.networkTarget(port);
    if (!url.isEmpty())
        return url;
    const QString path = map_.devicePath(port);
    if (path.isEmpty())
        return {};
    const QString target = QFileInfo(path).symLinkTarget();
    return target.isEmpty() ? path : target;
}

QString QtSerialControl::destination(int port) const {
    QString url = map_.networkTarget(port);
    if (!url.isEmpty())
        return url;
    const QString path = map_.devicePath(port);
    const QString device = QFileInfo(path).canonicalFilePath();
    return device.isEmpty() ? path : device;
}

QString QtSerialControl::direct(int port) const {
    return map_.isSingle() ? map_.devicePath(port) : QString();
}

std::unique_ptr<NetworkPort> QtSerialControl::networkPort(int port, const QString &url) const {
    QString error;
    const auto address = parseNetworkAddress(url, &error);
    if (!address)
        throw Failure(QStringLiteral("COM%1: %2").arg(port).arg(error));
    return std::make_unique<NetworkPort>(port, *address, direct(port), 4 * readAheadSize);
}

void QtSerialControl::adopt(std::unique_ptr<PortDevice> device, const QString &target) {
    if (device_) {
        // This may run inside one of the old device's own signals.
        device_->disconnect(this);
        device_->close();
        device_.release()->deleteLater();
    }
    device_ = std::move(device);
    deviceTarget_ = target;
    connect(device_.get(), &PortDevice::readyRead, this, &QtSerialControl::deliverWaiting);
    connect(device_.get(), &PortDevice::gone, this, &QtSerialControl::onGone);
    connect(device_.get(), &PortDevice::returnReady, this, &QtSerialControl::tryReconnect);
    connect(device_.get(), &PortDevice::noted, this, &SerialControl::noted);
}

QString QtSerialControl::targetKey(int port) const {
    const QString url = map_.networkTarget(port);
    return QString::number(port) + QLatin1Char(' ') + (url.isEmpty() ? map_.devicePath(port) : url);
}

PortDevice &QtSerialControl::deviceFor(int port) {
    const QString path = map_.devicePath(port);
    if (path.isEmpty())
        throw Failure(QStringLiteral("COM%1: no such port (no com%1 link in %2)")
                          .arg(port)
                          .arg(map_.portsDir()));
    const QString url = map_.networkTarget(port);
    const QString target = targetKey(port);
    if (device_ && deviceTarget_ == target)
        return *device_;
    if (url.isEmpty()) {
        auto device = std::make_unique<SerialPortDevice>(port, path, direct(port), readAheadSize);
        device->setRefuseHeld(seen_);
        adopt(std::move(device), target);
    } else
        adopt(networkPort(port, url), target);
    return *device_;
}

void QtSerialControl::openDevice(int port, const LineSettings &line) {
    reconnect_.stop();
    if (const auto probed = probed_.find(port); probed != probed_.end()) {
        if (probed->second->failed())
            throw Failure(probed->second->failure());
        probed->second->disconnect(this); // its later attempts are the reconnect's, not ahead
        adopt(std::move(probed->second), targetKey(port));
        probed_.erase(probed);
        device_->open(line);
        return;
    }
    if (const auto failed = probeFailures_.find(port); failed != probeFailures_.end()) {
        const QString failure = failed->second;
        probeFailures_.erase(failed);
        if (sinceProbe_.isValid() && sinceProbe_.elapsed() < kProbeAnswerMs)
            throw Failure(failure);
    }
    deviceFor(port).open(line);
}

// Network ports can take seconds to answer: they are all asked at once, before the probe goes
// through the ports one by one in ascending order and takes their answers from here.
void QtSerialControl::probeAhead(const QList<int> &ports) {
    probeFailures_.clear();
    if (!connectAhead(ports))
        return;
    QEventLoop loop;
    connect(this, &QtSerialControl::settledAhead, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool QtSerialControl::connectAhead(const QList<int> &ports) {
    probed_.clear();
    for (const int port : ports)
        if (const QString url = map_.networkTarget(port); !url.isEmpty()) {
            try {
                auto network = networkPort(port, url);
                network->connectInBackground();
                probed_[port] = std::move(network);
            } catch (const Failure &) {
                // A malformed address: the probe's own open meets the same failure.
            }
        }
    const auto attempting = [this] {
        return std::any_of(probed_.begin(), probed_.end(),
                           [](const auto &p) { return p.second->attempting(); });
    };
    for (const auto &p : probed_)
        connect(p.second.get(), &NetworkPort::attemptEnded, this, [this, attempting] {
            if (!attempting())
                emit settledAhead();
        });
    return attempting();
}

void QtSerialControl::endProbe() {
    for (const auto &[port, network] : probed_)
        if (network->failed())
            probeFailures_[port] = network->failure();
    probed_.clear();
    sinceProbe_.start();
}

void QtSerialControl::closeDevice() {
    reconnect_.stop();
    if (device_)
        device_->close();
}

void QtSerialControl::applyLine(const LineSettings &line) {
    device_->applyLine(line);
}

void QtSerialControl::applyDtr(bool on) {
    device_->applyDtr(on);
}

void QtSerialControl::applyRts(bool on) {
    device_->applyRts(on);
}

void QtSerialControl::writeBytes(const QByteArray &bytes) {
    device_->write(bytes);
}

QByteArray QtSerialControl::readBytes(qint64 maxBytes) {
    QByteArray batch =
        device_->read(maxBytes > 0 ? std::min(maxBytes, receiveBufferSize) : receiveBufferSize);
    // Read outside a receive event: what is left still comes with an event of its own.
    if (!delivering_ && !redeliveryDue_ && device_->bytesAvailable() > 0) {
        redeliveryDue_ = true;
        QMetaObject::invokeMethod(this, &QtSerialControl::deliverWaiting, Qt::QueuedConnection);
    }
    return batch;
}

// One receive event per batch for everything the port has read ahead. A flood then costs one
// turn of the event loop per read of the line, not one per batch.
void QtSerialControl::deliverWaiting() {
    redeliveryDue_ = false;
    if (!device_)
        return;
    const QScopedValueRollback delivering(delivering_, true);
    for (qint64 waiting = device_->bytesAvailable(); waiting > 0;) {
        dataArrived();
        const qint64 left = device_->isOpen() ? device_->bytesAvailable() : 0;
        if (left >= waiting)
            break; // not taken: it waits for the next arrival or read
        waiting = left;
    }
}

qint64 QtSerialControl::bytesWaiting() const {
    return device_ ? device_->bytesAvailable() : 0;
}

void QtSerialControl::discardWaiting() {
    device_->discardInput();
}

void QtSerialControl::onGone(const QString &reason) {
    if (!portOpen())
        return;
    // Keep what arrived before the loss: hand it over before the port closes.
    for (qint64 waiting = device_->bytesAvailable(); waiting > 0;) {
        raiseCommEvent(comEvReceive);
        const qint64 left = device_->bytesAvailable();
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
    try {
        if (!deviceFor(commPort()).mayReturn())
            return;
        reopenLost();
    } catch (const Failure &) {
        // Still not usable: try again on the next tick.
        if (lost())
            reconnect_.start();
    }
}

} // namespace tqm
