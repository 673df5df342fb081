// The byte rendering table and batch rendering.
#include "receive/byte_rendering.h"

#include <QHash>

#include <algorithm>
#include <cstring>

namespace tqm {

namespace {

constexpr const char *kControlNames[32] = {
    "[NUL]", "[SOH]", "[STX]", "[ETX]", "[EOT]", "[ENQ]", "[ACK]", "[BEL]",
    "[BS]",  "[HT]",  "[LF]",  "[VT]",  "[FF]",  "[CR]",  "[SO]",  "[SI]",
    "[DLE]", "[DC1]", "[DC2]", "[DC3]", "[DC4]", "[NAK]", "[SYN]", "[ETB]",
    "[CAN]", "[EM]",  "[SUB]", "[ESC]", "[FS]",  "[GS]",  "[RS]",  "[US]",
};
constexpr const char *kDelete = "[DEL]";

// Bytes 0x80..0xFF. On the Korean code page these only begin two-byte characters and a lone one
// has no character at all, which would make the byte vanish from the box. Each is shown instead
// as its Windows-1252 character, so an operator can read the value; where that code page has no
// character or an invisible one (0x81, 0x8D, 0x8F, 0x90, 0x9D, no-break space 0xA0, soft hyphen
// 0xAD), as U+0100 + (byte - 0x80) from Latin Extended-A. All 128 are distinct and visible.
constexpr char16_t kHighBytes[128] = {
    // 0x80
    u'€',
    u'ā',
    u'‚',
    u'ƒ',
    u'„',
    u'…',
    u'†',
    u'‡',
    u'ˆ',
    u'‰',
    u'Š',
    u'‹',
    u'Œ',
    u'č',
    u'Ž',
    u'ď',
    // 0x90
    u'Đ',
    u'‘',
    u'’',
    u'“',
    u'”',
    u'•',
    u'–',
    u'—',
    u'˜',
    u'™',
    u'š',
    u'›',
    u'œ',
    u'ĝ',
    u'ž',
    u'Ÿ',
    // 0xA0
    u'Ġ',
    u'¡',
    u'¢',
    u'£',
    u'¤',
    u'¥',
    u'¦',
    u'§',
    u'¨',
    u'©',
    u'ª',
    u'«',
    u'¬',
    u'ĭ',
    u'®',
    u'¯',
    // 0xB0
    u'°',
    u'±',
    u'²',
    u'³',
    u'´',
    u'µ',
    u'¶',
    u'·',
    u'¸',
    u'¹',
    u'º',
    u'»',
    u'¼',
    u'½',
    u'¾',
    u'¿',
    // 0xC0
    u'À',
    u'Á',
    u'Â',
    u'Ã',
    u'Ä',
    u'Å',
    u'Æ',
    u'Ç',
    u'È',
    u'É',
    u'Ê',
    u'Ë',
    u'Ì',
    u'Í',
    u'Î',
    u'Ï',
    // 0xD0
    u'Ð',
    u'Ñ',
    u'Ò',
    u'Ó',
    u'Ô',
    u'Õ',
    u'Ö',
    u'×',
    u'Ø',
    u'Ù',
    u'Ú',
    u'Û',
    u'Ü',
    u'Ý',
    u'Þ',
    u'ß',
    // 0xE0
    u'à',
    u'á',
    u'â',
    u'ã',
    u'ä',
    u'å',
    u'æ',
    u'ç',
    u'è',
    u'é',
    u'ê',
    u'ë',
    u'ì',
    u'í',
    u'î',
    u'ï',
    // 0xF0
    u'ð',
    u'ñ',
    u'ò',
    u'ó',
    u'ô',
    u'õ',
    u'ö',
    u'÷',
    u'ø',
    u'ù',
    u'ú',
    u'û',
    u'ü',
    u'ý',
    u'þ',
    u'ÿ',
};

std::array<QString, 256> buildRenderings() {
    std::array<QString, 256> table;
    for (int b = 0; b < 256; ++b) {
        if (b < 32)
            table[b] = QString::fromLatin1(kControlNames[b]);
        else if (b == 127)
            table[b] = QString::fromLatin1(kDelete);
        else if (b < 127)
            table[b] = QString(QChar(b));
        else
            table[b] = QString(QChar(kHighBytes[b - 128]));
    }
    return table;
}

} // namespace

const std::array<QString, 256> &byteRenderings() {
    static const std::array<QString, 256> table = buildRenderings();
    return table;
}

namespace {

// Each rendering padded to five characters, so a byte costs one fixed-size copy: a flood
// renders a megabyte in a few milliseconds.
struct Cell {
    char16_t chars[5];
    unsigned char length;
};

std::array<Cell, 256> buildCells() {
    std::array<Cell, 256> cells{};
    for (int b = 0; b < 256; ++b) {
        const QString &text = byteRenderings()[b];
        std::copy(text.utf16(), text.utf16() + text.size(), cells[b].chars);
        cells[b].length = static_cast<unsigned char>(text.size());
    }
    return cells;
}

} // namespace

QString renderBatch(const QByteArray &batch) {
    static const std::array<Cell, 256> cells = buildCells();
    // At most five characters a byte, so even the last copy stays inside: one allocation.
    QString text(batch.size() * 5, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    char16_t *const start = out;
    for (const char c : batch) {
        const Cell &cell = cells[static_cast<unsigned char>(c)];
        std::memcpy(out, cell.chars, sizeof cell.chars);
        out += cell.length;
    }
    text.truncate(out - start);
    return text;
}

int highByteOf(QChar ch) {
    static const QHash<char16_t, int> bytes = [] {
        QHash<char16_t, int> h;
        for (int i = 0; i < 128; ++i)
            h.insert(kHighBytes[i], 0x80 + i);
        return h;
    }();
    return bytes.value(ch.unicode(), -1);
}

} // namespace tqm
