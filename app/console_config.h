// The console's one setting for starts from the desktop menu, where no option can be typed:
// console.conf in its settings folder.
#pragma once

#include <QDateTime>
#include <QString>

namespace tqm {

// The transcript file that `folder`/console.conf asks for with a line "transcript=PATH", its
// time fields filled in from `start`; empty when there is no such file or line.
QString configuredTranscript(const QString &folder, const QDateTime &start);

class Link;

// Records the link in the transcript of this start: `option` (--transcript) when given, else what
// console.conf in the settings folder asks for; none when neither names one. A file that cannot be
// opened is reported by the window once it runs, and the console goes on without it.
void startTranscript(const QString &option, Link &link);

} // namespace tqm
