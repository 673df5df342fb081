// libFuzzer entry for the Telnet codec, which reads whatever a network peer sends: any bytes, cut
// anywhere, give the same device data, answers and events as in one piece; there are never more
// answers than commands; bytes without IAC pass unchanged; and escaped data comes back as it was.
#include "serial/telnet_codec.h"

#include <cstdint>
#include <cstdlib>

namespace {

tqm::TelnetCodec::Output feedInPieces(tqm::TelnetCodec &codec, const QByteArray &in, uint8_t seed) {
    tqm::TelnetCodec::Output all;
    for (qsizetype i = 0; i < in.size();) {
        const qsizetype n = 1 + (seed + i) % 7;
        const tqm::TelnetCodec::Output out = codec.feed(in.mid(i, n));
        all.data += out.data;
        all.reply += out.reply;
        all.events += out.events;
        i += n;
    }
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t seed = data[0];
    const QByteArray in(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    tqm::TelnetCodec whole;
    if (seed & 0x80)
        whole.start();
    const tqm::TelnetCodec::Output once = whole.feed(in);
    tqm::TelnetCodec cut;
    if (seed & 0x80)
        cut.start();
    const tqm::TelnetCodec::Output pieces = feedInPieces(cut, in, seed);
    if (once.data != pieces.data || once.reply != pieces.reply || once.events != pieces.events ||
        whole.settled() != cut.settled() || whole.binaryRefused() != cut.binaryRefused())
        abort();

    // Each answer is three bytes to one three-byte command.
    if (once.reply.size() > in.size() || once.reply.size() % 3 != 0 || once.data.size() > in.size())
        abort();
    if (!in.contains(char(0xFF)) && (once.data != in || !once.reply.isEmpty()))
        abort();

    tqm::TelnetCodec fresh;
    const tqm::TelnetCodec::Output back = fresh.feed(tqm::TelnetCodec::escape(in));
    if (back.data != in || !back.reply.isEmpty() || !back.events.isEmpty())
        abort();
    return 0;
}
