// Clicks a control of the window with the mouse, where an operator would.
#pragma once

#include <QAbstractButton>
#include <QRadioButton>
#include <QTest>

namespace tqm::test {

// A radio button's hit area is its indicator and text, at the left; a push button's is all of it.
// Returns false when the window has no such button.
inline bool clickControl(const QWidget &window, const QString &name) {
    auto *button = window.findChild<QAbstractButton *>(name);
    if (!button)
        return false;
    const QPoint at = qobject_cast<QRadioButton *>(button) ? QPoint(6, button->height() / 2)
                                                           : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
    return true;
}

} // namespace tqm::test
