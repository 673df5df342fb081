// The receive box as read-only multi-line text for screen readers, magnifiers and automation.
#include "app/receive_box_accessible.h"

#include "app/receive_box.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <algorithm>
#include <climits>

namespace tqm {

namespace {

int toInt(qsizetype n) {
    return int(std::min<qsizetype>(n, INT_MAX));
}

// Letters and digits make words; every other character (brackets, punctuation, the names of
// control bytes' brackets) separates them, as a word boundary finder would see it.
bool isWordChar(QChar c) {
    return c.isLetterOrNumber();
}

// The text cut into items of one kind: a boundary type picks how items are found.
class Items {
public:
    Items(const ReceiveText &model, QAccessible::TextBoundaryType type)
        : text_(model.text())
        , columns_(model.columns())
        , type_(type) {}

    // The item that holds the character at `index` (0 <= index < size).
    std::pair<qsizetype, qsizetype> at(qsizetype index) const {
        switch (type_) {
        case QAccessible::CharBoundary:
            return {index, index + 1};
        case QAccessible::WordBoundary: {
            // A run of word characters, or a run of the characters between them.
            const bool word = isWordChar(text_[index]);
            qsizetype start = index;
            while (start > 0 && isWordChar(text_[start - 1]) == word)
                --start;
            qsizetype end = index + 1;
            while (end < text_.size() && isWordChar(text_[end]) == word)
                ++end;
            return {start, end};
        }
        case QAccessible::NoBoundary:
            return {0, text_.size()};
        default:
            // Lines are the rows of the grid: the text itself has no line breaks, and neither
            // sentences nor paragraphs mean anything in what a device sends, so a row stands in.
            const qsizetype start = index - index % columns_;
            return {start, std::min(text_.size(), start + columns_)};
        }
    }

    const QString &text_;
    const qsizetype columns_;
    const QAccessible::TextBoundaryType type_;
};

class ReceiveBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ReceiveBoxAccessible(ReceiveBox *box)
        : QAccessibleWidget(box, QAccessible::EditableText) {}

    void *interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return box()->text();
        return QAccessibleWidget::text(t);
    }

    // A text box the operator reads, selects and copies from but never types into.
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.editable = false;
        s.multiLine = true;
        s.selectableText = true;
        s.focusable = true;
        return s;
    }

    // One selection at most: what the mouse or Ctrl+A selected.
    int selectionCount() const override { return model().hasSelection() ? 1 : 0; }
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && model().hasSelection()) {
            *startOffset = toInt(model().selectionStart());
            *endOffset = toInt(model().selectionEnd());
        }
    }
    void addSelection(int startOffset, int endOffset) override {
        box()->select(startOffset, endOffset);
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override {
        if (selectionIndex == 0)
            box()->select(startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override {
        if (selectionIndex == 0)
            box()->select(model().cursor(), model().cursor());
    }

    int cursorPosition() const override { return toInt(model().cursor()); }
    void setCursorPosition(int position) override { box()->select(position, position); }

    int characterCount() const override { return toInt(model().text().size()); }

    QString text(int startOffset, int endOffset) const override {
        const qsizetype size = model().text().size();
        const qsizetype start = std::clamp<qsizetype>(startOffset, 0, size);
        const qsizetype end = endOffset < 0 ? size : std::clamp<qsizetype>(endOffset, start, size);
        return model().text().mid(start, end - start);
    }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                         int *endOffset) const override {
        *startOffset = *endOffset = -1;
        const qsizetype size = model().text().size();
        const qsizetype at = place(offset);
        // At the very end there is no character, but the last word or line is still the one
        // the cursor stands in.
        if (at < 0 || size == 0 || (at == size && type == QAccessible::CharBoundary))
            return {};
        return cut(Items(model(), type).at(std::min(at, size - 1)), startOffset, endOffset);
    }

    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                             int *endOffset) const override {
        *startOffset = *endOffset = -1;
        const qsizetype size = model().text().size();
        const qsizetype at = place(offset);
        if (at <= 0 || size == 0 || type == QAccessible::NoBoundary)
            return {};
        const Items items(model(), type);
        // For characters, the one just before the place; for words and lines, the item before
        // the one that holds the place.
        const qsizetype start =
            type == QAccessible::CharBoundary ? at : items.at(std::min(at, size - 1)).first;
        if (start == 0)
            return {};
        return cut(items.at(start - 1), startOffset, endOffset);
    }

    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                            int *endOffset) const override {
        *startOffset = *endOffset = -1;
        const qsizetype size = model().text().size();
        const qsizetype at = place(offset);
        if (at < 0 || at >= size || type == QAccessible::NoBoundary)
            return {};
        const qsizetype end = Items(model(), type).at(at).second;
        if (end >= size)
            return {};
        return cut(Items(model(), type).at(end), startOffset, endOffset);
    }

    // Screen coordinates, so that a magnifier can follow the text.
    QRect characterRect(int offset) const override {
        if (offset < 0 || offset >= model().text().size())
            return {};
        const QRect cell = box()->cellRect(offset);
        return {box()->viewport()->mapToGlobal(cell.topLeft()), cell.size()};
    }

    int offsetAtPoint(const QPoint &point) const override {
        return toInt(box()->characterAt(box()->viewport()->mapFromGlobal(point)));
    }

    void scrollToSubstring(int startIndex, int endIndex) override {
        // The end first, then the start: a substring longer than the box shows from its start.
        box()->scrollToIndex(std::max(startIndex, endIndex - 1));
        box()->scrollToIndex(startIndex);
    }

    // Every character looks alike: one font, one colour, no attributes to tell apart.
    QString attributes(int offset, int *startOffset, int *endOffset) const override {
        Q_UNUSED(offset);
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    ReceiveBox *box() const { return static_cast<ReceiveBox *>(widget()); }
    const ReceiveText &model() const { return box()->model(); }

    // -1 names the end of the text, -2 the cursor; anything else outside the text is no place.
    qsizetype place(int offset) const {
        const qsizetype size = model().text().size();
        if (offset == -1)
            return size;
        if (offset == -2)
            return model().cursor();
        return offset < 0 || offset > size ? -1 : offset;
    }

    QString cut(std::pair<qsizetype, qsizetype> item, int *startOffset, int *endOffset) const {
        *startOffset = toInt(item.first);
        *endOffset = toInt(item.second);
        return model().text().mid(item.first, item.second - item.first);
    }
};

} // namespace

QAccessibleInterface *receiveBoxAccessibleFactory(const QString &, QObject *object) {
    if (auto *box = qobject_cast<ReceiveBox *>(object))
        return new ReceiveBoxAccessible(box);
    return nullptr;
}

void announceAppended(ReceiveBox *box, qsizetype from) {
    const QString &text = box->text();
    if (from >= text.size())
        return;
    QAccessibleTextInsertEvent event(box, toInt(from), text.mid(from));
    QAccessible::updateAccessibility(&event);
}

void announceReplaced(ReceiveBox *box, const QString &before) {
    const QString &now = box->text();
    if (before.isEmpty() && now.isEmpty())
        return;
    if (before.isEmpty()) {
        QAccessibleTextInsertEvent event(box, 0, now);
        QAccessible::updateAccessibility(&event);
    } else if (now.isEmpty()) {
        QAccessibleTextRemoveEvent event(box, 0, before);
        QAccessible::updateAccessibility(&event);
    } else {
        QAccessibleTextUpdateEvent event(box, 0, before, now);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace tqm
