// Cuts the byte stream that the console sends into the device's frames, skipping what is not one.
#include "sim/frame_splitter.h"

#include <utility>

namespace tqm::sim {

namespace {

constexpr char kEsc = 0x1B;
constexpr char kCr = 0x0D;
constexpr QByteArrayView kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
static_assert(kLetters[0] == kDataSend, "the letter run is filed under its first letter");

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The row of the letter run when c begins it: the one frame that starts without ESC.
const CommandCode *letterRun(char c) {
    const CommandCode *row = findCode(c);
    return row != nullptr && row->layout == ArgLayout::Letters ? row : nullptr;
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
    if (state_ != State::Idle) {
        out.append({true, {}, {buf_, QStringLiteral("frame cut short")}});
        buf_.clear();
        state_ = State::Idle;
    }
    flushStray(out);
    return out;
}

void FrameSplitter::take(char byte, QList<SplitEvent> &out) {
    switch (state_) {
    case State::Idle:
        startIdle(byte, out);
        return;
    case State::Plus:
        if (byte != '+')
            return broken(byte, QStringLiteral("ESC not followed by '+'"), out);
        buf_.append(byte);
        state_ = State::Code;
        return;
    case State::Code:
        code_ = byte;
        if (const CommandCode *row = escCode(byte))
            return startArgs(*row, out);
        return broken(byte, QStringLiteral("unknown command code %1").arg(codeName(byte)), out);
    case State::Digits:
        if (!isDigit(byte))
            return broken(byte,
                          QStringLiteral("%1 frame with a non-digit argument").arg(codeName(code_)),
                          out);
        buf_.append(byte);
        if (--digitsLeft_ == 0)
            state_ = State::Cr;
        return;
    case State::Cr:
        if (byte != kCr)
            return broken(byte, QStringLiteral("%1 frame without its CR").arg(codeName(code_)),
                          out);
        return endWithCr(out);
    case State::Text:
        if (byte == kCr)
            return endWithCr(out);
        // No byte of a Korean character is ESC, so an ESC here means the CR was lost.
        if (byte == kEsc)
            return broken(byte, QStringLiteral("%1 text broken off by ESC").arg(codeName(code_)),
                          out);
        if (buf_.size() - 3 >= kMaxText)
            return broken(
                byte, QStringLiteral("%1 text over %2 bytes").arg(codeName(code_)).arg(kMaxText),
                out);
        buf_.append(byte);
        return;
    case State::Letters:
        if (byte != kLetters[buf_.size()])
            return broken(byte, QStringLiteral("A..Z run broken off"), out);
        buf_.append(byte);
        if (buf_.size() == kLetters.size())
            emitFrame(buf_, out);
        return;
    }
}

void FrameSplitter::startIdle(char byte, QList<SplitEvent> &out) {
    if (byte == kEsc) {
        flushStray(out);
        buf_ = QByteArray(1, byte);
        state_ = State::Plus;
        return;
    }
    if (const CommandCode *run = letterRun(byte)) {
        flushStray(out);
        code_ = byte;
        return startArgs(*run, out);
    }
    stray_.append(byte);
    if (stray_.size() >= kMaxText)
        flushStray(out);
}

// Takes the code byte and waits for what its layout says comes next.
void FrameSplitter::startArgs(const CommandCode &row, QList<SplitEvent> &out) {
    buf_.append(row.code);
    switch (row.layout) {
    case ArgLayout::None:
        return emitFrame({}, out);
    case ArgLayout::Digits:
        digitsLeft_ = row.digits;
        state_ = State::Digits;
        return;
    case ArgLayout::CrOnly:
        state_ = State::Cr;
        return;
    case ArgLayout::Text:
        state_ = State::Text;
        return;
    case ArgLayout::Letters:
        state_ = State::Letters;
        return;
    }
}

// The byte that broke a frame belongs to the broken frame, unless it may begin the next one.
void FrameSplitter::broken(char byte, const QString &why, QList<SplitEvent> &out) {
    const bool startsFrame = byte == kEsc || letterRun(byte) != nullptr;
    QByteArray bytes = std::exchange(buf_, {});
    if (!startsFrame)
        bytes.append(byte);
    state_ = State::Idle;
    out.append({true, {}, {bytes, why}});
    if (startsFrame)
        startIdle(byte, out);
}

void FrameSplitter::endWithCr(QList<SplitEvent> &out) {
    QByteArray args = buf_.mid(3);
    buf_.append(kCr);
    emitFrame(std::move(args), out);
}

void FrameSplitter::emitFrame(QByteArray args, QList<SplitEvent> &out) {
    out.append({false, {code_, std::move(args), std::exchange(buf_, {})}, {}});
    state_ = State::Idle;
}

void FrameSplitter::flushStray(QList<SplitEvent> &out) {
    if (stray_.isEmpty())
        return;
    out.append({true, {}, {std::exchange(stray_, {}), QStringLiteral("bytes outside any frame")}});
}

} // namespace tqm::sim
