// Painting, scrolling, keys and mouse selection of the receive box.
#include "app/receive_box.h"

#include "app/receive_box_accessible.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace tqm {

namespace {

constexpr int margin = 2; // pixels between the frame and the text
// At 96 dpi this gives 14-pixel lines: four of them fill the 65-pixel box.
constexpr int pointSize = 9;

// The keys that open a text box's menu from the keyboard on Windows.
bool isMenuKey(const QKeyEvent *key) {
    const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
           (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

} // namespace

ReceiveBox::ReceiveBox(QWidget *parent)
    : QAbstractScrollArea(parent) {
    static const bool accessibleInstalled =
        (QAccessible::installFactory(receiveBoxAccessibleFactory), true);
    Q_UNUSED(accessibleInstalled);

    // DejaVu Sans Mono has every byte's rendering (ASCII, Latin-1, Latin Extended-A and the
    // Windows-1252 punctuation) at one advance. NanumGothicCoding stands behind it for anything
    // it lacks, never in front: it draws most Latin-1 symbols two cells wide.
    QFont cellFont;
    cellFont.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("NanumGothicCoding")});
    cellFont.setPointSize(pointSize);
    cellFont.setStyleHint(QFont::Monospace);
    cellFont.setFixedPitch(true);
    cellFont.setKerning(false); // kerning would pull glyphs off the grid the mouse is read against
    // Hinting may move a glyph's parts by a pixel or two at small sizes (the dots of "Ö" go up
    // into the line above); unhinted, every glyph lands where its outline says, at any scale.
    cellFont.setHintingPreference(QFont::PreferNoHinting);
    setFont(cellFont);

    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setSingleStep(1);
    // The scroll bars never show, yet every range change would post the frame an event to
    // reconsider them: one extra turn of the event loop per batch in a flood.
    disconnect(verticalScrollBar(), &QAbstractSlider::rangeChanged, this, nullptr);
    repaint_.setSingleShot(true);
    repaint_.setTimerType(Qt::PreciseTimer);
    connect(&repaint_, &QTimer::timeout, this, &ReceiveBox::showFrame);

    // The menu of a Windows text box, less what a read-only box cannot do. Its actions are the
    // box's own Ctrl+C and Ctrl+A; the shortcuts are shown as a reminder and act only while the
    // menu itself has the keyboard.
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("txtrecvMenu"));
    copyAction_ = menu_->addAction(QStringLiteral("&Copy"), this, &ReceiveBox::copy);
    copyAction_->setShortcut(QKeySequence::Copy);
    QAction *all = menu_->addAction(QStringLiteral("Select &All"), this, &ReceiveBox::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    for (QAction *action : menu_->actions()) {
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
    }
    relayout();
}

void ReceiveBox::setText(const QString &text) {
    announceAppended();                   // what came before must be heard of before it goes
    const QString before = model_.text(); // shares the old text, copies nothing
    model_.setText(text);
    followPending_ = false;
    updateScrollRange(true);
    viewport()->update();
    if (QAccessible::isActive())
        announceReplaced(this, before);
    emit textChanged();
}

void ReceiveBox::append(QStringView more) {
    if (more.isEmpty())
        return;
    const bool follow = atBottom();
    if (unannounced_ < 0 && QAccessible::isActive())
        unannounced_ = model_.text().size();
    model_.append(more);
    // Following the newest line moves the scroll bar, which tells assistive technology of each
    // move: a screen reader would hear of every batch. It moves with the frame instead.
    if (follow)
        followPending_ = true;
    else
        updateScrollRange(false);
    repaintSoon();
    emit textChanged();
}

void ReceiveBox::repaintSoon() {
    if (repaint_.isActive())
        return;
    const qreal hz = screen() ? screen()->refreshRate() : 60;
    const int frameMs = std::clamp(int(1000 / std::max<qreal>(hz, 1)), 4, 50);
    const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : frameMs;
    repaint_.start(int(std::max<qint64>(0, frameMs - since)));
}

QRect ReceiveBox::cellRect(qsizetype index) const {
    const qsizetype row = model_.lineOf(index) - firstLine();
    const qreal x = margin + model_.columnOf(index) * cellWidth_;
    return QRectF(x, margin + qreal(row) * lineHeight_, cellWidth_, lineHeight_).toAlignedRect();
}

