// Text to code page 949 bytes, the encoding the device and the log file expect.
#pragma once

#include <QByteArray>
#include <QString>

namespace tqm {

// Throws Failure when the converter is missing or a character has no CP949 code:
// a frame must never go out with a silent substitute.
QByteArray encodeCp949(const QString &text);

// True when the platform has the CP949 table; checked once at start-up.
bool cp949Available();

} // namespace tqm
