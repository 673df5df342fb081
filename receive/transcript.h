// A transcript of every exchange on the line, written as it happens: what went out, what came
// back, what happened to the link, and when. One tab-separated UTF-8 line per event.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>

#include <functional>

namespace tqm {

class SerialControl;

class Transcript : public QObject {
    Q_OBJECT
public:
    enum class Direction { Tx, Rx, Link };

    explicit Transcript(QObject *parent = nullptr);

    // Opens `path` for appending (a file, a pipe or a terminal) and writes the header line naming
    // the program; false when it cannot, with error() saying why and failed() emitted. A
    // transcript that failed once stays closed.
    bool open(const QString &path, const QString &program, const QString &version);
    bool isOpen() const { return file_.isOpen(); }
    QString error() const { return error_; }

    // Records what `port` hands over, receives and goes through. `portName` names the port in
    // each line ("COM1", or a device path); by default COMn from the control.
    void attach(SerialControl &port, std::function<QString()> portName = {});
    // While paused nothing is recorded: start-up probes of every COM port are not link events.
    void setPaused(bool paused) { paused_ = paused; }

    // One line, as one write so that nothing interleaves inside it; on failure the transcript
    // closes and failed() is emitted, once.
    void record(Direction direction, const QString &port, const QByteArray &bytes,
                const QString &text);

    // One line of bytes that crossed the line, with their rendering as the receive box shows it.
    void recordBytes(Direction direction, const QString &port, const QByteArray &bytes);

    // "2026-12-07T14:10:27.123+09:00": local time, milliseconds, the offset always as +hh:mm.
    static QString timeText(const QDateTime &local);
    // A field's text with every tab, CR, LF and other control character made a space.
    static QString field(QString text);

signals:
    void failed(const QString &message);

private:
    // `text` null: the rendering of `bytes`.
    void writeLine(Direction direction, const QString &port, const QByteArray &bytes,
                   const QByteArray *text);
    bool openForAppending(const QString &path);
    bool writeWhole(const QByteArray &bytes);
    void fail(const QString &why);

    QString path_;
    QFile file_;
    QElapsedTimer sinceLast_;
    qint64 second_ = -1; // the second secondText_ and offsetText_ were made for
    QByteArray secondText_;
    QByteArray offsetText_;
    QString error_;
    bool paused_ = false;
};

// PATH as the settings give it: %Y %m %d %H %M %S become the start's date and time fields
// (%% a single %), and a relative path is taken from `folder`.
QString expandTranscriptPath(const QString &pattern, const QDateTime &start, const QString &folder);

} // namespace tqm
