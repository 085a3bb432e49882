// The main window's form: every control the window code reaches by its form name exists with
// the right class and parent, sits where the operator expects it, carries its Russian texts
// and list items, and starts in the right state. The form is built on a bare QMainWindow, so
// this checks the .ui file alone, without the window's start-up code.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>

#include "controls/Digit.h"
#include "ui_main.h"

namespace {

// Read and write buttons of the parameter page: glyph only, 25 × 25.
const char* const kGlyphButtons[] = {
    "BitBtn3",  "BitBtn4",  "BitBtn5",  "BitBtn6",  "BitBtn7",  "BitBtn8",  "BitBtn9",  "BitBtn10",
    "BitBtn11", "BitBtn12", "BitBtn13", "BitBtn14", "BitBtn15", "BitBtn16", "BitBtn17", "BitBtn18",
    "BitBtn19", "BitBtn20", "BitBtn21", "BitBtn22", "BitBtn24", "BitBtn25", "BitBtn26", "BitBtn27",
    "BitBtn28", "BitBtn29", "BitBtn30", "BitBtn31", "BitBtn32"};

}  // namespace

class TestMainForm : public QObject {
    Q_OBJECT

    QMainWindow* window = nullptr;
    Ui::Tz* ui = nullptr;

    QWidget* Find(const QString& name) const { return window->findChild<QWidget*>(name); }

    QWidget* Require(const QString& name) const {
        QWidget* w = Find(name);
        if (!w) qWarning("no control named %s", qPrintable(name));
        return w;
    }

private slots:
    void initTestCase() {
        window = new QMainWindow;
        ui = new Ui::Tz;
        ui->setupUi(window);
    }

    void cleanupTestCase() {
        delete ui;
        delete window;
    }

