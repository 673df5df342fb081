// F6: from any control of the window to the receive box, and back to that control.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace tqm {

class PaneSwitch : public QObject {
    Q_OBJECT
public:
    // `first` is where F6 leads from the box when no control is remembered.
    PaneSwitch(QWidget &window, QWidget &box, QWidget &first);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void toggle();

    QWidget &window_;
    QWidget &box_;
    QWidget &first_;
    QPointer<QWidget> back_; // the control F6 left for the box
};

} // namespace tqm
