#include "CaridFixture.h"
#include "can/SPNSelectUnit.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <functional>

// The SPN selection dialog on the real database: both orders, searching as the user types,
// choosing by Enter or double click, moving the choice while typing, and the standard sheet's
// opener.
class TestSPNSelect : public QObject
{
    Q_OBJECT

    std::unique_ptr<CaridFixture> carid;

    template <typename T> static T *Child(const QWidget &form, const char *name)
    {
        auto *child = form.findChild<T *>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }
    static QTableView *Grid(const QWidget &form) { return Child<QTableView>(form, "DBGrid"); }
    static QLineEdit *Value(const QWidget &form) { return Child<QLineEdit>(form, "ValueEdit"); }

    static QStringList Column(const QWidget &form, int column)
    {
        const QAbstractItemModel &model = *Grid(form)->model();
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.index(row, column).data().toString();
        return texts;
    }

    // A radio button reacts on its indicator and caption, not on the blank to their right.
    static void Click(const QWidget &form, const char *button)
    {
        QRadioButton *radio = Child<QRadioButton>(form, button);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
    }

    // Key by key, as typed (Cyrillic included).
    static void Type(const QWidget &form, const QString &text)
    {
        Value(form)->clear();
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, Value(form), Qt::Key_unknown, QString(ch),
                                Qt::NoModifier);
    }

    // Runs `drive` on the modal dialog as soon as it shows.
    static void WhenModal(std::function<void(TSPNSelectForm &)> drive)
    {
        QTimer::singleShot(0, [drive] {
            auto *form = qobject_cast<TSPNSelectForm *>(QApplication::activeModalWidget());
            if (!form)
                qFatal("no SPN dialog");
            drive(*form);
        });
    }

private slots:
    void init() { carid = std::make_unique<CaridFixture>(); }
    void cleanup() { carid.reset(); }

    void ordersSearchesAndChoosing()
    {
        TSPNSelectForm form(carid->dm->Connection());
        form.resize(400, 300);
        form.show();
        QVERIFY(form.SearchByIndex());
        QCOMPARE(Column(form, 0).size(), 42);
        QCOMPARE(Grid(form)->currentIndex().row(), 0);

        // The number is matched as Jet writes it, with a blank before it: " 9" starts a number.
        Type(form, " 9");
        QCOMPARE(Column(form, 0), QStringList({"91", "92", "96", "98", "917", "918"}));
        Type(form, "Driver's");
        QCOMPARE(Column(form, 0), QStringList());

        // Another order clears the search and lists every row again, the name first.
        Click(form, "ByName");
        QVERIFY(!form.SearchByIndex());
        QVERIFY(Value(form)->text().isEmpty());
        const QStringList names = Column(form, 0);
        QCOMPARE(names.size(), 42);
        QStringList sorted = names;
        sorted.sort(Qt::CaseInsensitive);
        QCOMPARE(names, sorted);

        // A quote, a "#" and letter case in any alphabet are taken as typed.
        Type(form, "DRIVER'S");
        QCOMPARE(Column(form, 1), QStringList({"512"}));
        Type(form, "#1");
        QCOMPARE(Column(form, 1), QStringList({"102"}));
        QSqlQuery(carid->dm->Connection())
            .exec("INSERT INTO spn VALUES (9001, 'Давление масла в коробке')");
        Type(form, "ДАВЛЕНИЕ МАСЛА");
        QCOMPARE(Column(form, 1), QStringList({"9001"}));

        // Nothing listed: Enter leaves the dialog open. Enter while typing takes the row the
        // arrows moved to.
        TSPNSelectForm byName(carid->dm->Connection());
        byName.show();
        Click(byName, "ByName");
        Type(byName, "zzz");
        QTest::keyClick(Value(byName), Qt::Key_Enter);
        QVERIFY(byName.isVisible());
        Type(byName, "engine oil");
        QCOMPARE(Column(byName, 1), QStringList({"98", "100", "175"}));
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
            QTest::keyClick(Value(byName), key);
        QCOMPARE(Value(byName)->text(), QString("engine oil"));
        QTest::keyClick(Value(byName), Qt::Key_Return);
        QCOMPARE(byName.result(), int(QDialog::Accepted));
        QCOMPARE(byName.SelectedSPN(), 100);

        // A double click on a row.
        TSPNSelectForm byIndex(carid->dm->Connection());
        byIndex.show();
        QTableView &grid = *Grid(byIndex);
        const QRect third = grid.visualRect(grid.model()->index(2, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, third.center());
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, third.center());
        QCOMPARE(byIndex.result(), int(QDialog::Accepted));
        QCOMPARE(byIndex.SelectedSPN(), 84);
    }

    void standardSheetOpener()
    {
        TSPNSlots spns;
        QLineEdit spnEdit2;
        WhenModal([](TSPNSelectForm &form) {
            Type(form, " 190");
            QTest::keyClick(Value(form), Qt::Key_Return);
        });
        QVERIFY(OpenSPNSelection(*carid->dm, 102, spns, spnEdit2));
        QCOMPARE(spnEdit2.text(), QString("Engine Speed"));
        QCOMPARE(spns[1].SPN, 190);
        QCOMPARE(spns[1].PGN, 61444);
        QCOMPARE(spns[0].SPN, 0);

        // Cancel changes nothing; neither does a tag of no slot or a missing database.
        WhenModal([](TSPNSelectForm &form) {
            Type(form, " 917");
            QTest::keyClick(Value(form), Qt::Key_Escape);
        });
        QVERIFY(!OpenSPNSelection(*carid->dm, 102, spns, spnEdit2));
        QCOMPARE(spns[1].SPN, 190);
        QCOMPARE(spnEdit2.text(), QString("Engine Speed"));
        QVERIFY(!OpenSPNSelection(*carid->dm, 105, spns, spnEdit2));
        CaridFixture none{QString()};
        QVERIFY(!OpenSPNSelection(*none.dm, 101, spns, spnEdit2));
    }
};

QTEST_MAIN(TestSPNSelect)
#include "tst_spnselect.moc"
