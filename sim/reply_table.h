// The bytes the simulated device answers each frame with, and the reply file that overrides them.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <utility>

namespace tqm::sim {

// The longest reply a reply file may give, read point included: a memory dump runs past 64 KiB,
// and beyond this it is a mistake in the file rather than a dump.
constexpr qsizetype kMaxReplyBytes = qsizetype{16} * 1024 * 1024;

// One reply: fixed bytes, with the memory read point (four digits) put in at the marked offsets.
struct Reply {
    QByteArray bytes;
    QList<qsizetype> pointAt; // ascending offsets into bytes

    QByteArray render(int readPoint) const;
};

struct ReplyFile;

class ReplyTable {
public:
    static ReplyTable defaults();

    // Every code the console sends, kDataSend included.
    static bool isCode(char code);

    QByteArray reply(char code, int readPoint) const;
    void set(char code, Reply reply) { replies_.emplace(code, std::move(reply)); }

private:
    QHash<char, Reply> replies_;
};

struct ReplyFile {
    ReplyTable table;
    int errorLine = 0; // 1-based; 0 when the file could not be read at all
    QString error;     // empty when the file was good

    bool ok() const { return error.isEmpty(); }
    // "FILE:LINE: what is wrong", ready for the technician's terminal.
    QString message(const QString &fileName) const;
};

// Reads reply-file text over base; entries it does not name keep base's reply.
ReplyFile parseReplyFile(QByteArrayView text, const ReplyTable &base = ReplyTable::defaults());
ReplyFile loadReplyFile(const QString &path, const ReplyTable &base = ReplyTable::defaults());

} // namespace tqm::sim
