#include "net/lenient_number.h"

#include <QByteArray>

#include <climits>

namespace zv {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

int LenientInt(QByteArrayView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < n && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > (long long)INT_MAX + 1)
            value = (long long)INT_MAX + 1; // saturate instead of overflowing
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return int(value);
}

double LenientDouble(QByteArrayView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsSpace(text[i]))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && IsDigit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < n && IsDigit(text[j])) {
            while (j < n && IsDigit(text[j]))
                ++j;
            i = j;
        }
    }
    const QByteArray number = text.sliced(start, i - start).toByteArray();
    // QByteArray reads with the C locale whatever the process locale is.
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0;
}

} // namespace zv
