// The command line of one sub-command, read as every program reads its own, and the numbers in it.
#pragma once

#include "process/command_line.h"

#include <QString>

namespace tqm::cli {

using tqm::OptionSpec;
using Args = tqm::CommandLine;

// The longest a script step or an option may wait: ten minutes. A monitor may run all day.
constexpr int kLongestWaitMs = 10 * 60 * 1000;

// A wait in milliseconds from `min` to kLongestWaitMs; throws Usage naming the option.
int waitOption(const Args &args, const QString &option, int fallback, int min);

} // namespace tqm::cli
