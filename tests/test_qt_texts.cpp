// Qt's own texts (standard buttons, file dialogs, the fields' context menus) follow the
// language in force: Russian by default, English with the English translation. Without Qt's
// translations loaded they stay English in the Russian window.
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>

#include "ui/Language.h"

class TestQtTexts : public QObject {
    Q_OBJECT

private slots:
    void standardButtons_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("cancel");
        QTest::addColumn<QString>("save");
        QTest::newRow("ru") << "ru" << QStringLiteral("Отмена") << QStringLiteral("Сохранить");
        QTest::newRow("en") << "en" << QStringLiteral("Cancel") << QStringLiteral("Save");
        QTest::newRow("unknown: Russian")
            << "de" << QStringLiteral("Отмена") << QStringLiteral("Сохранить");
        QTest::newRow("back to ru")
            << "ru" << QStringLiteral("Отмена") << QStringLiteral("Сохранить");
    }
    void standardButtons() {
        QFETCH(QString, language);
        Language::Apply(language);
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        // Mnemonic markers differ between the languages' files.
        QFETCH(QString, cancel);
        QFETCH(QString, save);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), cancel);
        QCOMPARE(box.button(QDialogButtonBox::Save)->text().remove(QLatin1Char('&')), save);
    }
};

QTEST_MAIN(TestQtTexts)
#include "test_qt_texts.moc"
