// The options that several sub-commands share, each written once with its help line: the PORT
// options that choose and set up the line, and the ANSWER options that wait for and judge a reply.
#pragma once

#include "cli/args.h"
#include "cli/expectation.h"
#include "cli/line.h"

#include <optional>
#include <span>

namespace tqm::cli {

std::span<const OptionSpec> portOptions();
std::span<const OptionSpec> answerOptions();

// When an answer is complete: --wait and --idle, for every sub-command that takes an answer.
struct AnswerTiming {
    int waitMs = 1000; // since the last frame
    int idleMs = 100;  // quiet after at least one byte
};

// When an answer is complete, and what it must be.
struct AnswerRules : AnswerTiming {
    bool hex = false;
    std::optional<Expectation> check;

    bool met(const QString &printed) const { return !check || check->met(printed); }
};

// Each throws Usage on a bad value. The ports named, COM numbers ascending or devices as given,
// each with the same line; --com and --device may name several.
QList<PortChoice> portChoices(const Args &args);
// The one port a sub-command other than run takes.
PortChoice portChoice(const Args &args, const char *command);
AnswerTiming answerTiming(const Args &args);
AnswerRules answerRules(const Args &args);

} // namespace tqm::cli
