// Cuts the byte stream that the console sends into the device's frames, skipping what is not one.
#include "sim/frame_splitter.h"

#include <utility>

namespace tqm::sim {

namespace {

constexpr char kEsc = 0x1B;
constexpr char kCr = 0x0D;
constexpr QByteArrayView kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

bool isShortCode(char c) {
    return QByteArrayView("RgG#yYNTH").contains(c);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

QString codeName(char c) {
    return (c > 0x20 && c < 0x7F) ? QStringLiteral("'%1'").arg(QLatin1Char(c))
                                  : QStringLiteral("0x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
}

} // namespace

QList<SplitEvent> FrameSplitter::feed(QByteArrayView chunk) {
    QList<SplitEvent> out;
    for (char byte : chunk)
        take(byte, out);
    // Stray bytes cannot turn into anything, so the technician hears of them at once.
    flushStray(out);
    return out;
}

QList<SplitEvent> FrameSplitter::flush() {
    QList<SplitEvent> out;
    if (m_state != State::Idle) {
        out.append({true, {}, {m_buf, QStringLiteral("frame cut short")}});
        m_buf.clear();
        m_state = State::Idle;
    }
    flushStray(out);
    return out;
}

void FrameSplitter::take(char byte, QList<SplitEvent> &out) {
    switch (m_state) {
    case State::Idle:
        startIdle(byte, out);
        return;
    case State::Plus:
        if (byte != '+')
            return broken(byte, QStringLiteral("ESC not followed by '+'"), out);
        m_buf.append(byte);
        m_state = State::Code;
        return;
    case State::Code:
        m_code = byte;
        if (isShortCode(byte)) {
            m_buf.append(byte);
            return emitFrame({}, out);
        }
        switch (byte) {
        case 'P':
            m_digitsLeft = 1;
            break;
        case 'L':
            m_digitsLeft = 3;
            break;
        case 'X':
            m_digitsLeft = 12;
            break;
        case 'E':
            m_digitsLeft = 0;
            break;
        case 'W':
            m_buf.append(byte);
            m_state = State::Text;
            return;
        default:
            return broken(byte, QStringLiteral("unknown command code %1").arg(codeName(byte)), out);
        }
        m_buf.append(byte);
        m_state = m_digitsLeft > 0 ? State::Digits : State::Cr;
        return;
    case State::Digits:
        if (!isDigit(byte))
            return broken(
                byte, QStringLiteral("%1 frame with a non-digit argument").arg(codeName(m_code)),
                out);
        m_buf.append(byte);
        if (--m_digitsLeft == 0)
            m_state = State::Cr;
        return;
    case State::Cr:
        if (byte != kCr)
            return broken(byte, QStringLiteral("%1 frame without its CR").arg(codeName(m_code)),
                          out);
        return endWithCr(out);
    case State::Text:
        if (byte == kCr)
            return endWithCr(out);
        // No byte of a Korean character is ESC, so an ESC here means the CR was lost.
        if (byte == kEsc)
            return broken(byte, QStringLiteral("'W' text broken off by ESC"), out);
        if (m_buf.size() - 3 >= kMaxText)
            return broken(byte, QStringLiteral("'W' text over %1 bytes").arg(kMaxText), out);
        m_buf.append(byte);
        return;
    case State::Letters:
        if (byte != kLetters[m_buf.size()])
            return broken(byte, QStringLiteral("A..Z run broken off"), out);
        m_buf.append(byte);
        if (m_buf.size() == kLetters.size())
            emitFrame(m_buf, out);
        return;
    }
}

void FrameSplitter::startIdle(char byte, QList<SplitEvent> &out) {
    if (byte == kEsc || byte == kLetters[0]) {
        flushStray(out);
        m_buf = QByteArray(1, byte);
        m_code = kDataSend;
        m_state = byte == kEsc ? State::Plus : State::Letters;
        return;
    }
    m_stray.append(byte);
    if (m_stray.size() >= kMaxText)
        flushStray(out);
}

// The byte that broke a frame belongs to the broken frame, unless it may begin the next one.
void FrameSplitter::broken(char byte, const QString &why, QList<SplitEvent> &out) {
    const bool startsFrame = byte == kEsc || byte == kLetters[0];
    QByteArray bytes = std::exchange(m_buf, {});
    if (!startsFrame)
        bytes.append(byte);
    m_state = State::Idle;
    out.append({true, {}, {bytes, why}});
    if (startsFrame)
        startIdle(byte, out);
}

void FrameSplitter::endWithCr(QList<SplitEvent> &out) {
    QByteArray args = m_buf.mid(3);
    m_buf.append(kCr);
    emitFrame(std::move(args), out);
}

void FrameSplitter::emitFrame(QByteArray args, QList<SplitEvent> &out) {
    out.append({false, {m_code, std::move(args), std::exchange(m_buf, {})}, {}});
    m_state = State::Idle;
}

void FrameSplitter::flushStray(QList<SplitEvent> &out) {
    if (m_stray.isEmpty())
        return;
    out.append({true, {}, {std::exchange(m_stray, {}), QStringLiteral("bytes outside any frame")}});
}

} // namespace tqm::sim
