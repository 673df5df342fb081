// The receive log file: what the receive box shows, as the bytes the device sent where it can.
#pragma once

#include "serial/platform.h"

#include <QByteArray>
#include <QString>

namespace tqm {

// "C:\savemsr.txt" on Windows; savemsr.txt in the home directory elsewhere.
QString logFilePath(Platform platform = hostPlatform());

// The file's bytes for a box text: each high-byte rendering back as its byte, everything else
// in code page 949 ('?' where it has no code), then CR LF.
QByteArray logFileBytes(const QString &text);

// Replaces the file with logFileBytes(text). A failed save throws Failure and leaves the earlier
// file as it was: the text goes to a temporary file that is renamed over the old one.
void writeLogFile(const QString &path, const QString &text);

} // namespace tqm
