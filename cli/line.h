// The serial line as the command line uses it: opened with the console's settings, frames out,
// an answer back.
#pragma once

#include "receive/transcript.h"
#include "serial/qt_serial_control.h"

#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <optional>

namespace tqm::cli {

struct PortChoice {
    int com = 1;
    QString device; // set: this path, not the port map
    bool dtr = true;
    bool rts = true;
    QString transcript; // set: every exchange is recorded in this file
};

// When an answer is complete, and what it must be.
struct AnswerRules {
    int waitMs = 1000; // since the last frame
    int idleMs = 100;  // quiet after at least one byte
    bool hex = false;
    std::optional<QString> expect;
    std::optional<QRegularExpression> match; // anchored: the whole answer
    QString matchText;                       // as the user wrote it

    bool expects() const { return expect || match; }
    bool met(const QString &printed) const;
};

class Line : public QObject {
    Q_OBJECT
public:
    explicit Line(const PortChoice &choice);

    // Throws Failure with the cause as the console words it.
    void open();
    void close();

    // Hands each frame to the port in order and returns what arrived from the first one on,
    // until `enough` says so, the line is quiet for idleMs after a byte, or waitMs have passed
    // since the last frame. Bytes waiting before the first frame are dropped. Throws Failure when
    // the port goes away.
    QByteArray exchange(const QStringList &frames, int waitMs, int idleMs,
                        const std::function<bool(const QByteArray &)> &enough);

    // Lets the event loop run for `ms`, failing if the port goes away meanwhile.
    void pause(int ms);

    SerialControl &port() { return port_; }
    const QString &lostReason() const { return lost_; }

    // Whether a transcript of this run could not be opened, written or kept: the run goes on
    // without it, and ends with the port failure status.
    static bool transcriptFailed();

private:
    void throwIfLost() const;

    PortChoice choice_;
    QtSerialControl port_;
    Transcript transcript_;
    QString lost_;
};

} // namespace tqm::cli
