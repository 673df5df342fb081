// The loss report's box and its text.
#include "app/loss_report.h"

#include "commands/clock.h"
#include "link/link.h"

#include <QList>
#include <QMessageBox>

namespace tqm {

LossReport::LossReport(Link &link, const Clock &clock, QWidget &window)
    : QObject(&window)
    , link_(link)
    , clock_(clock)
    , window_(window) {
    connect(&link_, &Link::lossChanged, this, &LossReport::update);
}

void LossReport::closeAll() {
    // Closing one takes it out of boxes_.
    QList<QPointer<QMessageBox>> open;
    for (const auto &[port, box] : boxes_)
        open << box;
    for (const QPointer<QMessageBox> &box : open)
        if (box)
            box->close();
}

// Modeless: the operator may be away, and neither the window nor the link waits for them.
void LossReport::update(int port) {
    const LinkLoss *loss = link_.loss(port);
    QPointer<QMessageBox> &box = boxes_[port];
    if (!loss || (!box && !loss->isAway()))
        return; // the operator has seen the loss and closed its report
    const auto at = [this](const QDateTime &when) { return clock_.longTimeText(when.time()); };
    QString text = loss->reason + QLatin1Char('\n');
    if (loss->isAway())
        text += QStringLiteral("The device went away at %1. The link reopens by itself when the "
                               "device is back.")
                    .arg(at(loss->away));
    else
        text += QStringLiteral("The device went away at %1 and came back at %2. The link is open "
                               "again.")
                    .arg(at(loss->away), at(loss->back));
    if (loss->losses > 1)
        text += QStringLiteral("\n%1 losses since %2.").arg(loss->losses).arg(at(loss->since));
    if (!box) {
        box = new QMessageBox(QMessageBox::Warning, window_.windowTitle(), text, QMessageBox::Ok,
                              &window_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        // OK only hides a dialog; the box goes with its answer, so none piles up hidden.
        connect(box, &QDialog::finished, box, &QObject::deleteLater);
        connect(box, &QDialog::finished, this, [this, port] {
            boxes_.erase(port);
            link_.clearLoss(port);
        });
        box->setModal(false);
        box->show();
    } else {
        box->setText(text);
    }
    box->setIcon(loss->isAway() ? QMessageBox::Warning : QMessageBox::Information);
}

} // namespace tqm
