// A report from inside the console for benchmarks: off unless the environment asks for it.
#pragma once

#include <QObject>
#include <memory>

namespace tqm {

class MainWindow;

// When TQM810_BENCH_REPORT names a file, measures the event loop's lateness, and appends a report
// (see bench_report_format.h) when the window first paints, on SIGUSR1 and at the end; with
// TQM810_BENCH_ROUND_MS it also clicks every command in turn. Null in every other run.
std::unique_ptr<QObject> startBenchReport(MainWindow &window);

} // namespace tqm
