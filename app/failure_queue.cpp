// The queue of failures shown after their event.
#include "app/failure_queue.h"

#include <QScopedValueRollback>

namespace tqm {

FailureQueue::FailureQueue(std::function<void(const QString &)> show, QObject *parent)
    : QObject(parent)
    , show_(std::move(show)) {
    next_.setSingleShot(true);
    next_.setInterval(0);
    connect(&next_, &QTimer::timeout, this, &FailureQueue::showWaiting);
}

void FailureQueue::add(const QString &cause) {
    waiting_ << cause;
    // Failures that come while one is waiting or on screen go into the next box: one box at a
    // time however many failures there are.
    if (waiting_.size() == 1 && !showing_)
        next_.start();
}

void FailureQueue::showWaiting() {
    const QScopedValueRollback busy(showing_, true);
    while (!waiting_.isEmpty()) {
        QStringList causes;
        QList<int> times;
        for (const QString &cause : std::as_const(waiting_)) {
            const qsizetype seen = causes.indexOf(cause);
            if (seen < 0) {
                causes << cause;
                times << 1;
            } else {
                ++times[seen];
            }
        }
        waiting_.clear();
        for (qsizetype i = 0; i < causes.size(); ++i)
            if (times[i] > 1)
                causes[i] += QStringLiteral(" (%1 times)").arg(times[i]);
        show_(causes.join(QLatin1Char('\n')));
    }
}

} // namespace tqm
