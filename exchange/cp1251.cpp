#include "exchange/cp1251.h"

#include "protocol/Cp1251.h"

// One QChar per byte and back: the table lives in protocol/; a UTF-16 unit that is half of a
// surrogate pair has no byte and becomes "?".
QString FromCp1251(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) text.append(QChar(char16_t(protocol::Cp1251ToCodePoint(uint8_t(c)))));
    return text;
}

QByteArray ToCp1251(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar ch : text) bytes.append(char(protocol::CodePointToCp1251(ch.unicode())));
    return bytes;
}
