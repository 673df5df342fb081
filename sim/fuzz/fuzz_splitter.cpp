// libFuzzer entry for the frame splitter: any bytes, cut in two, must come out as frames and skips.
#include "sim/frame_splitter.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// Every byte of the line must come out exactly once, in order, as part of a frame or a skip.
void collect(const QList<tqm::sim::SplitEvent> &events, QByteArray &seen) {
    for (const tqm::sim::SplitEvent &event : events) {
        if (event.skipped) {
            if (event.skip.bytes.isEmpty())
                abort();
            seen += event.skip.bytes;
            continue;
        }
        const QByteArray &raw = event.frame.raw;
        if (!raw.startsWith("\x1b+") && raw != "ABCDEFGHIJKLMNOPQRSTUVWXYZ")
            abort();
        seen += raw;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView input(data, qsizetype(size));
    const qsizetype cut = input.isEmpty() ? 0 : std::min<qsizetype>(data[0], input.size());

    tqm::sim::FrameSplitter splitter;
    QByteArray seen;
    collect(splitter.feed(input.first(cut)), seen);
    collect(splitter.feed(input.sliced(cut)), seen);
    if (splitter.buffered() > tqm::sim::FrameSplitter::kMaxText + 3)
        abort();
    collect(splitter.flush(), seen);
    if (seen != input || splitter.buffered() != 0)
        abort();
    return 0;
}
