// Replies handed to a screen reader through a notification object.
#include "app/reply_speech.h"

#include "app/receive_box.h"

#include <QAccessible>

#include <algorithm>

namespace tqm {

SpokenNotice::SpokenNotice(QWidget *parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("spokenNotice"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // A screen reader ignores what is not on screen, so it has one pixel, in the window's
    // corner where no control is, and draws nothing there.
    setGeometry(0, 0, 1, 1);
}

void SpokenNotice::say(const QString &text) {
    text_ = text;
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    // A notification is spoken when it shows, whatever has the focus.
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

ReplySpeech::ReplySpeech(ReceiveBox &box, QWidget &window)
    : QObject(&window)
    , box_(box)
    , notice_(new SpokenNotice(&window)) {
    clock_.start();
    due_.setSingleShot(true);
    connect(&due_, &QTimer::timeout, this, &ReplySpeech::speakWhenDue);
    connect(&box, &ReceiveBox::textChanged, this, &ReplySpeech::boxChanged);
}

void ReplySpeech::commandGiven() {
    pace_.commandGiven(clock_.elapsed());
    due_.stop();
}

void ReplySpeech::boxChanged() {
    const QString &text = box_.text();
    const qsizetype before = std::exchange(known_, text.size());
    // Nobody listens, or the box was emptied: nothing new to speak.
    if (!QAccessible::isActive() || text.size() <= before)
        return;
    pace_.arrived(QStringView(text).sliced(before), box_.hasFocus(), clock_.elapsed());
    if (!due_.isActive() && pace_.due() >= 0)
        due_.start(int(std::max<qint64>(0, pace_.due() - clock_.elapsed())));
}

void ReplySpeech::speakWhenDue() {
    const qint64 now = clock_.elapsed();
    if (pace_.due() < 0)
        return;
    // More text may have come since the timer was set, and moved the time it is due.
    if (pace_.due() > now) {
        due_.start(int(pace_.due() - now));
        return;
    }
    notice_->say(pace_.take(now));
}

} // namespace tqm
