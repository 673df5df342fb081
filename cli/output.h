// What the command line prints: answers on stdout as the receive box renders them, errors on
// stderr, both written through at once so a script sees each line as it happens.
#pragma once

#include <QByteArray>
#include <QString>

namespace tqm::cli {

void toStdout(const QString &text);
// Whether stdout could not take something: nothing more goes there, and the run ends with the
// status of a report that could not be written.
bool stdoutLost();
void toStderr(const QString &text); // "tqm810: " + text + newline

// An answer as printed: rendered byte by byte, or upper-case hex pairs.
QString printedAnswer(const QByteArray &answer, bool hex);

} // namespace tqm::cli