qsizetype ReceiveBox::characterAt(QPoint pos) const {
    if (!viewport()->rect().contains(pos))
        return -1;
    const qreal row = std::floor(qreal(pos.y() - margin) / lineHeight_);
    const qreal column = std::floor(qreal(pos.x() - margin) / cellWidth_);
    if (row < 0 || column < 0 || column >= model_.columns())
        return -1;
    const qsizetype index = (firstLine() + qsizetype(row)) * model_.columns() + qsizetype(column);
    return index < model_.text().size() ? index : -1;
}

void ReceiveBox::select(qsizetype anchor, qsizetype cursor) {
    model_.select(anchor, cursor);
    viewport()->update();
}

void ReceiveBox::scrollToIndex(qsizetype index) {
    const qsizetype line = model_.lineOf(std::clamp<qsizetype>(index, 0, model_.text().size()));
    if (line < firstLine())
        verticalScrollBar()->setValue(int(std::min<qsizetype>(INT_MAX, line)));
    else if (line >= firstLine() + pageLines_)
        verticalScrollBar()->setValue(int(std::min<qsizetype>(INT_MAX, line - pageLines_ + 1)));
}

void ReceiveBox::showFrame() {
    // Unless the operator scrolled away from the newest line since the batch came.
    if (std::exchange(followPending_, false))
        updateScrollRange(atBottom());
    viewport()->update();
    announceAppended();
}

void ReceiveBox::announceAppended() {
    if (unannounced_ < 0)
        return;
    const qsizetype from = std::exchange(unannounced_, -1);
    // Assistive technology may have gone away since the text came.
    if (QAccessible::isActive())
        tqm::announceAppended(this, from);
}

void ReceiveBox::selectAll() {
    model_.selectAll();
    viewport()->update();
}

void ReceiveBox::copy() const {
    // An empty selection leaves whatever the operator copied before on the clipboard.
    if (model_.hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

bool ReceiveBox::event(QEvent *event) {
    // Claim the keys the box acts on before any shortcut of the window takes them.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        for (auto standard :
             {QKeySequence::Copy, QKeySequence::SelectAll, QKeySequence::MoveToStartOfDocument,
              QKeySequence::MoveToEndOfDocument}) {
            if (key->matches(standard)) {
                event->accept();
                return true;
            }
        }
    }
    return QAbstractScrollArea::event(event);
}

void ReceiveBox::changeEvent(QEvent *event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
}

void ReceiveBox::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void ReceiveBox::paintEvent(QPaintEvent *event) {
    sincePaint_.start();
    QPainter painter(viewport());
    const QPalette &colours = palette();
    const QString &text = model_.text();
    const int columns = model_.columns();
    const qsizetype selectionStart = model_.selectionStart();
    const qsizetype selectionEnd = model_.selectionEnd();
    const int firstRow = std::max(0, (event->rect().top() - margin) / lineHeight_);
    const int lastRow = std::max(0, (event->rect().bottom() - margin) / lineHeight_);
    for (int row = firstRow; row <= lastRow; ++row) {
        const qsizetype start = (firstLine() + row) * columns;
        if (start >= text.size())
            break;
        const qsizetype end = std::min(text.size(), start + columns);
        const qreal top = margin + row * lineHeight_;
        // The row in three parts: before, inside and after the selection.
        const qsizetype cuts[] = {start, std::clamp(selectionStart, start, end),
                                  std::clamp(selectionEnd, start, end), end};
        for (int part = 0; part < 3; ++part) {
            if (cuts[part] >= cuts[part + 1])
                continue;
            const qsizetype count = cuts[part + 1] - cuts[part];
            const qreal x = margin + qreal(cuts[part] - start) * cellWidth_;
            const bool selected = part == 1;
            if (selected)
                painter.fillRect(QRectF(x, top, qreal(count) * cellWidth_, lineHeight_),
                                 colours.brush(QPalette::Highlight));
            painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
            cells_.draw(painter, x, top, QStringView(text).sliced(cuts[part], count));
        }
    }
}

