#pragma once
// Profile (INI) files with the semantics of the Windows profile functions, so that a settings
// file behaves the same whichever platform wrote it:
//  - "[section]" lines open a section, "key=value" lines follow; names are trimmed and matched
//    without regard to case; values are trimmed, and one pair of matching surrounding quotes
//    ('…' or "…") is removed;
//  - the first matching section and, inside it, the first matching key win (later duplicates
//    are invisible, as they are to Windows);
//  - integers are decimal ("-12", "+7", "007") or hexadecimal with a leading "0x"; anything
//    else, including trailing text ("12abc") and numbers that do not fit in 32 bits, reads as
//    the default. Hexadecimal takes the full unsigned 32-bit range and is kept as its
//    two's complement bits (0xFFFFFFFF reads as -1);
//  - writes update a key's line in place and keep every other line and its order; a new key
//    goes after the last key of its section, a new section at the end of the file.
//
// Hostile files are tolerated: only the first MaxProfileBytes are read (the rest counts as
// absent, and the partial line at the cut is dropped, so a rewrite loses that tail). A file
// over the cap is cut ProfileRewriteRoom lower, so that keys a rewrite appends still fall
// inside the part the next Load reads; Save never writes more than MaxProfileBytes. Anything
// that is not a regular file (a folder, a FIFO) reads as empty and cannot be written. A file
// whose permission bits allow no writing is treated as read-only even for root, like the
// Windows read-only attribute.
//
// Lines are kept as bytes: a line that a write does not replace goes back exactly as it was
// read (another program's Windows-1251 comment, binary junk, its own line end), and only the
// key lines written are new. Names and values are read as UTF-8 (invalid bytes read as
// replacement characters) and written as UTF-8; a new line takes the line end of the file's
// first line (LF in a new file).
//
// Saving writes a temporary file beside the target, checks every byte of it reached the
// file, gives it the target's owner and mode and only then renames it over the target; a
// failure at any step (a full disk included) leaves the target as it was. A symbolic link
// stays a link: the file it points to is the one replaced.
//
// Not thread-safe; used on the main thread.
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

constexpr qint64 MaxProfileBytes = 1024 * 1024;
constexpr qint64 ProfileRewriteRoom = 64 * 1024;

// Parses a profile integer as described above; false (and *value untouched) when it is none.
bool ParseProfileInteger(const QString& text, int32_t* value);

// The contents of one profile file, held in memory between Load and Save, so that several
// keys are read or written with one pass over the file.
class TProfile {
public:
    // Reads the file. False when it is missing or unreadable; the profile is then empty. A
    // missing file is created by Save; an unreadable one is never overwritten.
    bool Load(const QString& path);
    const QString& Path() const { return FPath; }

    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    int32_t ReadInteger(const QString& section, const QString& key, int32_t defaultValue) const;
    // True for any non-zero integer, like the settings file's Booleans.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int32_t value);
    // Written as "1" or "0".
    void WriteBool(const QString& section, const QString& key, bool value);

    // Writes the file atomically. False when it cannot be written or would exceed
    // MaxProfileBytes; the file is then unchanged.
    bool Save() const;

private:
    int FindSection(const QString& section) const;
    int FindKey(int sectionLine, const QString& key) const;
    int SectionEnd(int sectionLine) const;

    struct TLine {
        QByteArray text;  // without its line end
        QByteArray end;   // "\n", "\r\n", or empty for a last line that has none
    };
    void InsertLine(int index, const QByteArray& text);

    QString FPath;
    QList<TLine> FLines;
    QByteArray FLineEnd = "\n";
    bool FHasBom = false;
    // Something exists at the path but could not be read: never overwrite it.
    bool FUnreadable = false;
};

namespace Profile {

// One-shot versions of the TProfile calls: each reads (and WriteString rewrites) the file.
int32_t ReadInteger(const QString& file, const QString& section, const QString& key,
                    int32_t defaultValue);
QString ReadString(const QString& file, const QString& section, const QString& key,
                   const QString& defaultValue);
bool WriteString(const QString& file, const QString& section, const QString& key,
                 const QString& value);

}  // namespace Profile
