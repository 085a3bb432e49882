#include "ui/Profile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

bool SameName(const QByteArray& name, const QString& wanted) {
    return QString::fromUtf8(name).compare(wanted, Qt::CaseInsensitive) == 0;
}

bool ParseSectionLine(const QByteArray& line, QByteArray* name) {
    const QByteArray text = line.trimmed();
    if (!text.startsWith('[')) return false;
    const int close = text.indexOf(']');
    *name = (close < 0 ? text.mid(1) : text.mid(1, close - 1)).trimmed();
    return true;
}

bool ParseKeyLine(const QByteArray& line, QByteArray* key, QByteArray* value) {
    const int equals = line.indexOf('=');
    if (equals < 0) return false;
    *key = line.left(equals).trimmed();
    if (key->isEmpty()) return false;
    if (value != nullptr) *value = line.mid(equals + 1).trimmed();
    return true;
}

QByteArray StripMatchingQuotes(const QByteArray& value) {
    if (value.size() >= 2) {
        const char first = value.front();
        if ((first == '"' || first == '\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

// Accumulates digits of one base; false on a non-digit, no digits at all, or more than
// `limit`. Only ASCII digits count: the conversion must not depend on the locale.
bool AccumulateDigits(const QString& digits, int base, quint64 limit, quint64* result) {
    if (digits.isEmpty()) return false;
    quint64 value = 0;
    for (const QChar c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0 || digit >= base) return false;
        value = value * quint64(base) + quint64(digit);
        if (value > limit) return false;
    }
    *result = value;
    return true;
}

// A value is never allowed to open a new line in the file.
QByteArray OneLine(const QString& value) {
    QByteArray line = value.toUtf8();
    line.replace('\r', ' ');
    line.replace('\n', ' ');
    return line;
}

// Reads at most the cap. An oversized file is cut at the last line end before the cap less the
// rewrite room: the keys a rewrite appends after the kept lines must land within the cap, or
// the next Load would not see them and every run would lose its settings.
bool ReadCapped(const QString& path, QByteArray* bytes) {
    const QFileInfo info(path);
    if (!info.isFile()) return false;  // a folder or a FIFO is no settings file (and could block)
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // No more room than the file needs: a buffer of the whole cap would be asked at every save.
    *bytes = file.read(std::min<qint64>(info.size(), MaxProfileBytes) + 1);
    if (bytes->size() > MaxProfileBytes)
        bytes->truncate(bytes->lastIndexOf('\n', MaxProfileBytes - ProfileRewriteRoom - 1) + 1);
    return true;
}

// The read-only attribute of Windows stops every writer; root ignores permission bits on
// Linux, so the bits themselves are consulted as well.
bool IsWritableFile(const QFileInfo& info) {
    const QFileDevice::Permissions writeBits =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return info.isFile() && info.isWritable() && (info.permissions() & writeBits);
}

// Writes the whole of `data` to the open (unbuffered) file: every write is checked, so a
// full disk shows here and not after the file has replaced the old one.
bool WriteAll(QSaveFile& out, const QByteArray& data) {
    return out.write(data) == data.size() && out.flush() && out.error() == QFileDevice::NoError;
}

// The new file takes the owner and the mode of the one it replaces, so that a run as root
// leaves the user a file they can still write, and a private file stays private. False when
// the owner cannot be kept (only root may give a file away).
bool KeepOwnerAndMode(const QSaveFile& out, const QString& path) {
#ifdef _WIN32
    Q_UNUSED(out);
    Q_UNUSED(path);
    return true;
#else
    struct stat existing {};
    if (::stat(QFile::encodeName(path).constData(), &existing) != 0) return true;  // a new file
    const int fd = out.handle();
    struct stat written {};
    if (::fstat(fd, &written) != 0) return false;
    if ((written.st_uid != existing.st_uid || written.st_gid != existing.st_gid) &&
        ::fchown(fd, existing.st_uid, existing.st_gid) != 0)
        return false;
    return ::fchmod(fd, existing.st_mode & 07777) == 0;
#endif
}

}  // namespace

bool ParseProfileInteger(const QString& text, int32_t* value) {
    QString number = text.trimmed();
    quint64 magnitude = 0;
    if (number.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        if (!AccumulateDigits(number.mid(2), 16, 0xFFFFFFFFull, &magnitude)) return false;
        *value = int32_t(uint32_t(magnitude));
        return true;
    }
    bool negative = false;
    if (number.startsWith(QLatin1Char('-')) || number.startsWith(QLatin1Char('+'))) {
        negative = number.front() == QLatin1Char('-');
        number.remove(0, 1);
    }
    const quint64 limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    if (!AccumulateDigits(number, 10, limit, &magnitude)) return false;
    *value = negative ? int32_t(-qint64(magnitude)) : int32_t(magnitude);
    return true;
}

// --- TProfile ---

bool TProfile::Load(const QString& path) {
    FPath = path;
    FLines.clear();
    FLineEnd = "\n";
    FHasBom = false;
    FUnreadable = false;
    QByteArray bytes;
    if (!ReadCapped(path, &bytes)) {
        FUnreadable = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
        return false;
    }
    if (bytes.startsWith(kUtf8Bom)) {
        FHasBom = true;
        bytes.remove(0, kUtf8Bom.size());
    }
    const int firstNewline = bytes.indexOf('\n');
    if (firstNewline > 0 && bytes.at(firstNewline - 1) == '\r') FLineEnd = "\r\n";
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        if (newline < 0) {
            FLines.append({bytes.mid(start), QByteArray()});
            break;
        }
        const bool crlf = newline > start && bytes.at(newline - 1) == '\r';
        const qsizetype textEnd = crlf ? newline - 1 : newline;
        FLines.append(
            {bytes.mid(start, textEnd - start), bytes.mid(textEnd, newline + 1 - textEnd)});
        start = newline + 1;
    }
    return true;
}

int TProfile::FindSection(const QString& section) const {
    QByteArray name;
    for (int i = 0; i < FLines.size(); ++i)
        if (ParseSectionLine(FLines[i].text, &name) && SameName(name, section)) return i;
    return -1;
}

int TProfile::FindKey(int sectionLine, const QString& key) const {
    QByteArray name;
    for (int i = sectionLine + 1; i < FLines.size(); ++i) {
        if (ParseSectionLine(FLines[i].text, &name)) return -1;
        if (ParseKeyLine(FLines[i].text, &name, nullptr) && SameName(name, key)) return i;
    }
    return -1;
}

// Where a new key of the section goes: after its last non-blank line, so that a blank line
// separating it from the next section stays where it is.
int TProfile::SectionEnd(int sectionLine) const {
    int end = sectionLine + 1;
    QByteArray name;
    for (int i = sectionLine + 1; i < FLines.size(); ++i) {
        if (ParseSectionLine(FLines[i].text, &name)) break;
        if (!FLines[i].text.trimmed().isEmpty()) end = i + 1;
    }
    return end;
}

void TProfile::InsertLine(int index, const QByteArray& text) {
    FLines.insert(index, {text, FLineEnd});
}

QString TProfile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
    const int sectionLine = FindSection(section);
    if (sectionLine < 0) return defaultValue;
    const int keyLine = FindKey(sectionLine, key);
    if (keyLine < 0) return defaultValue;
    QByteArray name, value;
    ParseKeyLine(FLines[keyLine].text, &name, &value);
    return QString::fromUtf8(StripMatchingQuotes(value));
}

