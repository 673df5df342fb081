// How a COM number becomes a device: the comN links of a ports directory, or the platform's names.
#pragma once

#include "serial/platform.h"

#include <QString>

namespace tqm {

class PortMap {
public:
    // ${XDG_CONFIG_HOME:-$HOME/.config}/tqm810-console: the console's settings folder.
    static QString defaultConfigDir();
    // The ports folder inside it.
    static QString defaultPortsDir();

    explicit PortMap(QString portsDir = defaultPortsDir(), Platform platform = hostPlatform());

    // A map of one port: COM`port` is `device` whatever any ports directory says, and no other
    // port exists. For a device named on a command line rather than by its COM number.
    static PortMap single(int port, QString device);
    bool isSingle() const { return singlePort_ != 0; }

    // The path to open for COM`port`, or empty when the map has no such port.
    // Linux: the link portsDir/comN when portsDir exists (then it is the whole map),
    // else /dev/ttyS{N-1}. Windows: \\.\COMn.
    QString devicePath(int port) const;

    // The URL that COM`port`'s link (or the single device) is written as, when it leads to a
    // network port ("rfc2217://lab-7:4001": a link whose target is the URL); empty otherwise.
    QString networkTarget(int port) const;

    const QString &portsDir() const { return portsDir_; }

private:
    QString portsDir_;
    Platform platform_;
    int singlePort_ = 0; // 0: the ports directory decides
    QString singleDevice_;
};

} // namespace tqm
