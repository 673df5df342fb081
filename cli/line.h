// The serial line as the command line uses it: the console's line on the link core, frames out,
// an answer back. Each step ends with a signal, so that several lines run side by side in one
// event loop; the one-port sub-commands wait for it in a loop of their own.
#pragma once

#include "commands/clock.h"
#include "link/link.h"
#include "serial/qt_serial_control.h"

#include <QStringList>
#include <QTimer>
#include <functional>

namespace tqm::cli {

struct PortChoice {
    int com = 1;
    QString device; // set: this path, not the port map
    bool dtr = true;
    bool rts = true;
    QString transcript;  // set: every exchange is recorded in this file
    bool shared = false; // open a device another program has open too
};

// The transcript could not be opened: the cause is on stderr already, and nothing was sent.
struct TranscriptUnavailable {};

class Line : public QObject {
    Q_OBJECT
public:
    // `seen`: the look at who holds which device, shared by the lines of one run; null: a look
    // of its own. Unused when the choice allows sharing.
    explicit Line(const PortChoice &choice, std::shared_ptr<const PortHolderScan> seen = {});

    // How reports and the transcript name the port: "COM3", or the device as given.
    QString name() const;
    // Where the port leads, the same for two names of one device; empty when nowhere.
    QString destination() const { return port_.destination(choice_.com); }

    // The transcript the choice names, opened here, or the one `first` opened: one file for
    // several ports. Throws TranscriptUnavailable.
    void attachTranscript(const Line *first = nullptr);
    // Opens the port without waiting for a device server: opened says how it went.
    void openInBackground();
    // Attaches the transcript and opens the port, waiting. Throws TranscriptUnavailable, or
    // Failure with the cause as the console words it.
    void open();
    void close();

    // Hands each frame to the port in order and collects what arrives from the first one on,
    // until `enough` says so, the line is quiet for idleMs after a byte, or waitMs have passed
    // since the last frame; then `ended`. Bytes waiting before the first frame are dropped.
    void startExchange(const QStringList &frames, int waitMs, int idleMs,
                       const std::function<bool(const QByteArray &)> &enough);
    // Lets `ms` pass; then `ended`, with no answer.
    void startPause(int ms);

    // The same, waiting in an event loop of its own. Throws Failure when the port goes away.
    QByteArray exchange(const QStringList &frames, int waitMs, int idleMs,
                        const std::function<bool(const QByteArray &)> &enough);

    SerialControl &port() { return port_; }

    // Whether a transcript of this run could not be opened, written or kept: the run goes on
    // without it, and ends with the port failure status.
    static bool transcriptFailed();
    // Why, as said on stderr; empty while it has not failed.
    const QString &transcriptError() const { return transcriptError_; }

signals:
    // `failure`: why the port did not open, as the console words it; empty when it did.
    void opened(const QString &failure);
    // `failure`: why the port went away meanwhile; empty when it did not.
    void ended(const QByteArray &answer, const QString &failure);
    // The line's own, to go on in the next turn of the event loop.
    void openDue();
    void endDue(const QByteArray &answer, const QString &failure);

private:
    enum class Busy { No, Exchange, Pause };

    void openPort();
    void finishOpen();
    QString lostReason() const;
    void onArrived();
    void end(const QString &failure);

    PortChoice choice_;
    SystemClock clock_;
    QtSerialControl port_;
    Link link_;
    QString transcriptError_;
    Busy busy_ = Busy::No;
    QByteArray answer_;
    std::function<bool(const QByteArray &)> enough_;
    int idleMs_ = 0;
    QTimer wait_;
    QTimer idle_;
};

// Opens the line; false, with the cause on stderr as the console words it, when it cannot.
bool openOrSay(Line &line);

} // namespace tqm::cli
