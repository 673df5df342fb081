// Printing for the command line.
#include "cli/output.h"

#include "receive/byte_rendering.h"

#include <cstdio>

namespace tqm::cli {

namespace {

void write(FILE *to, const QByteArray &bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

} // namespace

void toStdout(const QString &text) {
    write(stdout, text.toUtf8());
}

void toStderr(const QString &text) {
    write(stderr, QStringLiteral("tqm810: %1\n").arg(text).toUtf8());
}

QString printedAnswer(const QByteArray &answer, bool hex) {
    return hex ? QString::fromLatin1(answer.toHex(' ').toUpper()) : renderBatch(answer);
}

} // namespace tqm::cli
