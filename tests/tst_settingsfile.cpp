#include "main/SettingsFile.h"
#include "settings/funcs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

// The settings file's text: the marker, cp1251 with CR LF, keys in any letter case, and a save that
// never leaves a damaged file behind.
class TestSettingsFile : public QObject
{
    Q_OBJECT

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void textRoundTrip()
    {
        TSettingsFile file;
        file.Add(QStringLiteral("pwd"), QStringLiteral("пароль=1"));
        file.Add(QStringLiteral("object"), QString());
        const QByteArray bytes = file.Encode();
        QCOMPARE(bytes,
                 QByteArray("CAN settings file\r\npwd=\xEF\xE0\xF0\xEE\xEB\xFC=1\r\nobject=\r\n"));

        TSettingsFile read;
        QVERIFY(read.Parse(bytes));
        QCOMPARE(read.Value(QStringLiteral("PWD")), QStringLiteral("пароль=1"));
        QVERIFY(read.Has(QStringLiteral("Object")));
        QCOMPARE(read.Value(QStringLiteral("missing")), QString());
        // Lines ended by LF alone read alike.
        QVERIFY(read.Parse("CAN settings file\nti=30\n"));
        QCOMPARE(read.Value(QStringLiteral("ti")), QStringLiteral("30"));
    }

    void wrongMarkerIsRefused()
    {
        TSettingsFile file;
        for (const QByteArray &bytes :
             {QByteArray(), QByteArray("\r\n"), QByteArray("CAN settings file \r\nti=1\r\n"),
              QByteArray("can settings file\r\n"), QByteArray("ti=1\r\nCAN settings file\r\n")}) {
            QVERIFY2(!file.Parse(bytes), bytes.constData());
            QVERIFY(file.Lines().isEmpty());
        }
    }

    void saveKeepsOldFileWhenWriteFails()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("unit.txt"));
        QString error;
        QVERIFY(SaveWholeFile(path, "old\r\n", true, error));
        QCOMPARE(QFile::permissions(path) & 0x0077, QFileDevice::Permissions());
        QVERIFY(QFile::permissions(path) & QFileDevice::ReadOwner);

        // A disk that fills up halfway: the file size limit makes the write fail.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &small);
        const bool written = SaveWholeFile(path, QByteArray(4096, 'x'), true, error);
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(path), QByteArray("old\r\n"));

        // A folder that does not exist.
        QVERIFY(!SaveWholeFile(dir.filePath(QStringLiteral("no/such.txt")), "x", true, error));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
