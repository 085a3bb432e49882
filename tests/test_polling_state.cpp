// Polling as the operator sees it: the status bar's polling field says whether the readings
// are live and, once polling ends, when and why; a reading no longer polled is drawn dimmed
// until its panel's next value; a parameter ticked or unticked while polling joins or leaves
// the round. The real window (offscreen) against the virtual instrument on a pty.
#include <QLabel>
#include <QtTest>

#include "AppHarness.h"
#include "controls/Digit.h"

using sim::Protocol;

namespace {

constexpr int Wait = 10000;  // generous: these machines are shared and noisy

sim::Config Instrument() {
    sim::Config config;
    config.protocol = Protocol::Modbus;
    config.address = 7;
    config.parameterCount = 3;
    return config;
}

}  // namespace

class TestPollingState : public QObject {
    Q_OBJECT
    AppHarness app;

    QString Field() { return app.window->PollingField()->text(); }

    void StartPolling(bool p1, bool p2, bool p3, const QString& pause = QStringLiteral("20")) {
        const sim::Config config = Instrument();
        app.Start(&config, true);
        app.SetAddress(7);
        app.instrument->Model().SetParameterSetup(1, 100.0f, 1, 1);
        app.instrument->Model().SetParameterSetup(2, 100.0f, 2, 1);
        app.instrument->Model().FreezeValue(1, 12.5f);
        app.instrument->Model().FreezeValue(2, 3.25f);
        app.ui().CheckBox1->setChecked(p1);
        app.ui().CheckBox2->setChecked(p2);
        app.ui().CheckBox3->setChecked(p3);
        app.ui().Edit1->setText(pause);
        app.ui().BitBtn1->click();
    }
    // Waits until the instrument has taken `more` frames beyond those it has now.
    bool MoreFrames(size_t more) {
        return app.WaitForFrames(app.instrument->ReceivedFrames().size() + more, Wait);
    }

private slots:
    void cleanup() { app.Stop(); }

    // However polling ends, the field says when and why, and the panel it left is dimmed; a
    // new start makes both live again.
    void endOfPollingIsShownAndTheDigitsDimmed_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("why");
        QTest::newRow("the Стоп button") << "stop" << QStringLiteral("«Стоп»");
        QTest::newRow("a read taking the line") << "read" << QStringLiteral("другой запрос");
        QTest::newRow("the search") << "search" << QStringLiteral("поиск");
        QTest::newRow("the parameter page") << "page" << QStringLiteral("страница параметров");
        QTest::newRow("another window taking the line") << "host" << QStringLiteral("другой обмен");
    }
    void endOfPollingIsShownAndTheDigitsDimmed() {
        QFETCH(QString, how);
        QFETCH(QString, why);
        StartPolling(true, false, false, QStringLiteral("200"));
        QCOMPARE(Field(), QStringLiteral("Опрос: идёт"));
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral(" 12.50"), Wait);
        QVERIFY(!app.window->PanelDimmed(1));
        const QColor live = app.window->PanelCell(1, 4)->OnBrush()->Color();
        // Between two exchanges, so that no value is cut short on its way.
        QVERIFY(QTest::qWaitFor(
            [this] {
                return !RequestOnItsWay() && !AnswerPending && app.window->TimerRepeat->isActive();
            },
            Wait));

        if (how == "stop") app.ui().BitBtn2->click();
        if (how == "read") app.ui().BitBtn9->click();  // brightness
        if (how == "search") app.ui().BitBtn21->click();
        if (how == "page") app.ui().ToolButton2->click();
        if (how == "host") app.window->YieldPolling();

        QTRY_VERIFY_WITH_TIMEOUT(Field().startsWith(QStringLiteral("Опрос остановлен в ")), Wait);
        QVERIFY2(Field().contains(why), qPrintable(Field()));
        QVERIFY(app.window->PanelDimmed(1));
        QCOMPARE(app.PanelText(1), QStringLiteral(" 12.50"));  // the figure stays readable
        QVERIFY(app.window->PanelCell(1, 4)->OnBrush()->Color() != live);
        QVERIFY(!app.window->PanelDimmed(2));  // an empty panel has nothing to dim

        QTRY_VERIFY_WITH_TIMEOUT(!RequestOnItsWay(), Wait);
        app.ui().BitBtn1->click();
        QCOMPARE(Field(), QStringLiteral("Опрос: идёт"));
        QTRY_VERIFY_WITH_TIMEOUT(!app.window->PanelDimmed(1), Wait);
        QCOMPARE(app.window->PanelCell(1, 4)->OnBrush()->Color(), live);
    }

    // Polling the operator never started says nothing about polling.
    void fieldIsEmptyUntilPollingStarts() {
        const sim::Config config = Instrument();
        app.Start(&config, true);
        QVERIFY(Field().isEmpty());
        app.ui().BitBtn2->click();
        QVERIFY(Field().isEmpty());
    }

    // Ticked while polling: the parameter's characteristics are read, then its value joins
    // the round on its own panel with its unit; unticked: it leaves and its panel is clear.
    void parameterTickedWhilePollingJoinsTheRound() {
        StartPolling(true, false, false);
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral(" 12.50"), Wait);
        QVERIFY(app.PanelText(2).trimmed().isEmpty());

        app.ui().CheckBox2->setChecked(true);
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(2), QStringLiteral("  3.25"), Wait);
        QVERIFY(!app.ui().Label2->text().isEmpty());
        QCOMPARE(app.PanelText(1), QStringLiteral(" 12.50"));
        QCOMPARE(Field(), QStringLiteral("Опрос: идёт"));

        app.ui().CheckBox1->setChecked(false);
        QTRY_VERIFY_WITH_TIMEOUT(app.PanelText(1).trimmed().isEmpty(), Wait);
        QVERIFY(app.ui().Label1->text().isEmpty());
        QVERIFY(MoreFrames(6));  // several rounds later it is still clear, 2 still live
        QVERIFY(app.PanelText(1).trimmed().isEmpty());
        QCOMPARE(app.PanelText(2), QStringLiteral("  3.25"));
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::ContinuousReading));

        // Unticking the last one ends polling with the reason said.
        app.ui().CheckBox2->setChecked(false);
        QTRY_VERIFY_WITH_TIMEOUT(Field().startsWith(QStringLiteral("Опрос остановлен в ")), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(int(ExchangeState.load()), int(ExchangeStates::Single), Wait);
    }
};

QTEST_MAIN(TestPollingState)
#include "test_polling_state.moc"
