// The seven-segment digit: outline geometry, character figures, the Value/Bars/dp rules with
// their repaints, and what actually lands on the canvas.
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <QtTest>

#include "controls/Digit.h"

Q_DECLARE_METATYPE(QPolygon)

namespace {

// Counts the paint events a widget receives; repaint() on a shown widget delivers one at once.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

QPolygon Points(std::initializer_list<QPoint> points) {
    return QPolygon(QList<QPoint>(points));
}

QColor ColorAt(const QImage& image, QPoint at) {
    return QColor(image.pixel(at));
}

}  // namespace

class TestDigit : public QObject {
    Q_OBJECT
private slots:
    void outlineVertices_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("bar");
        QTest::addColumn<QPolygon>("expected");
        QTest::newRow("57x81 up") << 57 << 81 << 0 << int(brUp)
                                  << Points({{8, 0}, {36, 0}, {39, 3}, {31, 11}, {13, 11}, {5, 3}});
        QTest::newRow("57x81 middle")
            << 57 << 81 << 0 << int(brMiddle)
            << Points({{10, 32}, {34, 32}, {39, 38}, {34, 43}, {10, 43}, {5, 38}});
        QTest::newRow("57x81 point")
            << 57 << 81 << 0 << int(brPoint)
            << Points({{49, 68}, {54, 73}, {54, 73}, {49, 78}, {49, 78}, {44, 73}});
        // 15 · ky must land on 41: ky is kept in single precision, a little above 2.7.
        QTest::newRow("57x81 left down")
            << 57 << 81 << 0 << int(brLeftDown)
            << Points({{3, 41}, {10, 49}, {10, 65}, {3, 73}, {0, 70}, {0, 43}});
        QTest::newRow("18x30 shift 2 up")
            << 18 << 30 << 2 << int(brUp)
            << Points({{4, 0}, {12, 0}, {13, 1}, {10, 4}, {5, 4}, {3, 1}});
        // Bottom edge (y = 30 would be) unslanted, points in between move in proportion.
        QTest::newRow("18x30 shift 2 down")
            << 18 << 30 << 2 << int(brDown)
            << Points({{4, 25}, {9, 25}, {11, 28}, {10, 29}, {2, 29}, {2, 28}});
    }
    void outlineVertices() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, shift);
        QFETCH(int, bar);
        QFETCH(QPolygon, expected);
        QCOMPARE(TDigit::SegmentPolygons(width, height, shift)[size_t(bar)], expected);
    }

    void shiftEqualToWidthPutsEveryVertexOnOneLine() {
        const int width = 18, height = 30, shift = 18;
        const TDigit::TSegmentPolygons polygons = TDigit::SegmentPolygons(width, height, shift);
        // kx is 0: X depends on the design y alone, X = shift · (1 − y / 30), a straight line
        // from (shift, 0) to (0, 30).
        for (const QPolygon& polygon : polygons)
            for (const QPoint& p : polygon)
                QVERIFY2(qAbs(p.x() - shift * (height - p.y()) / height) <= 1,
                         qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
        TDigit digit;
        digit.resize(width, height);
        digit.SetShift(shift);
        digit.SetValue('8');
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        digit.Paint(painter);
    }

    void constructionDefaults() {
        TDigit digit;
        QCOMPARE(digit.size(), QSize(18, 30));
        QCOMPARE(digit.Shift(), 2);
        QCOMPARE(digit.Value(), QChar(0));
        QCOMPARE(int(digit.Bars()), 0);
        QCOMPARE(digit.dp(), false);
        QCOMPARE(digit.OnPen()->Color(), QColor(0, 0, 0));
        QCOMPARE(digit.OffBrush()->Color(), QColor(0xC0, 0xC0, 0xC0));
    }

    void colorRefHasRedInTheLowByte() {
        QCOMPARE(ColorFromColorRef(0x0000FF), QColor(255, 0, 0));
        QCOMPARE(ColorFromColorRef(0x008000), QColor(0, 128, 0));
        QCOMPARE(ColorFromColorRef(0xFF0000), QColor(0, 0, 255));
    }

    void characterFigures_data() {
        QTest::addColumn<QChar>("character");
        QTest::addColumn<int>("bars");
        const struct {
            const char* characters;
            int bars;
        } figures[] = {
            {" ", 0x00},   {"0DO", 0x77}, {"1Il|", 0x24}, {"2", 0x5D},  {"3", 0x6D}, {"4", 0x2E},
            {"5Ss", 0x6B}, {"6", 0x7B},   {"7", 0x25},    {"8B", 0x7F}, {"9", 0x6F}, {"AR", 0x3F},
            {"C([", 0x53}, {")]", 0x65},  {"E", 0x5B},    {"Ff", 0x1B}, {"H", 0x3E}, {"L", 0x52},
            {"Pp", 0x1F},  {"U", 0x76},   {"b", 0x7A},    {"c", 0x58},  {"d", 0x7C}, {"e", 0x5F},
            {"h", 0x3A},   {"i", 0x20},   {"o", 0x78},    {"q", 0x2F},  {"r", 0x18}, {"u", 0x70},
            {"_", 0x40},   {"-", 0x08},   {"~", 0x01},
        };
        for (const auto& figure : figures)
            for (const char* c = figure.characters; *c; ++c)
                QTest::newRow(qPrintable(QString("'%1'").arg(QChar(*c))))
                    << QChar(*c) << figure.bars;
        for (const char c : QByteArray("GJKMNQTVWXYZagjkmntvwxyz*.,:+=/\\!?"))
            QTest::newRow(qPrintable(QString("no figure '%1'").arg(QChar(c)))) << QChar(c) << -1;
        for (const char16_t code : {0x01, 0x09, 0x1F, 0x7F, 0xA0, 0x0410, 0x041E, 0xFF10})
            QTest::newRow(qPrintable(QString("no figure U+%1").arg(int(code), 4, 16, QChar('0'))))
                << QChar(code) << -1;
    }
    void characterFigures() {
        QFETCH(QChar, character);
        QFETCH(int, bars);
        TDigit digit;
        digit.SetBars(0x55);  // something a figure must replace and a miss must keep
        digit.SetValue(character);
        if (bars < 0) {
            QCOMPARE(digit.Value(), QChar(0));
            QCOMPARE(int(digit.Bars()), 0x55);
        } else {
            QCOMPARE(digit.Value(), character);
            QCOMPARE(int(digit.Bars()), bars);
        }
    }

    void sameCharacterTwiceRepaintsOnceAndIgnoresDp() {
        TDigit digit;
        PaintCounter paints(&digit);
        ShowAndSettle(digit, paints);
        QVERIFY(!QTest::currentTestFailed());
        digit.SetValue('3');
        digit.Setdp(true);  // a plain store: no repaint
        digit.SetValue('3');
        QCOMPARE(paints.count, 1);
        QCOMPARE(int(digit.Bars()), 0x6D);  // the point stays dark
        digit.SetValue(' ');
        digit.SetValue('3');
        QCOMPARE(paints.count, 3);
        QCOMPARE(int(digit.Bars()), 0xED);
    }

    void eightWithAndWithoutPoint() {
        TDigit digit;
        digit.Setdp(true);
        digit.SetValue('8');
        QCOMPARE(int(digit.Bars()), 0xFF);
        digit.Setdp(false);
        digit.SetValue(' ');
        digit.SetValue('8');
        QCOMPARE(int(digit.Bars()), 0x7F);
    }

    void unknownCharacterKeepsFigureAndStillAddsPoint() {
        TDigit digit;
        PaintCounter paints(&digit);
        ShowAndSettle(digit, paints);
        QVERIFY(!QTest::currentTestFailed());
        digit.SetValue('3');
        digit.SetValue('G');
        QCOMPARE(digit.Value(), QChar(0));
        QCOMPARE(int(digit.Bars()), 0x6D);
        QCOMPARE(paints.count, 2);
        digit.SetValue('3');  // Value is 0 now, so "3" is applied again
        QCOMPARE(digit.Value(), QChar('3'));
        QCOMPARE(paints.count, 3);

        digit.Setdp(true);
        digit.SetValue('G');
        QCOMPARE(int(digit.Bars()), 0xED);
    }

    void barsWriteClearsValueSoTheNextCharacterApplies() {
        TDigit digit;
        PaintCounter paints(&digit);
        ShowAndSettle(digit, paints);
        QVERIFY(!QTest::currentTestFailed());
        digit.SetValue('-');
        digit.SetBars(BarBit(brUp));
        QCOMPARE(digit.Value(), QChar(0));
        digit.SetBars(BarBit(brMiddle));
        QCOMPARE(paints.count, 3);
        digit.SetBars(BarBit(brMiddle));  // equal set: nothing
        QCOMPARE(paints.count, 3);
        digit.Setdp(true);
        digit.SetBars(BarBit(brMiddle) | BarBit(brUp));  // dp is not applied by a Bars write
        QCOMPARE(int(digit.Bars()), 0x09);
        digit.SetBars(BarBit(brMiddle));
        digit.SetValue('-');
        QCOMPARE(digit.Value(), QChar('-'));
        QCOMPARE(int(digit.Bars()), 0x88);
        QCOMPARE(paints.count, 6);
    }

    void shiftRepaintsOnlyWhenChanged() {
        TDigit digit;
        PaintCounter paints(&digit);
        ShowAndSettle(digit, paints);
        QVERIFY(!QTest::currentTestFailed());
        digit.SetShift(2);
        QCOMPARE(paints.count, 0);
        digit.SetShift(0);
        QCOMPARE(paints.count, 1);
    }

    void penAndBrushChangesRepaintAtOnce() {
        TDigit digit;
        PaintCounter paints(&digit);
        ShowAndSettle(digit, paints);
        QVERIFY(!QTest::currentTestFailed());
        digit.OffBrush()->SetColor(QColor(Qt::white));
        QCOMPARE(paints.count, 1);
        digit.OnPen()->SetWidth(2);
        QCOMPARE(paints.count, 2);
        TBrush green;
        green.SetColor(QColor(0, 128, 0));
        digit.SetOnBrush(&green);
        QCOMPARE(paints.count, 3);
        QCOMPARE(digit.OnBrush()->Color(), QColor(0, 128, 0));
        digit.SetOnBrush(digit.OnBrush());  // the object already held: nothing
        QCOMPARE(paints.count, 3);
    }

    void paintedPixels() {
        TDigit digit;
        digit.resize(57, 81);
        digit.SetShift(0);
        digit.OnBrush()->SetColor(QColor(0, 128, 0));
        digit.OnPen()->SetColor(QColor(0, 128, 0));
        digit.OffPen()->SetColor(QColor(Qt::white));
        digit.Setdp(true);
        digit.SetValue('-');
        const QColor background(10, 20, 30);
        QImage image(57, 81, QImage::Format_RGB32);
        image.fill(background);
        QPainter painter(&image);
        digit.Paint(painter);
        painter.end();
        QCOMPARE(ColorAt(image, {22, 38}), QColor(0, 128, 0));        // middle bar, lit
        QCOMPARE(ColorAt(image, {49, 73}), QColor(0, 128, 0));        // point, lit
        QCOMPARE(ColorAt(image, {22, 6}), QColor(0xC0, 0xC0, 0xC0));  // top bar, unlit fill
        QCOMPARE(ColorAt(image, {22, 0}), QColor(Qt::white));         // top bar, unlit outline
        QCOMPARE(ColorAt(image, {2, 55}), QColor(0xC0, 0xC0, 0xC0));  // lower left, unlit
        QCOMPARE(ColorAt(image, {22, 22}), background);  // between the bars: never erased
        QCOMPARE(ColorAt(image, {56, 0}), background);
    }

    // A write repaints only the segments that changed. What is on the screen (the offscreen
    // platform's backing store) must then equal a fresh full paint of the same state, also for
    // cells that overlap by a pixel as on the readings page, and with a wide outline.
    void partialRepaintsLeaveWhatAFullPaintDraws_data() {
        QTest::addColumn<int>("penWidth");
        QTest::newRow("form's pens") << 1;
        QTest::newRow("wide outline") << 4;
    }
    void partialRepaintsLeaveWhatAFullPaintDraws() {
        QFETCH(int, penWidth);
        QWidget panel;
        panel.resize(300, 97);
        QPalette palette = panel.palette();
        palette.setColor(QPalette::Window, QColor(30, 40, 50));
        panel.setPalette(palette);
        panel.setAutoFillBackground(true);
        TDigit* cells[5];
        for (int k = 0; k < 5; ++k) {
            cells[k] = new TDigit(&panel);
            cells[k]->setGeometry(16 + 56 * k, 8, 57, 81);
            cells[k]->SetShift(k == 4 ? 6 : 0);  // one slanted cell: its outlines lean across
            cells[k]->OnPen()->SetColor(QColor(0, 128, 0));
            cells[k]->OnPen()->SetWidth(penWidth);
            cells[k]->OnBrush()->SetColor(QColor(0, 200, 0));
            cells[k]->OffPen()->SetColor(Qt::white);
            cells[k]->OffBrush()->SetColor(QColor(0xF0, 0xF0, 0xF0));
        }
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const QString characters = QStringLiteral("8 1234567890-_~AbCdEFHLPUhior|8");
        for (int step = 0; step < characters.size() * 5; ++step) {
            TDigit* cell = cells[step % 5];
            cell->Setdp(step % 3 == 0);
            cell->SetValue(characters[(step * 7) % characters.size()]);
            if (step % 11 == 0) cell->SetBars(TBars(step * 37));
            const QImage shown =
                panel.windowHandle()->screen()->grabWindow(panel.winId()).toImage();
            const QImage painted = panel.grab().toImage();
            QVERIFY(!shown.isNull());
            QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                     painted.convertToFormat(QImage::Format_RGB32));
        }
    }

    void mouseMoveGoesToTheHandler() {
        TDigit digit;
        QMouseEvent unhandled(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton,
                              Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&digit, &unhandled);  // no handler: nothing happens

        QObject* sender = nullptr;
        Qt::KeyboardModifiers shift;
        QPoint at;
        digit.SetOnMouseMove([&](QObject* s, Qt::KeyboardModifiers m, int x, int y) {
            sender = s;
            shift = m;
            at = QPoint(x, y);
        });
        QMouseEvent move(QEvent::MouseMove, QPointF(7, 12), QPointF(7, 12), Qt::NoButton,
                         Qt::NoButton, Qt::ShiftModifier | Qt::ControlModifier);
        QCoreApplication::sendEvent(&digit, &move);
        QCOMPARE(sender, &digit);
        QCOMPARE(shift, Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(at, QPoint(7, 12));
    }

private:
    static void ShowAndSettle(TDigit& digit, PaintCounter& paints) {
        digit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&digit));
        QTRY_VERIFY(paints.count > 0);
        QCoreApplication::processEvents();
        paints.count = 0;
    }
};

QTEST_MAIN(TestDigit)
#include "test_digit.moc"
