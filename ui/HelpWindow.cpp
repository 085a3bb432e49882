#include "ui/HelpWindow.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

// The help pages live in a static library: its resources are registered by hand.
static void RegisterHelpResources() {
    Q_INIT_RESOURCE(help);
}

QString THelpWindow::Language = QStringLiteral("ru");

QUrl THelpWindow::PageUrl(const QString& language) {
    RegisterHelpResources();
    const QString page = QStringLiteral(":/help/help_%1.html").arg(language);
    if (!QFile::exists(page)) return QUrl(QStringLiteral("qrc:/help/help_ru.html"));
    return QUrl(QStringLiteral("qrc") + page);
}

THelpWindow* THelpWindow::Open(QWidget* owner) {
    auto* window = owner->findChild<THelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) window = new THelpWindow(owner);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

THelpWindow::THelpWindow(QWidget* owner)
    : QWidget(owner, Qt::Window), FBrowser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("HelpWindow"));
    FBrowser->setObjectName(QStringLiteral("HelpBrowser"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FBrowser);
    connect(FBrowser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(FBrowser->documentTitle()); });
    FBrowser->setSource(PageUrl(Language));
    // Small beside the main window, and never larger than the screen.
    QSize size(620, 560);
    if (const QScreen* screen = owner->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}
