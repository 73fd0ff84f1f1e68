#include "Version.h"

#include <QtTest>

// The build itself: the version comes from one place and has four numbers.
class TestBuild : public QObject
{
    Q_OBJECT
private slots:
    void versionHasFourNumbers()
    {
        const QStringList parts = QStringLiteral(W9CAN_VERSION).split(QLatin1Char('.'));
        QCOMPARE(parts.size(), 4);
        for (const QString &part : parts) {
            bool ok = false;
            part.toInt(&ok);
            QVERIFY(ok);
        }
    }
};

QTEST_GUILESS_MAIN(TestBuild)
#include "tst_build.moc"
