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
    QString errorString() const { return m_error; }

    // The path the console opens, e.g. /dev/pts/7; empty before open().
    QString slavePath() const { return m_slavePath; }

    Device &device() { return m_device; }
    const Device &device() const { return m_device; }

signals:
    // In this order for each frame, after its reply is on the line.
    void frameReceived(const tqm::sim::Frame &frame, const QByteArray &reply);
    void stateLine(const QString &line);
    // Bytes that were no frame, skipped.
    void garbage(const QByteArray &bytes, const QString &why);
    // The line failed in a way the simulation cannot recover from; reading has stopped.
    void failed(const QString &why);

private:
    void readMaster();
    void writeMaster();
    void handle(const QList<SplitEvent> &events);
    void fail(const QString &why);

    int m_master = -1;
    // Held open so that the master never sees a hang-up (which would wake the reader without end)
    // and so that the raw line settings survive the console closing its side.
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
    QSocketNotifier *m_reader = nullptr;
    QSocketNotifier *m_writer = nullptr;
    QByteArray m_out; // replies the line has not taken yet
    FrameSplitter m_splitter;
    Device m_device;
};

} // namespace tqm::sim
