// Runs a parsed script on the line and reports it as TAP as it goes.
#pragma once

#include "cli/exit_status.h"
#include "cli/junit_report.h"
#include "cli/line.h"
#include "cli/script.h"

namespace tqm::cli {

struct RunOptions {
    int waitMs = 1000;
    int idleMs = 100;
};

// The port is opened here, after the script has been checked whole. `outcomes` gets one entry per
// step, for the JUnit report.
ExitStatus runScript(const QList<Step> &steps, Line &line, const RunOptions &options,
                     QList<Outcome> &outcomes);

} // namespace tqm::cli
