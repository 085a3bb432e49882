// Profile files: what reads as which value (including hostile files), in-place writes that keep
// the rest of the file, refusals that leave the file untouched, and the special folders.
// Built for Windows too (scripts/windows-gui-check.sh runs it under Wine), without the cases
// that need POSIX files: FIFOs, file size limits, owners and modes, the XDG folders.
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#ifndef _WIN32
#include "FileSizeLimit.h"
#endif
#include "ui/KnownFolders.h"
#include "ui/Profile.h"

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray Garbage(int size) {
    QByteArray bytes(size, '\0');
    QRandomGenerator generator(20240607);
    for (char& c : bytes) c = char(generator.bounded(256));
    return bytes;
}

// The bytes of a literal, NULs included.
template <size_t N>
QByteArray Bytes(const char (&text)[N]) {
    return QByteArray(text, int(N - 1));
}

}  // namespace

class TestProfile : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    QTemporaryDir dir;

    QString FilePath() const { return dir.filePath("setup.cfg"); }

private slots:
    void initTestCase() {
        // Whatever HOME the runner gives, the folders made here stay inside a temporary one.
        QVERIFY(home.isValid() && dir.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(".local/share")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));
    }

    void cleanup() {
        QFile::setPermissions(FilePath(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(FilePath());
        QDir(FilePath()).removeRecursively();
    }

    void readInteger_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("expected");  // the default is 3
        QTest::newRow("decimal") << QByteArray("[Port]\nBaud=7\n") << "Port"
                                 << "Baud" << 7;
        QTest::newRow("names ignore case") << QByteArray("[PORT]\nbAUD=7\n") << "port"
                                           << "Baud" << 7;
        QTest::newRow("spaces around") << QByteArray("  [ Port ]  \n  Baud  =  42  \n") << "Port"
                                       << "Baud" << 42;
        QTest::newRow("CRLF") << QByteArray("[Port]\r\nBaud=7\r\n") << "Port"
                              << "Baud" << 7;
        QTest::newRow("BOM, no final newline") << QByteArray("\xEF\xBB\xBF[Port]\nBaud=7") << "Port"
                                               << "Baud" << 7;
        QTest::newRow("quoted") << QByteArray("[Port]\nBaud=\"7\"\n") << "Port"
                                << "Baud" << 7;
        QTest::newRow("hex") << QByteArray("[Port]\nBaud=0x1F\n") << "Port"
                             << "Baud" << 31;
        QTest::newRow("hex upper X") << QByteArray("[Port]\nBaud=0X1f\n") << "Port"
                                     << "Baud" << 31;
        QTest::newRow("hex full width") << QByteArray("[Port]\nBaud=0xFFFFFFFF\n") << "Port"
                                        << "Baud" << -1;
        QTest::newRow("hex too wide") << QByteArray("[Port]\nBaud=0x100000000\n") << "Port"
                                      << "Baud" << 3;
        QTest::newRow("hex no digits") << QByteArray("[Port]\nBaud=0x\n") << "Port"
                                       << "Baud" << 3;
        QTest::newRow("negative") << QByteArray("[Port]\nBaud=-12\n") << "Port"
                                  << "Baud" << -12;
        QTest::newRow("plus, leading zeros") << QByteArray("[Port]\nBaud=+007\n") << "Port"
                                             << "Baud" << 7;
        QTest::newRow("int max") << QByteArray("[Port]\nBaud=2147483647\n") << "Port"
                                 << "Baud" << 2147483647;
        QTest::newRow("int min") << QByteArray("[Port]\nBaud=-2147483648\n") << "Port"
                                 << "Baud" << int(-2147483647 - 1);
        QTest::newRow("overflow") << QByteArray("[Port]\nBaud=2147483648\n") << "Port"
                                  << "Baud" << 3;
        QTest::newRow("underflow") << QByteArray("[Port]\nBaud=-2147483649\n") << "Port"
                                   << "Baud" << 3;
        QTest::newRow("many digits")
            << QByteArray("[Port]\nBaud=99999999999999999999999\n") << "Port"
            << "Baud" << 3;
        QTest::newRow("text") << QByteArray("[Port]\nBaud=abc\n") << "Port"
                              << "Baud" << 3;
        QTest::newRow("trailing text") << QByteArray("[Port]\nBaud=12abc\n") << "Port"
                                       << "Baud" << 3;
        QTest::newRow("real number") << QByteArray("[Port]\nBaud=1.5\n") << "Port"
                                     << "Baud" << 3;
        QTest::newRow("empty value") << QByteArray("[Port]\nBaud=\n") << "Port"
                                     << "Baud" << 3;
        QTest::newRow("sign only") << QByteArray("[Port]\nBaud=-\n") << "Port"
                                   << "Baud" << 3;
        QTest::newRow("non-ASCII digits") << QByteArray("[Port]\nBaud=\xD9\xA3\n") << "Port"
                                          << "Baud" << 3;
        QTest::newRow("duplicate key: first wins")
            << QByteArray("[Port]\nBaud=1\nBaud=2\n") << "Port"
            << "Baud" << 1;
        QTest::newRow("duplicate section: first wins")
            << QByteArray("[Port]\nSP=0\n[Port]\nBaud=2\n") << "Port"
            << "Baud" << 3;
        QTest::newRow("key of another section")
            << QByteArray("[form]\nBaud=7\n[Port]\nPort=COM1\n") << "Port"
            << "Baud" << 3;
        QTest::newRow("key before any section") << QByteArray("Baud=7\n[Port]\n") << "Port"
                                                << "Baud" << 3;
        QTest::newRow("missing section") << QByteArray("[form]\nleft=5\n") << "Port"
                                         << "Baud" << 3;
        QTest::newRow("empty file") << QByteArray() << "Port"
                                    << "Baud" << 3;
        QTest::newRow("garbage") << Garbage(4096) << "Port"
                                 << "Baud" << 3;
        QTest::newRow("garbage around the key")
            << Garbage(2000) + "\n[Port]\nBaud=6\n" + Garbage(2000) << "Port"
            << "Baud" << 6;
        QTest::newRow("NUL in the value") << QByteArray(
                                                 "[Port]\nBaud=5\0"
                                                 "0\n",
                                                 16)
                                          << "Port"
                                          << "Baud" << 3;
    }
    void readInteger() {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, expected);
        WriteFile(FilePath(), content);
        QCOMPARE(Profile::ReadInteger(FilePath(), section, key, 3), expected);
    }

    void readString_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");  // the default is "COM1"
        QTest::newRow("plain") << QByteArray("[Port]\nPort=ttyUSB0\n") << "ttyUSB0";
        QTest::newRow("trimmed") << QByteArray("[Port]\nPort = ttyUSB0 \r\n") << "ttyUSB0";
        QTest::newRow("quotes keep the spaces")
            << QByteArray("[Port]\nPort=\" COM 2 \"\n") << " COM 2 ";
        QTest::newRow("unmatched quote kept") << QByteArray("[Port]\nPort=\"COM2\n") << "\"COM2";
        QTest::newRow("equals in the value") << QByteArray("[Port]\nPort=a=b\n") << "a=b";
        QTest::newRow("present but empty") << QByteArray("[Port]\nPort=\n") << "";
        QTest::newRow("UTF-8") << QByteArray("[Port]\nPort=Порт\n") << QString::fromUtf8("Порт");
        QTest::newRow("line without equals") << QByteArray("[Port]\nPort\n") << "COM1";
        QTest::newRow("missing") << QByteArray("[Port]\nBaud=3\n") << "COM1";
    }
    void readString() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        WriteFile(FilePath(), content);
        QCOMPARE(Profile::ReadString(FilePath(), "port", "port", "COM1"), expected);
    }

    void nothingReadableGivesDefaults_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing file") << "missing";
        QTest::newRow("folder in place of the file") << "folder";
