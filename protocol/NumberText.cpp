#include "protocol/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace protocol {

namespace {

// A non-negative finite value as its exact decimal expansion: value = 0.digits * 10^exponent
// (digits without leading zeros; "" for zero).
struct Decimal {
    std::string digits;
    int exponent = 0;
};

Decimal ExactDecimal(double magnitude) {
    // Every double's expansion ends within 1074 places after the point, so this is exact.
    char buffer[1500];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, 1100);
    const std::string text(buffer, result.ptr);
    const size_t point = text.find('.');
    std::string digits = text.substr(0, point) + text.substr(point + 1);
    int exponent = int(point);
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return {};
    digits.erase(0, first);
    exponent -= int(first);
    const size_t last = digits.find_last_not_of('0');
    digits.resize(last + 1);
    return {digits, exponent};
}

// Keeps the first `keep` digits (keep may be 0 or negative: everything is dropped), rounding
// half up on the first dropped digit.
Decimal RoundHalfUp(Decimal d, int keep) {
    if (keep >= int(d.digits.size())) return d;
    if (keep < 0) return {};
    const bool up = d.digits[size_t(keep)] >= '5';
    d.digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[size_t(i)] == '9') d.digits[size_t(i--)] = '0';
        if (i >= 0) {
            ++d.digits[size_t(i)];
        } else {
            d.digits.insert(0, "1");
            ++d.exponent;
        }
    }
    const size_t last = d.digits.find_last_not_of('0');
    if (last == std::string::npos) return {};
    d.digits.resize(last + 1);
    return d;
}

char DigitAt(const Decimal& d, int position) {  // position 0 is the first digit
    return position >= 0 && position < int(d.digits.size()) ? d.digits[size_t(position)] : '0';
}

std::string Fixed(bool negative, const Decimal& d, int decimals) {
    std::string text = negative ? "-" : "";
    if (d.exponent <= 0) {
        text += '0';
    } else {
        for (int i = 0; i < d.exponent; ++i) text += DigitAt(d, i);
    }
    if (decimals > 0) {
        text += '.';
        for (int i = 0; i < decimals; ++i) text += DigitAt(d, d.exponent + i);
    }
    return text;
}

std::string Scientific(bool negative, const Decimal& d, int significant) {
    std::string text = negative ? "-" : "";
    text += DigitAt(d, 0);
    text += '.';
    for (int i = 1; i < significant; ++i) text += DigitAt(d, i);
    const int exponent = d.digits.empty() ? 0 : d.exponent - 1;
    text += exponent < 0 ? "E-" : "E+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) text += '0';
    text += std::to_string(magnitude);
    return text;
}

double ToDouble(bool negative, const Decimal& d) {
    if (d.digits.empty()) return negative ? -0.0 : 0.0;
    const std::string text = "0." + d.digits + "e" + std::to_string(d.exponent);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return negative ? -value : value;
}

// Scale of the magnitude for each point code: one digit more than shown, for the rounding.
double PointFactor(uint8_t pointCode) {
    switch (pointCode) {
        case 0:
            return 10000;
        case 1:
            return 1000;
        case 2:
            return 100;
        default:
            return 10;
    }
}

}  // namespace

void PanelDigits(double magnitude, uint8_t pointCode, char (&digits)[4]) {
    if (std::isnan(magnitude)) {
        std::fill(std::begin(digits), std::end(digits), '-');
        return;
    }
    const double scaled = magnitude * PointFactor(pointCode);
    // Anything past 99999 shows as the overflow anyway; the cap keeps the cast defined.
    const long long n = scaled >= 1e6 ? 1000000 : static_cast<long long>(std::trunc(scaled));
    long long m = n % 10 >= 5 ? n / 10 + 1 : n / 10;
    if (m > 9999) m = 9999;
    for (int i = 3; i >= 0; --i, m /= 10) digits[i] = char('0' + m % 10);
    for (int i = 1; i <= 4 && digits[i - 1] == '0'; ++i)
        if (i <= pointCode) digits[i - 1] = ' ';
}

std::string FixedText(double value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 18) decimals = 18;
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // Eight significant digits first, as the display of a single-precision value should not
    // show its binary noise (173.2 as a single is 173.19999...).
    const bool negative = std::signbit(value) && value != 0;
    const Decimal exact = ExactDecimal(std::fabs(value));
    const double rounded = ToDouble(negative, RoundHalfUp(exact, 8));
    const Decimal shown = ExactDecimal(std::fabs(rounded));
    if (std::fabs(rounded) >= 1e8) return Scientific(negative, RoundHalfUp(shown, 8), 8);
    return Fixed(negative, RoundHalfUp(shown, shown.exponent + decimals), decimals);
}

std::string PanelText(double value, uint8_t pointCode) {
    char sign = ' ';
    if (value < 0) {
        sign = '-';
        value = -value;
    }
    char cells[4];
    PanelDigits(value, pointCode, cells);
    const std::string digits(cells, 4);
    std::string text(1, sign);
    for (int k = 1; k <= 4; ++k) {
        text += digits[size_t(k - 1)];
        if (pointCode == k - 1) text += '.';
    }
    return text;
}

std::string ReadingText(double value, uint8_t pointCode) {
    std::string text;
    for (char c : PanelText(value, pointCode))
        if (c != ' ') text += c;
    return text;
}

}  // namespace protocol
