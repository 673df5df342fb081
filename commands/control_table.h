// The window's controls as data: name, kind, container, caption, place in twips, tab index.
#pragma once

#include <span>

namespace tqm {

enum class Kind { Frame, ListBox, CheckBox, OptionButton, CommandButton, TextBox, Label };

struct ControlRow {
    const char *name; // objectName, as the routines refer to it
    Kind kind;
    const char *container;        // nullptr: on the window
    const char *caption;          // UTF-8, exactly as shown; "" for none
    int left, top, width, height; // twips
    int tabIndex;
};

struct PortOption {
    const char *control;
    int port;
    const char *caption; // what the label shows once the link has moved there
};

inline constexpr const char *kWindowCaption = "TQM-810 DEMO PROGRAM 2007년 9월11일";
inline constexpr int kClientWidthTwips = 11685;
inline constexpr int kClientHeightTwips = 6555;
inline constexpr int kTwipsPerPixel = 15;
// The COM options, COM1 to COM8: one row each in portOptions().
inline constexpr int kComPorts = 8;
inline constexpr const char *kNoSuchPortMessage = "존제 하지 않는 통신포트 입니다.";

std::span<const ControlRow> controlTable();
std::span<const PortOption> portOptions();
// The row of the control of that name, or nullptr.
const ControlRow *findControl(const char *name);

constexpr int twipsToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

} // namespace tqm