void ReceiveBox::keyPressEvent(QKeyEvent *event) {
    // The keys that move the view, as in any read-only text box.
    static constexpr struct {
        QKeySequence::StandardKey key;
        QAbstractSlider::SliderAction action;
    } scrolls[] = {
        {QKeySequence::MoveToStartOfDocument, QAbstractSlider::SliderToMinimum},
        {QKeySequence::MoveToEndOfDocument, QAbstractSlider::SliderToMaximum},
        {QKeySequence::MoveToPreviousPage, QAbstractSlider::SliderPageStepSub},
        {QKeySequence::MoveToNextPage, QAbstractSlider::SliderPageStepAdd},
        {QKeySequence::MoveToPreviousLine, QAbstractSlider::SliderSingleStepSub},
        {QKeySequence::MoveToNextLine, QAbstractSlider::SliderSingleStepAdd},
    };
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    for (const auto &scroll : scrolls)
        if (event->matches(scroll.key)) {
            verticalScrollBar()->triggerAction(scroll.action);
            return;
        }
    if (isMenuKey(event))
        openMenu(keyboardMenuPos());
    else
        event->ignore(); // the operator never types into the box
}

void ReceiveBox::contextMenuEvent(QContextMenuEvent *event) {
    openMenu(event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : keyboardMenuPos());
}

void ReceiveBox::openMenu(QPoint globalPos) {
    // Some window systems report the Menu key both as a key and as a menu request.
    if (menu_->isVisible())
        return;
    copyAction_->setEnabled(model_.hasSelection());
    // Not exec(): the receive event must not run inside the menu's own event loop.
    menu_->popup(globalPos);
}

QPoint ReceiveBox::keyboardMenuPos() const {
    // Under the end of the selection when it is on screen, else at the top of the box.
    const QPoint under = cellRect(model_.cursor()).bottomLeft();
    const QPoint at = viewport()->rect().contains(under) ? under : QPoint(margin, margin);
    return viewport()->mapToGlobal(at);
}

void ReceiveBox::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const qsizetype at = indexAt(event->position());
    model_.select(at, at);
    dragging_ = true;
    viewport()->update();
}

void ReceiveBox::mouseMoveEvent(QMouseEvent *event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton))
        dragTo(event->position());
}

void ReceiveBox::mouseReleaseEvent(QMouseEvent *event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragTo(event->position());
        dragging_ = false;
    }
}

void ReceiveBox::dragTo(QPointF pos) {
    // Dragging past the top or bottom edge scrolls, so a selection can reach beyond four lines.
    if (pos.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (pos.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (model_.moveCursor(indexAt(pos)))
        viewport()->update();
}

qsizetype ReceiveBox::indexAt(QPointF pos) const {
    const qsizetype line = firstLine() + qsizetype(std::floor((pos.y() - margin) / lineHeight_));
    // Nearest boundary between two characters, as a text cursor would land.
    return model_.indexAt(line, qRound((pos.x() - margin) / cellWidth_));
}

void ReceiveBox::relayout() {
    const bool follow = atBottom();
    const qsizetype topIndex = firstLine() * model_.columns();
    const QFontMetricsF metrics(font());
    cellWidth_ = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('0')));
    lineHeight_ = std::max(1, int(std::ceil(metrics.lineSpacing())));
    // Glyphs land on whole pixels vertically: a baseline between two would move every glyph
    // by up to half a pixel from where its cell was checked.
    ascent_ = std::round(metrics.ascent());
    cells_.setGrid(font(), cellWidth_, lineHeight_, ascent_);
    model_.setColumns(int((viewport()->width() - 2 * margin) / cellWidth_));
    pageLines_ = std::max(1, (viewport()->height() - 2 * margin) / lineHeight_);
    verticalScrollBar()->setPageStep(pageLines_);
    updateScrollRange(follow);
    // A new width rewraps everything: keep the operator's place at the same character.
    if (!follow)
        verticalScrollBar()->setValue(int(std::min<qsizetype>(INT_MAX, model_.lineOf(topIndex))));
    viewport()->update();
}

void ReceiveBox::updateScrollRange(bool toBottom) {
    const qsizetype hidden = std::max<qsizetype>(0, lineCount() - pageLines_);
    const int maximum = int(std::min<qsizetype>(INT_MAX, hidden));
    verticalScrollBar()->setRange(0, maximum);
    if (toBottom)
        verticalScrollBar()->setValue(maximum);
}

bool ReceiveBox::atBottom() const {
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

qsizetype ReceiveBox::firstLine() const {
    return verticalScrollBar()->value();
}

} // namespace tqm
