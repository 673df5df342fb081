// What assistive technology reads of the receive box, and how it hears of new text.
#pragma once

#include <QString>
#include <QtGlobal>

class QAccessibleInterface;
class QObject;

namespace tqm {

class ReceiveBox;

// For QAccessible::installFactory: gives the receive box its text interface.
QAccessibleInterface *receiveBoxAccessibleFactory(const QString &key, QObject *object);

// The box's text from `from` on is new to assistive technology.
void announceAppended(ReceiveBox *box, qsizetype from);
// The box's whole text `before` has given way to what it holds now.
void announceReplaced(ReceiveBox *box, const QString &before);

} // namespace tqm
