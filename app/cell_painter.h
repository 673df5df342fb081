// Draws text on the receive box's grid so that every character stays inside its own cell.
#pragma once

#include <QFont>
#include <QHash>
#include <QStringView>

#include <array>
#include <optional>

class QPainter;

namespace tqm {

// A character whose glyph advances by exactly one cell and lies inside it is drawn together
// with its neighbours in one run. Any other glyph (wider, taller, or from a fallback font) is
// drawn on its own, shifted and if need be shrunk into its cell: a glyph reaching into the next
// cell would hide the character there, and the operator must see every byte.
class CellPainter {
public:
    // The font every cell is drawn in, and one cell's size and baseline below its top.
    void setGrid(const QFont &font, qreal cellWidth, qreal cellHeight, qreal ascent);
    // Draws `cells` from the cell whose top left corner is at `left`, `top`, with the painter's
    // pen; the painter's font must be the grid's font.
    void draw(QPainter &painter, qreal left, qreal top, QStringView cells) const;

private:
    // How one glyph is placed: scaled about its origin on the baseline, then moved along it.
    struct Fit {
        bool inRun = true;
        qreal scaleX = 1;
        qreal scaleY = 1;
        qreal dx = 0;
    };
    const Fit &fitOf(QChar c) const;
    Fit measure(QChar c) const;
    // Asked for every character painted: Latin-1 answers from a table without a call.
    bool inRun(QChar c) const {
        const char16_t u = c.unicode();
        if (u < latinInRun_.size() && latinInRun_[u] >= 0)
            return latinInRun_[u] != 0;
        return fitOf(c).inRun;
    }

    QFont font_;
    qreal cellWidth_ = 1;
    qreal cellHeight_ = 1;
    qreal ascent_ = 0;
    // Measured on first sight: Latin-1, nearly all the box ever shows, without hashing.
    mutable std::array<std::optional<Fit>, 256> latin_;
    mutable std::array<signed char, 256> latinInRun_ = unmeasured();
    mutable QHash<char16_t, Fit> others_;

    static std::array<signed char, 256> unmeasured() {
        std::array<signed char, 256> table;
        table.fill(-1);
        return table;
    }
};

} // namespace tqm
