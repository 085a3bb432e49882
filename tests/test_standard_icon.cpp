// The windows' standard icons (controls::StandardIcon) load one picture instead of every size
// the style ships; what a button shows must not change for it: the same size as the style's
// own icon at every button size and screen scale, the same pixels wherever the one picture is
// not bigger than asked, the same room in a button's size hint, and nothing drawn (no crash)
// once the style is gone.
#include <QPushButton>
#include <QStyleFactory>
#include <QtTest>
#include <memory>

#include "controls/StandardIcon.h"

Q_DECLARE_METATYPE(QStyle::StandardPixmap)

namespace {

// Every icon the windows ask for.
const QStyle::StandardPixmap UsedIcons[] = {
    QStyle::SP_MediaPlay,
    QStyle::SP_FileDialogDetailedView,
    QStyle::SP_ComputerIcon,
    QStyle::SP_MessageBoxQuestion,
    QStyle::SP_FileDialogContentsView,
    QStyle::SP_ArrowRight,
    QStyle::SP_ArrowLeft,
    QStyle::SP_MediaStop,
    QStyle::SP_ArrowDown,
    QStyle::SP_DialogSaveButton,
    QStyle::SP_FileDialogListView,
    QStyle::SP_DriveNetIcon,
};

QImage Pixels(const QPixmap& p) {
    return p.toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

class TestStandardIcon : public QObject {
    Q_OBJECT

private slots:
    void looksAsTheStyleIcon_data() {
        QTest::addColumn<QStyle::StandardPixmap>("which");
        QTest::addColumn<int>("size");
        QTest::addColumn<qreal>("scale");
        for (QStyle::StandardPixmap which : UsedIcons)
            for (int size : {16, 24, 32})
                for (qreal scale : {1.0, 2.0})
                    QTest::addRow("icon %d, %d px, scale %g", int(which), size, scale)
                        << which << size << scale;
    }
    void looksAsTheStyleIcon() {
        QFETCH(QStyle::StandardPixmap, which);
        QFETCH(int, size);
        QFETCH(qreal, scale);
        const QStyle& style = *QApplication::style();
        const QIcon theirs = style.standardIcon(which);
        const QIcon ours = controls::StandardIcon(style, which);
        const QSize asked(size, size);
        const QPixmap expected = theirs.pixmap(asked, scale);
        const QPixmap shown = ours.pixmap(asked, scale);
        QCOMPARE(shown.size(), expected.size());  // never blown up, never smaller
        QCOMPARE(shown.devicePixelRatio(), expected.devicePixelRatio());
        QCOMPARE(ours.actualSize(asked), theirs.actualSize(asked));
        // The one picture, when bigger than the device pixels asked, is scaled down (as the
        // style scales its next bigger one); otherwise the picture is the style's own.
        const QSize single = style.standardPixmap(which).size();
        const QSize devicePixels = asked * scale;
        if (single.width() > devicePixels.width()) return;
        QCOMPARE(Pixels(shown), Pixels(expected));
    }

    // A button keeps the room for its icon although nothing is loaded before it is drawn.
    void buttonsKeepTheirRoom() {
        for (QStyle::StandardPixmap which : UsedIcons) {
            QPushButton withTheirs(QStringLiteral("Чтение"));
            QPushButton withOurs(QStringLiteral("Чтение"));
            withTheirs.setIcon(QApplication::style()->standardIcon(which));
            withOurs.setIcon(controls::StandardIcon(*QApplication::style(), which, &withOurs));
            QCOMPARE(withOurs.sizeHint(), withTheirs.sizeHint());
        }
    }

    // The icon may outlive the style it came from (a style replaced at run time).
    void drawsNothingOnceTheStyleIsGone() {
        std::unique_ptr<QStyle> style(QStyleFactory::create(QStringLiteral("Fusion")));
        QVERIFY(style);
        const QIcon drawnBefore = controls::StandardIcon(*style, QStyle::SP_ArrowDown);
        const QIcon neverDrawn = controls::StandardIcon(*style, QStyle::SP_ArrowLeft);
        QVERIFY(!drawnBefore.pixmap(16).isNull());
        style.reset();
        QVERIFY(!drawnBefore.pixmap(16).isNull());  // what it had loaded stays
        QVERIFY(neverDrawn.pixmap(16).isNull());
        QVERIFY(neverDrawn.pixmap(QSize(32, 32), 2.0).isNull());
    }
};

QTEST_MAIN(TestStandardIcon)
#include "test_standard_icon.moc"
