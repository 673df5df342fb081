// Answers the window's message boxes without a human: records each one and presses OK.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QTimer>

namespace tqm::test {

struct CaughtMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

// The message boxes on screen that leave the window usable behind them: nobody has to answer
// them, and a MessageCatcher leaves them alone.
QList<QMessageBox *> modelessMessages();

class MessageCatcher : public QObject {
    Q_OBJECT
public:
    MessageCatcher();
    QList<CaughtMessage> messages;
    QStringList texts() const;

private:
    void poll();
    QTimer timer_;
};

} // namespace tqm::test
