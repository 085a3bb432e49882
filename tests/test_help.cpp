// The help: "Помощь" and F1 open the shipped page in a window that leaves the main window
// usable, and the pages in both languages hold the same sections and the same register map.
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include "AppHarness.h"
#include "ui/HelpWindow.h"

namespace {

const QString RussianTitle = QStringLiteral("Справка Tessera_RS-485");

QString PageText(const QString& language) {
    QFile file(THelpWindow::PageUrl(language).toString().mid(3));  // "qrc:/x" -> ":/x"
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
}

QSet<QString> Matches(const QString& text, const QString& pattern) {
    QSet<QString> found;
    auto it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext()) found << it.next().captured(1);
    return found;
}

}  // namespace

class TestHelp : public QObject {
    Q_OBJECT
    AppHarness app;

    THelpWindow* OpenedHelp() {
        return app.window->findChild<THelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
    }

private slots:
    void init() { app.Start(nullptr, true); }
    void cleanup() { app.Stop(); }

    void opens_data() {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Помощь") << false;
        QTest::newRow("F1") << true;
    }
    void opens() {
        QFETCH(bool, byKey);
        QVERIFY(!OpenedHelp());
        if (byKey) {
            app.window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
            QTest::keyClick(app.ui().Edit1, Qt::Key_F1);
        } else {
            app.ui().ToolButton4->click();
        }
        THelpWindow* help = OpenedHelp();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QCOMPARE(help->windowModality(), Qt::NonModal);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(help->windowTitle(), RussianTitle);
        QCOMPARE(help->Browser()->source(), QUrl(QStringLiteral("qrc:/help/help_ru.html")));
        QVERIFY(help->Browser()->toPlainText().startsWith(RussianTitle));
        QVERIFY(
            help->Browser()->toPlainText().contains(QStringLiteral("Регистры Modbus RTU прибора")));
    }

    // A second press brings back the same window instead of stacking up copies.
    void opensOnce() {
        app.ui().ToolButton4->click();
        THelpWindow* first = OpenedHelp();
        QVERIFY(first);
        first->close();
        app.ui().ToolButton4->click();
        QCOMPARE(app.window->findChildren<THelpWindow*>().size(), 1);
        QCOMPARE(OpenedHelp(), first);
        QTRY_VERIFY(first->isVisible());
    }

    void pageForLanguage_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("page");
        QTest::newRow("ru") << "ru"
                            << "qrc:/help/help_ru.html";
        QTest::newRow("en") << "en"
                            << "qrc:/help/help_en.html";
        QTest::newRow("no page: Russian") << "de"
                                          << "qrc:/help/help_ru.html";
    }
    void pageForLanguage() {
        QFETCH(QString, language);
        QTEST(THelpWindow::PageUrl(language).toString(), "page");
    }

    // The English page tells the same: every section, every link target, every register.
    void pagesAgree_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("sections") << "sections"
                                  << R"re(<a name="([^"]+)")re";
        QTest::newRow("links") << "links"
                               << R"re(<a href="#([^"]+)")re";
        QTest::newRow("register rows") << "registers"
                                       << R"re(<tr><td>([0-9][0-9, –]*)</td>)re";
        QTest::newRow("settings keys")
            << "keys"
            << R"re(<tr><td>(?:form|Port|Update|Language)</td><td>([^<]+))re";
    }
    void pagesAgree() {
        QFETCH(QString, pattern);
        const QString russian = PageText(QStringLiteral("ru"));
        const QString english = PageText(QStringLiteral("en"));
        QVERIFY(!russian.isEmpty() && !english.isEmpty());
        const QSet<QString> inRussian = Matches(russian, pattern);
        QVERIFY(!inRussian.isEmpty());
        QCOMPARE(Matches(english, pattern), inRussian);
    }

    // A reader of the English page finds the captions it quotes on the English window: none
    // of them is left in Russian (the settings dialog's bilingual "Язык / Language" aside,
    // which the page does not quote).
    void englishPageQuotesEnglishCaptions() {
        const QString english = PageText(QStringLiteral("en"));
        const QSet<QString> quoted = Matches(english, QStringLiteral("«([^»]*)»"));
        QVERIFY(quoted.size() >= 20);
        const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
        for (const QString& caption : quoted)
            QVERIFY2(!cyrillic.match(caption).hasMatch(), qPrintable(caption));
    }

    // Every link within a page leads to a section of that page.
    void linksResolve_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("ru") << "ru";
        QTest::newRow("en") << "en";
    }
    void linksResolve() {
        QFETCH(QString, language);
        const QString text = PageText(language);
        const QSet<QString> sections = Matches(text, R"re(<a name="([^"]+)")re");
        const QSet<QString> links = Matches(text, R"re(<a href="#([^"]+)")re");
        QVERIFY(!links.isEmpty());
        for (const QString& link : links) QVERIFY2(sections.contains(link), qPrintable(link));
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
