#include "exchange/Convert.h"

#include <QCoreApplication>
#include <QLocale>
#include <cmath>
#include <limits>

int StrToInt(const QString& text) {
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
