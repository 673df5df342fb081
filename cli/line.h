// The serial line as the command line uses it: the console's line on the link core, frames out,
// an answer back.
#pragma once

#include "commands/clock.h"
#include "link/link.h"
#include "serial/qt_serial_control.h"

#include <QStringList>
#include <functional>

namespace tqm::cli {

struct PortChoice {
    int com = 1;
    QString device; // set: this path, not the port map
    bool dtr = true;
    bool rts = true;
    QString transcript; // set: every exchange is recorded in this file
};

// The transcript could not be opened: the cause is on stderr already, and nothing was sent.
struct TranscriptUnavailable {};

class Line : public QObject {
    Q_OBJECT
public:
    explicit Line(const PortChoice &choice);

    // Throws TranscriptUnavailable, or Failure with the cause as the console words it.
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
    // Why the device went away, once it has; empty before.
    QString lostReason() const;

    // Whether a transcript of this run could not be opened, written or kept: the run goes on
    // without it, and ends with the port failure status.
    static bool transcriptFailed();
    // Why, as said on stderr; empty while it has not failed.
    const QString &transcriptError() const { return transcriptError_; }

private:
    void throwIfLost() const;

    PortChoice choice_;
    SystemClock clock_;
    QtSerialControl port_;
    Link link_;
    QString transcriptError_;
};

// Opens the line; false, with the cause on stderr as the console words it, when it cannot.
bool openOrSay(Line &line);

} // namespace tqm::cli
