// The command line of one sub-command, read as every program reads its own, and the numbers in it.
#pragma once

#include "process/command_line.h"

#include <QString>
#include <limits>

namespace tqm::cli {

using tqm::OptionSpec;
using Args = tqm::CommandLine;

// The longest a script step or an option may wait: ten minutes. A monitor may run all day.
constexpr int kLongestWaitMs = 10 * 60 * 1000;

// A whole number from `min` to `max`; throws Usage naming the option.
int numberOption(const Args &args, const QString &option, int fallback, int min = 0,
                 int max = std::numeric_limits<int>::max());

} // namespace tqm::cli
