// The bytes the simulated device answers each frame with, and the reply file that overrides them.
#include "sim/reply_table.h"

#include "sim/code_table.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace tqm::sim {

namespace {

QString keyName(char code) {
    return code == kDataSend ? QStringLiteral("DATA")
                             : QStringLiteral("+%1").arg(QLatin1Char(code));
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Reads one line; returns an error text, or an empty one with code and reply set (code stays 0 for
// a blank or comment line).
QString parseLine(const QString &line, char &code, Reply &reply) {
    qsizetype i = 0;
    const auto skipSpace = [&] {
        while (i < line.size() && line[i].isSpace())
            ++i;
    };
    skipSpace();
    if (i == line.size() || line[i] == u'#')
        return {};

    if (line[i] == u'+') {
        const QChar c = i + 1 < line.size() ? line[i + 1] : QChar();
        if (c.unicode() > 0x7F || escCode(char(c.unicode())) == nullptr)
            return QStringLiteral("unknown command code \"+%1\"").arg(c);
        code = char(c.unicode());
        i += 2;
    } else if (line.mid(i, 4) == u"DATA") {
        code = kDataSend;
        i += 4;
    } else {
        return QStringLiteral("an entry starts with +CODE or DATA");
    }

    skipSpace();
    if (i == line.size() || line[i] != u'=')
        return QStringLiteral("expected '=' after %1").arg(keyName(code));
    ++i;
    skipSpace();
    if (i == line.size() || line[i] != u'"')
        return QStringLiteral("expected the reply in double quotes after '='");
    ++i;

    QStringEncoder encoder("windows-949");
    QString text; // literal characters, encoded as the device would send them
    const auto flushText = [&] {
        reply.bytes += QByteArray(encoder.encode(text));
        text.clear();
        return !encoder.hasError();
    };
    for (;;) {
        if (i == line.size())
            return QStringLiteral("missing closing '\"'");
        const QChar c = line[i++];
        if (c == u'"')
            break;
        if (c != u'\\') {
            text += c;
            continue;
        }
        if (!flushText())
            return QStringLiteral("a character that code page 949 cannot send");
        if (i == line.size())
            return QStringLiteral("'\\' at the end of the line");
        const QChar e = line[i++];
        switch (e.unicode()) {
        case 'x': {
            const int hi = i < line.size() ? hexValue(line[i]) : -1;
            const int lo = i + 1 < line.size() ? hexValue(line[i + 1]) : -1;
            if (hi < 0 || lo < 0)
                return QStringLiteral("\\x needs two hex digits");
            reply.bytes += char(hi * 16 + lo);
            i += 2;
            break;
        }
        case 'r':
            reply.bytes += '\r';
            break;
        case 'n':
            reply.bytes += '\n';
            break;
        case 't':
            reply.bytes += '\t';
            break;
        case '0':
            reply.bytes += '\0';
            break;
        case 'e':
            reply.bytes += '\x1b';
            break;
        case '\\':
        case '"':
            reply.bytes += char(e.unicode());
            break;
        case 'p':
            reply.pointAt.append(reply.bytes.size());
            break;
        default:
            return QStringLiteral("unknown escape \"\\%1\"").arg(e);
        }
    }
    if (!flushText())
        return QStringLiteral("a character that code page 949 cannot send");
    if (const qsizetype size = reply.bytes.size() + 4 * reply.pointAt.size(); size > kMaxReplyBytes)
        return QStringLiteral("the reply has %1 bytes; a reply may have at most %2 (16 MiB)")
            .arg(size)
            .arg(kMaxReplyBytes);

    skipSpace();
    if (i < line.size() && line[i] != u'#')
        return QStringLiteral("unexpected text after the closing '\"'");
    return {};
}

} // namespace

QByteArray Reply::render(int readPoint) const {
    const QByteArray point = QByteArray::number(readPoint).rightJustified(4, '0');
    QByteArray out = bytes;
    for (qsizetype k = pointAt.size(); k-- > 0;)
        out.insert(pointAt[k], point);
    return out;
}

// Read through the reply file parser, so that a built-in reply means what it would in a file.
ReplyTable ReplyTable::defaults() {
    QByteArray text;
    for (const CommandCode &row : kCommandCodes)
        text += keyName(row.code).toLatin1() + " = \"" + row.reply + "\"\n";
    ReplyFile built = parseReplyFile(text, ReplyTable());
    Q_ASSERT_X(built.ok(), "ReplyTable::defaults",
               qPrintable(built.message(QStringLiteral("built-in"))));
    return built.table;
}

bool ReplyTable::isCode(char code) {
    return findCode(code) != nullptr;
}

QByteArray ReplyTable::reply(char code, int readPoint) const {
    const auto it = replies_.constFind(code);
    return it == replies_.cend() ? QByteArray() : it->render(readPoint);
}

QString ReplyFile::message(const QString &fileName) const {
    if (ok())
        return {};
    return errorLine > 0 ? QStringLiteral("%1:%2: %3").arg(fileName).arg(errorLine).arg(error)
                         : QStringLiteral("%1: %2").arg(fileName, error);
}

ReplyFile parseReplyFile(QByteArrayView text, const ReplyTable &base) {
    ReplyFile result{base, 0, {}};
    QHash<char, int> seenOn;
    int lineNo = 0;
    for (QByteArrayView rest = text; !rest.isEmpty();) {
        ++lineNo;
        const qsizetype nl = rest.indexOf('\n');
        QByteArrayView raw = nl < 0 ? rest : rest.first(nl);
        rest = nl < 0 ? QByteArrayView() : rest.sliced(nl + 1);
        if (raw.endsWith('\r'))
            raw.chop(1);

        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString line = utf8.decode(raw);
        QString error;
        char code = 0;
        Reply reply;
        if (utf8.hasError())
            error = QStringLiteral("not UTF-8 text");
        else
            error = parseLine(line, code, reply);
        if (error.isEmpty() && code != 0 && seenOn.contains(code))
            error =
                QStringLiteral("%1 already given on line %2").arg(keyName(code)).arg(seenOn[code]);
        if (!error.isEmpty())
            return {base, lineNo, error};
        if (code != 0) {
            seenOn.insert(code, lineNo);
            result.table.set(code, std::move(reply));
        }
    }
    return result;
}

ReplyFile loadReplyFile(const QString &path, const ReplyTable &base) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {base, 0, QStringLiteral("cannot read: %1").arg(file.errorString())};
    return parseReplyFile(file.readAll(), base);
}

} // namespace tqm::sim
