// The console's line as both faces set it up: its settings and modes, written once, and the probe
// of COM1..COM8 that tells which ports open now.
#pragma once

#include "commands/control_table.h"

#include <QList>
#include <QString>

#include <functional>

namespace tqm {

class SerialControl;

// What the console writes to the serial control to make its link, property by property, so that
// each face can keep its own order of steps.
struct ConsoleLine {
    int port = 1;
    QString settings;
    int rThreshold = 1; // a receive event as soon as one byte waits
    int inputMode = 1;  // binary: input() yields bytes
    int inputLen = 0;   // one read takes every waiting byte
    bool dtr = true;
    bool rts = true;
};
const ConsoleLine &consoleLine();

// "COM3".
QString comName(int port);

// Writes every value of the console's line but the port number, the lines given, to a closed port,
// so that opening it next makes the console's link.
void setUpConsoleLine(SerialControl &port, bool dtr, bool rts);

// True when COM`n` opened without an error; either way the port is left closed, its number n.
bool portOpens(SerialControl &port, int n);

// The COM ports that `check` finds open, tried from COM1 up, in ascending order.
using PortCheck = std::function<bool(SerialControl &, int)>;
QList<int> probeComPorts(SerialControl &port, const PortCheck &check = portOpens);

} // namespace tqm
