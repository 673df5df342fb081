// Printing for the command line.
#include "cli/output.h"

#include "receive/byte_rendering.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tqm::cli {

namespace {

bool stdoutGone = false;

bool write(FILE *to, const QByteArray &bytes) {
    const bool whole =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to) == size_t(bytes.size());
    return std::fflush(to) == 0 && whole;
}

} // namespace

void toStdout(const QString &text) {
    if (stdoutGone || write(stdout, text.toUtf8()))
        return;
    stdoutGone = true;
    // A reader that stops reading (head, grep -q) ends the output without a word, as the signal
    // it would have killed us with did; anything else is worth saying.
    if (errno != EPIPE)
        toStderr(QStringLiteral("cannot write the standard output: %1")
                     .arg(QString::fromLocal8Bit(strerror(errno))));
}

bool stdoutLost() {
    return stdoutGone;
}

void toStderr(const QString &text) {
    write(stderr, QStringLiteral("tqm810: %1\n").arg(text).toUtf8());
}

QString printedAnswer(const QByteArray &answer, bool hex) {
    return hex ? QString::fromLatin1(answer.toHex(' ').toUpper()) : renderBatch(answer);
}

} // namespace tqm::cli
