// The English translation is complete: no Russian text of the program is left without its
// English one.
//  - lupdate, run over the sources into a copy of translations/tessera_en.ts, finds no text
//    unfinished (a text added or changed since the file was last brought up to date);
//  - every Russian string literal in the C++ sources stands where lupdate sees it (tr(),
//    QCoreApplication::translate(), QT_TRANSLATE_NOOP()); a Russian QStringLiteral shown to the
//    operator would otherwise stay Russian without lupdate ever knowing;
//  - each English text keeps its source's placeholders and its leading and trailing blanks
//    (texts are joined to numbers and to one another).
// The folders, the .ts file and lupdate come from the build (translations/CMakeLists.txt).
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <algorithm>

#include "translations_config.h"

namespace {

struct TsMessage {
    QString context;
    QString source;
    QString translation;
    QString type;  // "unfinished", "vanished", "obsolete" or empty
};

QList<TsMessage> ReadTs(const QString& path, QString* error) {
    QList<TsMessage> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    TsMessage message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            if (xml.isEndElement() && xml.name() == QLatin1String("message"))
                messages.append(message);
            continue;
        }
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            message = TsMessage{context, QString(), QString(), QString()};
        } else if (xml.name() == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            message.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        }
    }
    if (xml.hasError()) *error = xml.errorString();
    return messages;
}

bool IsCyrillic(QChar c) {
    return c.unicode() >= 0x0400 && c.unicode() <= 0x04FF;
}
bool HasCyrillic(const QString& text) {
    return std::any_of(text.begin(), text.end(), IsCyrillic);
}
bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The calls whose string arguments lupdate collects.
bool IsTranslatingCall(const QString& name) {
    static const QStringList calls{"tr",
                                   "translate",
                                   "QT_TR_NOOP",
                                   "QT_TRANSLATE_NOOP",
                                   "QT_TRANSLATE_NOOP3",
                                   "QT_TR_N_NOOP",
                                   "QT_TRANSLATE_N_NOOP"};
    return calls.contains(name);
}

// "file:line: text" for every Russian string literal of a C++ source that is not an argument
// of a translating call. A small lexer: comments, character literals (and digit separators),
// ordinary and raw string literals; for each "(" the name written before it is kept, so a
// literal knows the call it is an argument of.
QStringList UntranslatedLiterals(const QString& path, const QString& shownPath) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {shownPath + QStringLiteral(": unreadable")};
    const QString s = QString::fromUtf8(file.readAll());
    QStringList found;
    QStringList calls;  // the name before each open "(", innermost last
    int line = 1;
    auto nameBefore = [&s](int at) {
        int end = at;
        while (end > 0 && s[end - 1].isSpace()) --end;
        int start = end;
        while (start > 0 && IsWordChar(s[start - 1])) --start;
        return s.mid(start, end - start);
    };
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const QChar next = i + 1 < s.size() ? s[i + 1] : QChar();
        if (c == QLatin1Char('\n')) {
            ++line;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('/')) {
            while (i + 1 < s.size() && s[i + 1] != QLatin1Char('\n')) ++i;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const int end = s.indexOf(QStringLiteral("*/"), i + 2);
            const int stop = end < 0 ? s.size() : end + 2;
            line += s.mid(i, stop - i).count(QLatin1Char('\n'));
            i = stop - 1;
        } else if (c == QLatin1Char('\'')) {
            if (i > 0 && s[i - 1].isLetterOrNumber() && nameBefore(i).front().isDigit())
                continue;  // a digit separator: 1'000
            for (++i; i < s.size() && s[i] != QLatin1Char('\''); ++i)
                if (s[i] == QLatin1Char('\\')) ++i;
        } else if (c == QLatin1Char('"')) {
            const int startLine = line;
            QString text;
            const bool raw = i > 0 && s[i - 1] == QLatin1Char('R');
            if (raw) {
                const int open = s.indexOf(QLatin1Char('('), i);
                const QString closing =
                    QLatin1Char(')') + s.mid(i + 1, open - i - 1) + QLatin1Char('"');
                const int end = s.indexOf(closing, open);
                const int stop = end < 0 ? s.size() : end + closing.size();
                text = s.mid(open + 1, end - open - 1);
                line += s.mid(i, stop - i).count(QLatin1Char('\n'));
                i = stop - 1;
            } else {
                for (++i; i < s.size() && s[i] != QLatin1Char('"'); ++i) {
                    if (s[i] == QLatin1Char('\\')) text += s[i++];
                    text += s[i];
                }
            }
            if (HasCyrillic(text) && (calls.isEmpty() || !IsTranslatingCall(calls.last())))
                found << QStringLiteral("%1:%2: \"%3\"").arg(shownPath).arg(startLine).arg(text);
        } else if (c == QLatin1Char('(')) {
            calls << nameBefore(i);
        } else if (c == QLatin1Char(')')) {
            if (!calls.isEmpty()) calls.removeLast();
        }
    }
    return found;
}

// %1..%99 as a sorted list: a translation must fill in what its source fills in.
QStringList Placeholders(const QString& text) {
    static const QRegularExpression marker(QStringLiteral("%(\\d{1,2})"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();) found << it.next().captured(0);
    found.sort();
    return found;
}

QString LeadingBlanks(const QString& text) {
    int n = 0;
    while (n < text.size() && text[n].isSpace()) ++n;
    return text.left(n);
}

QString TrailingBlanks(const QString& text) {
    int n = 0;
    while (n < text.size() && text[text.size() - 1 - n].isSpace()) ++n;
    return text.right(n);
}

QString Describe(const TsMessage& m) {
    return QStringLiteral("%1: \"%2\" -> \"%3\"").arg(m.context, m.source, m.translation);
}

}  // namespace

