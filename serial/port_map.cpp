// The COM number to device mapping, in the manner of the comN links of Windows-compatibility
// layers.
#include "serial/port_map.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace tqm
