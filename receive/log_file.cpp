// Writing the receive log file.
#include "receive/log_file.h"

#include "receive/byte_rendering.h"
#include "serial/cp949.h"
#include "serial/failure.h"

#include <QDir>
#include <QSaveFile>

namespace tqm {

QString logFilePath(Platform platform) {
    if (platform == Platform::Windows)
        return QStringLiteral("C:\\savemsr.txt");
    return QDir::homePath() + QStringLiteral("/savemsr.txt");
}

QByteArray logFileBytes(const QString &text) {
    QByteArray bytes;
    bytes.reserve(text.size() + 2);
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) {
            bytes += static_cast<char>(ch.unicode());
        } else if (const int b = highByteOf(ch); b >= 0) {
            bytes += static_cast<char>(b);
        } else {
            try {
                bytes += encodeCp949(QString(ch));
            } catch (const Failure &) {
                bytes += '?';
            }
        }
    }
    bytes += "\r\n";
    return bytes;
}

void writeLogFile(const QString &path, const QString &text) {
    QSaveFile file(path);
    const QByteArray bytes = logFileBytes(text);
    // commit() renames even when its own flush failed (a full disk): flush and check first.
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                         file.flush() && file.size() == bytes.size();
    if (!written) {
        const QString why = file.errorString();
        file.cancelWriting();
        throw Failure(QStringLiteral("Cannot write the log file %1: %2").arg(path, why));
    }
    if (!file.commit())
        throw Failure(
            QStringLiteral("Cannot write the log file %1: %2").arg(path, file.errorString()));
}

} // namespace tqm
