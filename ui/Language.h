#pragma once
// The language of the program's texts. Russian is the language every text is written in and
// needs nothing; English comes from the translation built into the program library
// (:/i18n/tessera_en.qm). The language is applied once at start, before the windows are
// created: --lang for the run, else the choice stored in setup.cfg. A choice made in the port
// settings dialog is stored and applies from the next start. Main thread.
#include <QString>
#include <QStringList>

namespace Language {

// The languages the program has texts in, the program's own first: "ru", "en".
QStringList Known();
bool IsKnown(const QString& code);

// Shows the texts made from now on in `code`: installs its translator (dropping the one in
// force), Qt's own texts in that language where Qt's translations are installed, and opens the
// help in that language. False, with Russian in force, when the language
// is unknown or its translation cannot be loaded. Needs the application object, which owns
// the translator.
bool Apply(const QString& code);
// The language whose texts are shown: "ru" until another is applied.
QString Current();

// The choice kept in setup.cfg ([Language] Lang): read with the other settings, changed by the
// settings dialog, written back at close. Empty while none was ever chosen.
extern QString Stored;

}  // namespace Language
