#pragma once
// Text <-> number conversions of the edit fields, always with "." as the decimal separator.
// A text that does not convert raises EConvertError; the handler that asked stops and the
// message is shown in an error box.
#include <QString>
#include <exception>

class EConvertError : public std::exception {
public:
    explicit EConvertError(const QString& message) : FMessage(message), FUtf8(message.toUtf8()) {}
    const QString& Message() const { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// Decimal integer (optionally signed, or 0x hex), surrounding blanks allowed.
int StrToInt(const QString& text);
// Real number with "." (or ",", as Russian keyboards type it) as the decimal separator.
double StrToFloat(const QString& text);
// Fixed notation with `decimals` places after rounding to 8 significant digits.
QString FixedText(double value, int decimals);
