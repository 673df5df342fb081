// The transcript file: one line per event on the line, appended as it happens.
#include "receive/transcript.h"

#include "receive/byte_rendering.h"
#include "serial/serial_control.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <fcntl.h>
#endif

namespace tqm {

namespace {

// As many fields as a data line, so that cut, awk and csv readers see the same columns in it.
constexpr const char *kColumns = "time\tdelta\tdir\tport\tbytes\ttext";

QString directionText(Transcript::Direction direction) {
    switch (direction) {
    case Transcript::Direction::Tx:
        return QStringLiteral("TX");
    case Transcript::Direction::Rx:
        return QStringLiteral("RX");
    case Transcript::Direction::Link:
        break;
    }
    return QStringLiteral("--");
}

} // namespace

Transcript::Transcript(QObject *parent)
    : QObject(parent) {}

QString Transcript::timeText(const QDateTime &local) {
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString Transcript::field(QString text) {
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    return text;
}

bool Transcript::open(const QString &path, const QString &program, const QString &version) {
    path_ = path;
    if (!openForAppending(path)) {
        error_ = QStringLiteral("Cannot open the transcript %1: %2").arg(path, error_);
        emit failed(error_);
        return false;
    }
    if (!writeWhole(
            QStringLiteral("# %1 %2 %3\n").arg(program, version, QLatin1String(kColumns)).toUtf8()))
        return false;
    sinceLast_.invalidate();
    return true;
}

// Unbuffered: each line leaves in one write, so it survives the program being killed and two
// programs appending to one file never mix inside a line. A pipe or a terminal (/dev/stdout) is
// written like a file, without the seeking that appending to a file would ask of it.
bool Transcript::openForAppending(const QString &path) {
#ifndef Q_OS_WIN
    // Not blocking on a pipe that nobody reads: that is an error now, not a hang.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        error_ = errno == ENXIO ? QStringLiteral("nobody reads from it")
                                : QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (file_.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFile::AutoCloseHandle))
        return true;
    ::close(fd);
#else
    file_.setFileName(path);
    if (file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return true;
#endif
    error_ = file_.errorString();
    return false;
}

// A short write leaves the cause unsaid; the rest is tried again so that the system names it.
// Half a line is taken back, so that what a full disk leaves still reads line by line.
bool Transcript::writeWhole(const QByteArray &bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 n = file_.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString why = file_.errorString();
            if (done > 0 && !file_.isSequential())
                file_.resize(file_.size() - done);
            fail(why);
            return false;
        }
        done += n;
    }
    return true;
}

void Transcript::record(Direction direction, const QString &port, const QByteArray &bytes,
                        const QString &text) {
    const QByteArray utf8 = field(text).toUtf8();
    writeLine(direction, port, bytes, &utf8);
}

void Transcript::recordBytes(Direction direction, const QString &port, const QByteArray &bytes) {
    writeLine(direction, port, bytes, nullptr);
}

namespace {

// Each byte's rendering in UTF-8, padded to a fixed size: a flood writes a line per receive
// batch, and each byte then costs two fixed copies, its hex and its rendering.
struct Utf8Cell {
    char bytes[8];
    unsigned char length;
};

const std::array<Utf8Cell, 256> &utf8Cells() {
    static const std::array<Utf8Cell, 256> cells = [] {
        std::array<Utf8Cell, 256> table{};
        for (int b = 0; b < 256; ++b) {
            const QByteArray utf8 = byteRenderings()[b].toUtf8();
            Q_ASSERT(utf8.size() <= 8);
            std::memcpy(table[b].bytes, utf8.constData(), size_t(utf8.size()));
            table[b].length = static_cast<unsigned char>(utf8.size());
        }
        return table;
    }();
    return cells;
}

} // namespace

