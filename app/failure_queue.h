// Failures met inside an event that must not wait for the operator (a receive event, a transcript
// write): shown after that event, one box at a time, a repeated cause once with its count.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace tqm {

class FailureQueue : public QObject {
    Q_OBJECT
public:
    // `show` puts one box on screen and returns when the operator has answered it.
    explicit FailureQueue(std::function<void(const QString &)> show, QObject *parent = nullptr);

    void add(const QString &cause);

private:
    void showWaiting();

    std::function<void(const QString &)> show_;
    QStringList waiting_;
    QTimer next_; // zero-interval, single shot: the next turn of the event loop
    bool showing_ = false;
};

} // namespace tqm
