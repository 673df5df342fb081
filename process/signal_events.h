// Unix signals as events of the Qt event loop, for the three programs: the handler only writes the
// signal's number into a pipe, and the loop reads it there and emits `caught`.
#pragma once

#include <QObject>

#include <initializer_list>
#include <memory>

class QSocketNotifier;

namespace tqm {

class SignalEvents : public QObject {
    Q_OBJECT
public:
    // Catches each of `numbers` from now until destruction, when their default handling returns
    // and the pipe closes. One instance at a time.
    explicit SignalEvents(std::initializer_list<int> numbers, QObject *parent = nullptr);
    ~SignalEvents() override;

    // False when the pipe could not be made: then no signal is caught and each keeps its default.
    bool ok() const { return notifier_ != nullptr; }

signals:
    void caught(int number);

private:
    void readPipe();

    std::unique_ptr<QSocketNotifier> notifier_;
    QList<int> numbers_;
};

// A pipe whose reader has gone, or a file at its size limit, is then a failed write the program
// reports and outlives, not a signal that ends it. Call first thing in main.
void outliveWriteFailures();

} // namespace tqm
