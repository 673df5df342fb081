// libFuzzer entry for the receive path's round trip: any batch rendered for the receive box and
// written to the log file gives back the bytes the device sent, control bytes by name, then CR LF.
#include "receive/byte_rendering.h"
#include "receive/log_file.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

// Written out here, apart from the console's own table.
const char *const kNames[32] = {
    "[NUL]", "[SOH]", "[STX]", "[ETX]", "[EOT]", "[ENQ]", "[ACK]", "[BEL]",
    "[BS]",  "[HT]",  "[LF]",  "[VT]",  "[FF]",  "[CR]",  "[SO]",  "[SI]",
    "[DLE]", "[DC1]", "[DC2]", "[DC3]", "[DC4]", "[NAK]", "[SYN]", "[ETB]",
    "[CAN]", "[EM]",  "[SUB]", "[ESC]", "[FS]",  "[GS]",  "[RS]",  "[US]",
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray batch(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = tqm::renderBatch(batch);

    QByteArray expected;
    qsizetype characters = 0;
    for (const uint8_t b : QByteArrayView(data, qsizetype(size))) {
        const char *name = b < 0x20 ? kNames[b] : b == 0x7f ? "[DEL]" : nullptr;
        if (name) {
            expected += name;
            characters += qsizetype(strlen(name));
        } else {
            expected += char(b);
            ++characters; // one character of its own for every other byte, never a pair
        }
    }
    expected += "\r\n";

    if (text.size() != characters || tqm::logFileBytes(text) != expected)
        abort();
    return 0;
}