    void controlClasses_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        auto row = [](const QString& name, const char* cls, const QString& parent) {
            QTest::newRow(qPrintable(name)) << name << QString(cls) << parent;
        };
        row("ToolBar1", "QFrame", "centralwidget");
        row("GroupBoxAdr", "QGroupBox", "ToolBar1");
        row("EditAdr", "QLineEdit", "GroupBoxAdr");
        for (int i : {21, 22, 23, 24})
            row(QString("BitBtn%1").arg(i), "QPushButton", "GroupBoxAdr");
        for (int i = 1; i <= 4; ++i) row(QString("ToolButton%1").arg(i), "QToolButton", "ToolBar1");
        row("PageControl1", "QStackedWidget", "centralwidget");
        row("TabPok", "QWidget", "PageControl1");
        row("TabPar", "QWidget", "PageControl1");
        row("StatusBar1", "QStatusBar", "z");
        for (int i : {1, 2}) row(QString("BitBtn%1").arg(i), "QPushButton", "TabPok");
        row("Edit1", "QLineEdit", "TabPok");
        for (int p = 1; p <= 3; ++p) {
            row(QString("Panel%1").arg(p), "QFrame", "TabPok");
            row(QString("CheckBox%1").arg(p), "QCheckBox", "TabPok");
            row(QString("Label%1").arg(p), "QLabel", QString("Panel%1").arg(p));
            for (int d = 1; d <= 5; ++d)
                row(QString("Digit%1").arg((p - 1) * 5 + d), "TDigit", QString("Panel%1").arg(p));
        }
        for (int i = 3; i <= 32; ++i)
            if (i < 21 || i > 24) row(QString("BitBtn%1").arg(i), "QPushButton", "");
        for (int i = 2; i <= 12; ++i) row(QString("Edit%1").arg(i), "QLineEdit", "");
        for (int i = 1; i <= 10; ++i) row(QString("ComboBox%1").arg(i), "QComboBox", "");
        row("ei1", "QComboBox", "GroupBoxPar");
        row("TrackBar1", "QSlider", "GroupBoxBright");
        row("Memo1", "QListWidget", "TabPar");
        for (int i = 1; i <= 3; ++i) row(QString("Button%1").arg(i), "QPushButton", "TabPar");
    }

    void controlClasses() {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QWidget* w = Require(name);
        QVERIFY(w);
        QVERIFY2(w->inherits(qPrintable(className)), w->metaObject()->className());
        // Parameter page controls live in some group of that page; the others in a fixed parent.
        if (parentName.isEmpty()) {
            QVERIFY(ui->TabPar->isAncestorOf(w));
        } else {
            QVERIFY(w->parentWidget());
            QCOMPARE(w->parentWidget()->objectName(), parentName);
        }
    }

    // The parameter page's controls belong to the group that carries their operation.
    void groupMembership_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("address") << "GroupBoxNetAddr" << QStringList{"Edit2", "BitBtn3", "BitBtn4"};
        QTest::newRow("parameter")
            << "GroupBoxPar" << QStringList{"Edit8", "Edit7", "ei1", "BitBtn7", "BitBtn8"};
        QTest::newRow("serial") << "GroupBoxSerial"
                                << QStringList{"Edit3",    "Edit4",   "Edit5",   "BitBtn5",
                                               "BitBtn19", "BitBtn6", "BitBtn20"};
        QTest::newRow("brightness")
            << "GroupBoxBright" << QStringList{"TrackBar1", "BitBtn9", "BitBtn10"};
        QTest::newRow("info") << "GroupBoxInfo" << QStringList{"Edit9", "BitBtn11", "BitBtn12"};
        QTest::newRow("setpoints")
            << "GroupBoxSetpoints"
            << QStringList{"Edit11", "Edit12", "BitBtn13", "BitBtn14", "BitBtn15", "BitBtn16"};
        QTest::newRow("speed") << "GroupBoxSpeed"
                               << QStringList{"ComboBox2", "ComboBox3", "BitBtn25", "BitBtn26"};
        QTest::newRow("iec") << "GroupBoxIEC" << QStringList{"ComboBox4", "ComboBox5", "ComboBox6",
                                                             "ComboBox7", "BitBtn27",  "BitBtn28"};
        QTest::newRow("relay") << "GroupBoxRelay"
                               << QStringList{"ComboBox8", "ComboBox9", "Edit6",
                                              "Edit10",    "BitBtn29",  "BitBtn30"};
        QTest::newRow("alarm") << "GroupBoxAlarm"
                               << QStringList{"ComboBox10", "BitBtn31", "BitBtn32"};
        QTest::newRow("analog") << "GroupBoxAnalog"
                                << QStringList{"ComboBox1", "BitBtn17", "BitBtn18"};
    }

    void groupMembership() {
        QFETCH(QString, group);
        QFETCH(QStringList, members);
        QWidget* g = Require(group);
        QVERIFY(g);
        QCOMPARE(g->parentWidget(), ui->TabPar);
        for (const QString& name : members) {
            QWidget* w = Require(name);
            QVERIFY(w);
            QVERIFY2(w->parentWidget() == g, qPrintable(name));
        }
    }

    void geometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        // Toolbar: the address group at its narrow width, the protocol switch beyond it but
        // inside the widened 200 pixels, the page buttons 66 × 44.
        QTest::newRow("ToolBar1") << "ToolBar1" << QRect(0, 0, 669, 57);
        QTest::newRow("PageControl1 top") << "PageControl1" << QRect(0, 57, 669, 400);
        // Readings page.
        QTest::newRow("BitBtn1") << "BitBtn1" << QRect(96, 8, 129, 25);
        QTest::newRow("BitBtn2") << "BitBtn2" << QRect(232, 8, 65, 25);
        QTest::newRow("Edit1") << "Edit1" << QRect(448, 8, 33, 21);
        const char* const signs[] = {"Digit5", "Digit10", "Digit15"};
        const char* const cells[3][4] = {{"Digit1", "Digit3", "Digit4", "Digit2"},
                                         {"Digit6", "Digit8", "Digit9", "Digit7"},
                                         {"Digit11", "Digit13", "Digit14", "Digit12"}};
        for (int p = 0; p < 3; ++p) {
            const QString panel = QString("Panel%1").arg(p + 1);
            QTest::newRow(qPrintable(panel)) << panel << QRect(96, 40 + 104 * p, 385, 97);
            QTest::newRow(signs[p]) << QString(signs[p]) << QRect(16, 8, 57, 81);
            for (int k = 0; k < 4; ++k)
                QTest::newRow(cells[p][k]) << QString(cells[p][k]) << QRect(72 + 56 * k, 8, 57, 81);
            const QString check = QString("CheckBox%1").arg(p + 1);
            QTest::newRow(qPrintable(check)) << check << QRect(24, 80 + 104 * p, 65, 17);
            const QString unit = QString("Label%1").arg(p + 1);
            QTest::newRow(qPrintable(unit)) << unit << QRect(296, 56, 81, 37);
        }
        // Parameter page groups at their places (widths where the page fixes them).
        QTest::newRow("GroupBoxNetAddr") << "GroupBoxNetAddr" << QRect(8, 8, 129, 97);
        QTest::newRow("GroupBoxPar") << "GroupBoxPar" << QRect(145, 9, 161, 97);
        QTest::newRow("GroupBoxSerial") << "GroupBoxSerial" << QRect(136, 112, 169, 97);
        QTest::newRow("GroupBoxBright") << "GroupBoxBright" << QRect(8, 112, 121, 97);
        QTest::newRow("GroupBoxInfo") << "GroupBoxInfo" << QRect(3, 218, 462, 77);
        QTest::newRow("Edit9") << "Edit9" << QRect(9, 18, 444, 21);
        QTest::newRow("GroupBoxSetpoints") << "GroupBoxSetpoints" << QRect(312, 9, 161, 97);
        QTest::newRow("GroupBoxSpeed") << "GroupBoxSpeed" << QRect(312, 112, 161, 97);
        QTest::newRow("GroupBoxIEC") << "GroupBoxIEC" << QRect(3, 300, 646, 81);
        QTest::newRow("GroupBoxRelay") << "GroupBoxRelay" << QRect(480, 9, 181, 193);
        QTest::newRow("GroupBoxAlarm") << "GroupBoxAlarm" << QRect(480, 218, 181, 77);
    }

    void geometry() {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        QWidget* w = Require(name);
        QVERIFY(w);
        QCOMPARE(w->geometry(), rect);
    }

    void toolbar() {
        QCOMPARE(ui->GroupBoxAdr->width(), 122);
        for (QToolButton* b :
             {ui->ToolButton1, ui->ToolButton2, ui->ToolButton3, ui->ToolButton4}) {
            QCOMPARE(b->size(), QSize(66, 44));
            QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            QCOMPARE(b->iconSize(), QSize(24, 24));
            QVERIFY(b->y() >= 0 && b->geometry().bottom() < 57);
            // Right of the address group, never under it.
            QVERIFY(b->x() >= ui->GroupBoxAdr->geometry().right());
        }
        // The protocol switch is cut off at 122 pixels and wholly shown at 200.
        const QRect sw = ui->BitBtn23->geometry();
        QCOMPARE(sw.width(), 74);
        QVERIFY(sw.left() >= 122);
        QVERIFY(sw.right() < 200);
        // The hide button stands where the widen button is.
        QCOMPARE(ui->BitBtn24->geometry(), ui->BitBtn22->geometry());
    }

    void glyphButtons() {
        for (const char* name : kGlyphButtons) {
            auto* b = qobject_cast<QPushButton*>(Require(name));
            QVERIFY2(b, name);
            QVERIFY2(b->size() == QSize(25, 25), name);
            QVERIFY2(b->text().isEmpty(), name);
        }
    }

    void texts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* tag, const char* name, const char* prop, const char* text) {
            QTest::newRow(tag) << QString(name) << QString(prop) << QString::fromUtf8(text);
        };
        row("address group", "GroupBoxAdr", "title", "Сетевой адрес");
        row("EditAdr", "EditAdr", "text", "0");
        row("search hint", "BitBtn21", "toolTip",
            "Определение сетевого адреса и типа протокола подключенного прибора");
        row("widen hint", "BitBtn22", "toolTip", "Измененеие типа протокола в устройстве");
        row("narrow hint", "BitBtn24", "toolTip", "Скрыть окно смены протокола");
        row("ToolButton1", "ToolButton1", "text", "Показания");
        row("ToolButton2", "ToolButton2", "text", "Параметры");
        row("ToolButton3", "ToolButton3", "text", "Настройка");
        row("ToolButton4", "ToolButton4", "text", "Помощь");
        row("BitBtn1", "BitBtn1", "text", "Чтение показаний");
        row("BitBtn2", "BitBtn2", "text", "Стоп");
        row("Edit1", "Edit1", "text", "100");
        row("CheckBox1", "CheckBox1", "text", "Пар.1");
        row("CheckBox2", "CheckBox2", "text", "Пар.2");
        row("CheckBox3", "CheckBox3", "text", "Пар.3");
        row("net group", "GroupBoxNetAddr", "title", "Изм. сетевого адреса");
        row("par group", "GroupBoxPar", "title", "Характеристики параметра");
        row("serial group", "GroupBoxSerial", "title", "Заводской номер");
        row("bright group", "GroupBoxBright", "title", "Яркость");
        row("info group", "GroupBoxInfo", "title", "Дополнительная информация");
        row("setpoint group", "GroupBoxSetpoints", "title", "Уставки");
        row("speed group", "GroupBoxSpeed", "title", "Скорость");
        row("iec group", "GroupBoxIEC", "title", "Параметры протокола МЭК-101");
        row("relay group", "GroupBoxRelay", "title", "Настройки реле");
        row("alarm group", "GroupBoxAlarm", "title", "Сигнализация");
        row("analog group", "GroupBoxAnalog", "title", "Аналоговый выход");
        row("Edit8 text", "Edit8", "text", "1");
        row("Edit8 hint", "Edit8", "toolTip", "Номер параметра");
        row("Edit7 hint", "Edit7", "toolTip",
            "Шкала прибора (4 цифры с разделителем \".\" например 173.2)");
        row("ei1 hint", "ei1", "toolTip", "Единица измерения");
        row("Edit3 hint", "Edit3", "toolTip", "Серийный номер прибора");
        row("Edit4 hint", "Edit4", "toolTip", "Год выпуска");
        row("Edit5 hint", "Edit5", "toolTip", "Количество измеряемых параметров");
        row("TrackBar1 hint", "TrackBar1", "toolTip", "Яркость индикатора");
        row("Edit9 hint", "Edit9", "toolTip",
            "Дополнителная информация о приборе (текст 64 символа)");
        row("Edit12 hint", "Edit12", "toolTip",
            "Уставка при принижении которой шкала мигает (задается в % от шкалы прибора, "
            "спецзаказ) ");
        row("Edit11 hint", "Edit11", "toolTip",
            "Уставка при привышении которой шкала мигает (задается в % от шкалы прибора 0-120%)");
        row("ComboBox1 hint", "ComboBox1", "toolTip", "Уровень выходного сигнала (Спецзаказ)");
        row("Button1", "Button1", "text", "Button1");
        row("Button2", "Button2", "text", "I=2.5 (0.5)");
        row("Button3", "Button3", "text", "I=5 (1)");
    }

    void texts() {
        QFETCH(QString, name);
        QFETCH(QString, property);
        QFETCH(QString, expected);
        QWidget* w = Require(name);
        QVERIFY(w);
        QCOMPARE(w->property(qPrintable(property)).toString(), expected);
    }

    // Field labels sit in the group of their field, so the operator reads them together.
    void fieldLabels_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("readings") << "TabPok" << QStringList{"Частота обновления"};
        QTest::newRow("par") << "GroupBoxPar" << QStringList{"Пар. №", "Шкала", "Ед. изм."};
        QTest::newRow("serial") << "GroupBoxSerial" << QStringList{"№", "Год", "Пар."};
        QTest::newRow("setpoints") << "GroupBoxSetpoints" << QStringList{"min", "max", "%", "%"};
        QTest::newRow("speed") << "GroupBoxSpeed" << QStringList{"RS1", "RS2"};
        QTest::newRow("iec") << "GroupBoxIEC"
                             << QStringList{"Размер общего адреса ADSU",
                                            "Размер адреса объекта информации",
                                            "Размер поля 'причина передачи'", "Тип ASDU"};
        QTest::newRow("relay") << "GroupBoxRelay"
                               << QStringList{"№ реле", "Режим работы", "Задержка срабатывания",
                                              "сек",    "Гистерезис",   "%"};
        QTest::newRow("alarm") << "GroupBoxAlarm" << QStringList{"Режим работы"};
    }

    void fieldLabels() {
        QFETCH(QString, group);
        QFETCH(QStringList, labels);
        QWidget* g = Require(group);
        QVERIFY(g);
        QStringList found;
        for (QLabel* l : g->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            if (!l->text().isEmpty()) found << l->text();
        found.sort();
        labels.sort();
        QCOMPARE(found, labels);
    }

    void listItems_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("ei1") << "ei1"
                             << QStringList{"V",    "A",   "W",  "var",  "kV",   "kA", "kW",
                                            "kvar", "MV",  "MA", "MW",   "Mvar", "Hz", "C",
                                            "mA",   "mkA", "GW", "Gvar", "mV",   "N",  "%"};
        QTest::newRow("ComboBox1") << "ComboBox1" << QStringList{"Номинальный", "Удвоенный"};
        // The speed lists are the window's to fill (test_mainwindow).
        QTest::newRow("ComboBox2") << "ComboBox2" << QStringList();
        QTest::newRow("ComboBox3") << "ComboBox3" << QStringList();
        QTest::newRow("ComboBox4") << "ComboBox4" << QStringList{"1 байт", "2 байта"};
        QTest::newRow("ComboBox5") << "ComboBox5" << QStringList{"1 байт", "2 байта", "3 байта"};
        QTest::newRow("ComboBox6") << "ComboBox6" << QStringList{"1 байт", "2 байта"};
        QTest::newRow("ComboBox7")
            << "ComboBox7" << QStringList{"<9>   M_ME_NA_1", "<13> M_ME_NC_1", "<21> M_ME_ND_1"};
        QTest::newRow("ComboBox8") << "ComboBox8" << QStringList{"1", "2"};
        QTest::newRow("ComboBox9")
            << "ComboBox9" << QStringList{"выключено", "< У1", "> У1", "< У2", "> У2"};
        QTest::newRow("ComboBox10")
            << "ComboBox10" << QStringList{"отключена", "реле 1", "реле 2", "оба реле"};
    }

    void listItems() {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        auto* box = qobject_cast<QComboBox*>(Require(name));
        QVERIFY(box);
        QStringList actual;
        for (int i = 0; i < box->count(); ++i) actual << box->itemText(i);
        QCOMPARE(actual, items);
        // Nothing is chosen until the operator or a device answer picks an item: the unit
        // check and the "relay 1 when none is chosen" rule depend on it.
        QCOMPARE(box->currentIndex(), -1);
        QVERIFY(box->currentText().isEmpty());
    }

    void startState() {
        QCOMPARE(ui->PageControl1->currentWidget(), ui->TabPar);
        QVERIFY(ui->CheckBox1->isChecked());
        QVERIFY(!ui->CheckBox2->isChecked());
        QVERIFY(!ui->CheckBox3->isChecked());
        QVERIFY(!ui->BitBtn23->isEnabled());
        QVERIFY(!ui->Edit4->isEnabled());
        QVERIFY(!ui->Edit5->isEnabled());
        QVERIFY(ui->Edit3->isEnabled());
        QCOMPARE(ui->TrackBar1->orientation(), Qt::Vertical);
        QCOMPARE(ui->TrackBar1->minimum(), 0);
        QCOMPARE(ui->TrackBar1->maximum(), 2);
        for (const char* name : {"BitBtn24", "GroupBoxAnalog", "BitBtn6", "BitBtn20", "Button1",
                                 "Button2", "Button3", "Memo1"}) {
            QWidget* w = Require(name);
            QVERIFY2(w && w->isHidden(), name);
        }
        for (const char* name : {"BitBtn19", "BitBtn21", "BitBtn22", "BitBtn23", "BitBtn5"}) {
            QWidget* w = Require(name);
            QVERIFY2(w && !w->isHidden(), name);
        }
    }

    void windowFrame() {
        QCOMPARE(window->objectName(), QString("z"));
        QCOMPARE(window->size(), QSize(669, 476));
        QCOMPARE(window->font().family(), QString("MS Sans Serif"));
        QCOMPARE(window->font().pointSize(), 8);
        QCOMPARE(window->statusBar(), ui->StatusBar1);
        QCOMPARE(window->centralWidget(), ui->centralwidget);
        QCOMPARE(ui->PageControl1->count(), 2);
        QCOMPARE(ui->PageControl1->widget(0), ui->TabPok);
        QCOMPARE(ui->PageControl1->widget(1), ui->TabPar);
    }

    void unitLabels() {
        for (QLabel* l : {ui->Label1, ui->Label2, ui->Label3}) {
            l->ensurePolished();
            QCOMPARE(l->font().pixelSize(), 32);
            QCOMPARE(l->palette().color(QPalette::WindowText), QColor(0, 128, 0));
            QVERIFY(l->text().isEmpty());
        }
    }

    // Shown controls never overlap their siblings and never stick out of their parent, on
    // both pages and in the toolbar, so nothing covers a field or a button. (The digit panels
    // are left out: their cells are 57 wide at a 56 pitch and share an edge pixel by design.)
    void noOverlaps_data() {
        QTest::addColumn<QString>("container");
        for (const char* c :
             {"ToolBar1", "TabPok", "TabPar", "GroupBoxNetAddr", "GroupBoxPar", "GroupBoxSerial",
              "GroupBoxBright", "GroupBoxInfo", "GroupBoxSetpoints", "GroupBoxSpeed", "GroupBoxIEC",
              "GroupBoxRelay", "GroupBoxAlarm"})
            QTest::newRow(c) << QString(c);
        QTest::newRow("GroupBoxAdr") << "GroupBoxAdr";
    }

    void noOverlaps() {
        QFETCH(QString, container);
        QWidget* parent = Require(container);
        QVERIFY(parent);
        // A page is sized by the stacked widget only once shown; its layout area is 669 × 400.
        const QRect bounds = parent == ui->TabPok || parent == ui->TabPar
                                 ? QRect(0, 0, 669, 400)
                                 : QRect(QPoint(0, 0), parent->size());
        QList<QWidget*> shown;
        for (QWidget* w : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (!w->isHidden() && !w->isWindow()) shown << w;
        QVERIFY(!shown.isEmpty());
        for (int i = 0; i < shown.size(); ++i) {
            // The protocol switch is meant to be clipped until the group is widened.
            if (shown[i] != ui->BitBtn23)
                QVERIFY2(bounds.contains(shown[i]->geometry()), qPrintable(shown[i]->objectName()));
            for (int j = i + 1; j < shown.size(); ++j)
                QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                         qPrintable(shown[i]->objectName() + " / " + shown[j]->objectName()));
        }
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
