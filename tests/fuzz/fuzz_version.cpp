// The version scan of the product page: any page text, with the program's own key and with
// a key taken from the input.
//
// Input: one byte n, then n bytes of key (UTF-8), then the page (UTF-8).
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "ui/UpdateForm.h"

namespace {

// What any scan must give: digits and full stops only, nothing when the key is absent, a
// piece of the page that lies after the key.
void Check(const QString& page, const QString& key) {
    bool found = false;
    const QString version = ScanPageVersion(page, key, &found);
    const bool present = !key.isEmpty() && page.contains(key);
    // The key is found where it is present, unless a run of digits longer than any version
    // follows it: such a page offers nothing and counts as one without the key.
    bool overlong = false;
    if (present) {
        int run = 0;
        for (QChar c : page.mid(page.indexOf(key) + key.size())) {
            run = c.isDigit() || c == QLatin1Char('.') ? run + 1 : 0;
            overlong = overlong || run > MaxPageVersionLength;
        }
    }
    if (found ? !present : present && !overlong) {
        std::fprintf(stderr, "key found=%d, present=%d, overlong=%d\n", found, present, overlong);
        std::abort();
    }
    if (!found && !version.isEmpty()) std::abort();
    for (QChar c : version)
        if (!c.isDigit() && c != QLatin1Char('.')) std::abort();
    if (!version.isEmpty()) {
        const qsizetype keyAt = page.indexOf(key);
        const qsizetype at = page.indexOf(version, keyAt + key.size());
        if (at < 0) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString whole = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(whole, QStringLiteral("Tessera_RS-485"));
    if (size == 0) return 0;
    const size_t keyLength = data[0] < size - 1 ? data[0] : size - 1;
    const QString key =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(keyLength));
    const QString page = QString::fromUtf8(reinterpret_cast<const char*>(data + 1 + keyLength),
                                           qsizetype(size - 1 - keyLength));
    Check(page, key);
    return 0;
}
