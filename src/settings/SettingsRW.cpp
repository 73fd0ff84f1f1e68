#include "settings/SettingsRW.h"

#include <QDateTime>
#include <QSettings>
#include <QStringList>

namespace {

const QString kVersionSection = QStringLiteral("VERINFO");
const QString kVersionIdent = QStringLiteral("ver");

QString KeyPath(const TSetItem &Item)
{
    return Item.Section + QLatin1Char('/') + Item.Ident;
}

[[noreturn]] void ThrowBadValue(const TSetItem &Item, const QVariant &stored, const char *typeName)
{
    throw ESettingsError(
        QStringLiteral("Значение \"%1\" в разделе \"%2\" (\"%3\") не является %4")
            .arg(Item.Ident, Item.Section, stored.toString(), QString::fromLatin1(typeName)));
}

// The INI form keeps no types: what comes back is mostly text (or a list when the text held
// unquoted commas).
QString StoredText(const QVariant &stored)
{
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList().join(QStringLiteral(", "));
    return stored.toString();
}

bool ReadBoolean(const TSetItem &Item, const QVariant &stored)
{
    if (stored.typeId() == QMetaType::Bool)
        return stored.toBool();
    const QString text = StoredText(stored).trimmed();
    if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!ok)
        ThrowBadValue(Item, stored, "логическим значением");
    return number != 0;
}

int ReadInteger(const TSetItem &Item, const QVariant &stored)
{
    bool ok = false;
    const QString text = StoredText(stored).trimmed();
    const qlonglong number = text.toLongLong(&ok);
    if (!ok || number < -2147483648LL || number > 4294967295LL)
        ThrowBadValue(Item, stored, "целым числом");
    return static_cast<int>(static_cast<qint32>(number));
}

double ReadDouble(const TSetItem &Item, const QVariant &stored)
{
    bool ok = false;
    const double number = StoredText(stored).trimmed().toDouble(&ok);
    if (!ok)
        ThrowBadValue(Item, stored, "числом");
    return number;
}

QDateTime ReadDateTime(const TSetItem &Item, const QVariant &stored)
{
    QDateTime value = stored.toDateTime();
    if (!value.isValid())
        value = QDateTime::fromString(StoredText(stored).trimmed(), Qt::ISODateWithMs);
    if (!value.isValid())
        ThrowBadValue(Item, stored, "датой");
    return value;
}

// The kinds of value the store keeps, by the value's type.
enum class TValueKind
{
    Boolean,
    Integer,
    Real,
    DateTime,
    Text,
    Other,
};

TValueKind KindOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return TValueKind::Boolean;
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return TValueKind::Integer;
    case QMetaType::Float:
    case QMetaType::Double:
        return TValueKind::Real;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return TValueKind::DateTime;
    case QMetaType::QString:
        return TValueKind::Text;
    default:
        return TValueKind::Other;
    }
}

QVariant ConvertStored(const TSetItem &Item, const QVariant &stored)
{
    switch (KindOf(Item.Value)) {
    case TValueKind::Boolean:
        return ReadBoolean(Item, stored);
    case TValueKind::Integer:
        return ReadInteger(Item, stored);
    case TValueKind::Real:
        return ReadDouble(Item, stored);
    case TValueKind::DateTime:
        return ReadDateTime(Item, stored);
    case TValueKind::Text:
        return StoredText(stored);
    case TValueKind::Other:
        break;
    }
    return Item.Value;
}

// What Write stores for a value; invalid for types the store does not keep.
QVariant StorableValue(const QVariant &value)
{
    switch (KindOf(value)) {
    case TValueKind::Boolean:
        return value.toBool();
    case TValueKind::Integer:
        return static_cast<int>(value.toLongLong());
    case TValueKind::Real:
        return value.toDouble();
    case TValueKind::DateTime:
        return value.toDateTime().toString(Qt::ISODateWithMs);
    case TValueKind::Text:
        return value.toString();
    case TValueKind::Other:
        break;
    }
    return {};
}

} // namespace

ESettingsError::ESettingsError(const QString &message) : std::runtime_error(message.toStdString())
{}

QString ESettingsError::message() const
{
    return QString::fromStdString(what());
}

TSetItem MakeSetItem(const QString &Section, const QString &Ident, const QVariant &Value)
{
    return TSetItem{Section, Ident, Value};
}

TSettingsRW::TSettingsRW(quint8 Kind, const QString &Name)
    : kind(Kind), name(Name),
      store(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                        QStringLiteral("ORVA"), Name))
{}

TSettingsRW::~TSettingsRW()
{
    store->sync();
}

QVariant TSettingsRW::Read(const TSetItem &Item) const
{
    if (kind != RegistryKind)
        return 0;
    if (!Item.Value.isValid())
        return Item.Value;
    const QVariant stored = store->value(KeyPath(Item));
    if (!stored.isValid())
        return Item.Value;
    return ConvertStored(Item, stored);
}

QVariant TSettingsRW::ReadOrDefault(const TSetItem &Item) const noexcept
{
    try {
        return Read(Item);
    } catch (...) {
        return Item.Value;
    }
}

void TSettingsRW::Write(const TSetItem &Item)
{
    if (kind != RegistryKind)
        return;
    const QVariant value = StorableValue(Item.Value);
    if (!value.isValid())
        return;
    store->setValue(KeyPath(Item), value);
    CheckWritten();
}

QString TSettingsRW::ReadVersion() const
{
    return StoredText(store->value(kVersionSection + QLatin1Char('/') + kVersionIdent));
}

void TSettingsRW::WriteVersion(const QString &Version)
{
    store->setValue(kVersionSection + QLatin1Char('/') + kVersionIdent, Version);
    store->sync();
    CheckWritten();
}

void TSettingsRW::ClearAll()
{
    const QStringList groups = store->childGroups();
    for (const QString &group : groups)
        store->remove(group);
    store->sync();
    CheckWritten();
}

void TSettingsRW::CheckWritten()
{
    if (store->status() == QSettings::AccessError)
        throw ESettingsError(
            QStringLiteral("Не удалось записать настройки в %1").arg(store->fileName()));
}