void Transcript::writeLine(Direction direction, const QString &port, const QByteArray &bytes,
                           const QByteArray *text) {
    if (!file_.isOpen() || paused_)
        return;
    const qint64 ns = sinceLast_.isValid() ? sinceLast_.nsecsElapsed() : 0;
    sinceLast_.start();
    // Formatting a local time costs more than a line's hex: once a second is enough, the
    // milliseconds go in by hand.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / 1000 != second_) {
        second_ = now / 1000;
        const QByteArray text = timeText(QDateTime::fromMSecsSinceEpoch(second_ * 1000)).toLatin1();
        secondText_ = text.left(20); // "2026-12-07T14:10:27."
        offsetText_ = text.right(6); // "+09:00"
    }
    const int ms = int(now % 1000);
    const char millis[3] = {char('0' + ms / 100), char('0' + ms / 10 % 10), char('0' + ms % 10)};
    const QByteArray head = secondText_ + QByteArray(millis, 3) + offsetText_ + "\t+" +
                            QByteArray::number(double(ns) / 1e9, 'f', 3) + '\t' +
                            directionText(direction).toLatin1() + '\t' + field(port).toUtf8() +
                            '\t';
    // At most three characters of hex and eight of rendering a byte; cut to size once written.
    QByteArray line(head.size() + bytes.size() * 3 + (text ? text->size() : bytes.size() * 8) + 2,
                    Qt::Uninitialized);
    char *out = line.data();
    std::memcpy(out, head.constData(), size_t(head.size()));
    out += head.size();
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        *out++ = kHex[b >> 4];
        *out++ = kHex[b & 15];
        *out++ = ' ';
    }
    if (!bytes.isEmpty())
        --out; // no space after the last
    *out++ = '\t';
    if (text) {
        std::memcpy(out, text->constData(), size_t(text->size()));
        out += text->size();
    } else {
        const std::array<Utf8Cell, 256> &cells = utf8Cells();
        for (const char c : bytes) {
            const Utf8Cell &cell = cells[static_cast<unsigned char>(c)];
            std::memcpy(out, cell.bytes, sizeof cell.bytes);
            out += cell.length;
        }
    }
    *out++ = '\n';
    line.truncate(out - line.constData());
    writeWhole(line);
}

void Transcript::fail(const QString &why) {
    error_ = QStringLiteral("Cannot write the transcript %1: %2").arg(path_, why);
    file_.close();
    emit failed(error_);
}

void Transcript::attach(SerialControl &port, std::function<QString()> portName) {
    if (!portName)
        portName = [&port] { return QStringLiteral("COM%1").arg(port.commPort()); };
    const auto link = [this, portName](const QString &what) {
        record(Direction::Link, portName(), {}, what);
    };
    connect(&port, &SerialControl::handedOver, this, [this, portName](const QByteArray &bytes) {
        recordBytes(Direction::Tx, portName(), bytes);
    });
    connect(&port, &SerialControl::batchTaken, this, [this, portName](const QByteArray &batch) {
        recordBytes(Direction::Rx, portName(), batch);
    });
    connect(&port, &SerialControl::sendFailed, this,
            [link](const QString &cause) { link(QStringLiteral("send failed: ") + cause); });
    connect(&port, &SerialControl::opened, this,
            [link, &port] { link(QStringLiteral("opened ") + port.settings()); });
    connect(&port, &SerialControl::openFailed, this,
            [link](const QString &cause) { link(QStringLiteral("failed: ") + cause); });
    connect(&port, &SerialControl::closed, this, [link] { link(QStringLiteral("closed")); });
    connect(&port, &SerialControl::linkLost, this,
            [link](const QString &cause) { link(QStringLiteral("lost: ") + cause); });
    connect(&port, &SerialControl::linkRestored, this, [link] { link(QStringLiteral("back")); });
    connect(&port, &SerialControl::noted, this, link);
    connect(&port, &SerialControl::lineChanged, this, [link](const QString &line, bool on) {
        link(line + (on ? QStringLiteral(" on") : QStringLiteral(" off")));
    });
}

QString expandTranscriptPath(const QString &pattern, const QDateTime &start,
                             const QString &folder) {
    const auto two = [](int value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    const struct {
        char16_t code;
        QString text;
    } fields[] = {
        {u'Y', QString::number(start.date().year())},
        {u'm', two(start.date().month())},
        {u'd', two(start.date().day())},
        {u'H', two(start.time().hour())},
        {u'M', two(start.time().minute())},
        {u'S', two(start.time().second())},
        {u'%', QStringLiteral("%")},
    };
    QString path;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        const auto field =
            i + 1 < pattern.size() && c == u'%'
                ? std::find_if(std::begin(fields), std::end(fields),
                               [&](const auto &f) { return f.code == pattern[i + 1]; })
                : std::end(fields);
        if (field == std::end(fields)) {
            path += c; // not a field: kept as written
            continue;
        }
        path += field->text;
        ++i;
    }
    return QDir(folder).absoluteFilePath(path);
}

} // namespace tqm
