// libFuzzer entry for the line settings string: any text is either refused with a Failure or
// gives settings the line can take, which read back the same and leave nothing half-changed.
#include "serial/failure.h"
#include "serial/serial_control.h"
#include "tests/support/fake_serial_control.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>

namespace {

// The plain form "9600,n,8,1" as the console writes it; whatever matches must be taken as it reads.
const QRegularExpression kPlain(QStringLiteral("^([0-9]{1,7}),([neoms]),([4-8]),(1|1\\.5|2)$"));

QString spelled(const tqm::LineSettings &line) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(line.baud)
        .arg(QLatin1Char(line.parity))
        .arg(line.dataBits)
        .arg(line.stopBits);
}

bool same(const tqm::LineSettings &a, const tqm::LineSettings &b) {
    return a.baud == b.baud && a.parity == b.parity && a.dataBits == b.dataBits &&
           a.stopBits == b.stopBits;
}

bool valid(const tqm::LineSettings &line) {
    return line.baud >= 50 && line.baud <= 4000000 && line.parity != 0 &&
           QByteArrayView("neoms").contains(line.parity) && line.dataBits >= 4 &&
           line.dataBits <= 8 &&
           (line.stopBits == QLatin1String("1") || line.stopBits == QLatin1String("1.5") ||
            line.stopBits == QLatin1String("2"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    bool taken = false;
    tqm::LineSettings line;
    try {
        line = tqm::parseSettings(text);
        taken = true;
    } catch (const tqm::Failure &failure) {
        if (failure.message().isEmpty())
            abort(); // the operator must be told what was wrong
    }

    const QRegularExpressionMatch plain = kPlain.match(text);
    if (plain.hasMatch()) {
        const int baud = plain.captured(1).toInt();
        if ((baud >= 50 && baud <= 4000000) != taken)
            abort();
        if (taken &&
            (line.baud != baud || line.parity != plain.captured(2).at(0).toLatin1() ||
             line.dataBits != plain.captured(3).toInt() || line.stopBits != plain.captured(4)))
            abort();
    }

    if (taken) {
        if (!valid(line) || text.count(QLatin1Char(',')) != 3)
            abort();
        // Read back from its plain form, the same settings again.
        try {
            if (!same(tqm::parseSettings(spelled(line)), line))
                abort();
        } catch (const tqm::Failure &) {
            abort();
        }
    }

    // On the control: a refused string leaves the earlier settings standing, a taken one is kept
    // as written, since the description label shows it.
    // One control per input: the fake keeps a trace of every write, which would pile up.
    tqm::FakeSerialControl port;
    const QString before = port.settings();
    try {
        port.setSettings(text);
        if (!taken || port.settings() != text)
            abort();
    } catch (const tqm::Failure &) {
        if (taken || port.settings() != before)
            abort();
    }
    return 0;
}
