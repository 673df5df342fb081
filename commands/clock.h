// The PC clock as the clock command reads it: the local date and time, and the long time text.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace tqm {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The time of day written in the system's long time format.
    virtual QString longTimeText(QTime time) const = 0;
};

class SystemClock : public Clock {
public:
    // The long time text in the given locale's long format; the desktop's by default.
    explicit SystemClock(const QLocale &locale = QLocale::system());
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    QString longTimeText(QTime time) const override;

    // The locale's long format when it ends in two-digit minutes, one separator and two-digit
    // seconds; cut after the seconds when that is all that follows them; else "HH:mm:ss".
    static QString usableLongFormat(const QString &format);

private:
    QLocale locale_;
    QString format_;
};

// The PC's clock stopped at one moment: a stamp for a time the operator names rather than now.
class FrozenClock : public SystemClock {
public:
    explicit FrozenClock(QDateTime at, const QLocale &locale = QLocale::system())
        : SystemClock(locale)
        , at_(std::move(at)) {}
    QDateTime now() const override { return at_; }

private:
    QDateTime at_;
};

} // namespace tqm
