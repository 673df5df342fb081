// Records and dismisses modal message boxes as they appear.
#include "tests/support/message_catcher.h"

#include <QAbstractButton>
#include <QApplication>

namespace tqm::test {

MessageCatcher::MessageCatcher() {
    // A modal box runs its own event loop, in which this timer keeps firing.
    connect(&timer_, &QTimer::timeout, this, &MessageCatcher::poll);
    timer_.start(10);
}

QStringList MessageCatcher::texts() const {
    QStringList out;
    for (const CaughtMessage &m : messages)
        out << m.text;
    return out;
}

QList<QMessageBox *> modelessMessages() {
    QList<QMessageBox *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w))
            if (box->isVisible() && box->windowModality() == Qt::NonModal)
                out << box;
    return out;
}

void MessageCatcher::poll() {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    messages.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
    if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}

} // namespace tqm::test
