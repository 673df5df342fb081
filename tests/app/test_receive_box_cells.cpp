// Every byte's rendering, drawn in the receive box at the scales a screen may use, stays inside
// its own cells: a glyph that spilled over would hide part of the character next to it.
#include "app/receive_box.h"
#include "tests/support/expected_rendering.h"

#include <QImage>
#include <QRegion>
#include <QTest>

using tqm::ReceiveBox;

namespace {

const QRgb paper = qRgb(255, 255, 255);

// The box's text area holding `text`, drawn at `scale` device pixels per pixel.
QImage drawn(ReceiveBox &box, const QString &text, int scale) {
    box.setText(text);
    QImage image(box.viewport()->size() * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(paper);
    box.viewport()->render(&image);
    return image;
}

// The device pixels of the cells [first, last).
QRegion cells(const ReceiveBox &box, qsizetype first, qsizetype last, int scale) {
    QRegion region;
    for (qsizetype i = first; i < last; ++i) {
        const QRect cell = box.cellRect(i);
        region += QRect(cell.topLeft() * scale, cell.size() * scale);
    }
    return region;
}

// The first pixel of `region` where the two images differ, as "x,y", or "" when there is none.
QString changedWithin(const QImage &image, const QImage &reference, const QRegion &region) {
    for (const QRect &rect : region)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (image.pixel(x, y) != reference.pixel(x, y))
                    return QStringLiteral("%1,%2").arg(x).arg(y);
    return {};
}

// The first pixel drawn outside `allowed`.
QString inkOutside(const QImage &image, const QRegion &allowed) {
    QImage blank(image.size(), QImage::Format_RGB32);
    blank.fill(paper);
    return changedWithin(image, blank, QRegion(image.rect()) - allowed);
}

} // namespace

class ReceiveBoxCellsTest : public QObject {
    Q_OBJECT
private slots:
    void everyRenderingStaysInItsCells_data() {
        QTest::addColumn<int>("scale");
        QTest::newRow("scale 1") << 1;
        QTest::newRow("scale 2") << 2;
    }
    // A wider glyph from another font, or a fitted glyph that leaves the painter scaled for the
    // next character, shows as ink beside the rendering or as a changed bracket next to it.
    void everyRenderingStaysInItsCells() {
        QFETCH(int, scale);
        ReceiveBox box;
        QPalette colours = box.palette();
        colours.setColor(QPalette::Base, paper);
        colours.setColor(QPalette::Text, Qt::black);
        box.setPalette(colours);
        box.resize(737, 65); // as in the window
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QStringList alone, beside;
        for (int byte = 0; byte < 256; ++byte) {
            const QString rendering = tqm::test::expectedRenderings()[byte];
            const qsizetype length = rendering.size();
            const QImage between = drawn(box, ' ' + rendering + ' ', scale);
            const QString outside = inkOutside(between, cells(box, 1, 1 + length, scale));
            if (!outside.isEmpty())
                alone << QString::asprintf("%02X ", byte) + rendering + " at " + outside;

            const QImage bracketed = drawn(box, '[' + rendering + '[', scale);
            const QImage brackets = drawn(box, '[' + QString(length, ' ') + '[', scale);
            const QRegion own = cells(box, 1, 1 + length, scale);
            const QRegion bracketCells =
                cells(box, 0, 1, scale) + cells(box, 1 + length, 2 + length, scale) - own;
            QString changed = changedWithin(bracketed, brackets, bracketCells);
            if (changed.isEmpty())
                changed = inkOutside(bracketed, own + bracketCells);
            if (!changed.isEmpty())
                beside << QString::asprintf("%02X ", byte) + rendering + " at " + changed;
        }
        QVERIFY2(alone.isEmpty(), qPrintable("ink beside " + alone.join(QStringLiteral("; "))));
        QVERIFY2(beside.isEmpty(),
                 qPrintable("bracket changed by " + beside.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(ReceiveBoxCellsTest)
#include "test_receive_box_cells.moc"
