#include "ui/Language.h"

#include <QCoreApplication>
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

void Use(const QString& code, QTranslator* translator) {
    if (Installed()) {
        QCoreApplication::removeTranslator(Installed());
        delete Installed();
    }
    Installed() = translator;
    if (translator) QCoreApplication::installTranslator(translator);
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
