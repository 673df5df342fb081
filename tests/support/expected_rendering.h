// What the receive box must show for each byte value, written out here on its own so that the
// tests compare the console against a table it never saw.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>

namespace tqm::test {

// 0x00..0x1F by name; 0x7F is "[DEL]".
inline constexpr const char *kExpectedControl[32] = {
    "[NUL]", "[SOH]", "[STX]", "[ETX]", "[EOT]", "[ENQ]", "[ACK]", "[BEL]",
    "[BS]",  "[HT]",  "[LF]",  "[VT]",  "[FF]",  "[CR]",  "[SO]",  "[SI]",
    "[DLE]", "[DC1]", "[DC2]", "[DC3]", "[DC4]", "[NAK]", "[SYN]", "[ETB]",
    "[CAN]", "[EM]",  "[SUB]", "[ESC]", "[FS]",  "[GS]",  "[RS]",  "[US]",
};

// 0x80..0xFF as UTF-16 code units: the Windows-1252 character, and U+0100 + (byte - 0x80) for
// the seven that code page leaves empty or invisible (81, 8D, 8F, 90, 9D, A0, AD).
inline constexpr char16_t kExpectedHigh[128] = {
    0x20AC, 0x0101, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x010D, 0x017D, 0x010F, // 88
    0x0110, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x011D, 0x017E, 0x0178, // 98
    0x0120, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x012D, 0x00AE, 0x00AF, // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, // C8
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF, // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, // E8
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7, // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF, // F8
};

// The expected text of each byte value, from the tables above.
inline const std::array<QString, 256> &expectedRenderings() {
    static const std::array<QString, 256> table = [] {
        std::array<QString, 256> t;
        for (int b = 0; b < 256; ++b)
            t[b] = b < 0x20    ? QString::fromLatin1(kExpectedControl[b])
                   : b < 0x7F  ? QString(QChar(b))
                   : b == 0x7F ? QStringLiteral("[DEL]")
                               : QString(QChar(kExpectedHigh[b - 0x80]));
        return t;
    }();
    return table;
}

inline QString expectedText(const QByteArray &bytes) {
    QString text;
    for (const char c : bytes)
        text += expectedRenderings()[static_cast<unsigned char>(c)];
    return text;
}

} // namespace tqm::test
