// Who else has a serial device open: a `cat` or a monitor left running on a station's port takes
// the answers meant for us, and the unit then fails with nothing received.
#pragma once

#include <QList>
#include <QString>

namespace tqm {

struct PortHolder {
    qint64 pid = 0;
    QString name; // the program's, as the system names the process ("cat")
};

// The other processes of this user that hold `device` open, read from their /proc entries. Empty
// where the system does not tell (no /proc, another user's process). A process that also holds
// the master side of the device's pseudo-terminal pair is the far end of the line, not a holder.
QList<PortHolder> portHolders(const QString &device);

// "PID 1234 (cat)", several joined by ", ".
QString holdersText(const QList<PortHolder> &holders);

} // namespace tqm
