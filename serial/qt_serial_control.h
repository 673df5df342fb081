// The serial control on the ports the port map names: a serial device through QSerialPort, or a
// network port on a device server, whichever COMn's link leads to.
#pragma once

#include "serial/port_device.h"
#include "serial/port_holders.h"
#include "serial/port_map.h"
#include "serial/serial_control.h"

#include <QElapsedTimer>
#include <QTimer>

#include <map>
#include <memory>

namespace tqm {

class NetworkPort;

class QtSerialControl : public SerialControl {
    Q_OBJECT
public:
    explicit QtSerialControl(PortMap map = PortMap(), QObject *parent = nullptr);
    ~QtSerialControl() override;

    QString portDescription(int port) const override;

    // Refuses a local device that `seen` shows another process of this user holding; null, as
    // the window has it: no such check.
    void setRefuseHeld(std::shared_ptr<const PortHolderScan> seen) { seen_ = std::move(seen); }
    // Where COM`port` leads, one text for one device however it is named: the device's own path
    // or the URL; empty when it leads nowhere.
    QString destination(int port) const;

    // The receive buffer: one read never yields more than this.
    static constexpr qint64 receiveBufferSize = 1024;
    // How much the port may hold ahead of the reader: the line is read in pieces of up to this
    // many bytes, then handed over batch by batch.
    static constexpr qint64 readAheadSize = 16 * receiveBufferSize;

    void probeAhead(const QList<int> &ports) override;
    void endProbe() override;

    // Starts connecting those of `ports` that are network ports, all at once, without waiting:
    // their opens then take the answers. True while an attempt is under way; settledAhead comes
    // when none is any more.
    bool connectAhead(const QList<int> &ports);

signals:
    void settledAhead();

protected:
    void openDevice(int port, const LineSettings &line) override;
    void closeDevice() override;
    void applyLine(const LineSettings &line) override;
    void applyDtr(bool on) override;
    void applyRts(bool on) override;
    void writeBytes(const QByteArray &bytes) override;
    QByteArray readBytes(qint64 maxBytes) override;
    qint64 bytesWaiting() const override;
    void discardWaiting() override;
    void awaitReturn() override;

private:
    // The device COM`port` leads to now, the one already made when it still leads there.
    PortDevice &deviceFor(int port);
    // What a device is made for: the port and where it leads, so that one is kept while it holds.
    QString targetKey(int port) const;
    std::unique_ptr<NetworkPort> networkPort(int port, const QString &url) const;
    // The name every message gives the port when the map names one device directly; else empty.
    QString direct(int port) const;
    void adopt(std::unique_ptr<PortDevice> device, const QString &target);
    void deliverWaiting();
    void onGone(const QString &reason);
    void tryReconnect();

    PortMap map_;
    std::unique_ptr<PortDevice> device_;
    QString deviceTarget_; // what device_ was made for
    QTimer reconnect_;
    bool delivering_ = false;
    bool redeliveryDue_ = false;
    std::shared_ptr<const PortHolderScan> seen_;
    // Network ports the probe tried all at once: connected, or why not.
    std::map<int, std::unique_ptr<NetworkPort>> probed_;
    std::map<int, QString> probeFailures_;
    QElapsedTimer sinceProbe_;
};

} // namespace tqm
