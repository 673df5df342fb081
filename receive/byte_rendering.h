// How each received byte is shown: control bytes by their bracketed ASCII names, printable ASCII
// as itself, and each byte from 0x80 up as one visible character of its own.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>

namespace tqm {

// The text that stands for one byte value, built once.
const std::array<QString, 256> &byteRenderings();

// One receive batch rendered byte by byte; bytes are never combined into one character.
QString renderBatch(const QByteArray &batch);

// The byte a character of the 0x80..0xFF renderings stands for, or -1 for any other character.
int highByteOf(QChar ch);

} // namespace tqm
