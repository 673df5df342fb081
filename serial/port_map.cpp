// The COM number to device mapping, in the manner of the comN links of Windows-compatibility
// layers.
#include "serial/port_map.h"

#include "serial/network_address.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace tqm {

QString PortMap::defaultConfigDir() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/tqm810-console");
}

QString PortMap::defaultPortsDir() {
    return defaultConfigDir() + QStringLiteral("/ports");
}

PortMap::PortMap(QString portsDir, Platform platform)
    : portsDir_(std::move(portsDir))
    , platform_(platform) {}

PortMap PortMap::single(int port, QString device) {
    PortMap map{QString()};
    map.singlePort_ = port;
    map.singleDevice_ = std::move(device);
    return map;
}

QString PortMap::devicePath(int port) const {
    if (singlePort_ != 0)
        return port == singlePort_ ? singleDevice_ : QString();
    if (platform_ == Platform::Windows)
        return QStringLiteral("\\\\.\\COM%1").arg(port);
    if (!portsDir_.isEmpty() && QFileInfo(portsDir_).isDir()) {
        const QString link = portsDir_ + QStringLiteral("/com%1").arg(port);
        const QFileInfo info(link);
        return info.isSymLink() || info.exists() ? link : QString();
    }
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

QString PortMap::networkTarget(int port) const {
    QString target;
    if (singlePort_ != 0) {
        target = port == singlePort_ ? singleDevice_ : QString();
    } else {
#ifndef Q_OS_WIN
        // The target as written: resolved, it would be taken for a file in the ports folder.
        const QString path = devicePath(port);
        char buf[4096];
        const ssize_t n =
            path.isEmpty() ? -1 : ::readlink(QFile::encodeName(path).constData(), buf, sizeof buf);
        if (n > 0)
            target = QString::fromLocal8Bit(buf, qsizetype(n));
#endif
    }
    return looksLikeUrl(target) ? target : QString();
}

} // namespace tqm
