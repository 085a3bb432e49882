#pragma once
// The update check: a worker thread that pings the maker's web host, reads the version number
// that follows the product key on the product page and offers a different version in the
// notification window. On Windows the offer downloads the installer, starts it and ends the
// program; elsewhere the installer would be of no use, so the offer opens the product page in
// the browser and the program goes on.
//
// Threads: StartUpdateCheck, the notification window and the progress-text reader run on the
// main thread; TThreadUpdate runs the network work and reaches the user interface only through
// Sync::Synchronize (the call runs on the main thread while the worker waits). Network details
// and the environment variables that redirect them for tests are in ui/UpdateNet.h.
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class TDesktop;
namespace Ui {
class TForm1;
}  // namespace Ui

// Placeholder addresses of the maker's site; the main window passes the two URLs.
inline const QString UpdateWebHost = QStringLiteral("tessera-rs.example");
inline const QString UpdateProductPageUrl =
    QStringLiteral("https://tessera-rs.example/tessera_rs-485.html");
inline const QString UpdateInstallerUrl =
    QStringLiteral("https://tessera-rs.example/download/Tessera_RS-485_setup.exe");

// Shared state of the check. The strings are written before the hand-over that publishes them
// (thread start, or a Synchronize call, both of which order memory): ProductKey,
// CurrentVersion, VersionPageUrl and InstallerUrl by StartUpdateCheck before the worker
// starts; PageVersion, DownloadUrl and DownloadFolder by the worker before it hands anything
// to the main thread. DontShowAgain is used by the main thread only.
extern QString ProductKey;
extern QString CurrentVersion;
extern QString VersionPageUrl;
extern QString InstallerUrl;
extern QString DownloadUrl;
extern QString DownloadFolder;
extern QString PageVersion;
extern bool DontShowAgain;

// 0 nothing, 1 check, 2 download, 3 open the product page. Change it with SetUpdateCommand, which
// also wakes the idle worker; a bare store is seen only when the worker next looks (after a window
// it waits for).
extern std::atomic<uint8_t> UpdateCommand;
void SetUpdateCommand(uint8_t command);

// Progress text for the main window's status bar; empty when there is nothing to show.
// Both sides work on copies taken under a lock.
QString UpdateProgressText();
void SetUpdateProgressText(const QString& text);

// False once the operator ticked "Больше не показывать" in this run.
bool UpdateCheckWanted();

// Starts the check (main thread, once per run). Owner is kept and used for nothing else.
// A later call retires the previous worker, which then ends on its own.
void StartUpdateCheck(const QString& productKey, const QString& currentVersion,
                      const QString& versionPageUrl, const QString& installerUrl, QWidget* owner);

// Main thread: retires the current worker and waits (running its synchronised calls) until it
// has ended or the deadline passed. A network step under way finishes first (it is bounded).
bool StopUpdateCheck(int timeoutMs = 60000);
bool UpdateWorkerRunning();

// The version text that follows the key on the page. The character right after the key is
// skipped, digits (any decimal digit) and full stops are collected from there, anything else
// is skipped until the first one and ends the text after it, and the page's last character is
// never examined. *keyFound tells whether the key is on the page at all.
QString ScanPageVersion(const QString& page, const QString& key, bool* keyFound);
// No version is longer: a longer run of digits after the key is no version at all, and the
// page counts as one without the key (*keyFound false), so nothing is offered.
constexpr int MaxPageVersionLength = 32;

// True where the offer downloads and starts the installer (Windows); false where it opens
// the product page instead. A test may switch it to run the other platform's path.
extern bool UpdateDownloadsInstaller;

// Worker of the check. Frees itself when it ends; starts running when created. Lives on its
// own thread and blocks while idle, waiting for UpdateCommand to change.
class TThreadUpdate final : public QThread {
    Q_OBJECT
public:
    explicit TThreadUpdate(int generation);

protected:
    void run() override;

private:
    uint8_t WaitForCommand() const;
    void WaitUntilRetired() const;
    bool Retired() const;
    bool Check();     // false when the worker is to end
    bool Download();  // false when the worker is to end
    bool OpenPage();
    void ShowNotification();

    const int FGeneration;
};

// The notification window "Оповещение" (form Form1). Created hidden at program start; shown
// modally by the worker through the main thread.
class TForm1 : public QDialog {
    Q_OBJECT
public:
    // `desktop` opens the downloaded installer or the product page and ends the process after
    // a download (none: the real desktop).
    explicit TForm1(QWidget* parent = nullptr, TDesktop* desktop = nullptr);
    ~TForm1() override;

    TDesktop& Desktop() const { return FDesktop; }

public slots:
    void FormCreate();
    void Button1Click();
    void Button2Click();
    void CheckBox1Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowOfferCaption();

private:
    std::unique_ptr<Ui::TForm1> ui;
    TDesktop& FDesktop;
};

// The single notification window, created by the program at start.
extern TForm1* Form1;
