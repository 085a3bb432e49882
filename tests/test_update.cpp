// The update check end to end against a local web server: version scan, notification,
// "Больше не показывать", unreachable host, failed and successful downloads, and pages that
// are too big or too slow. The host pinged is 127.0.0.1; the final "open the installer" and
// "end the process" actions are replaced by recorders.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ui/KnownFolders.h"
#include "ui/UpdateForm.h"

namespace {

const QString kKey = QStringLiteral("Tessera_RS-485");
const QString kChecking = QStringLiteral("Проверка обновлений...");
const QString kDownloadFailed = QStringLiteral("Не удалось загрузить обновление.");
const QString kDownloadDone = QStringLiteral("Загрузка завершена.");
constexpr int kBoundMs = 60000;  // generous: every network step below is bounded far lower

// What the local server answers for one path.
struct Route {
    enum Kind { Normal, HugeAnnounced, HugeUnannounced, Drip };
    QByteArray status = "200 OK";
    QByteArray body;
    qint64 announced = -1;  // Content-Length; -1: the body's real length
    Kind kind = Normal;
};

}  // namespace

Q_DECLARE_METATYPE(Route)

namespace {

class HttpServer : public QObject {
public:
    HttpServer() {
        connect(&FServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = FServer.nextPendingConnection()) Serve(socket);
        });
    }
    bool Listen() { return FServer.listen(QHostAddress::LocalHost, 0); }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(FServer.serverPort()).arg(path);
    }
    QHash<QByteArray, Route> routes;
    QHash<QByteArray, int> hits;

private:
    void Serve(QTcpSocket* socket) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            *request += socket->readAll();
            if (!request->contains("\r\n\r\n")) return;
            const QByteArray path = request->split(' ').value(1);
            request->clear();
            ++hits[path];
            Respond(socket, routes.value(path, Route{"404 Not Found", "<p>no such page</p>", -1, Route::Normal}));
        });
    }

    static void Respond(QTcpSocket* socket, const Route& route) {
        QByteArray head = "HTTP/1.1 " + route.status +
                          "\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n";
        if (route.kind == Route::Drip) {
            socket->write(head + "Content-Length: 1000\r\n\r\n");
            auto* drip = new QTimer(socket);
            connect(drip, &QTimer::timeout, socket, [socket] { socket->write("x"); });
            drip->start(100);
            return;
        }
        QByteArray body = route.body;
        if (route.kind != Route::Normal) {
            body = kKey.toUtf8() + " 4.16 ";
            body += QByteArray(3 * 1024 * 1024, 'x');
        }
        if (route.kind != Route::HugeUnannounced)
            head += "Content-Length: " + QByteArray::number(route.announced < 0 ? body.size() : route.announced) + "\r\n";
        socket->write(head + "\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer FServer;
};

// Answers the modal windows the check opens, from inside their own event loops: records what
// appeared (and the progress text at that moment) and runs the next scripted action; with no
// action left it cancels, so that a wrong turn fails the test instead of hanging it.
class ModalDriver : public QObject {
public:
    using Action = std::function<void(QWidget*)>;
    ModalDriver() {
        connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
        FTimer.start(20);
    }
    QList<Action> actions;
    QStringList seen;
    QStringList progressSeen;
    QStringList captions;

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) return;
        auto* box = qobject_cast<QMessageBox*>(modal);
        seen << (box != nullptr ? box->text() : modal->objectName());
        progressSeen << UpdateProgressText();
        captions << modal->windowTitle();
        const Action action = actions.isEmpty() ? Action(Dismiss) : actions.takeFirst();
        action(modal);
    }
    static void Dismiss(QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->button(QMessageBox::Ok)->click();
        else
            modal->findChild<QPushButton*>("Button2")->click();
    }
    QTimer FTimer;
};

void Click(QWidget* window, const char* name) { window->findChild<QAbstractButton*>(name)->click(); }

ModalDriver::Action ClickButton(const char* name) {
    return [name](QWidget* window) { Click(window, name); };
}

ModalDriver::Action AcceptBox() {
    return [](QWidget* box) { qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click(); };
}

}  // namespace

