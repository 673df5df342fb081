// A pseudo-terminal pair as the far end of the cable, and a private ports directory that maps
// COM numbers to its slave side: tests never touch a real serial port.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace tqm::test {

class PtyPair {
public:
    PtyPair();
    ~PtyPair() { close(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return master_ >= 0; }
    const QString &slavePath() const { return slavePath_; }

    // The far end sends.
    void write(const QByteArray &bytes);
    // What the console put on the line: waits up to timeoutMs for at least `count` bytes,
    // returns what arrived (possibly less).
    QByteArray read(int count, int timeoutMs = 5000);
    // Whatever arrives within the next quietMs.
    QByteArray drain(int quietMs = 100);
    // The far end hangs up.
    void close();

private:
    int master_ = -1;
    QString slavePath_;
};

// A ports directory of comN links, removed with the object.
class PortsDir {
public:
    QString path() const { return dir_.path(); }
    void link(int com, const QString &device);
    void unlink(int com);

private:
    QTemporaryDir dir_;
};

} // namespace tqm::test
