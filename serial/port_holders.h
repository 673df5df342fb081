// Who else has a serial device open: a `cat` or a monitor left running on a station's port takes
// the answers meant for us, and the unit then fails with nothing received.
#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tqm {

struct PortHolder {
    qint64 pid = 0;
    QString name; // the program's, as the system names the process ("cat")
};

// One look at the other processes of this user, through their /proc entries, taken when first
// asked and then asked of every device: a run on eight ports looks once. Sees nothing where the
// system does not tell (no /proc, another user's process).
class PortHolderScan {
public:
    // The processes that hold `device` (a canonical path) open. A process that also holds the
    // master side of the device's pseudo-terminal pair is the far end of the line, not a holder.
    QList<PortHolder> holdersOf(const QString &device) const;

private:
    struct Process {
        qint64 pid;
        QList<QByteArray> devices; // what its open files lead to under /dev
        QList<long> ptyMasters;    // the pseudo-terminal pairs whose master side it holds
    };
    mutable std::optional<QList<Process>> processes_;
};

// "PID 1234 (cat)", several joined by ", ".
QString holdersText(const QList<PortHolder> &holders);

} // namespace tqm
