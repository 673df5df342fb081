// A network port on a device server: raw TCP, or Telnet with the serial line option. Connecting
// and negotiating run in the background and are bounded in time; open() waits for them.
#pragma once

#include "serial/network_address.h"
#include "serial/port_device.h"
#include "serial/telnet_codec.h"

#include <QTcpSocket>
#include <QTimer>

namespace tqm {

class NetworkPort : public PortDevice {
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 3000;

    // `readAhead`: how much is taken off the connection ahead of the reader; past it the server
    // is held back by TCP, as a serial device is by its buffer.
    NetworkPort(int com, NetworkAddress address, QString direct, qint64 readAhead,
                QObject *parent = nullptr);

    // Connects and negotiates without waiting; attemptEnded says when it is done either way.
    void connectInBackground();
    bool attempting() const { return state_ == Connecting || state_ == Negotiating; }
    bool failed() const { return state_ == Failed; }
    const QString &failure() const { return failure_; }

    // Waits for an attempt under way, or makes one, while the event loop runs for everything but
    // the user's input: the window keeps painting, and no click or key runs a routine meanwhile.
    void open(const LineSettings &line) override;
    void close() override;
    bool isOpen() const override { return state_ == Open; }
    void applyLine(const LineSettings &line) override;
    void applyDtr(bool on) override;
    void applyRts(bool on) override;
    void write(const QByteArray &bytes) override;
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesAvailable() const override { return received_.size() - taken_; }
    void discardInput() override;
    bool mayReturn() override;

signals:
    void attemptEnded();

private:
    enum State { Closed, Connecting, Negotiating, Ready, Failed, Open };

    bool raw() const { return address_.protocol == NetworkAddress::Protocol::Raw; }
    QString where() const;
    void onConnected();
    // Takes what the socket holds through the codec into the receive buffer.
    void pull();
    Q_INVOKABLE void onReadyRead();
    void endRest();
    void onError(const QString &cause);
    void ready();
    void fail(const QString &why);
    void send(const QByteArray &bytes);

    NetworkAddress address_;
    qint64 readAhead_;
    QTcpSocket socket_;
    TelnetCodec codec_;
    QByteArray received_; // device data not yet read, from taken_ on
    qsizetype taken_ = 0;
    QTimer deadline_;
    // A piece this big means a flood: the next pieces are taken together after a short rest.
    static constexpr qint64 kFloodPiece = 1024;
    static constexpr int kRestMs = 5;
    QTimer rest_;
    bool resting_ = false;
    State state_ = Closed;
    QString failure_;
};

} // namespace tqm
