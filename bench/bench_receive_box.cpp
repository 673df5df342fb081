// Measures what one receive batch costs the receive box, painting included, when the box already
// holds 0, 1, 10 or 50 MB from a flood; the cost must stay flat, so the console never freezes.
#include "app/receive_box.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>
#include <vector>

namespace {

constexpr qsizetype megabyte = qsizetype(1) << 20; // of characters, as the box counts them
// Putting the box back to its starting size now and then keeps "holds N MB" true while the
// batches pile up; the reset is not timed.
constexpr int batchesBetweenResets = 128;

// A full 1024-byte receive buffer of framed replies, as rendered: 128 x 8 bytes, 3328 characters.
QString renderedBatch() {
    return QStringLiteral("[STX]AB[ETX][CR][LF][ESC]+").repeated(128);
}

QString heldText(qsizetype length) {
    const QString reply = QStringLiteral("[STX]0123456789[ETX][CR][LF]");
    return reply.repeated(length / reply.size() + 1).left(length);
}

void appendAndPaint(benchmark::State &state) {
    const QString held = heldText(state.range(0) * megabyte);
    const QString batch = renderedBatch();
    tqm::ReceiveBox box;
    box.resize(737, 65);
    box.show();
    QCoreApplication::processEvents();

    // The first batch after a reset takes the box's own copy of the held text; keep it untimed.
    const auto reset = [&] {
        box.setText(held);
        box.append(batch);
    };
    reset();
    int sinceReset = 0;
    for (auto _ : state) {
        if (++sinceReset == batchesBetweenResets) {
            state.PauseTiming();
            reset();
            sinceReset = 0;
            state.ResumeTiming();
        }
        box.append(batch);
        box.viewport()->repaint();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::to_string(state.range(0)) + " MB");
}
// The median of three runs, and CPU time in the summary: on a shared machine the wall clock also
// counts the time other programs held the processor.
BENCHMARK(appendAndPaint)
    ->Arg(0)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// The usual console output, plus the per-batch figure of each box size kept for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((single || median) && !run.error_occurred)
                rows_.push_back({run.report_label, run.GetAdjustedCPUTime()});
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Returns the exit code: non-zero when one box size costs more than twice another.
    int printSummary() const {
        if (rows_.empty())
            return 0;
        std::printf("\nOne %lld-character batch appended and painted:\n",
                    static_cast<long long>(renderedBatch().size()));
        std::printf("  %-8s %16s\n", "held", "CPU us/batch");
        for (const Row &row : rows_)
            std::printf("  %-8s %16.1f\n", row.label.c_str(), row.microseconds);
        const auto [fastest, slowest] =
            std::minmax_element(rows_.begin(), rows_.end(), [](const Row &a, const Row &b) {
                return a.microseconds < b.microseconds;
            });
        const double ratio = slowest->microseconds / fastest->microseconds;
        const bool flat = ratio <= 2.0;
        std::printf("  slowest (%s) / fastest (%s) = %.2f (limit 2.00): %s\n",
                    slowest->label.c_str(), fastest->label.c_str(), ratio,
                    flat ? "flat" : "TOO SLOW");
        return flat ? 0 : 1;
    }

private:
    struct Row {
        std::string label;
        double microseconds;
    };
    std::vector<Row> rows_;
};

} // namespace

int main(int argc, char **argv) {
#ifdef __GLIBC__
    // Freed memory stays with the process, so every box appends into pages it has touched
    // before, as the small ones do by themselves. Otherwise only the large boxes would pay for
    // the first touch of fresh pages after each reset: a cost of the machine per byte appended
    // (steep on virtual machines), not of how much the box holds.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.printSummary();
}
