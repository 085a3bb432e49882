#pragma once
// One field of a CSV line: as it is, or quoted (quotes doubled) when it holds a comma, a quote
// or a line break. Every table the program exports writes its cells through it.
#include <QString>

QString CsvField(const QString& text);
