// The console's line and the probe of its COM ports.
#include "link/console_line.h"

#include "serial/failure.h"
#include "serial/serial_control.h"

namespace tqm {

const ConsoleLine &consoleLine() {
    static const ConsoleLine line{1, QStringLiteral("9600,n,8,1")};
    return line;
}

QString comName(int port) {
    return QStringLiteral("COM%1").arg(port);
}

void setUpConsoleLine(SerialControl &port, bool dtr, bool rts) {
    const ConsoleLine &line = consoleLine();
    port.setSettings(line.settings);
    port.setRThreshold(line.rThreshold);
    port.setInputMode(line.inputMode);
    port.setInputLen(line.inputLen);
    port.setDTREnable(dtr);
    port.setRTSEnable(rts);
}

bool portOpens(SerialControl &port, int n) {
    try {
        port.setCommPort(n);
        port.setPortOpen(true);
        if (port.portOpen())
            port.setPortOpen(false);
        return true;
    } catch (const Failure &) {
        if (port.portOpen())
            port.setPortOpen(false);
        return false;
    }
}

QList<int> probeComPorts(SerialControl &port, const PortCheck &check) {
    QList<int> ports;
    for (int n = 1; n <= kComPorts; ++n)
        ports << n;
    port.probeAhead(ports);
    QList<int> found;
    for (const int n : ports)
        if (check(port, n))
            found << n;
    port.endProbe();
    return found;
}

} // namespace tqm