#ifndef _WIN32
        QTest::newRow("FIFO in place of the file") << "fifo";
#endif
    }
    void nothingReadableGivesDefaults() {
        QFETCH(QString, kind);
        if (kind == "folder") QVERIFY(QDir().mkpath(FilePath() + "/inner"));
#ifndef _WIN32
        if (kind == "fifo") QCOMPARE(mkfifo(QFile::encodeName(FilePath()).constData(), 0600), 0);
#endif
        QCOMPARE(Profile::ReadInteger(FilePath(), "Port", "Baud", 3), 3);
        QCOMPARE(Profile::ReadString(FilePath(), "Port", "Port", "COM1"), QString("COM1"));
        TProfile profile;
        QVERIFY(!profile.Load(FilePath()));
        if (kind == "missing") return;
        // Something that is not a settings file is never replaced.
        QVERIFY(!Profile::WriteString(FilePath(), "Port", "Port", "COM2"));
        QVERIFY(!QFileInfo(FilePath()).isFile());
        if (kind == "fifo") QFile::remove(FilePath());
    }

    void onlyTheFirstMebibyteIsRead() {
        QByteArray content("[Port]\nBaud=5\n");
        const QByteArray filler("; padding line to push the rest past the cap\n");
        // "left=…" starts 10 bytes before the cap, so the cap cuts it after "left=12345".
        const qint64 target = MaxProfileBytes - 10 - 7;
        while (content.size() + filler.size() < target) content += filler;
        content += QByteArray(target - content.size() - 1, ';') + '\n';
        content += "[form]\nleft=123456789012345\n";
        content += "[Update]\nUpdate=0\n";
        while (content.size() < 3 * MaxProfileBytes) content += filler;
        WriteFile(FilePath(), content);
        TProfile profile;
        QVERIFY(profile.Load(FilePath()));
        QCOMPARE(profile.ReadInteger("Port", "Baud", 3), 5);
        QCOMPARE(profile.ReadInteger("form", "left", -7), -7);
        QCOMPARE(profile.ReadBool("Update", "Update", true), true);
    }

    void writeUpdatesInPlaceAndKeepsTheRest() {
        WriteFile(FilePath(),
                  "; settings\n"
                  "[form]\n"
                  "left=10\n"
                  "top=20\n"
                  "\n"
                  "[PORT]\n"
                  "PORT=COM1\n"
                  "unknown=keep me\n"
                  "\n"
                  "[Other]\n"
                  "x=1\n");
        QVERIFY(Profile::WriteString(FilePath(), "port", "port", "ttyUSB0"));
        QVERIFY(Profile::WriteString(FilePath(), "Port", "Baud", "7"));
        QVERIFY(Profile::WriteString(FilePath(), "Update", "Update", "0"));
        QCOMPARE(ReadFile(FilePath()), QByteArray("; settings\n"
                                                  "[form]\n"
                                                  "left=10\n"
                                                  "top=20\n"
                                                  "\n"
                                                  "[PORT]\n"
                                                  "PORT=ttyUSB0\n"
                                                  "unknown=keep me\n"
                                                  "Baud=7\n"
                                                  "\n"
                                                  "[Other]\n"
                                                  "x=1\n"
                                                  "[Update]\n"
                                                  "Update=0\n"));
    }

    void batchWriteCreatesTheFileInOrder() {
        TProfile profile;
        QVERIFY(!profile.Load(FilePath()));
        profile.WriteInteger("form", "left", -5);
        profile.WriteInteger("form", "top", 0);
        profile.WriteString("Port", "Port", "ttyS0");
        profile.WriteInteger("Port", "Baud", 3);
        profile.WriteInteger("Port", "Pause", 500);
        profile.WriteInteger("Port", "prot", 1);
        profile.WriteBool("Port", "SP", true);
        profile.WriteBool("Update", "Update", false);
        QVERIFY(profile.Save());
        QCOMPARE(ReadFile(FilePath()),
                 QByteArray(
                     "[form]\nleft=-5\ntop=0\n[Port]\nPort=ttyS0\nBaud=3\nPause=500\nprot=1\nSP=1\n"
                     "[Update]\nUpdate=0\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"setup.cfg"});
    }

    void rewriteKeepsCrlfAndBom() {
        WriteFile(FilePath(), "\xEF\xBB\xBF[Port]\r\nBaud=1\r\n");
        QVERIFY(Profile::WriteString(FilePath(), "Port", "Baud", "2"));
        QCOMPARE(ReadFile(FilePath()), QByteArray("\xEF\xBB\xBF[Port]\r\nBaud=2\r\n"));
    }

    void valueCannotOpenANewLine() {
        QVERIFY(Profile::WriteString(FilePath(), "Port", "Port", "a\n[Update]\nUpdate=0"));
        QCOMPARE(Profile::ReadInteger(FilePath(), "Update", "Update", 1), 1);
        QCOMPARE(Profile::ReadString(FilePath(), "Port", "Port", ""),
                 QString("a [Update] Update=0"));
    }

    void readOnlyFileIsLeftUnchanged() {
        const QByteArray before("[Port]\nBaud=1\n");
        WriteFile(FilePath(), before);
        QVERIFY(QFile::setPermissions(FilePath(),
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(!Profile::WriteString(FilePath(), "Port", "Baud", "2"));
        TProfile profile;
        QVERIFY(profile.Load(FilePath()));
        profile.WriteInteger("Port", "Baud", 7);
        QVERIFY(!profile.Save());
        QCOMPARE(ReadFile(FilePath()), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setup.cfg"});
    }

    void writeKeepsTheBytesOfOtherLines_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("expected");  // after Baud=2 is written into [Port]
        const QByteArray cp1251Comment(
            "; \xcd\xe0\xf1\xf2\xf0\xee\xe9\xea\xe8 \xef\xee\xf0\xf2\xe0\n");
        QTest::newRow("Windows-1251 comment") << cp1251Comment + "[Port]\nBaud=1\n"
                                              << cp1251Comment + "[Port]\nBaud=2\n";
        QTest::newRow("Windows-1251 key of another program")
            << QByteArray("[Port]\n\xc8\xec\xff=\xcf\xee\xf0\xf2 1\nBaud=1\n")
            << QByteArray("[Port]\n\xc8\xec\xff=\xcf\xee\xf0\xf2 1\nBaud=2\n");
        QTest::newRow("binary line") << Bytes("\x00\xff\xfe\r\x80\xc3 [x\x00]\n[Port]\nBaud=1\n")
                                     << Bytes("\x00\xff\xfe\r\x80\xc3 [x\x00]\n[Port]\nBaud=2\n");
        QTest::newRow("line ends mixed")
            << QByteArray("[form]\r\nleft=1\n;\r\r\n[Port]\r\nBaud=1\n")
            << QByteArray("[form]\r\nleft=1\n;\r\r\n[Port]\r\nBaud=2\n");
        QTest::newRow("last line unterminated")
            << QByteArray("[Port]\nBaud=1\n; end") << QByteArray("[Port]\nBaud=2\n; end");
        QTest::newRow("key added after an unterminated line")
            << QByteArray("[Port]\r\nPort=COM1") << QByteArray("[Port]\r\nPort=COM1\r\nBaud=2\r\n");
        QByteArray binary = Garbage(8192).replace('\r', 'x');
        binary += '\n';
        QTest::newRow("binary file") << binary << binary + "[Port]\nBaud=2\n";
    }
    void writeKeepsTheBytesOfOtherLines() {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, expected);
        WriteFile(FilePath(), content);
        QVERIFY(Profile::WriteString(FilePath(), "Port", "Baud", "2"));
        QCOMPARE(ReadFile(FilePath()).toHex(' '), expected.toHex(' '));
        QVERIFY(Profile::WriteString(FilePath(), "Port", "Baud", "2"));  // and again: nothing grows
        QCOMPARE(ReadFile(FilePath()).toHex(' '), expected.toHex(' '));
    }

#ifndef _WIN32
    // The disk fills up while the file is written: the write fails at some byte (here: at the
    // first, or in the middle of a line), and the old file must stay as it was.
    void fullDiskKeepsTheOldFile_data() {
        QTest::addColumn<int>("room");
        QTest::newRow("no room at all") << 0;
        QTest::newRow("room for part of a line") << 20;
        QTest::newRow("room for all but the last byte") << 93;
    }
    void fullDiskKeepsTheOldFile() {
        QFETCH(int, room);
        const QByteArray before(
            "[form]\nleft=10\ntop=20\n[Port]\nPort=COM1\nBaud=3\nPause=500\nprot=1\nSP=1\n"
            "[Update]\nUpdate=1\n");
        WriteFile(FilePath(), before);
        TProfile profile;
        QVERIFY(profile.Load(FilePath()));
        profile.WriteString("Port", "Port", "/dev/ttyUSB0");  // 94 bytes to write over 86
        bool saved = true;
        {
            FileSizeLimit full{rlim_t(room)};
            QVERIFY(full.Set());
            saved = profile.Save();
        }
        QVERIFY(!saved);
        QCOMPARE(ReadFile(FilePath()), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setup.cfg"});
        QVERIFY(profile.Save());  // with room again
    }

    // A file replaced by a new one keeps its owner and mode; through a symbolic link, the
    // link stays and its target is written.
    void replacingKeepsOwnerModeAndLink_data() {
        QTest::addColumn<bool>("link");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("otherOwner");
        QTest::newRow("mode 0600") << false << 0600 << false;
        QTest::newRow("mode 0664") << false << 0664 << false;
        QTest::newRow("another user's file, mode 0646") << false << 0646 << true;
        QTest::newRow("symbolic link") << true << 0640 << false;
        QTest::newRow("symbolic link, another user's target") << true << 0666 << true;
    }
    void replacingKeepsOwnerModeAndLink() {
        QFETCH(bool, link);
        QFETCH(int, mode);
        QFETCH(bool, otherOwner);
        if (otherOwner && ::geteuid() != 0) QSKIP("giving a file to another user needs root");
        const uid_t owner = otherOwner ? 65534 : ::geteuid();
        const gid_t group = otherOwner ? 65534 : ::getegid();
        QVERIFY(QDir(dir.path()).mkpath("target"));
        const QString target = link ? dir.filePath("target/real.cfg") : FilePath();
        WriteFile(target, "[Port]\nBaud=1\n");
        const QByteArray targetName = QFile::encodeName(target);
        QCOMPARE(::chown(targetName.constData(), owner, group), 0);
        QCOMPARE(::chmod(targetName.constData(), mode_t(mode)), 0);
        if (link) QVERIFY(QFile::link(target, FilePath()));

        QVERIFY(Profile::WriteString(FilePath(), "Port", "Baud", "2"));
        QCOMPARE(ReadFile(FilePath()), QByteArray("[Port]\nBaud=2\n"));
        QCOMPARE(QFileInfo(FilePath()).isSymLink(), link);
        struct stat written {};
        QCOMPARE(::stat(targetName.constData(), &written), 0);
        QCOMPARE(int(written.st_mode & 07777), mode);
        QCOMPARE(written.st_uid, owner);
        QCOMPARE(written.st_gid, group);
        QFile::remove(FilePath());
        QFile::remove(target);
    }

    void specialFolders_data() {
        QTest::addColumn<int>("csidl");
        QTest::addColumn<QString>("expected");
        QTest::newRow("documents") << CSIDL_PERSONAL << "Documents";
        QTest::newRow("application data") << CSIDL_APPDATA << ".local/share";
        QTest::newRow("unknown id") << 0x7FFF << "";
    }
    void specialFolders() {
        QFETCH(int, csidl);
        QFETCH(QString, expected);
        const QString folder = GetSpecialFolder(csidl);
        if (expected.isEmpty()) {
            QVERIFY(folder.isEmpty());
            return;
        }
        QCOMPARE(folder, QDir::cleanPath(home.filePath(expected)));
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(!folder.endsWith('/'));
    }
#endif
};

QTEST_MAIN(TestProfile)
#include "test_profile.moc"
