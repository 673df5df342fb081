// Text to code page 949 bytes through Qt's ICU-backed converter.
#include "serial/cp949.h"

#include "serial/failure.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tqm {

// "windows-949" is Microsoft's table; ICU's "CP949" alias is IBM-949 (backslash as 0x82).
static constexpr const char *kCodec = "windows-949";

bool cp949Available() {
    return QStringEncoder(kCodec).isValid();
}

QByteArray encodeCp949(const QString &text) {
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        throw Failure(QStringLiteral("The code page 949 converter is not available"));
    QByteArray bytes = encoder.encode(text);
    // ICU substitutes silently; decoding back is the one reliable test that nothing was replaced.
    QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    if (encoder.hasError() || QString(decoder.decode(bytes)) != text)
        throw Failure(QStringLiteral("Text cannot be sent in code page 949: %1").arg(text));
    return bytes;
}

} // namespace tqm
