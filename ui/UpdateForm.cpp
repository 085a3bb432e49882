#include "ui/UpdateForm.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "base/Synchronize.h"
#include "ui/KnownFolders.h"
#include "ui/RealDesktop.h"
#include "ui/ShellOpen.h"
#include "ui/UpdateNet.h"
#include "ui_UpdateForm.h"

QString ProductKey;
QString CurrentVersion;
QString VersionPageUrl;
QString InstallerUrl;
QString DownloadUrl;
QString DownloadFolder;
QString PageVersion;
bool DontShowAgain = false;
std::atomic<uint8_t> UpdateCommand{0};
TForm1* Form1 = nullptr;

#ifdef _WIN32
bool UpdateDownloadsInstaller = true;
#else
bool UpdateDownloadsInstaller = false;
#endif

namespace {

// The notification window's desktop: it opens what the check offers and ends the process.
TDesktop& UpdateDesktop() {
    return Form1 ? Form1->Desktop() : TRealDesktop::Instance();
}

}  // namespace

namespace {

constexpr int kEchoAttempts = 3;
constexpr uint8_t kCommandIdle = 0;
constexpr uint8_t kCommandCheck = 1;
constexpr uint8_t kCommandDownload = 2;
constexpr uint8_t kCommandOpenPage = 3;  // where the offer opens the product page

// Never destroyed: an idle worker may still be waiting on it while the process ends.
// Standard primitives rather than Qt's, so that a ThreadSanitizer build sees every hand-over.
struct SharedState {
    std::mutex commandMutex;
    std::condition_variable commandChanged;
    int generation = 0;  // the worker whose generation this is acts; older ones end
    std::mutex progressMutex;
    QString progressText;
};

SharedState& State() {
    static SharedState* state = new SharedState;
    return *state;
}

QPointer<TThreadUpdate> CurrentWorker;  // main thread only
QPointer<QWidget> UpdateOwner;          // kept, never used

int RetireWorkers() {
    int generation = 0;
    {
        std::lock_guard<std::mutex> lock(State().commandMutex);
        generation = ++State().generation;
    }
    State().commandChanged.notify_all();
    return generation;
}

void ShowPlainMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok);
    box.exec();
}

}  // namespace

void SetUpdateCommand(uint8_t command) {
    {
        std::lock_guard<std::mutex> lock(State().commandMutex);
        UpdateCommand.store(command);
    }
    State().commandChanged.notify_all();
}

QString UpdateProgressText() {
    std::lock_guard<std::mutex> lock(State().progressMutex);
    return State().progressText;
}

void SetUpdateProgressText(const QString& text) {
    std::lock_guard<std::mutex> lock(State().progressMutex);
    State().progressText = text;
}

bool UpdateCheckWanted() {
    return !DontShowAgain;
}

void StartUpdateCheck(const QString& productKey, const QString& currentVersion,
                      const QString& versionPageUrl, const QString& installerUrl, QWidget* owner) {
    ProductKey = productKey;
    CurrentVersion = currentVersion;
    VersionPageUrl = UpdateEnvAddress("TESSERA_UPDATE_PAGE_URL", versionPageUrl);
    InstallerUrl = UpdateEnvAddress("TESSERA_UPDATE_INSTALLER_URL", installerUrl);
    UpdateOwner = owner;
    CurrentWorker = new TThreadUpdate(RetireWorkers());
    DontShowAgain = false;
    SetUpdateProgressText(TThreadUpdate::tr("Проверка обновлений..."));
    SetUpdateCommand(kCommandCheck);
}

bool StopUpdateCheck(int timeoutMs) {
    RetireWorkers();
    const QPointer<TThreadUpdate> worker = CurrentWorker;
    if (worker.isNull()) return true;
    return Sync::WaitForThread(worker, QDeadlineTimer(timeoutMs));
}

