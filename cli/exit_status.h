// The exit statuses every sub-command shares; where several apply, the largest wins.
#pragma once

#include <QString>
#include <algorithm>

namespace tqm::cli {

enum ExitStatus : int {
    Done = 0,       // every expectation met
    NotMet = 1,     // an expectation not met, or no answer where one was expected
    UsageError = 2, // unknown command or option, bad text, bad script line
    PortFailure =
        3, // the port, the transcript or the report file could not be opened, written or kept
};

inline ExitStatus worst(ExitStatus a, ExitStatus b) {
    return std::max(a, b);
}

// A mistake on the command line or in a script: nothing has been sent when it is thrown.
struct Usage {
    QString message;
    // Where to look next, one place per message; empty where no help would help.
    QString hint = QStringLiteral("tqm810 --help tells more");
};

} // namespace tqm::cli
