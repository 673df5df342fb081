// The loss report: one modeless box per port whose device went away, kept up to date from the
// link's record while it is on screen. Closing it is taking note: the next loss starts anew.
#pragma once

#include <QObject>
#include <QPointer>

#include <map>

class QMessageBox;
class QWidget;

namespace tqm {

class Clock;
class Link;

class LossReport : public QObject {
    Q_OBJECT
public:
    LossReport(Link &link, const Clock &clock, QWidget &window);

    // The reports are about the window's link; they do not outlive it on screen.
    void closeAll();

private:
    void update(int port);

    Link &link_;
    const Clock &clock_;
    QWidget &window_;
    std::map<int, QPointer<QMessageBox>> boxes_; // null once the operator has closed it
};

} // namespace tqm
