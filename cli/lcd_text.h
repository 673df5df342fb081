// The LCD frame with the operator's own four lines, shaped like the console's own LCD frame.
#pragma once

#include <QString>
#include <QStringList>

namespace tqm::cli {

// One to four lines; missing ones go out empty. Throws Usage naming the line and the character
// when a line has a character without a code page 949 code, a control character, or more bytes
// than the longest line of the console's own LCD frame.
QString lcdFrame(const QStringList &lines);

// The most bytes one line may take in code page 949.
int lcdLineBytes();

} // namespace tqm::cli
