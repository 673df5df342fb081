// The serial devices present, read from the folders the system describes them in; the folders
// are parameters so that a test can lay out devices of its own.
#pragma once

#include <QList>
#include <QString>

namespace tqm::cli {

struct DeviceFolders {
    QString sysClassTty = QStringLiteral("/sys/class/tty");
    QString dev = QStringLiteral("/dev");
    QString byId = QStringLiteral("/dev/serial/by-id");
};

struct SerialDevice {
    QString path;          // /dev/ttyUSB0
    QString byId;          // its name in the by-id folder, or empty
    QString vendorProduct; // "0403:6001", or empty
    QString serialNumber;
    QString description;
};

// Never opens a device: only names, links and sysfs attributes are read.
QList<SerialDevice> serialDevices(const DeviceFolders &folders);

} // namespace tqm::cli
