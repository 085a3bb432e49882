// The main window on a screen too small for it (1366 x 768 at scale factor 2, 683 x 384 in the
// window's own pixels) scrolls its content instead of falling off the screen; on a large
// screen it stays exactly as laid out. Both screens are virtual, side by side, and the window
// goes to the one its stored position names.
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "AppHarness.h"
#include "ui/ScreenFit.h"

class TestSmallScreen : public QObject {
    Q_OBJECT
    TTestDesktop desktop;  // outlives the window
    std::unique_ptr<Tz> window;
    QStringList errors;

    // A window placed by the settings file, on a port that does not exist (its error recorded).
    void Open(int left, int top) {
        AppHarness::WriteSettings(
            QStringLiteral("[form]\nleft=%1\ntop=%2\n[Update]\nUpdate=0\n").arg(left).arg(top));
        Tz::PortOverride = QStringLiteral("/dev/tessera-no-such-port");
        desktop.errorBox = [this](const QString& text) { errors << text; };
        window = std::make_unique<Tz>(nullptr, &desktop);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    static QScreen* Screen(const char* name) {
        for (QScreen* screen : QGuiApplication::screens())
            if (screen->name() == QLatin1String(name)) return screen;
        return nullptr;
    }

private slots:
    void cleanup() {
        window.reset();
        desktop.errorBox = nullptr;
        Tz::PortOverride.clear();
        AppHarness::RemoveSettings();
    }

    void screensAsConfigured() {
        QVERIFY(Screen("laptop"));
        QVERIFY(Screen("desk"));
        QCOMPARE(Screen("laptop")->availableGeometry().size(), QSize(683, 384));
    }

    void windowSize_data() {
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QSize>("available");
        QTest::addColumn<QSize>("expected");
        const QSize form(669, 476);
        // Frame allowance 16 x 40, scroll bar 15.
        QTest::newRow("fits") << form << QSize(1024, 768) << form;
        QTest::newRow("fits just") << form << QSize(685, 516) << form;
        QTest::newRow("one pixel too low") << form << QSize(1024, 515) << QSize(684, 475);
        QTest::newRow("too low, no room for the bar") << form << QSize(690, 400) << QSize(674, 360);
        QTest::newRow("too narrow") << form << QSize(600, 768) << QSize(584, 491);
        QTest::newRow("both") << form << QSize(683, 384) << QSize(667, 344);
        QTest::newRow("smaller than the frame") << form << QSize(10, 20) << QSize(1, 1);
    }
    void windowSize() {
        QFETCH(QSize, wanted);
        QFETCH(QSize, available);
        QTEST(WindowSizeForScreen(wanted, available, 15), "expected");
    }

    void smallScreenScrolls() {
        Open(0, 0);
        QCOMPARE(window->screen(), Screen("laptop"));
        const QRect room = Screen("laptop")->availableGeometry();
        QVERIFY2(room.contains(window->geometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                   .arg(window->x())
                                                                   .arg(window->y())
                                                                   .arg(window->width())
                                                                   .arg(window->height())));
        auto* scroll = qobject_cast<QScrollArea*>(window->centralWidget());
        QVERIFY(scroll);
        QCOMPARE(scroll->widget(), window->ui->centralwidget);
        // Nothing of the content is cut: it keeps its full extent and scrolls to every part.
        const QSize content = window->ui->centralwidget->size();
        QVERIFY(content.width() >= 669 && content.height() >= 457);
        QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > 0);
        QTRY_VERIFY(scroll->horizontalScrollBar()->maximum() > 0);
        QVERIFY(window->statusBar()->isVisible());
        QVERIFY(window->statusBar()->geometry().bottom() < window->height());
        // Scrolled to the end, the bottom of the pages is in view.
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        QWidget* pages = window->ui->PageControl1;
        const QPoint pagesBottom = pages->mapTo(scroll->viewport(), QPoint(0, pages->height() - 1));
        QVERIFY(scroll->viewport()->rect().contains(pagesBottom));
        // The window still works as before: its controls answer under their form names.
        QCOMPARE(window->findChild<QWidget*>(QStringLiteral("EditAdr")), window->ui->EditAdr);
        window->ui->ToolButton1->click();
        QCOMPARE(window->ui->PageControl1->currentWidget(), window->ui->TabPok);
    }

    void largeScreenUnchanged() {
        const QPoint onDesk = Screen("desk")->availableGeometry().topLeft() + QPoint(10, 10);
        Open(onDesk.x(), onDesk.y());
        QCOMPARE(window->screen(), Screen("desk"));
        QCOMPARE(window->centralWidget(), window->ui->centralwidget);
        QCOMPARE(window->size(), QSize(669, 476));
        QVERIFY(!window->findChild<QScrollArea*>(QStringLiteral("ContentScroll")));
    }
};

// The virtual screens must be in place before the application starts.
int main(int argc, char* argv[]) {
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write the screen configuration");
    file.write(R"({"screens": [
        {"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768},
        {"name": "desk", "x": 1366, "y": 0, "width": 3840, "height": 2160}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_smallscreen.moc"
