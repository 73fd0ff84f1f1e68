#pragma once

// Number and text conversions that behave exactly like the ones the unit's protocol and the
// stored settings were defined with: upper-case hex with a minimum width, "$" hex input,
// banker's rounding, printf-like formats with zero padding and the locale's decimal separator.

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <stdexcept>

// The one error type of a failed conversion (bad number text, format not matching its arguments).
class EConvertError : public std::runtime_error
{
public:
    explicit EConvertError(const QString &message);
    QString message() const;
};

// Upper-case hex, at least `digits` digits; a negative 32-bit value gives its 8-digit two's
// complement.
QString IntToHex(qint64 value, int digits);

// Leading blanks skipped, optional sign, "$" or "0x" hex (up to $FFFFFFFF, wrapping to a
// negative 32-bit number); "" and trailing characters throw EConvertError.
int StrToInt(const QString &text);
bool TryStrToInt(const QString &text, int &value);
int StrToIntDef(const QString &text, int fallback);

// Decimal texts with the system locale's decimal separator (QLocale::system()).
QChar DecimalSeparator();
// Tests fix the separator; a null QChar goes back to the system locale's.
void SetDecimalSeparatorForTesting(QChar separator);
double StrToFloat(const QString &text);
bool TryStrToFloat(const QString &text, double &value);
QString FloatToStr(double value);

// The value of one hex digit (either case), -1 for any other character.
int HexDigitValue(QChar c);

// Banker's rounding (half to even) and truncation toward zero.
qint64 Round(double value);
qint64 Trunc(double value);

// printf-like formatting: %d %u %x %X %s %f %e %g %n %m %p and %%, with index, width, precision
// and "-" ("%.4d" gives "-0005", "%8.3f" right-aligns in 8 with the locale's
// decimal separator). Arguments that do not fit the format throw EConvertError.
QString Format(const QString &format, const QVariantList &args);

// Format for texts that come from the settings store: on any mismatch the format text comes back
// unchanged.
QString FormatChecked(const QString &format, const QVariantList &args) noexcept;

// The system's short date, a blank and the long time without time zone; the time is left out at
// midnight exactly.
QString DateTimeToStr(const QDateTime &value);
// The system's long time format without its time-zone part.
QString LongTimeFormatWithoutZone();
