#include "ui/Language.h"

#include <QCoreApplication>
#include <QTranslator>
#include <memory>

#include "ui/HelpWindow.h"

namespace Language {

QString Stored;

namespace {

const QString Russian = QStringLiteral("ru");

QString& InForce() {
    static QString code = Russian;
    return code;
}

// The translation in force; none for Russian.
std::unique_ptr<QTranslator>& Installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

void Use(const QString& code, std::unique_ptr<QTranslator> translator) {
    if (Installed()) QCoreApplication::removeTranslator(Installed().get());
    Installed() = std::move(translator);
    if (Installed()) QCoreApplication::installTranslator(Installed().get());
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
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/i18n/tessera_%1.qm").arg(code))) {
        Use(Russian, nullptr);
        return false;
    }
    Use(code, std::move(translator));
    return true;
}

QString Current() {
    return InForce();
}

}  // namespace Language
