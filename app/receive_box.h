// The receive box `txtrecv`: a read-only view of everything the device sent since the last
// command, whose update and paint cost stay flat however much the box already holds.
#pragma once

#include "app/cell_painter.h"
#include "receive/receive_text.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QString>
#include <QStringView>
#include <QTimer>

class QAction;
class QMenu;

namespace tqm {

// The text, its wrapping and the selection live in a ReceiveText; the box measures the grid's
// cells, scrolls, paints only the rows on screen and turns the mouse and keys into selections.
class ReceiveBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ReceiveBox(QWidget *parent = nullptr);

    const QString &text() const { return model_.text(); }
    // Replaces the whole text ("" empties the box), drops the selection, shows the newest line.
    void setText(const QString &text);
    // Adds one receive batch at the end; if the operator was watching the newest line, the view
    // follows it, otherwise it stays where the operator scrolled to.
    void append(QStringView more);

    QString selectedText() const { return model_.selectedText(); }
    int columns() const { return model_.columns(); }
    qsizetype lineCount() const { return model_.lineCount(); }
    static qsizetype lineCount(qsizetype length, int columns) {
        return ReceiveText::lineCount(length, columns);
    }
    // Where the character at `index` sits in viewport coordinates, on screen or not.
    QRect cellRect(qsizetype index) const;
    // The character whose cell holds `pos` in viewport coordinates, -1 where there is none.
    qsizetype characterAt(QPoint pos) const;

    // For assistive technology, which reads and selects through the model.
    const ReceiveText &model() const { return model_; }
    void select(qsizetype anchor, qsizetype cursor);
    void scrollToIndex(qsizetype index);

public slots:
    void selectAll();
    void copy() const;

signals:
    void textChanged();

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void relayout();
    void updateScrollRange(bool toBottom);
    bool atBottom() const;
    qsizetype firstLine() const;
    qsizetype indexAt(QPointF pos) const;
    void dragTo(QPointF pos);
    void repaintSoon();
    void showFrame();
    void announceAppended();
    void openMenu(QPoint globalPos);
    QPoint keyboardMenuPos() const;

    ReceiveText model_;
    bool dragging_ = false;
    int pageLines_ = 1;
    int lineHeight_ = 1;
    qreal cellWidth_ = 1;
    qreal ascent_ = 0;
    CellPainter cells_;
    QMenu *menu_ = nullptr;
    QAction *copyAction_ = nullptr;
    // A flood brings hundreds of batches a second: the text takes each one at once, the screen
    // shows them at most once a frame.
    bool followPending_ = false; // the view moves to the newest line with the next frame
    QTimer repaint_;
    QElapsedTimer sincePaint_;
    // Assistive technology is told of new text with the paint, in one event from here to the
    // end; -1 while it has been told everything.
    qsizetype unannounced_ = -1;
};

} // namespace tqm
