// The receive box's text, wrapping arithmetic and selection.
#include "receive/receive_text.h"

#include <algorithm>

namespace tqm {

void ReceiveText::setText(const QString &text) {
    text_ = text;
    anchor_ = cursor_ = 0;
}

void ReceiveText::setColumns(int columns) {
    columns_ = std::max(1, columns);
}

qsizetype ReceiveText::lineCount(qsizetype length, int columns) {
    Q_ASSERT(columns > 0);
    return length <= 0 ? 1 : (length + columns - 1) / columns;
}

qsizetype ReceiveText::indexAt(qsizetype line, qsizetype column) const {
    if (line < 0)
        return 0;
    // Past the last line there is nothing to multiply: the end of the text is as far as it goes.
    if (line > lineOf(text_.size()))
        return text_.size();
    return std::min(text_.size(), line * columns_ + std::clamp<qsizetype>(column, 0, columns_));
}

void ReceiveText::select(qsizetype anchor, qsizetype cursor) {
    anchor_ = clamped(anchor);
    cursor_ = clamped(cursor);
}

bool ReceiveText::moveCursor(qsizetype cursor) {
    cursor = clamped(cursor);
    if (cursor == cursor_)
        return false;
    cursor_ = cursor;
    return true;
}

QString ReceiveText::selectedText() const {
    return text_.mid(selectionStart(), selectionEnd() - selectionStart());
}

qsizetype ReceiveText::clamped(qsizetype index) const {
    return std::clamp<qsizetype>(index, 0, text_.size());
}

} // namespace tqm