bool UpdateWorkerRunning() {
    return !CurrentWorker.isNull() && CurrentWorker->isRunning();
}

// The product pages put a separator right after the key, so the character after the key is
// skipped; the page's last character is never looked at (a version never ends a page).
QString ScanPageVersion(const QString& page, const QString& key, bool* keyFound) {
    const qsizetype keyAt = key.isEmpty() ? -1 : page.indexOf(key, 0, Qt::CaseSensitive);
    if (keyFound != nullptr) *keyFound = keyAt >= 0;
    QString version;
    if (keyAt < 0) return version;
    for (qsizetype i = keyAt + key.size() + 1; i < page.size() - 1; ++i) {
        const QChar c = page.at(i);
        if (c.isDigit() || c == QLatin1Char('.'))
            version += c;
        else if (!version.isEmpty())
            break;
        // A run of digits longer than any version is no offer: the page is treated as one
        // without the key, so nothing is offered or shown (*keyFound false).
        if (version.size() > MaxPageVersionLength) {
            if (keyFound != nullptr) *keyFound = false;
            return QString();
        }
    }
    return version;
}

// --- TThreadUpdate ---

TThreadUpdate::TThreadUpdate(int generation) : FGeneration(generation) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    SetUpdateProgressText(QString());
    SetUpdateCommand(kCommandIdle);
    start();
}

bool TThreadUpdate::Retired() const {
    std::lock_guard<std::mutex> lock(State().commandMutex);
    return State().generation != FGeneration;
}

// Sleeps until there is a check or a download to do; 0 when this worker has been retired.
uint8_t TThreadUpdate::WaitForCommand() const {
    std::unique_lock<std::mutex> lock(State().commandMutex);
    for (;;) {
        if (State().generation != FGeneration) return kCommandIdle;
        const uint8_t command = UpdateCommand.load();
        if (command == kCommandCheck || command == kCommandDownload || command == kCommandOpenPage)
            return command;
        State().commandChanged.wait(lock);
    }
}

// An unreachable host ends the update work for the whole run: the worker only waits to be
// retired (which an ordinary run never does).
void TThreadUpdate::WaitUntilRetired() const {
    std::unique_lock<std::mutex> lock(State().commandMutex);
    State().commandChanged.wait(lock, [this] { return State().generation != FGeneration; });
}

void TThreadUpdate::run() {
    try {
        for (;;) {
            const uint8_t command = WaitForCommand();
            if (command == kCommandIdle) return;
            const bool goOn = command == kCommandCheck      ? Check()
                              : command == kCommandDownload ? Download()
                                                            : OpenPage();
            if (!goOn) return;
        }
    } catch (...) {
        // Nothing of the check is worth a message; the status text must not stay behind.
        SetUpdateProgressText(QString());
    }
}

bool TThreadUpdate::Check() {
    const QString host = UpdateEnvText("TESSERA_UPDATE_HOST", UpdateWebHost);
    bool reachable = false;
    for (int attempt = 0; attempt < kEchoAttempts && !reachable && !Retired(); ++attempt)
        reachable = HostReachable(host);
    if (!reachable) {
        SetUpdateProgressText(QString());
        SetUpdateCommand(kCommandIdle);
        WaitUntilRetired();
        return false;
    }
    const QString pageUrl = VersionPageUrl;
    const QString page = FetchUrlText(pageUrl);
    if (page.isEmpty()) {
        SetUpdateProgressText(QString());
        return false;
    }
    DownloadUrl = InstallerUrl;
    SetUpdateCommand(kCommandIdle);
    bool keyFound = false;
    PageVersion = ScanPageVersion(page, ProductKey, &keyFound);
    if (!keyFound || PageVersion == CurrentVersion) {
        SetUpdateProgressText(QString());
        return true;
    }
    DownloadUrl = InstallerUrl;
    ShowNotification();
    return true;
}

