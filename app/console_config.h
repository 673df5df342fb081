// The console's one setting for starts from the desktop menu, where no option can be typed:
// console.conf in its settings folder.
#pragma once

#include <QDateTime>
#include <QString>

namespace tqm {

// The transcript file that `folder`/console.conf asks for with a line "transcript=PATH", its
// time fields filled in from `start`; empty when there is no such file or line.
QString configuredTranscript(const QString &folder, const QDateTime &start);

} // namespace tqm
