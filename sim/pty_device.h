// The simulated TQM-810 on a pseudo-terminal: the console opens the slave side like a serial port.
#pragma once

#include "sim/device.h"
#include "sim/frame_splitter.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace tqm::sim {

class PtyDevice : public QObject {
    Q_OBJECT
public:
    explicit PtyDevice(QObject *parent = nullptr);
    ~PtyDevice() override;

    // Creates the pseudo-terminal; false with errorString() set when the system refuses one.
    bool open();
    QString errorString() const { return error_; }

    // The path the console opens, e.g. /dev/pts/7; empty before open().
    QString slavePath() const { return slavePath_; }

    Device &device() { return device_; }
    const Device &device() const { return device_; }

signals:
    // In this order for each frame, after its reply is on the line.
    void frameReceived(const tqm::sim::Frame &frame, const QByteArray &reply);
    void stateLine(const QString &line);
    // Bytes that were no frame, skipped.
    void garbage(const QByteArray &bytes, const QString &why);
    // A reply not sent, because the console has left `unread` bytes of earlier ones unread.
    void replyDropped(qsizetype bytes, qsizetype unread);
    // The line failed in a way the simulation cannot recover from; reading has stopped.
    void failed(const QString &why);

private:
    void readMaster();
    void writeMaster();
    void handle(const QList<SplitEvent> &events);
    void fail(const QString &why);

    int master_ = -1;
    // Held open so that the master never sees a hang-up (which would wake the reader without end)
    // and so that the raw line settings survive the console closing its side.
    int slave_ = -1;
    QString slavePath_;
    QString error_;
    QSocketNotifier *reader_ = nullptr;
    QSocketNotifier *writer_ = nullptr;
    QByteArray out_; // replies the line has not taken yet
    FrameSplitter splitter_;
    Device device_;
};

} // namespace tqm::sim
