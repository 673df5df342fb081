// The device's replies spoken by a screen reader as they arrive: while the operator is in the
// receive box, and after a command wherever the focus is.
#pragma once

#include "app/speech_pace.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace tqm {

class ReceiveBox;

// What a screen reader speaks wherever the focus is: an object of the notification role that
// has no place in the layout and paints nothing. It takes no focus and no mouse.
class SpokenNotice : public QWidget {
    Q_OBJECT
public:
    explicit SpokenNotice(QWidget *parent);
    const QString &text() const { return text_; }
    void say(const QString &text);

private:
    QString text_;
};

class ReplySpeech : public QObject {
    Q_OBJECT
public:
    // The notice is made a child of `window`, outside any layout.
    ReplySpeech(ReceiveBox &box, QWidget &window);

    // A command went out: what answers it is spoken, wherever the focus is.
    void commandGiven();

private:
    void boxChanged();
    void speakWhenDue();

    ReceiveBox &box_;
    SpokenNotice *notice_;
    SpeechPace pace_;
    QElapsedTimer clock_;
    QTimer due_;
    qsizetype known_ = 0; // how much of the box's text the pace has been shown
};

} // namespace tqm
