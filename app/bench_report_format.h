// The benchmark report the console writes when asked, as scripts/bench.sh reads it, and the
// checksum of the receive box that the far end of a benchmark computes the same way.
#pragma once

#include <QStringView>
#include <QtGlobal>

namespace tqm::bench {

// The file to append reports to; unset in every normal run.
inline constexpr const char *kReportVariable = "TQM810_BENCH_REPORT";
// Clicks every command once in this many milliseconds, for the soak.
inline constexpr const char *kRoundVariable = "TQM810_BENCH_ROUND_MS";

// One report is these lines, in this order, then "end"; "box_fnv" and the "button" lines only
// in a full report, one "click" line per click since the previous report.
inline constexpr const char *kReportLine = "report %d %s\n";
inline constexpr const char *kHeartbeatsLine =
    "heartbeats %llu p50_ms %.2f p99_ms %.2f max_ms %.2f\n";
inline constexpr const char *kBoxCharsLine = "box_chars %lld\n";
inline constexpr const char *kDrivenLine = "driven %zu\n";
inline constexpr const char *kCpuLine = "cpu_ms %.2f\n";
inline constexpr const char *kBoxChecksumLine = "box_fnv %016llx\n";
inline constexpr const char *kButtonLine = "button %s %d %d\n";
inline constexpr const char *kClickLine = "click %lld\n";
inline constexpr const char *kEndLine = "end\n";

// FNV-1a over the UTF-16 code units, low byte first.
inline quint64 fnv1a(QStringView text) {
    quint64 hash = 1469598103934665603ull;
    for (const QChar c : text)
        for (const unsigned byte : {unsigned(c.unicode() & 0xff), unsigned(c.unicode() >> 8)}) {
            hash ^= byte;
            hash *= 1099511628211ull;
        }
    return hash;
}

} // namespace tqm::bench
