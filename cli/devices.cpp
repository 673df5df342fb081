// Listing serial devices from sysfs the way QSerialPortInfo describes them: a tty with a
// driver, its USB vendor, product, serial number and product name from the nearest USB device
// above it; built-in UARTs the kernel found no hardware for are left out.
#include "cli/devices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace tqm::cli {

namespace {

QString attribute(const QString &dir, const char *name) {
    QFile file(dir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

// The first folder at or above `dir` (within sysfs) that has an idVendor attribute.
QString usbDeviceAbove(QString dir, const QString &root) {
    for (int depth = 0; depth < 16 && dir.startsWith(root) && dir.size() > root.size(); ++depth) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor")))
            return dir;
        dir = QFileInfo(dir).path();
    }
    return {};
}

} // namespace

QList<SerialDevice> serialDevices(const DeviceFolders &folders) {
    // by-id names, by the device they lead to.
    QHash<QString, QString> byId;
    const QDir idDir(folders.byId);
    for (const QFileInfo &link : idDir.entryInfoList(QDir::System | QDir::Files, QDir::Name))
        byId.insert(QFileInfo(link.symLinkTarget()).fileName(), link.fileName());

    QList<SerialDevice> found;
    const QDir tty(folders.sysClassTty);
    // sysfs itself: /sys for /sys/class/tty.
    const QString sysRoot = QDir(folders.sysClassTty + QStringLiteral("/../..")).canonicalPath();
    for (const QString &name :
         tty.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString entry = tty.filePath(name);
        const QString device = QFileInfo(entry + QStringLiteral("/device")).canonicalFilePath();
        if (device.isEmpty())
            continue; // a virtual terminal, no hardware
        const QString driver =
            QFileInfo(QFileInfo(device + QStringLiteral("/driver")).canonicalFilePath()).fileName();
        if (driver.isEmpty())
            continue;
        // A built-in UART slot without hardware reports port type 0.
        if (driver == QLatin1String("serial8250") && attribute(entry, "type") == QLatin1String("0"))
            continue;
        SerialDevice d;
        d.path = folders.dev + QLatin1Char('/') + name;
        d.byId = byId.value(name);
        const QString usb = usbDeviceAbove(device, sysRoot);
        if (!usb.isEmpty()) {
            d.vendorProduct =
                attribute(usb, "idVendor") + QLatin1Char(':') + attribute(usb, "idProduct");
            d.serialNumber = attribute(usb, "serial");
            d.description = attribute(usb, "product");
        }
        found << d;
    }
    return found;
}

} // namespace tqm::cli
