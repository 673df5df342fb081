// Measuring each glyph against its cell once, and drawing runs and fitted glyphs.
#include "app/cell_painter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tqm {

namespace {

// Advances are kept in 1/64 pixel; anything closer than that is the same advance.
constexpr qreal sameAdvance = 1.0 / 64;
// The painter may put a glyph up to half a pixel from where it was asked across the line; a glyph
// moved by hand keeps that far from its cell's edges.
constexpr qreal snap = 0.5;

// The shift that keeps [low, high] inside [from, to] while moving it as little as possible; the
// span is never wider than the room.
qreal shiftInto(qreal low, qreal high, qreal from, qreal to) {
    return std::max(from - low, std::min(qreal(0), to - high));
}

} // namespace

void CellPainter::setGrid(const QFont &font, qreal cellWidth, qreal cellHeight, qreal ascent) {
    if (font == font_ && cellWidth == cellWidth_ && cellHeight == cellHeight_ && ascent == ascent_)
        return; // a resize: the glyphs are measured already
    font_ = font;
    cellWidth_ = cellWidth;
    cellHeight_ = cellHeight;
    ascent_ = ascent;
    latin_.fill(std::nullopt);
    latinInRun_ = unmeasured();
    others_.clear();
}

const CellPainter::Fit &CellPainter::fitOf(QChar c) const {
    if (c.unicode() < latin_.size()) {
        std::optional<Fit> &fit = latin_[c.unicode()];
        if (!fit) {
            fit = measure(c);
            latinInRun_[c.unicode()] = fit->inRun ? 1 : 0;
        }
        return *fit;
    }
    auto it = others_.constFind(c.unicode());
    if (it == others_.constEnd())
        it = others_.insert(c.unicode(), measure(c));
    return *it;
}

CellPainter::Fit CellPainter::measure(QChar c) const {
    Fit fit;
    // The outline itself, not the font's ink box rounded out to whole pixels.
    QPainterPath outline;
    outline.addText(0, 0, font_, QString(c));
    const QRectF ink = outline.boundingRect();
    const bool oneCell =
        std::abs(QFontMetricsF(font_).horizontalAdvance(c) - cellWidth_) < sameAdvance;
    if (ink.isEmpty()) {
        fit.inRun = oneCell;
        return fit;
    }
    const qreal above = std::max<qreal>(0, ascent_);
    const qreal below = std::max<qreal>(0, cellHeight_ - ascent_);
    const bool fitsAcross = oneCell && ink.left() >= 0 && ink.right() <= cellWidth_;
    const bool fitsDown = ink.top() >= -above && ink.bottom() <= below;
    if (fitsAcross && fitsDown)
        return fit;
    fit.inRun = false;
    if (!fitsAcross) {
        const qreal from = snap;
        const qreal to = cellWidth_ - snap;
        fit.scaleX = std::min<qreal>(1, (to - from) / ink.width());
        fit.dx = shiftInto(ink.left() * fit.scaleX, ink.right() * fit.scaleX, from, to);
    }
    // Squeezed towards the baseline, never moved off it, so it still lines up with the
    // characters beside it; the baseline is on a whole pixel, where the painter leaves it.
    if (ink.top() < -above)
        fit.scaleY = std::min(fit.scaleY, above / -ink.top());
    if (ink.bottom() > below)
        fit.scaleY = std::min(fit.scaleY, below / ink.bottom());
    return fit;
}

void CellPainter::draw(QPainter &painter, qreal left, qreal top, QStringView cells) const {
    const qreal baseline = top + ascent_;
    qsizetype i = 0;
    while (i < cells.size()) {
        const qreal x = left + qreal(i) * cellWidth_;
        qsizetype j = i;
        while (j < cells.size() && inRun(cells[j]))
            ++j;
        if (j > i) {
            painter.drawText(QPointF(x, baseline), cells.sliced(i, j - i).toString());
            i = j;
            continue;
        }
        const Fit &fit = fitOf(cells[i]);
        const QTransform before = painter.transform();
        painter.translate(x + fit.dx, baseline);
        painter.scale(fit.scaleX, fit.scaleY);
        painter.drawText(QPointF(0, 0), QString(cells[i]));
        painter.setTransform(before);
        ++i;
    }
}

} // namespace tqm
