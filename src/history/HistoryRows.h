#pragma once

// One grid row per history record: the record's variant follows from the unit's type and
// firmware, and each variant has its own columns (see ConstHistoryFrame for their titles).
//
// Columns 0-6 are the same in every variant: the record's label, event type, latitude,
// longitude, local date, local time and speed; the inputs, power and key number close every row.

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTimeZone>

enum class THistoryVariant
{
    None, // no row builder: a read leaves the page as it is
    Type504,
    Type505,
    Type505Driver,
    Type505v22,
    Type505v30,
};

namespace HistoryRows {

constexpr int LatitudeColumn = 2;
constexpr int LongitudeColumn = 3;

THistoryVariant VariantFor(int DeviceType, int DeviceVersion);
int ColumnCount(THistoryVariant Variant);

// A record gets a grid row when it is 128 characters long and every character outside the
// variant's name fields is a hex digit.
bool RecordFits(THistoryVariant Variant, const QString &Record);

// The texts of the common inputs and power byte: inputs 1..6, then the power source.
QStringList InputTexts(int InputsByte);

// The place-holder of an unused extra parameter of a type-504 record.
QString UnusedExtParam();

} // namespace HistoryRows

// Composes rows with the system's time zone and date and time formats, taken once.
class THistoryRowBuilder
{
public:
    THistoryRowBuilder();

    // The row of a record that fits its variant (RecordFits); a field that still fails to
    // convert throws EConvertError.
    QStringList ComposeRow(THistoryVariant Variant, const QString &Label,
                           const QString &Record) const;

    // "Empty date" and "Empty time" for an impossible date or time.
    QString DecodeDateText(const QString &Record) const;
    QString DecodeTimeText(const QString &Record) const;

private:
    // The local date and time texts, or "Empty date" and "Empty time".
    QStringList DateTimeTexts(const QString &Record) const;
    void AppendCommon(QStringList &Row, const QString &Label, const QString &Record) const;
    void AppendType504(QStringList &Row, const QString &Record) const;
    void AppendType505(QStringList &Row, THistoryVariant Variant, const QString &Record) const;
    void AppendDriver(QStringList &Row, const QString &Record) const;
    void AppendInputsAndKey(QStringList &Row, const QString &Record) const;

    QTimeZone Zone;
    QLocale Locale;
    QString DateFormat;
    QString TimeFormat;
    mutable QDate LastDate;
    mutable QString LastDateText;
};
