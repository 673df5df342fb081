// The serial communications control `mscom1`: the properties the console uses, with the values
// that stay set across closing and reopening the port, its communication event, and the signals a
// transcript and the loss report follow. Two implementations: QtSerialControl on a real port,
// FakeSerialControl in memory for tests.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

namespace tqm {

struct LineSettings {
    qint32 baud = 9600;
    char parity = 'n'; // n, e, o, m, s
    int dataBits = 8;
    QString stopBits = QStringLiteral("1"); // "1", "1.5", "2"
};

// Parses "9600,n,8,1"; throws Failure on anything else.
LineSettings parseSettings(const QString &settings);
// The settings string of `line`, as parseSettings reads it.
QString settingsText(const LineSettings &line);

class SerialControl : public QObject {
    Q_OBJECT
public:
    static constexpr int comEvReceive = 2;
    static constexpr int maxPort = 16;

    explicit SerialControl(QObject *parent = nullptr);
    ~SerialControl() override = default;

    int commPort() const { return commPort_; }
    void setCommPort(int port);

    bool portOpen() const { return open_; }
    void setPortOpen(bool open);

    QString settings() const { return settings_; }
    void setSettings(const QString &settings);

    int rThreshold() const { return rThreshold_; }
    void setRThreshold(int bytes);

    int inputMode() const { return inputMode_; }
    void setInputMode(int mode);

    int inputLen() const { return inputLen_; }
    void setInputLen(int bytes);

    bool dtrEnable() const { return dtr_; }
    void setDTREnable(bool on);

    bool rtsEnable() const { return rts_; }
    void setRTSEnable(bool on);

    // One whole frame, as text; it leaves as CP949 bytes in one write.
    void output(const QString &frame);

    // Every waiting byte (or at most inputLen), taken out of the receive buffer.
    QByteArray input();

    // Drops every byte received so far, including what the device holds but has not handed
    // over yet: what follows is an answer to what is sent next, not an old one.
    void clearInput();

    int commEvent() const { return commEvent_; }

    // Where port N leads, for messages ("/dev/ttyUSB0", "rfc2217://lab-7:4001"); empty when
    // unknown.
    virtual QString portDescription(int port) const;

    // Around a probe of `ports` one by one: ports that take long to answer (network ports) may be
    // asked all at once first, and the probe's opens then take their answers.
    virtual void probeAhead(const QList<int> &ports) { Q_UNUSED(ports) }
    virtual void endProbe() {}

signals:
    void OnComm();
    // The open port went away under us (device unplugged, far end closed); the port is closed now.
    void linkLost(const QString &reason);
    // A lost link came back by itself with the same settings and lines.
    void linkRestored();

    // For a transcript of the line: every frame that reached the port, every hand-over that did
    // not, every receive batch taken, and every change of the link and its lines.
    void handedOver(const QByteArray &bytes);
    void sendFailed(const QString &cause);
    void batchTaken(const QByteArray &batch);
    void opened();
    void openFailed(const QString &cause);
    void closed();
    void lineChanged(const QString &line, bool on); // "DTR" or "RTS"
    // Something about the link worth a line of its own: where a network port leads, and that
    // its server keeps the line settings to itself.
    void noted(const QString &what);

protected:
    virtual void openDevice(int port, const LineSettings &line) = 0;
    virtual void closeDevice() = 0;
    virtual void applyLine(const LineSettings &) {}
    // Called only while the port is open.
    virtual void applyDtr(bool on) = 0;
    virtual void applyRts(bool on) = 0;
    virtual void writeBytes(const QByteArray &bytes) = 0;
    virtual QByteArray readBytes(qint64 maxBytes) = 0; // 0: all
    virtual qint64 bytesWaiting() const = 0;
    virtual void discardWaiting();
    // Every property write, for the fake's record of what happened in which order.
    virtual void traced(const QString &) {}
    // A link was just lost and the port closed, before anyone hears of it: whatever the
    // listeners do (a report the operator has to close), watching for the device's return must
    // already be under way.
    virtual void awaitReturn() {}

    // For implementations: new bytes are in the receive buffer.
    void dataArrived();
    void raiseCommEvent(int code);
    void dropLink(const QString &reason);
    void reopenLost();
    bool lost() const { return lost_; }
    const LineSettings &line() const { return line_; }

private:
    void requireOpen(const char *what) const;
    // Records the write of a numeric property, then sets it or throws when it is out of range.
    void setNumber(const char *property, const char *meaning, int &member, int value, bool valid);

    int commPort_ = 1;
    bool open_ = false;
    bool lost_ = false;
    QString settings_ = settingsText(LineSettings{});
    LineSettings line_;
    int rThreshold_ = 0;
    int inputMode_ = 0;
    int inputLen_ = 0;
    bool dtr_ = false;
    bool rts_ = false;
    int commEvent_ = 0;
};

} // namespace tqm
