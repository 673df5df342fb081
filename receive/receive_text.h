// The text behind the receive box `txtrecv`, its wrapping into lines and its selection, kept
// apart from any widget so that the receive path needs Qt Core alone.
#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>

namespace tqm {

// Each UTF-16 code unit takes one cell of a fixed grid of `columns()` cells a line: the device's
// text is ASCII and single-width Latin, so wrapping is arithmetic and never walks the text.
// The selection is [selectionStart(), selectionEnd()) between the anchor and the cursor.
class ReceiveText {
public:
    const QString &text() const { return text_; }
    // Replaces the whole text ("" empties it) and drops the selection.
    void setText(const QString &text);
    // Adds one receive batch at the end; the selection stays on the same characters.
    void append(QStringView more) { text_.append(more); }

    int columns() const { return columns_; }
    // At least one column: a box narrower than one cell still shows one character a line.
    void setColumns(int columns);
    qsizetype lineCount() const { return lineCount(text_.size(), columns_); }
    // Lines that `length` characters fill at `columns` a line; an empty text still has its line.
    static qsizetype lineCount(qsizetype length, int columns);
    // The line and column of the cell in front of which `index` sits. The end of a full last line
    // is the start of the line after it, where the next character will go.
    qsizetype lineOf(qsizetype index) const { return index / columns_; }
    int columnOf(qsizetype index) const { return int(index % columns_); }
    // The index at a boundary of `line`; column `columns()` is the end of that line. Lines before
    // the first give the start of the text, places past its end give the end.
    qsizetype indexAt(qsizetype line, qsizetype column) const;

    qsizetype anchor() const { return anchor_; }
    qsizetype cursor() const { return cursor_; }
    qsizetype selectionStart() const { return std::min(anchor_, cursor_); }
    qsizetype selectionEnd() const { return std::max(anchor_, cursor_); }
    bool hasSelection() const { return anchor_ != cursor_; }
    // Both ends are kept within the text.
    void select(qsizetype anchor, qsizetype cursor);
    // Moves the cursor end only, as a drag does; returns whether the selection changed.
    bool moveCursor(qsizetype cursor);
    void selectAll() { select(0, text_.size()); }
    // The characters as received: wrapping never adds line breaks.
    QString selectedText() const;

private:
    qsizetype clamped(qsizetype index) const;

    QString text_;
    qsizetype anchor_ = 0;
    qsizetype cursor_ = 0;
    int columns_ = 1;
};

} // namespace tqm