int32_t TProfile::ReadInteger(const QString& section, const QString& key,
                              int32_t defaultValue) const {
    int32_t value = defaultValue;
    if (!ParseProfileInteger(ReadString(section, key, QString()), &value)) return defaultValue;
    return value;
}

bool TProfile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TProfile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QByteArray safeValue = OneLine(value);
    const int sectionLine = FindSection(section);
    if (sectionLine < 0) {
        InsertLine(FLines.size(), '[' + section.toUtf8() + ']');
        InsertLine(FLines.size(), key.toUtf8() + '=' + safeValue);
        return;
    }
    const int keyLine = FindKey(sectionLine, key);
    if (keyLine < 0) {
        InsertLine(SectionEnd(sectionLine), key.toUtf8() + '=' + safeValue);
        return;
    }
    QByteArray existingKey;
    ParseKeyLine(FLines[keyLine].text, &existingKey, nullptr);
    FLines[keyLine].text = existingKey + '=' + safeValue;
}

void TProfile::WriteInteger(const QString& section, const QString& key, int32_t value) {
    WriteString(section, key, QString::number(value));
}

void TProfile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TProfile::Save() const {
    if (FPath.isEmpty() || FUnreadable) return false;
    const QFileInfo info(FPath);
    if (info.exists() && !IsWritableFile(info)) return false;
    QByteArray data;
    if (FHasBom) data += kUtf8Bom;
    for (int i = 0; i < FLines.size(); ++i) {
        // Only the last line may go without a line end; one that no longer is the last gets one.
        const QByteArray& end = FLines[i].end;
        data += FLines[i].text + (end.isEmpty() && i + 1 < FLines.size() ? FLineEnd : end);
    }
    if (data.size() > MaxProfileBytes) return false;  // Load would not read it back whole
    QSaveFile out(FPath);  // temporary file beside the target, renamed over it on commit
    // Unbuffered: a buffered write "succeeds" into memory and a full disk shows only at the
    // flush inside commit(), too late to keep the old file.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (!WriteAll(out, data) || !KeepOwnerAndMode(out, FPath)) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

// --- one-shot calls ---

namespace Profile {

int32_t ReadInteger(const QString& file, const QString& section, const QString& key,
                    int32_t defaultValue) {
    TProfile profile;
    profile.Load(file);
    return profile.ReadInteger(section, key, defaultValue);
}

QString ReadString(const QString& file, const QString& section, const QString& key,
                   const QString& defaultValue) {
    TProfile profile;
    profile.Load(file);
    return profile.ReadString(section, key, defaultValue);
}

bool WriteString(const QString& file, const QString& section, const QString& key,
                 const QString& value) {
    TProfile profile;
    profile.Load(file);
    profile.WriteString(section, key, value);
    return profile.Save();
}

}  // namespace Profile
