// Which operating system's names to use for serial ports and the log file. The build picks the
// default; both sides can be asked for on any machine, so the Windows names are tested on Linux.
#pragma once

namespace tqm {

enum class Platform { Windows, Posix };

constexpr Platform hostPlatform() {
#ifdef Q_OS_WIN
    return Platform::Windows;
#else
    return Platform::Posix;
#endif
}

} // namespace tqm
