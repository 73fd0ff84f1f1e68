#pragma once

// The program's settings store for the tests: in a temporary folder, never the user's own. Call
// UseTemporaryConfigDir() before the application object is made (a test class's initMain()).

#include <QSettings>
#include <QTemporaryDir>

inline QString TemporaryConfigDir()
{
    static const QTemporaryDir dir;
    return dir.path();
}

inline void UseTemporaryConfigDir()
{
    qputenv("XDG_CONFIG_HOME", TemporaryConfigDir().toUtf8());
}

// The store as the program opens it, read and written behind the program's back.
inline QSettings RawStore()
{
    return QSettings(QStringLiteral("ORVA"), QStringLiteral("W9CAN"));
}

inline QString Stored(const QString &key)
{
    return RawStore().value(key).toString();
}

inline void Store(const QString &key, const QVariant &value)
{
    QSettings raw = RawStore();
    raw.setValue(key, value);
    raw.sync();
}

// Removes `group`, or everything when it is empty.
inline void ClearStore(const QString &group = QString())
{
    QSettings raw = RawStore();
    raw.remove(group);
    raw.sync();
}
