// Moving the focus between the window's controls and the receive box with one key.
#include "app/pane_switch.h"

#include <QFocusEvent>
#include <QShortcut>
#include <QWidget>

namespace tqm {

PaneSwitch::PaneSwitch(QWidget &window, QWidget &box, QWidget &first)
    : QObject(&window)
    , window_(window)
    , box_(box)
    , first_(first) {
    // A shortcut of the window alone: in a report or message box of its own, F6 does nothing.
    auto *key = new QShortcut(QKeySequence(Qt::Key_F6), &window);
    connect(key, &QShortcut::activated, this, &PaneSwitch::toggle);
    box.installEventFilter(this);
}

void PaneSwitch::toggle() {
    QWidget *from = window_.focusWidget();
    if (from == &box_) {
        QWidget *to = back_ ? back_.data() : &first_;
        back_ = nullptr;
        to->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    back_ = from;
    box_.setFocus(Qt::ShortcutFocusReason);
}

bool PaneSwitch::eventFilter(QObject *watched, QEvent *event) {
    // Reached by Tab or the mouse, the box has no control to go back to.
    if (watched == &box_ && event->type() == QEvent::FocusIn &&
        static_cast<QFocusEvent *>(event)->reason() != Qt::ShortcutFocusReason)
        back_ = nullptr;
    return QObject::eventFilter(watched, event);
}

} // namespace tqm
