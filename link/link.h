// The console's link over one serial control, kept the same for both faces: the probe of its COM
// ports, the transcript it records to, and when its device went away and came back.
#pragma once

#include "link/console_line.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QObject>

#include <functional>
#include <map>
#include <memory>

namespace tqm {

class Clock;
class SerialControl;
class Transcript;

// The losses of one port's device since the operator last took note of them.
struct LinkLoss {
    QString reason;  // the latest loss's
    QDateTime since; // the first loss
    QDateTime away;  // the latest loss
    QDateTime back;  // invalid while the device is away
    int losses = 0;

    bool isAway() const { return !back.isValid(); }
};

class Link : public QObject {
    Q_OBJECT
public:
    Link(SerialControl &port, const Clock &clock, QObject *parent = nullptr);
    ~Link() override;

    // Probing every port is no event of the link: the transcript leaves it out.
    QList<int> probeComPorts(const PortCheck &check = portOpens);

    // Opens `path` for appending and records every exchange of the port there, each line naming
    // the port as `portName` gives it (COMn by default). False when it cannot; that failure, like
    // any later one to write, comes as transcriptFailed, and the link goes on without it.
    bool attachTranscript(const QString &path, std::function<QString()> portName = {},
                          const QString &program = QCoreApplication::applicationName(),
                          const QString &version = QCoreApplication::applicationVersion());
    // Records this port's exchanges in the transcript `first` attached, so that several ports run
    // side by side write one file, each line naming its port. Failures stay `first`'s to report.
    // False when `first` has none open.
    bool shareTranscript(const Link &first, std::function<QString()> portName = {});

    // The losses of COM`port` since clearLoss(port); null when there were none.
    const LinkLoss *loss(int port) const;
    void clearLoss(int port);

signals:
    void transcriptFailed(const QString &message);
    // COM`port`'s device went away, or came back; loss(port) tells which.
    void lossChanged(int port);

private:
    SerialControl &port_;
    const Clock &clock_;
    std::shared_ptr<Transcript> transcript_;
    std::map<int, LinkLoss> losses_;
};

} // namespace tqm
