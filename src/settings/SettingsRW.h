#pragma once

// The per-user store of captions, last values and window layout: QSettings with organisation
// "ORVA" and the product name as application, one group per window or page.

#include <QString>
#include <QVariant>

#include <memory>
#include <stdexcept>

class QSettings;

// A stored value that does not fit the type asked for, or a store that cannot be written.
class ESettingsError : public std::runtime_error
{
public:
    explicit ESettingsError(const QString &message);
    QString message() const;
};

// One stored setting: Value carries the default on reading and the value on writing; its type
// selects the typed read or write.
struct TSetItem
{
    QString Section;
    QString Ident;
    QVariant Value;
};

TSetItem MakeSetItem(const QString &Section, const QString &Ident, const QVariant &Value);

class TSettingsRW
{
public:
    static constexpr quint8 RegistryKind = 1;

    // Kind 1 is the only kind; Name is the product ("W9CAN").
    TSettingsRW(quint8 Kind, const QString &Name);
    ~TSettingsRW();
    TSettingsRW(const TSettingsRW &) = delete;
    TSettingsRW &operator=(const TSettingsRW &) = delete;

    // The stored value typed like Item.Value, or Item.Value when nothing is stored. A stored value
    // that does not convert to that type throws ESettingsError. An invalid (empty) default always
    // comes back as it is.
    QVariant Read(const TSetItem &Item) const;
    // As Read, but a stored value that does not convert counts as absent: the default comes back.
    QVariant ReadOrDefault(const TSetItem &Item) const noexcept;
    // Stores Item.Value; an invalid value stores nothing. Throws ESettingsError when the store
    // cannot be written.
    void Write(const TSetItem &Item);

    QString ReadVersion() const;
    void WriteVersion(const QString &Version);
    // Removes every group below the product key (values stored directly under it stay).
    void ClearAll();

    quint8 Kind() const { return kind; }
    QString Name() const { return name; }

private:
    void CheckWritten();

    quint8 kind;
    QString name;
    std::unique_ptr<QSettings> store;
};
