// Runs a parsed script on the line and reports it as TAP version 14, and as JUnit XML if asked.
#pragma once

#include "cli/exit_status.h"
#include "cli/line.h"
#include "cli/script.h"

namespace tqm::cli {

struct RunOptions {
    QString scriptName;
    QString junitFile; // empty: none
    int waitMs = 1000;
    int idleMs = 100;
};

// The port is opened here, after the script has been checked whole.
ExitStatus runScript(const QList<Step> &steps, Line &line, const RunOptions &options);

} // namespace tqm::cli
