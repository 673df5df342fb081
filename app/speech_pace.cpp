// The bounds on what a screen reader is given to speak of the replies.
#include "app/speech_pace.h"

#include <algorithm>
#include <utility>

namespace tqm {

void SpeechPace::commandGiven(qint64 now) {
    head_.clear();
    more_ = 0;
    firstAt_ = lastAt_ = -1;
    replyUntil_ = now + kReplyWindowMs;
}

void SpeechPace::arrived(QStringView text, bool boxFocused, qint64 now) {
    if (text.isEmpty() || (!boxFocused && now >= replyUntil_))
        return;
    if (firstAt_ < 0)
        firstAt_ = now;
    lastAt_ = now;
    // A flood costs the same here whatever its size: the head is copied once, the rest counted.
    const qsizetype room = std::max<qsizetype>(0, kMaxChars - head_.size());
    head_ += text.first(std::min(room, text.size()));
    more_ += text.size() - std::min(room, text.size());
}

qint64 SpeechPace::due() const {
    if (firstAt_ < 0)
        return -1;
    // Once the reply has paused, or has gone on for a gap's time; never sooner than a gap
    // after the last utterance.
    return std::max(spokenAt_ + kGapMs, std::min(lastAt_ + kQuietMs, firstAt_ + kGapMs));
}

QString SpeechPace::take(qint64 now) {
    if (firstAt_ < 0)
        return {};
    QString said = std::exchange(head_, QString());
    qsizetype more = std::exchange(more_, 0);
    firstAt_ = lastAt_ = -1;
    spokenAt_ = now;
    if (more > 0) {
        // A control byte's name cut in two would be spelled out; it goes with the rest.
        const qsizetype open = said.lastIndexOf(QLatin1Char('['));
        if (open >= 0 && open >= said.size() - 4 && !said.sliced(open).contains(QLatin1Char(']'))) {
            more += said.size() - open;
            said.truncate(open);
        }
        said += more == 1 ? QStringLiteral(" and 1 more character")
                          : QStringLiteral(" and %1 more characters").arg(more);
    }
    return said;
}

} // namespace tqm