// The window's buttons set the next command ("Скачать" sets 2) before the modal loop returns.
void TThreadUpdate::ShowNotification() {
    Sync::Synchronize([] {
        if (Form1 == nullptr) Form1 = new TForm1;
        Form1->exec();
    });
}

bool TThreadUpdate::Download() {
    DownloadFolder = GetSpecialFolder(CSIDL_APPDATA);
    const QString target = DownloadFolder + QStringLiteral("/Update.exe");
    // The transfer neither reads nor fills a cache, so there is no cached copy to drop first.
    const QString address = DownloadUrl;
    const bool downloaded = DownloadUrlToFile(address, target);
    SetUpdateCommand(kCommandIdle);
    if (!downloaded) {
        Sync::Synchronize([] { ShowPlainMessage(tr("Не удалось загрузить обновление.")); });
        SetUpdateProgressText(QString());
        return true;
    }
    Sync::Synchronize([target] {
        ShowPlainMessage(tr("Загрузка завершена."));
        UpdateDesktop().OpenFile(target);
        UpdateDesktop().ExitProcess(0);
    });
    return false;  // the process has ended, or a test stands in for that
}

// The page goes to the browser only over HTTPS: a file:// or plain http address could hand
// the browser, or whatever program opens it, something other than the maker's page. The
// worker stays, idle, and the program goes on.
bool TThreadUpdate::OpenPage() {
    SetUpdateCommand(kCommandIdle);
    const QString address = VersionPageUrl;
    Sync::Synchronize([address] {
        const QUrl page = UpdateAddressUrl(address);
        if (page.scheme() == QLatin1String("https") && UpdateDesktop().OpenPage(page)) return;
        ShowPlainMessage(tr("Не удалось открыть страницу обновления в браузере: %1").arg(address));
    });
    return true;
}

// --- TForm1 ---

TForm1::TForm1(QWidget* parent, TDesktop* desktop)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      ui(std::make_unique<Ui::TForm1>()),
      FDesktop(desktop ? *desktop : TRealDesktop::Instance()) {
    ui->setupUi(this);
    QFont formFont(QStringLiteral("Tahoma"));
    formFont.setPixelSize(11);
    setFont(formFont);
    QFont labelFont(QStringLiteral("Tahoma"));
    labelFont.setPixelSize(15);
    ui->Label1->setFont(labelFont);
    setFixedSize(221, 92);
    connect(ui->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ui->CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    ShowOfferCaption();
    FormCreate();
}

TForm1::~TForm1() = default;

// Centred on the screen by its outer size; staying on top comes with the window flags.
void TForm1::FormCreate() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2,
         area.y() + (area.height() - outer.height()) / 2);
}

void TForm1::Button1Click() {
    if (!UpdateDownloadsInstaller) {
        SetUpdateCommand(kCommandOpenPage);
        close();
        SetUpdateProgressText(QString());
        return;
    }
    SetUpdateCommand(kCommandDownload);
    close();
    SetUpdateProgressText(tr("Скачивание ") + ProductKey + QStringLiteral("   ") + PageVersion);
}

void TForm1::ShowOfferCaption() {
    if (UpdateDownloadsInstaller) {
        ui->Button1->setText(tr("Скачать"));
        ui->Button1->setToolTip(QString());
    } else {
        ui->Button1->setText(tr("На сайт"));
        ui->Button1->setToolTip(tr("Открыть страницу программы в браузере"));
    }
}

void TForm1::showEvent(QShowEvent* event) {
    ShowOfferCaption();
    QDialog::showEvent(event);
}

void TForm1::Button2Click() {
    SetUpdateProgressText(QString());
    close();
}

void TForm1::CheckBox1Click() {
    DontShowAgain = ui->CheckBox1->isChecked();
    ui->Button1->setEnabled(!DontShowAgain);
}

// The window has no cancel key: it closes only through its two buttons, each of which settles
// what the worker does next and what the status bar shows.
void TForm1::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}
