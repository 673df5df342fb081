// How much of the device's replies a screen reader is given to speak, and when. The clock is
// passed in, so the bounds are tested without waiting.
#pragma once

#include <QString>
#include <QStringView>

#include <limits>

namespace tqm {

class SpeechPace {
public:
    // The README's screen-reader paragraph states these.
    static constexpr qint64 kGapMs = 500;          // at most one utterance per half second
    static constexpr qint64 kQuietMs = 100;        // a reply in pieces is spoken as one...
    static constexpr qsizetype kMaxChars = 200;    // ...up to here, then only how much more
    static constexpr qint64 kReplyWindowMs = 5000; // a command's reply, wherever the focus is

    // A command went out at `now`: its reply is what arrives until the next one, for at most
    // kReplyWindowMs. What was waiting to be spoken belonged to the box the command emptied.
    void commandGiven(qint64 now);
    // New text in the box at `now`. It is spoken when the box has the focus or it answers a
    // command; otherwise the operator is elsewhere and did not ask.
    void arrived(QStringView text, bool boxFocused, qint64 now);
    // When the waiting text is due to be spoken; -1 when nothing waits.
    qint64 due() const;
    // What to speak at `now`, which is at or after due(); empty when nothing waits.
    QString take(qint64 now);

private:
    QString head_;        // the first kMaxChars characters waiting
    qsizetype more_ = 0;  // how many more came after them
    qint64 firstAt_ = -1; // when the waiting text began to arrive
    qint64 lastAt_ = -1;  // when its latest piece came
    qint64 spokenAt_ = std::numeric_limits<qint64>::min() / 2;
    qint64 replyUntil_ = -1;
};

} // namespace tqm
