// The simulated TQM-810's state, and what each frame does to it and answers.
#include "sim/device.h"

#include <QStringDecoder>

namespace tqm::sim {

namespace {

// Control characters would upset the technician's terminal; show them as escapes instead.
QString printable(const QString &text) {
    QString out;
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

int digitsAt(const QByteArray &args, qsizetype at, qsizetype count) {
    return args.mid(at, count).toInt();
}

} // namespace

Device::Device(ReplyTable replies)
    : replies_(std::move(replies)) {}

Reaction Device::handle(const Frame &frame) {
    QString line = apply(frame);
    // After the state change, so that a reply may name the read point an advance has just set.
    return {std::move(line), replies_.reply(frame.code, readPoint_)};
}

QString Device::apply(const Frame &frame) {
    const QByteArray &args = frame.args;
    switch (frame.code) {
    case 'R':
        // The clock, the stored records and their read point outlive a reset.
        lcd_.clear();
        backLight_ = false;
        aux_ = false;
        relaySeconds_ = 0;
        leds_ = {};
        return QStringLiteral("reset: LCD cleared, back-light, aux port, relay and LEDs off");
    case 'g':
    case 'G':
        backLight_ = frame.code == 'G';
        return backLight_ ? QStringLiteral("back-light on") : QStringLiteral("back-light off");
    case 'y':
    case 'Y':
        aux_ = frame.code == 'Y';
        return aux_ ? QStringLiteral("aux port on") : QStringLiteral("aux port off");
    case '#':
        return QStringLiteral("version asked");
    case 'N':
        return QStringLiteral("sensor status asked");
    case 'P':
        // The relay is not timed off: what matters to the console is the command that arrived.
        relaySeconds_ = digitsAt(args, 0, 1);
        return relaySeconds_ == 0 ? QStringLiteral("relay off")
                                  : QStringLiteral("relay on for %1 s").arg(relaySeconds_);
    case 'T':
        return QStringLiteral("memory record %1 sent").arg(readPoint_, 4, 10, QLatin1Char('0'));
    case 'H':
        readPoint_ = readPoint_ == kLastRecord ? 1 : readPoint_ + 1;
        return QStringLiteral("memory read point now %1").arg(readPoint_, 4, 10, QLatin1Char('0'));
    case 'W': {
        // Each line is decoded on its own, so that a broken character cannot swallow a line break.
        lcd_.clear();
        for (const QByteArray &bytes : args.split('\n')) {
            QStringDecoder cp949("windows-949");
            lcd_.append(cp949.decode(bytes));
        }
        QStringList shown;
        for (qsizetype i = 0; i < lcd_.size(); ++i)
            shown.append(QStringLiteral("%1: %2").arg(i + 1).arg(printable(lcd_[i])));
        return QStringLiteral("LCD ") + shown.join(QStringLiteral(" | "));
    }
    case 'X': {
        const QDate date(2000 + digitsAt(args, 0, 2), digitsAt(args, 2, 2), digitsAt(args, 4, 2));
        const QTime time(digitsAt(args, 6, 2), digitsAt(args, 8, 2), digitsAt(args, 10, 2));
        if (!date.isValid() || !time.isValid())
            return QStringLiteral("clock not set: %1 is no date and time")
                .arg(QString::fromLatin1(args));
        // UTC only so that no daylight-saving rule of the PC shifts the device's wall time.
        clock_ = QDateTime(date, time, Qt::UTC);
        return QStringLiteral("clock set to %1").arg(clock_.toString(u"yyyy-MM-dd HH:mm:ss"));
    }
    case 'E':
        // E stops whatever pattern runs; the console sends it before each new L.
        leds_ = {};
        return QStringLiteral("LED/buzzer pattern ended");
    case 'L':
        leds_ = {digitsAt(args, 0, 1), digitsAt(args, 1, 1), digitsAt(args, 2, 1)};
        return QStringLiteral("LED/buzzer: red %1, green %2, buzzer %3 on/off cycles")
            .arg(leds_.red)
            .arg(leds_.green)
            .arg(leds_.buzzer);
    case kDataSend:
        data_ = args;
        return QStringLiteral("data received: %1").arg(QString::fromLatin1(args));
    }
    return QStringLiteral("frame with unknown code 0x%1 ignored")
        .arg(uchar(frame.code), 2, 16, QLatin1Char('0'));
}

} // namespace tqm::sim
