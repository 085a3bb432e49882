#include "exchange/Convert.h"

#include <QCoreApplication>
#include <QLocale>
#include <cmath>
#include <limits>

namespace {

// Up to nine decimal digits and nothing else, as the interval field holds while polling asks
// for it before every request: converted without the locale's machinery. Anything else
// (spaces, a sign, hexadecimal, more digits) is left to the general conversion.
bool PlainDigits(const QString& text, int* value) {
    if (text.isEmpty() || text.size() > 9) return false;
    int v = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    *value = v;
    return true;
}

}  // namespace

int StrToInt(const QString& text) {
    if (int v = 0; PlainDigits(text, &v)) return v;
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = t.mid(2).toLongLong(&ok, 16);
    else
        v = QLocale::c().toLongLong(t, &ok);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        throw EConvertError(
            QCoreApplication::translate("Convert", "«%1» не является целым числом").arg(text));
    return int(v);
}

double StrToFloat(const QString& text) {
    bool ok = false;
    // Russian keyboards type a decimal comma: it is the decimal point here too.
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        throw EConvertError(
            QCoreApplication::translate("Convert", "«%1» не является числом").arg(text));
    return v;
}

QString FixedText(double value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 18) decimals = 18;
    if (!std::isfinite(value)) return QString::number(value);
    // Eight significant digits first, as the display of a single-precision value should not
    // show its binary noise (173.2 as a single is 173.19999...).
    const double rounded = QString::number(value, 'g', 8).toDouble();
    if (std::fabs(rounded) >= 1e8) return QString::number(rounded, 'E', 7);
    return QString::number(rounded, 'f', decimals);
}
