#pragma once
// Windows-1251 (Cyrillic), the instrument's one-byte-per-character text encoding.
// Qt 6 has no converter for it; the table is protocol/Cp1251.
#include <QByteArray>
#include <QString>

QString FromCp1251(const QByteArray& bytes);
// Characters without a Windows-1251 byte become "?".
QByteArray ToCp1251(const QString& text);
