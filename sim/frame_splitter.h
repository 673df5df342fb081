// Cuts the byte stream that the console sends into the device's frames, skipping what is not one.
#pragma once

#include "sim/code_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMetaType>
#include <QString>

namespace tqm::sim {

struct Frame {
    char code = 0;   // command code after ESC '+', or kDataSend
    QByteArray args; // between the code and the CR; the 26 letters for a Data Send
    QByteArray raw;  // every byte of the frame as it came off the line

    friend bool operator==(const Frame &, const Frame &) = default;
};

// Bytes that were not a frame, with a few words on why, for the technician.
struct Skipped {
    QByteArray bytes;
    QString why;
};

// One result of feeding, in line order: a frame, or a run of skipped bytes.
struct SplitEvent {
    bool skipped = false;
    Frame frame;  // valid when !skipped
    Skipped skip; // valid when skipped
};

class FrameSplitter {
public:
    // An LCD text longer than this is not a display text but a lost CR.
    static constexpr qsizetype kMaxText = 1024;

    // Takes one read's worth of bytes; a frame may begin in one chunk and end in a later one.
    QList<SplitEvent> feed(QByteArrayView chunk);

    // Gives up on a frame that has begun but not ended (the line went quiet for good).
    QList<SplitEvent> flush();

    // Bytes held back while a frame is still incomplete; never much more than kMaxText.
    qsizetype buffered() const { return buf_.size() + stray_.size(); }

private:
    enum class State { Idle, Plus, Code, Letters, Digits, Cr, Text };

    void take(char byte, QList<SplitEvent> &out);
    void startIdle(char byte, QList<SplitEvent> &out);
    void startArgs(const CommandCode &row, QList<SplitEvent> &out);
    void broken(char byte, const QString &why, QList<SplitEvent> &out);
    void endWithCr(QList<SplitEvent> &out);
    void emitFrame(QByteArray args, QList<SplitEvent> &out);
    void flushStray(QList<SplitEvent> &out);

    State state_ = State::Idle;
    QByteArray buf_;   // the frame so far
    QByteArray stray_; // bytes outside any frame, reported at the next frame start or chunk end
    char code_ = 0;
    int digitsLeft_ = 0;
};

} // namespace tqm::sim

Q_DECLARE_METATYPE(tqm::sim::Frame)
