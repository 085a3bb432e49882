#include "ui/Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include "ui/HelpWindow.h"

namespace Language {

QString Stored;

namespace {

const QString Russian = QStringLiteral("ru");

QString& InForce() {
    static QString code = Russian;
    return code;
}

// The translation in force, owned by the application object so that it goes with it; none
// for Russian.
QPointer<QTranslator>& Installed() {
    static QPointer<QTranslator> translator;
    return translator;
}

// Qt's own texts (the file dialogs, the standard buttons, the context menus of the fields) in
// the language in force, from Qt's translations: where Qt keeps them on this system, or beside
// the program where an installer put them.
QPointer<QTranslator>& InstalledForQt() {
    static QPointer<QTranslator> translator;
    return translator;
}

void Replace(QPointer<QTranslator>& slot, QTranslator* translator) {
    if (slot) {
        QCoreApplication::removeTranslator(slot);
        delete slot;
    }
    slot = translator;
    if (translator) QCoreApplication::installTranslator(translator);
}

QTranslator* QtsOwnTexts(const QString& code) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QString name = QStringLiteral("qtbase_") + code;
    const QStringList folders{
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    for (const QString& folder : folders)
        if (translator->load(name, folder)) return translator;
    delete translator;
    return nullptr;
}

void Use(const QString& code, QTranslator* translator) {
    Replace(Installed(), translator);
    Replace(InstalledForQt(), QtsOwnTexts(code));
    InForce() = code;
    THelpWindow::Language = code;
}

}  // namespace

QStringList Known() {
    return {Russian, QStringLiteral("en")};
}

bool IsKnown(const QString& code) {
    return Known().contains(code);
}

bool Apply(const QString& code) {
    if (code == Russian || !IsKnown(code)) {
        Use(Russian, nullptr);
        return code == Russian;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/i18n/tessera_%1.qm").arg(code))) {
        delete translator;
        Use(Russian, nullptr);
        return false;
    }
    Use(code, translator);
    return true;
}

QString Current() {
    return InForce();
}

}  // namespace Language
