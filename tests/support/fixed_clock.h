// A clock for tests: each reading returns the next moment of a list (the last one repeats),
// and the long time text uses the given locale and format.
#pragma once

#include "commands/clock.h"

#include <QList>

namespace tqm::test {

class FixedClock : public Clock {
public:
    FixedClock(QList<QDateTime> moments, const QLocale &locale, QString format)
        : moments_(std::move(moments))
        , locale_(locale)
        , format_(std::move(format)) {}
    QDateTime now() const override {
        QDateTime t = moments_.at(qMin<qsizetype>(next_, moments_.size() - 1));
        ++next_;
        return t;
    }
    QString longTimeText(QTime time) const override { return locale_.toString(time, format_); }
    int readings() const { return next_; }

private:
    QList<QDateTime> moments_;
    QLocale locale_;
    QString format_;
    mutable int next_ = 0;
};

// The moment the window tests click at: 11 September 2007, 15:04:05, on a Korean desktop
// ("오후 3:04:05"), so the clock frame reads 070911150405.
inline FixedClock sampleClock() {
    return FixedClock({QDateTime(QDate(2007, 9, 11), QTime(15, 4, 5))},
                      QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("AP h:mm:ss"));
}

} // namespace tqm::test