class TestUpdate : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    HttpServer server;
    QStringList opened;
    QList<int> exitCodes;

    QString Installer() const { return GetSpecialFolder(CSIDL_APPDATA) + "/Update.exe"; }

    void Start() {
        StartUpdateCheck(kKey, "4.15", server.Url("/page"), server.Url("/setup.exe"), nullptr);
    }

    void ServePage(const QByteArray& body, const QByteArray& status = "200 OK") {
        server.routes["/page"] = Route{status, body, -1, Route::Normal};
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(".local/share")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));
        QApplication::setApplicationName("Tessera_RS-485");
        QVERIFY(server.Listen());
        Form1 = new TForm1;
        UpdateOpenFileHook = [this](const QString& path) { opened << path; };
        UpdateExitHook = [this](int code) { exitCodes << code; };
    }

    void init() {
        qputenv("TESSERA_UPDATE_HOST", "127.0.0.1");
        server.hits.clear();
        server.routes.clear();
        opened.clear();
        exitCodes.clear();
    }

    void cleanup() {
        QVERIFY(StopUpdateCheck(kBoundMs));
        QVERIFY(!UpdateWorkerRunning());
        Form1->findChild<QCheckBox*>("CheckBox1")->setChecked(false);
        for (const char* name : {"TESSERA_UPDATE_PING_TIMEOUT_MS", "TESSERA_UPDATE_FETCH_TIMEOUT_MS"})
            qunsetenv(name);
        QFile::remove(Installer());
    }

    void cleanupTestCase() {
        delete Form1;
        Form1 = nullptr;
    }

    void scanPageVersion_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("version");
        QTest::newRow("space, version, tag") << "<p>Tessera_RS-485 4.16</p>" << kKey << true << "4.16";
        QTest::newRow("colon") << "Tessera_RS-485:4.16</p>" << kKey << true << "4.16";
        QTest::newRow("no separator: first digit skipped") << "Tessera_RS-4854.16</p>" << kKey << true << ".16";
        QTest::newRow("no digits after the key") << "Tessera_RS-485 coming soon</p>" << kKey << true << "";
        QTest::newRow("version ends the page") << "Tessera_RS-485 4.16" << kKey << true << "4.1";
        QTest::newRow("key ends the page") << "<p>Tessera_RS-485" << kKey << true << "";
        QTest::newRow("text before the digits skipped") << "Tessera_RS-485 version: 4.16<" << kKey << true << "4.16";
        QTest::newRow("ends at the first other character") << "Tessera_RS-485 v4.16.2b7<" << kKey << true << "4.16.2";
        QTest::newRow("first occurrence counts") << "Tessera_RS-485 4.16; Tessera_RS-485 5.0<" << kKey << true << "4.16";
        QTest::newRow("other decimal digits") << QString::fromUtf8("Tessera_RS-485 ٤.١٦<") << kKey << true
                                              << QString::fromUtf8("٤.١٦");
        QTest::newRow("key is case-sensitive") << "tessera_rs-485 4.16<" << kKey << false << "";
        QTest::newRow("key absent") << "<p>4.16</p>" << kKey << false << "";
        QTest::newRow("empty key") << "<p>4.16</p>" << "" << false << "";
        QTest::newRow("empty page") << "" << kKey << false << "";
    }
    void scanPageVersion() {
        QFETCH(QString, page);
        QFETCH(QString, key);
        QFETCH(bool, found);
        QFETCH(QString, version);
        bool keyFound = !found;
        QCOMPARE(ScanPageVersion(page, key, &keyFound), version);
        QCOMPARE(keyFound, found);
    }

    void notificationWindow_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("label") << "Label1" << QRect(32, 8, 154, 18) << "Доступно обновление!";
        QTest::newRow("download") << "Button1" << QRect(12, 32, 89, 25) << "Скачать";
        QTest::newRow("cancel") << "Button2" << QRect(107, 32, 94, 25) << "Отмена";
        QTest::newRow("check box") << "CheckBox1" << QRect(12, 63, 154, 17) << "Больше не показывать";
    }
    void notificationWindow() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QCOMPARE(Form1->objectName(), QString("Form1"));
        QCOMPARE(Form1->windowTitle(), QString("Оповещение"));
        QCOMPARE(Form1->size(), QSize(221, 92));
        QCOMPARE(Form1->font().pixelSize(), 11);
        const Qt::WindowFlags flags = Form1->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint) && !flags.testFlag(Qt::WindowSystemMenuHint));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(Form1->pos(), QPoint((screen.width() - 221) / 2, (screen.height() - 92) / 2));
        QWidget* control = Form1->findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(control->property("text").toString(), text);
        if (name == "Label1") QCOMPARE(control->font().pixelSize(), 15);
    }

    void checkOutcome_data() {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("notified");
        QTest::newRow("newer") << QByteArray("200 OK") << QByteArray("<html><p>Tessera_RS-485 4.16</p></html>") << "4.16" << true;
        QTest::newRow("same") << QByteArray("200 OK") << QByteArray("<p>Tessera_RS-485 4.15</p>") << "4.15" << false;
        QTest::newRow("colon") << QByteArray("200 OK") << QByteArray("<p>Tessera_RS-485:4.16</p>") << "4.16" << true;
        QTest::newRow("no separator") << QByteArray("200 OK") << QByteArray("<p>Tessera_RS-4854.16</p>") << ".16" << true;
        QTest::newRow("no digits") << QByteArray("200 OK") << QByteArray("<p>Tessera_RS-485 soon</p>") << "" << true;
        QTest::newRow("version ends the page") << QByteArray("200 OK") << QByteArray("Tessera_RS-485 4.16") << "4.1" << true;
        QTest::newRow("older") << QByteArray("200 OK") << QByteArray("<p>Tessera_RS-485 4.14</p>") << "4.14" << true;
        QTest::newRow("key missing") << QByteArray("200 OK") << QByteArray("<p>Other 4.16</p>") << "" << false;
        QTest::newRow("error page is still a page")
            << QByteArray("404 Not Found") << QByteArray("<p>Tessera_RS-485 4.16</p>") << "4.16" << true;
    }
    void checkOutcome() {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, page);
        QFETCH(QString, version);
        QFETCH(bool, notified);
        ServePage(page, status);
        ModalDriver driver;
        driver.actions << ClickButton("Button2");
        Start();
        QCOMPARE(UpdateProgressText(), kChecking);
        QTRY_VERIFY_WITH_TIMEOUT(UpdateProgressText().isEmpty(), kBoundMs);
        QCOMPARE(PageVersion, version);
        QCOMPARE(driver.seen, notified ? QStringList{"Form1"} : QStringList{});
        if (notified) QCOMPARE(driver.progressSeen, QStringList{kChecking});
        QCOMPARE(int(UpdateCommand), 0);
        QVERIFY(UpdateCheckWanted());
        QVERIFY(UpdateWorkerRunning());  // idle, not ended
        QCOMPARE(server.hits.value("/page"), 1);
        QVERIFY(opened.isEmpty() && exitCodes.isEmpty());
    }

    void dontShowAgainDisablesDownloadAndIsRemembered() {
        ServePage("<p>Tessera_RS-485 4.16</p>");
        ModalDriver driver;
        bool downloadEnabledAfterTick = true;
        driver.actions << [&](QWidget* form) {
            Click(form, "CheckBox1");
            downloadEnabledAfterTick = form->findChild<QPushButton*>("Button1")->isEnabled();
            Click(form, "Button2");
        };
        Start();
        QVERIFY(UpdateCheckWanted());
        QTRY_COMPARE_WITH_TIMEOUT(driver.seen, QStringList{"Form1"}, kBoundMs);
        QVERIFY(!downloadEnabledAfterTick);
        QVERIFY(!UpdateCheckWanted());
        QCOMPARE(UpdateProgressText(), QString());
        QVERIFY(server.hits.value("/setup.exe") == 0);
    }

    void unreachableHostEndsTheCheck_data() {
        QTest::addColumn<QByteArray>("host");
        QTest::newRow("silent address") << QByteArray("198.51.100.1");
        QTest::newRow("unresolvable name") << QByteArray("tessera-rs.invalid");
    }
    void unreachableHostEndsTheCheck() {
        QFETCH(QByteArray, host);
        qputenv("TESSERA_UPDATE_HOST", host);
        qputenv("TESSERA_UPDATE_PING_TIMEOUT_MS", "300");
        ServePage("<p>Tessera_RS-485 4.16</p>");
        ModalDriver driver;
        Start();
        QCOMPARE(UpdateProgressText(), kChecking);
        QTRY_VERIFY_WITH_TIMEOUT(UpdateProgressText().isEmpty(), kBoundMs);
        QCOMPARE(server.hits.value("/page"), 0);
        QCOMPARE(int(UpdateCommand), 0);
        QVERIFY(UpdateWorkerRunning());  // suspended for the rest of the run
        QVERIFY(driver.seen.isEmpty());
    }

    void failedDownloadIsReportedAndNothingStarts_data() {
        QTest::addColumn<QString>("installerUrl");
        QTest::addColumn<Route>("route");
        QTest::newRow("not found") << QString() << Route{"404 Not Found", "<p>gone</p>", -1, Route::Normal};
        QTest::newRow("server error") << QString() << Route{"500 Internal Server Error", "MZ", -1, Route::Normal};
        QTest::newRow("shorter than announced") << QString() << Route{"200 OK", "MZ partial", 5000, Route::Normal};
        QTest::newRow("connection refused") << "http://127.0.0.1:1/setup.exe" << Route{};
    }
    void failedDownloadIsReportedAndNothingStarts() {
        QFETCH(QString, installerUrl);
        QFETCH(Route, route);
        ServePage("<p>Tessera_RS-485 4.16</p>");
        server.routes["/setup.exe"] = route;
        QFile old(Installer());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous installer");
        old.close();
        ModalDriver driver;
        driver.actions << ClickButton("Button1") << AcceptBox();
        StartUpdateCheck(kKey, "4.15", server.Url("/page"),
                         installerUrl.isEmpty() ? server.Url("/setup.exe") : installerUrl, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(driver.seen.size() == 2 && UpdateProgressText().isEmpty(), kBoundMs);
        QCOMPARE(driver.seen, (QStringList{"Form1", kDownloadFailed}));
        QCOMPARE(driver.progressSeen.last(), QString("Скачивание Tessera_RS-485   4.16"));
        QCOMPARE(driver.captions.last(), QString("Tessera_RS-485"));
        QVERIFY(opened.isEmpty());
        QVERIFY(exitCodes.isEmpty());
        QCOMPARE(int(UpdateCommand), 0);
        QVERIFY(UpdateWorkerRunning());
        // The old file stays whole and no partial download is left beside it.
        QFile kept(Installer());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("previous installer"));
        QCOMPARE(QDir(GetSpecialFolder(CSIDL_APPDATA)).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Update.exe"});
    }

    void successfulDownloadOpensTheInstallerAndEnds() {
        ServePage("<p>Tessera_RS-485 4.16</p>");
        QByteArray installer(300 * 1024, '\0');
        QRandomGenerator generator(415);
        for (char& byte : installer) byte = char(generator.bounded(256));
        server.routes["/setup.exe"] = Route{"200 OK", installer, -1, Route::Normal};
        ModalDriver driver;
        driver.actions << ClickButton("Button1") << AcceptBox();
        Start();
        QTRY_VERIFY_WITH_TIMEOUT(!exitCodes.isEmpty(), kBoundMs);
        QCOMPARE(driver.seen, (QStringList{"Form1", kDownloadDone}));
        QCOMPARE(driver.progressSeen.last(), QString("Скачивание Tessera_RS-485   4.16"));
        QCOMPARE(opened, QStringList{Installer()});
        QCOMPARE(exitCodes, QList<int>{0});
        QCOMPARE(DownloadFolder + "/Update.exe", Installer());
        QFile file(Installer());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == installer);
        QTRY_VERIFY_WITH_TIMEOUT(!UpdateWorkerRunning(), kBoundMs);
    }

    void oversizedOrSlowPageIsAbandoned_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("huge, length announced") << int(Route::HugeAnnounced);
        QTest::newRow("huge, length not announced") << int(Route::HugeUnannounced);
        QTest::newRow("slow drip") << int(Route::Drip);
    }
    void oversizedOrSlowPageIsAbandoned() {
        QFETCH(int, kind);
        qputenv("TESSERA_UPDATE_FETCH_TIMEOUT_MS", "1500");
        server.routes["/page"] = Route{"200 OK", {}, -1, Route::Kind(kind)};
        ModalDriver driver;
        Start();
        QTRY_VERIFY_WITH_TIMEOUT(UpdateProgressText().isEmpty(), kBoundMs);
        QTRY_VERIFY_WITH_TIMEOUT(!UpdateWorkerRunning(), kBoundMs);  // no page: the worker ends
        QCOMPARE(server.hits.value("/page"), 1);
        QVERIFY(driver.seen.isEmpty());
    }
};

QTEST_MAIN(TestUpdate)
#include "test_update.moc"
