// Tests of the receive box as a widget: the text it is given and the signal for each batch,
// following the newest line, scrolling back, read-only keys, painting a flood, and each byte's
// rendering within its cells. Selecting and copying are tested with the mouse where assistive
// technology reads the selection, and with the keys and the menu in the window.
#include "app/receive_box.h"
#include "tests/support/expected_rendering.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QRegion>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using tqm::ReceiveBox;

namespace {

// At the size the window gives it.
bool shown(ReceiveBox &box) {
    box.resize(737, 65);
    box.show();
    return QTest::qWaitForWindowExposed(&box);
}

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

class ReceiveBoxTest : public QObject {
    Q_OBJECT
private slots:
    // The text each batch leaves is the model's, tested there; the box adds the change signal:
    // one per batch that brings text, none for an empty one.
    void appendSignalsEachBatch() {
        ReceiveBox box;
        box.setText("[ACK]");
        QSignalSpy changed(&box, &ReceiveBox::textChanged);
        for (const char *batch : {"[NAK]", "", "x"})
            box.append(QString::fromLatin1(batch));
        QCOMPARE(box.text(), QStringLiteral("[ACK][NAK]x"));
        QCOMPARE(changed.count(), 2);
    }

    // The wrapping itself is tested on the text model; here the box feeds it its own width.
    void lineCountFollowsColumns() {
        ReceiveBox box;
        QVERIFY(shown(box));
        QVERIFY(box.columns() > 1);
        box.setText(QString(qsizetype(box.columns()) * 100 + 1, 'x'));
        QCOMPARE(box.lineCount(), qsizetype(101));
        box.setText("");
        QCOMPARE(box.lineCount(), qsizetype(1));
        QCOMPARE(ReceiveBox::lineCount(81, 80), qsizetype(2));
    }

    // 100 full lines, four on screen: the last page starts at line 96.
    void scrollsAndFollowsNewest_data() {
        QTest::addColumn<bool>("fromTop");
        QTest::addColumn<Qt::Key>("key"); // Key_unknown: one notch of the wheel up instead
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("firstLine");
        QTest::addColumn<int>("afterBatch"); // 106 follows the ten new lines
        const Qt::KeyboardModifiers none, ctrl(Qt::ControlModifier);
        QTest::newRow("watching the newest") << false << Qt::Key_Shift << none << 96 << 106;
        QTest::newRow("Up") << false << Qt::Key_Up << none << 95 << 95;
        QTest::newRow("PageUp") << false << Qt::Key_PageUp << none << 92 << 92;
        QTest::newRow("wheel up") << false << Qt::Key_unknown << none << 93 << 93;
        QTest::newRow("Ctrl+Home") << false << Qt::Key_Home << ctrl << 0 << 0;
        QTest::newRow("Up at the top") << true << Qt::Key_Up << none << 0 << 0;
        QTest::newRow("Down") << true << Qt::Key_Down << none << 1 << 1;
        QTest::newRow("PageDown") << true << Qt::Key_PageDown << none << 4 << 4;
        QTest::newRow("Ctrl+End") << true << Qt::Key_End << ctrl << 96 << 106;
    }
    void scrollsAndFollowsNewest() {
        QFETCH(bool, fromTop);
        QFETCH(Qt::Key, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        ReceiveBox box;
        QVERIFY(shown(box));
        QScrollBar *bar = box.verticalScrollBar();
        box.setText(QString(qsizetype(box.columns()) * 100, 'x'));
        if (fromTop)
            bar->setValue(0);
        if (key == Qt::Key_unknown) {
            const QPointF at(10, 10);
            QWheelEvent wheel(at, box.viewport()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(box.viewport(), &wheel);
        } else {
            QTest::keyClick(&box, key, modifiers);
        }
        QTEST(bar->value(), "firstLine");
        box.append(QString(qsizetype(box.columns()) * 10, 'y'));
        QFETCH(int, afterBatch);
        QTRY_COMPARE(bar->value(), afterBatch); // the view moves with the next frame
        // A command's new text is shown at its newest line wherever the operator was.
        box.setText(QString(qsizetype(box.columns()) * 100, 'z'));
        box.append(QString(qsizetype(box.columns()) * 10, 'y'));
        QTRY_COMPARE(bar->value(), 106);
    }

    void keysDoNotEdit_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        const Qt::KeyboardModifiers none, ctrl(Qt::ControlModifier);
        QTest::newRow("letter") << Qt::Key_Q << none;
        QTest::newRow("Return") << Qt::Key_Return << none;
        QTest::newRow("Backspace") << Qt::Key_Backspace << none;
        QTest::newRow("Delete") << Qt::Key_Delete << none;
        QTest::newRow("paste") << Qt::Key_V << ctrl;
        QTest::newRow("cut") << Qt::Key_X << ctrl;
    }
    void keysDoNotEdit() {
        QFETCH(Qt::Key, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QGuiApplication::clipboard()->setText("pasted");
        ReceiveBox box;
        box.setText("[STX]AB[ETX]");
        box.selectAll();
        QTest::keyClick(&box, key, modifiers);
        QCOMPARE(box.text(), QString("[STX]AB[ETX]"));
    }

    void paintsTenMegabytesWithSelectionHighlighted() {
        ReceiveBox box;
        QPalette colours = box.palette();
        colours.setColor(QPalette::Highlight, QColor(255, 0, 0));
        box.setPalette(colours);
        QVERIFY(shown(box));
        box.setText(QString("[STX]01234567890[ETX][CR]").repeated(400'000));
        QCOMPARE(box.text().size(), 10'000'000);
        const auto highlightedPixels = [&box] {
            const QImage image = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += image.pixel(x, y) == qRgb(255, 0, 0);
            return count;
        };
        QCOMPARE(highlightedPixels(), 0);
        box.selectAll();
        QVERIFY(highlightedPixels() > 5000); // four lines' worth of background
    }

    void everyRenderingStaysInItsCells_data() {
        QTest::addColumn<int>("scale");
        QTest::newRow("scale 1") << 1;
        QTest::newRow("scale 2") << 2;
    }
    // Every byte's rendering stays inside its own cells: a glyph that spilled over would hide part
    // of the next character. A wider glyph from another font, or a fitted glyph that leaves the
    // painter scaled for the next character, shows as ink beside it or as a changed bracket.
    void everyRenderingStaysInItsCells() {
        QFETCH(int, scale);
        ReceiveBox box;
        QPalette colours = box.palette();
        colours.setColor(QPalette::Base, paper);
        colours.setColor(QPalette::Text, Qt::black);
        box.setPalette(colours);
        QVERIFY(shown(box));
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

QTEST_MAIN(ReceiveBoxTest)
#include "test_receive_box.moc"