class TestTranslations : public QObject {
    Q_OBJECT
private slots:
    void lupdateLeavesNothingUnfinished() {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString copy = work.filePath(QStringLiteral("tessera_en.ts"));
        QVERIFY(QFile::copy(QStringLiteral(TESSERA_TS_FILE), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);

        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(TESSERA_SOURCE_DIR));
        const QStringList arguments = QStringList(TESSERA_LUPDATE_OPTIONS) +
                                      QStringList(TESSERA_TRANSLATED_DIRS) +
                                      QStringList{QStringLiteral("-ts"), copy};
        lupdate.start(QStringLiteral(TESSERA_LUPDATE), arguments);
        QVERIFY2(lupdate.waitForFinished(120000), qPrintable(lupdate.errorString()));
        const QString output = QString::fromLocal8Bit(lupdate.readAllStandardOutput() +
                                                      lupdate.readAllStandardError());
        QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
                 qPrintable(output));

        QString error;
        const QList<TsMessage> messages = ReadTs(copy, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // A scan that found nothing would leave nothing unfinished too.
        QVERIFY2(messages.size() > 100, qPrintable(output));
        QStringList unfinished;
        for (const TsMessage& m : messages)
            if (!m.type.isEmpty() || m.translation.isEmpty()) unfinished << Describe(m);
        QVERIFY2(unfinished.isEmpty(),
                 qPrintable(QStringLiteral("%1 text(s) without their English; translate them "
                                           "after `cmake --build <dir> --target "
                                           "update_translations`:\n")
                                .arg(unfinished.size()) +
                            unfinished.join(QLatin1Char('\n'))));
    }

    void russianLiteralsAreAllTranslatable() {
        QStringList found;
        int files = 0;
        const QDir root(QStringLiteral(TESSERA_SOURCE_DIR));
        for (const QString& folder : QStringList(TESSERA_TRANSLATED_DIRS)) {
            QDirIterator it(root.filePath(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                            QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                ++files;
                found << UntranslatedLiterals(path, root.relativeFilePath(path));
            }
        }
        QVERIFY(files > 20);
        QVERIFY2(found.isEmpty(),
                 qPrintable(QStringLiteral("Russian texts lupdate cannot see (wrap them in tr() "
                                           "or QCoreApplication::translate()):\n") +
                            found.join(QLatin1Char('\n'))));
    }

    // The lexer itself, on what the sources hold: a wrong verdict here would make the scan
    // above pass over texts it should find, or complain about comments.
    void literalScan_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("expected");
        auto row = [](const char* name, const char* code, int expected) {
            QTest::newRow(name) << QString::fromUtf8(code) << expected;
        };
        row("tr", "f(tr(\"Порт\"));", 0);
        row("class tr", "Tz::tr(\"Порт %1\").arg(x);", 0);
        row("translate", "QCoreApplication::translate(\"Th1\", \"Порт\")", 0);
        row("noop table", "const char* t[] = {QT_TRANSLATE_NOOP(\"E\", \"Порт\"),};", 0);
        row("joined literals", "tr(\" Когда \"\n   \"сама.\")", 0);
        row("literal", "ShowStatus(QStringLiteral(\"Порт\"));", 1);
        row("tr of a literal", "tr(QStringLiteral(\"Порт\"))", 1);
        row("outside any call", "const char* t = \"Порт\";", 1);
        row("after a call", "tr(\"a\") + QString::fromUtf8(\"Порт\")", 1);
        row("comment", "// \"Порт\"\n/* \"Порт\" */ f();", 0);
        row("quote in a char", "c == '\"' ? QStringLiteral(\"Порт\") : x", 1);
        row("digit separator", "n = 1'000; s = QStringLiteral(\"Порт\");", 1);
        row("escaped quote", "tr(\"a \\\" b\") + QStringLiteral(\"Порт\")", 1);
        row("raw string", "QStringLiteral(R\"(\"Порт\")\")", 1);
        row("latin only", "QStringLiteral(\"COM1\")", 0);
    }
    void literalScan() {
        QFETCH(QString, code);
        QTemporaryDir work;
        const QString path = work.filePath(QStringLiteral("scan.cpp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(code.toUtf8());
        file.close();
        const QStringList found = UntranslatedLiterals(path, QStringLiteral("scan.cpp"));
        QFETCH(int, expected);
        QVERIFY2(found.size() == expected, qPrintable(found.join(QLatin1Char('\n'))));
    }

    void translationsKeepPlaceholdersAndBlanks() {
        QString error;
        const QList<TsMessage> messages = ReadTs(QStringLiteral(TESSERA_TS_FILE), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList wrong;
        for (const TsMessage& m : messages) {
            if (m.type == QLatin1String("vanished") || m.type == QLatin1String("obsolete"))
                continue;
            if (Placeholders(m.source) != Placeholders(m.translation) ||
                LeadingBlanks(m.source) != LeadingBlanks(m.translation) ||
                TrailingBlanks(m.source) != TrailingBlanks(m.translation))
                wrong << Describe(m);
            if (HasCyrillic(m.translation)) wrong << Describe(m) + QStringLiteral(" (Russian)");
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "test_translations.moc"
