// ports, map and devices: which ports open, where each COM number leads, what is plugged in.
#include "cli/devices.h"
#include "cli/output.h"
#include "cli/port_links.h"
#include "cli/sub_commands.h"
#include "link/console_line.h"
#include "serial/failure.h"
#include "serial/network_address.h"
#include "serial/qt_serial_control.h"

namespace tqm::cli {

ExitStatus portsCommand(const Args &args) {
    if (!args.operands.isEmpty())
        throw Usage{QStringLiteral("ports takes no arguments")};
    // Not there or not free now: not listed, as the console lists them.
    QtSerialControl port{PortMap()};
    for (const int com : probeComPorts(port))
        toStdout(comName(com) + QLatin1Char('\n'));
    return Done;
}

ExitStatus mapCommand(const Args &args) {
    const QString dir = PortMap::defaultPortsDir();
    PortLinks links(dir);
    const auto show = [&](int com) {
        const PortLink link = links.link(com);
        toStdout(QStringLiteral("%1\t%2\t%3\n")
                     .arg(comName(com))
                     .arg(link.target.isEmpty() ? QStringLiteral("-") : link.target,
                          link.network   ? QStringLiteral("network")
                          : link.present ? QStringLiteral("present")
                                         : QStringLiteral("absent")));
    };
    if (args.operands.isEmpty()) {
        if (args.has(QStringLiteral("--remove")))
            throw Usage{QStringLiteral("--remove wants a COM port")};
        for (int com = 1; com <= kComPorts; ++com)
            show(com);
        return Done;
    }
    const int com = parseComName(args.operands[0]);
    if (com == 0)
        throw Usage{
            QStringLiteral("\"%1\" is not COM1 to COM%2").arg(args.operands[0]).arg(kComPorts)};
    const bool remove = args.has(QStringLiteral("--remove"));
    if (args.operands.size() > 2 || (remove && args.operands.size() > 1))
        throw Usage{QStringLiteral("map takes COMn and one target, or COMn --remove")};
    // A device server's port is a link whose target is its URL.
    if (QString why; args.operands.size() == 2 && looksLikeUrl(args.operands[1]) &&
                     !parseNetworkAddress(args.operands[1], &why))
        throw Usage{why};
    try {
        if (remove) {
            links.remove(com);
        } else if (args.operands.size() == 2) {
            bool created = false;
            links.set(com, args.operands[1], created);
            if (created)
                toStderr(QStringLiteral("created %1: it is now the whole port map, so COM "
                                        "numbers without a link there no longer fall back to "
                                        "/dev/ttyS*")
                             .arg(dir));
        }
    } catch (const Failure &failure) {
        toStderr(failure.message());
        return PortFailure;
    }
    show(com);
    return Done;
}

ExitStatus devicesCommand(const Args &args) {
    if (!args.operands.isEmpty())
        throw Usage{QStringLiteral("devices takes no arguments but options")};
    DeviceFolders folders;
    folders.sysClassTty = args.value(QStringLiteral("--sysfs")).value_or(folders.sysClassTty);
    folders.dev = args.value(QStringLiteral("--dev")).value_or(folders.dev);
    folders.byId = args.value(QStringLiteral("--by-id")).value_or(folders.byId);
    const auto orDash = [](const QString &text) {
        return text.isEmpty() ? QStringLiteral("-") : text;
    };
    QString out;
    for (const SerialDevice &d : serialDevices(folders))
        out += QStringList{d.path, orDash(d.byId), orDash(d.vendorProduct), orDash(d.serialNumber),
                           orDash(d.description)}
                   .join(QLatin1Char('\t')) +
               QLatin1Char('\n');
    toStdout(out);
    return Done;
}

} // namespace tqm::cli
