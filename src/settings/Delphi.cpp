#include "settings/Delphi.h"

#include <QLocale>
#include <QMetaType>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

EConvertError::EConvertError(const QString &message) : std::runtime_error(message.toStdString()) {}

QString EConvertError::message() const
{
    return QString::fromStdString(what());
}

namespace {

QChar decimalSeparatorOverride;

[[noreturn]] void throwInvalidInteger(const QString &text)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

[[noreturn]] void throwInvalidFloat(const QString &text)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

[[noreturn]] void throwBadFormat(const QString &format)
{
    throw EConvertError(
        QStringLiteral("Format '%1' invalid or incompatible with argument").arg(format));
}

// Integer texts: blanks, sign, "$"/"0x" hex, nothing after the digits.
std::optional<int> parseInteger(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == QLatin1Char('$') || text[i] == QLatin1Char('x') ||
                  text[i] == QLatin1Char('X'))) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0') &&
               (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;
    quint64 value = 0;
    for (; i < n; ++i) {
        const int digit =
            hex ? HexDigitValue(text[i])
                : (text[i].unicode() >= '0' && text[i].unicode() <= '9' ? text[i].unicode() - '0'
                                                                        : -1);
        if (digit < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + quint64(digit);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (hex) {
        const qint64 wrapped = qint32(quint32(value));
        return int(negative ? -wrapped : wrapped);
    }
    const qint64 signedValue = negative ? -qint64(value) : qint64(value);
    if (signedValue < std::numeric_limits<qint32>::min() ||
        signedValue > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return int(signedValue);
}

// A finite double as decimal digits: value = 0.d1d2d3... * 10^exponent. Eighteen significant
// digits are taken first and later rounded half away from zero.
struct TDecimal
{
    bool negative = false;
    QByteArray digits; // no trailing zeros; empty for zero
    int exponent = 0;

    bool isZero() const { return digits.isEmpty(); }
    char digit(int index) const
    {
        return index >= 0 && index < digits.size() ? digits[index] : '0';
    }
};

TDecimal toDecimal(double value)
{
    TDecimal d;
    d.negative = std::signbit(value);
    // d.ddddddddddddddddde[+-]xx, with a point whatever the C library's locale says.
    char buffer[64];
    const char *end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific, 17)
                          .ptr;
    d.digits.append(buffer[0]);
    d.digits.append(buffer + 2, 17);
    const char *e = std::find(static_cast<const char *>(buffer), end, 'e');
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    d.exponent = exponent + 1;
    while (!d.digits.isEmpty() && d.digits.endsWith('0'))
        d.digits.chop(1);
    if (d.digits.isEmpty())
        d.exponent = 0;
    return d;
}

// Keeps `count` significant digits, rounding half away from zero.
void roundDigits(TDecimal &d, int count)
{
    if (d.isZero() || d.digits.size() <= count)
        return;
    if (count < 0) {
        d.digits.clear();
        d.exponent = 0;
        return;
    }
    const bool up = d.digits[count] >= '5';
    d.digits.truncate(count);
    if (up) {
        int i = count - 1;
        while (i >= 0 && d.digits[i] == '9') {
            d.digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            d.digits[i] = char(d.digits[i] + 1);
        } else {
            d.digits.prepend('1');
            d.exponent += 1;
        }
    }
    while (!d.digits.isEmpty() && d.digits.endsWith('0'))
        d.digits.chop(1);
    if (d.digits.isEmpty())
        d.exponent = 0;
}

QString signOf(const TDecimal &d)
{
    return d.negative && !d.isZero() ? QStringLiteral("-") : QString();
}

QString groupDigits(const QString &integerPart)
{
    const QString separator = QLocale::system().groupSeparator();
    QString result;
    const qsizetype n = integerPart.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            result += separator;
        result += integerPart[i];
    }
    return result;
}

// "-ddd.ddd" with `decimals` digits after the separator; `grouped` adds thousand separators.
QString fixedText(double value, int decimals, bool grouped = false)
{
    TDecimal d = toDecimal(value);
    roundDigits(d, d.exponent + decimals);
    QString integerPart;
    if (d.exponent <= 0 || d.isZero()) {
        integerPart = QStringLiteral("0");
    } else {
        for (int i = 0; i < d.exponent; ++i)
            integerPart += QLatin1Char(d.digit(i));
    }
    QString result = signOf(d) + (grouped ? groupDigits(integerPart) : integerPart);
    if (decimals > 0) {
        result += DecimalSeparator();
        for (int i = 0; i < decimals; ++i)
            result += QLatin1Char(d.isZero() ? '0' : d.digit(d.exponent + i));
    }
    return result;
}

QString exponentText(int exponent, int minDigits, bool plusSign)
{
    QString digits = QString::number(std::abs(exponent));
    while (digits.size() < minDigits)
        digits.prepend(QLatin1Char('0'));
    const QString sign =
        exponent < 0 ? QStringLiteral("-") : (plusSign ? QStringLiteral("+") : QString());
    return QLatin1Char('E') + sign + digits;
}

// "-d.ddd...E+ddd": `precision` significant digits, at least `expDigits` exponent digits.
QString scientificText(double value, int precision, int expDigits)
{
    precision = std::clamp(precision, 1, 18);
    TDecimal d = toDecimal(value);
    roundDigits(d, precision);
    QString result = signOf(d) + QLatin1Char(d.digit(0));
    if (precision > 1) {
        result += DecimalSeparator();
        for (int i = 1; i < precision; ++i)
            result += QLatin1Char(d.digit(i));
    }
    return result + exponentText(d.isZero() ? 0 : d.exponent - 1, expDigits, true);
}

// The shortest text with at most `precision` significant digits, fixed unless the number is too
// large for it or below 0.00001.
QString generalText(double value, int precision, int expDigits)
{
    precision = std::clamp(precision, 1, 18);
    TDecimal d = toDecimal(value);
    roundDigits(d, precision);
    if (d.isZero())
        return QStringLiteral("0");
    QString result = signOf(d);
    const int count = int(d.digits.size());
    if (d.exponent > precision || d.exponent < -4) {
        result += QLatin1Char(d.digits[0]);
        if (count > 1)
            result += DecimalSeparator() + QString::fromLatin1(d.digits.mid(1));
        return result + exponentText(d.exponent - 1, expDigits, false);
    }
    if (d.exponent <= 0) {
        result += QLatin1Char('0') + DecimalSeparator() + QString(-d.exponent, QLatin1Char('0')) +
                  QString::fromLatin1(d.digits);
        return result;
    }
    for (int i = 0; i < d.exponent; ++i)
        result += QLatin1Char(d.digit(i));
    if (count > d.exponent)
        result += DecimalSeparator() + QString::fromLatin1(d.digits.mid(d.exponent));
    return result;
}

QString specialFloatText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// ---- Format ------------------------------------------------------------------------------

bool isIntegerArg(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isFloatArg(const QVariant &v)
{
    const int id = v.metaType().id();
    return id == QMetaType::Double || id == QMetaType::Float;
}

bool isTextArg(const QVariant &v)
{
    const int id = v.metaType().id();
    return id == QMetaType::QString || id == QMetaType::QChar || id == QMetaType::QByteArray ||
           id == QMetaType::Char;
}

// Integer arguments as 32-bit values: a negative 32-bit value has a 32-bit unsigned and
// hex form; values beyond 32 bits are 64-bit.
struct TIntegerArg
{
    bool negative = false;
    quint64 magnitude = 0; // absolute value for %d
    quint64 bits = 0;      // for %u and %x
};

TIntegerArg integerArg(const QVariant &v)
{
    TIntegerArg a;
    const int id = v.metaType().id();
    if (id == QMetaType::ULongLong || id == QMetaType::ULong) {
        a.magnitude = a.bits = v.toULongLong();
        return a;
    }
    const qint64 value = v.toLongLong();
    a.negative = value < 0;
    a.magnitude = a.negative ? 0 - quint64(value) : quint64(value);
    a.bits = a.negative && value >= std::numeric_limits<qint32>::min() ? quint32(qint32(value))
                                                                       : quint64(value);
    return a;
}

QString zeroPadded(QString digits, int precision)
{
    if (precision > 0 && digits.size() < precision)
        digits.prepend(QString(precision - digits.size(), QLatin1Char('0')));
    return digits;
}

QString textArg(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::QByteArray:
        return QString::fromLatin1(v.toByteArray());
    case QMetaType::Char:
        return QString(QLatin1Char(v.value<char>()));
    default:
        return v.toString();
    }
}

class TFormatter
{
public:
    TFormatter(const QString &format, const QVariantList &args) : format_(format), args_(args) {}

    QString run()
    {
        QString result;
        const qsizetype n = format_.size();
        qsizetype i = 0;
        while (i < n) {
            const QChar c = format_[i++];
            if (c != QLatin1Char('%')) {
                result += c;
                continue;
            }
            if (i >= n)
                throwBadFormat(format_);
            if (format_[i] == QLatin1Char('%')) {
                result += QLatin1Char('%');
                ++i;
                continue;
            }
            result += specifier(i);
        }
        return result;
    }

private:
    const QString &format_;
    const QVariantList &args_;
    qsizetype nextArg_ = 0;

    const QVariant &takeArg()
    {
        if (nextArg_ < 0 || nextArg_ >= args_.size())
            throwBadFormat(format_);
        return args_[nextArg_++];
    }

    // A number of the specifier, or "*" taking it from the arguments; -1 when absent.
    int number(qsizetype &i)
    {
        if (i < format_.size() && format_[i] == QLatin1Char('*')) {
            ++i;
            const QVariant &v = takeArg();
            if (!isIntegerArg(v))
                throwBadFormat(format_);
            return int(v.toLongLong());
        }
        int value = -1;
        while (i < format_.size() && format_[i].isDigit() && format_[i].unicode() < 128) {
            value = (value < 0 ? 0 : value) * 10 + (format_[i].unicode() - '0');
            if (value > 100000)
                throwBadFormat(format_);
            ++i;
        }
        return value;
    }

    QString specifier(qsizetype &i)
    {
        bool leftAlign = false;
        int width = -1;
        int precision = -1;
        // [index ":"] ["-"] [width] ["." precision] type
        const qsizetype start = i;
        const int first = format_[i] == QLatin1Char('*') ? -1 : number(i);
        if (first >= 0 && i < format_.size() && format_[i] == QLatin1Char(':')) {
            nextArg_ = first < 0 ? 0 : first;
            ++i;
        } else {
            i = start;
        }
        if (i < format_.size() && format_[i] == QLatin1Char('-')) {
            leftAlign = true;
            ++i;
        }
        width = number(i);
        if (i < format_.size() && format_[i] == QLatin1Char('.')) {
            ++i;
            precision = number(i);
            if (precision < 0)
                precision = 0;
        }
        if (i >= format_.size())
            throwBadFormat(format_);
        const char16_t type = format_[i++].toLower().unicode();
        QString text = convert(type, precision);
        if (width > text.size()) {
            const QString pad(width - text.size(), QLatin1Char(' '));
            text = leftAlign ? text + pad : pad + text;
        }
        return text;
    }

    QString convert(char16_t type, int precision)
    {
        const QVariant &arg = takeArg();
        switch (type) {
        case 'd':
        case 'u':
        case 'x': {
            if (!isIntegerArg(arg))
                throwBadFormat(format_);
            const TIntegerArg a = integerArg(arg);
            if (type == 'x')
                return zeroPadded(QString::number(a.bits, 16).toUpper(), precision);
            if (type == 'u')
                return zeroPadded(QString::number(a.bits), precision);
            const QString digits = zeroPadded(QString::number(a.magnitude), precision);
            return a.negative ? QLatin1Char('-') + digits : digits;
        }
        case 'p': {
            if (!isIntegerArg(arg) && arg.metaType().id() != QMetaType::VoidStar)
                throwBadFormat(format_);
            const quint64 bits = arg.metaType().id() == QMetaType::VoidStar
                                     ? quint64(reinterpret_cast<quintptr>(arg.value<void *>()))
                                     : quint64(arg.toLongLong());
            return IntToHex(qint64(bits), bits > 0xFFFFFFFFull ? 16 : 8);
        }
        case 's': {
            if (!isTextArg(arg))
                throwBadFormat(format_);
            const QString text = textArg(arg);
            return precision >= 0 ? text.left(precision) : text;
        }
        case 'f':
        case 'e':
        case 'g':
        case 'n':
        case 'm': {
            if (!isFloatArg(arg))
                throwBadFormat(format_);
            const double value = arg.toDouble();
            if (!std::isfinite(value))
                return specialFloatText(value);
            switch (type) {
            case 'f':
                return fixedText(value, precision < 0 ? 2 : std::min(precision, 18));
            case 'n':
                return fixedText(value, precision < 0 ? 2 : std::min(precision, 18), true);
            case 'e':
                return scientificText(value, precision < 0 ? 15 : precision, 3);
            case 'g':
                return generalText(value, precision < 0 ? 15 : precision, 3);
            default: {
                const QLocale locale = QLocale::system();
                const int decimals = precision < 0 ? 2 : std::min(precision, 18);
                const QString amount = fixedText(std::fabs(value), decimals, true);
                const QString symbol = locale.currencySymbol();
                const QString sign = value < 0 && amount != fixedText(0.0, decimals, true)
                                         ? QStringLiteral("-")
                                         : QString();
                return sign + amount + (symbol.isEmpty() ? QString() : QLatin1Char(' ') + symbol);
            }
            }
        }
        default:
            throwBadFormat(format_);
        }
    }
};

} // namespace

