// Every command code the simulated TQM-810 knows: how its frame runs on, and what it answers.
#pragma once

namespace tqm::sim {

// The letter run A..Z has no command code of its own; it is filed under its first letter, which no
// ESC frame uses.
inline constexpr char kDataSend = 'A';

// What follows the command code, up to the end of the frame.
enum class ArgLayout {
    None,    // nothing: the code ends the frame
    Digits,  // a fixed count of decimal digits, then CR
    CrOnly,  // CR and nothing before it
    Text,    // any bytes but ESC, then CR
    Letters, // the rest of the run A..Z, with no ESC '+' before it
};

struct CommandCode {
    char code; // the byte after ESC '+', or kDataSend
    ArgLayout layout;
    int digits;        // for ArgLayout::Digits; 0 otherwise
    const char *reply; // the built-in reply, written as between the quotes of a reply file entry
};

// The sensor reply keeps the device's documented layout (STX, status, ETX, CR; status '0' here).
// Everything else is a stand-in: a version text, a memory record that names its read point, and
// ACK for the commands that only change the device's state.
inline constexpr CommandCode kCommandCodes[] = {
    {'R', ArgLayout::None, 0, R"(\x06)"},
    {'g', ArgLayout::None, 0, R"(\x06)"},
    {'G', ArgLayout::None, 0, R"(\x06)"},
    {'#', ArgLayout::None, 0, R"(\x02TQM-810 SIMULATOR V1.00\x03\r)"},
    {'y', ArgLayout::None, 0, R"(\x06)"},
    {'Y', ArgLayout::None, 0, R"(\x06)"},
    {'N', ArgLayout::None, 0, R"(\x020\x03\r)"},
    {'P', ArgLayout::Digits, 1, R"(\x06)"},
    {'T', ArgLayout::None, 0, R"(\x02REC\p SIMULATED MEMORY DATA\x03\r)"},
    {'H', ArgLayout::None, 0, R"(\x06)"},
    {'W', ArgLayout::Text, 0, R"(\x06)"},
    {'X', ArgLayout::Digits, 12, R"(\x06)"},
    {'E', ArgLayout::CrOnly, 0, R"(\x06)"},
    {'L', ArgLayout::Digits, 3, R"(\x06)"},
    {kDataSend, ArgLayout::Letters, 0, R"(\x06)"},
};

// The row of code, kDataSend included; nullptr for a code the device does not know.
constexpr const CommandCode *findCode(char code) {
    for (const CommandCode &row : kCommandCodes) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

// The row of a frame that starts ESC '+' code; the letter run never does.
constexpr const CommandCode *escCode(char code) {
    const CommandCode *row = findCode(code);
    return row != nullptr && row->layout != ArgLayout::Letters ? row : nullptr;
}

namespace detail {

// Each code once, a digit count exactly where digits are, and the letter run under kDataSend.
constexpr bool wellFormed() {
    bool hasRun = false;
    for (const CommandCode &row : kCommandCodes) {
        if (findCode(row.code) != &row)
            return false;
        if ((row.layout == ArgLayout::Digits) != (row.digits > 0))
            return false;
        if ((row.layout == ArgLayout::Letters) != (row.code == kDataSend))
            return false;
        hasRun = hasRun || row.layout == ArgLayout::Letters;
    }
    return hasRun;
}

static_assert(wellFormed(), "kCommandCodes has a duplicate code or a row that contradicts itself");

} // namespace detail

} // namespace tqm::sim