// ---- integers ------------------------------------------------------------------------------

QString IntToHex(qint64 value, int digits)
{
    quint64 bits;
    if (value < 0 && value >= std::numeric_limits<qint32>::min())
        bits = quint32(qint32(value));
    else
        bits = quint64(value);
    QString text = QString::number(bits, 16).toUpper();
    if (text.size() < digits)
        text.prepend(QString(digits - text.size(), QLatin1Char('0')));
    return text;
}

int StrToInt(const QString &text)
{
    const std::optional<int> value = parseInteger(text);
    if (!value)
        throwInvalidInteger(text);
    return *value;
}

bool TryStrToInt(const QString &text, int &value)
{
    const std::optional<int> parsed = parseInteger(text);
    if (!parsed)
        return false;
    value = *parsed;
    return true;
}

int StrToIntDef(const QString &text, int fallback)
{
    return parseInteger(text).value_or(fallback);
}

// ---- floating point ------------------------------------------------------------------------

QChar DecimalSeparator()
{
    if (!decimalSeparatorOverride.isNull())
        return decimalSeparatorOverride;
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.front();
}

void SetDecimalSeparatorForTesting(QChar separator)
{
    decimalSeparatorOverride = separator;
}

bool TryStrToFloat(const QString &text, double &value)
{
    const QString trimmed = text.trimmed();
    const QChar separator = DecimalSeparator();
    // Sign, digits, the locale's separator, digits, optional exponent: nothing else.
    QString normalized;
    qsizetype i = 0;
    const qsizetype n = trimmed.size();
    auto isDigit = [&](qsizetype k) {
        return k < n && trimmed[k].unicode() >= '0' && trimmed[k].unicode() <= '9';
    };
    if (i < n && (trimmed[i] == QLatin1Char('-') || trimmed[i] == QLatin1Char('+')))
        normalized += trimmed[i++];
    int mantissaDigits = 0;
    while (isDigit(i)) {
        normalized += trimmed[i++];
        ++mantissaDigits;
    }
    if (i < n && trimmed[i] == separator) {
        normalized += QLatin1Char('.');
        ++i;
        while (isDigit(i)) {
            normalized += trimmed[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (trimmed[i] == QLatin1Char('e') || trimmed[i] == QLatin1Char('E'))) {
        normalized += QLatin1Char('e');
        ++i;
        if (i < n && (trimmed[i] == QLatin1Char('-') || trimmed[i] == QLatin1Char('+')))
            normalized += trimmed[i++];
        if (!isDigit(i))
            return false;
        while (isDigit(i))
            normalized += trimmed[i++];
    }
    if (i != n)
        return false;
    bool ok = false;
    const double parsed = QLocale::c().toDouble(normalized, &ok);
    if (!ok || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

double StrToFloat(const QString &text)
{
    double value = 0;
    if (!TryStrToFloat(text, value))
        throwInvalidFloat(text);
    return value;
}

QString FloatToStr(double value)
{
    if (!std::isfinite(value))
        return specialFloatText(value);
    return generalText(value, 15, 0);
}

qint64 Round(double value)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < -9.2233720368547758e18 ||
        rounded >= 9.2233720368547758e18)
        throw EConvertError(QStringLiteral("Invalid floating point operation"));
    return qint64(rounded);
}

qint64 Trunc(double value)
{
    const double truncated = std::trunc(value);
    if (!std::isfinite(truncated) || truncated < -9.2233720368547758e18 ||
        truncated >= 9.2233720368547758e18)
        throw EConvertError(QStringLiteral("Invalid floating point operation"));
    return qint64(truncated);
}

// ---- Format --------------------------------------------------------------------------------

QString Format(const QString &format, const QVariantList &args)
{
    return TFormatter(format, args).run();
}

QString FormatChecked(const QString &format, const QVariantList &args) noexcept
{
    try {
        return Format(format, args);
    } catch (...) {
        return format;
    }
}

// ---- dates ---------------------------------------------------------------------------------

QString LongTimeFormatWithoutZone()
{
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result += c;
    }
    return result.trimmed();
}

QString DateTimeToStr(const QDateTime &value)
{
    if (!value.isValid())
        return QString();
    const QLocale locale = QLocale::system();
    const QString date = locale.toString(value.date(), QLocale::ShortFormat);
    if (value.time() == QTime(0, 0))
        return date;
    return date + QLatin1Char(' ') + locale.toString(value.time(), LongTimeFormatWithoutZone());
}

int HexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}
