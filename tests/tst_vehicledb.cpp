#include "CaridFixture.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QtTest>

#include <sys/prctl.h>
#include <sys/wait.h>

// The vehicle database on real Jet files: the lists and their cascade, finding a car, the SPN
// records, the texts as stored, and the files that cannot be used.
class TestVehicleDb : public QObject
{
    Q_OBJECT

    static QVariant Current(const TDm &dm, TDm::TList list, const char *column)
    {
        const int row = dm.CurrentRow(list);
        return row < 0 ? QVariant() : dm.ListModel(list)->record(row).value(column);
    }

    static QList<int> Ids(const TDm &dm, TDm::TList list)
    {
        QList<int> ids;
        for (int row = 0; row < dm.ListModel(list)->rowCount(); ++row)
            ids << dm.ListModel(list)->record(row).value("id").toInt();
        return ids;
    }

private slots:
    void cascadeLocateCarTextsAndSPNRecords()
    {
        CaridFixture carid;
        TDm &dm = *carid.dm;
        QVERIFY(dm.DbAvailable());
        QVERIFY(dm.OpenError().isEmpty() && dm.SPNError().isEmpty());
        // Opening ran the cascade from the first stored maker, with nobody listening.
        QCOMPARE(Ids(dm, TDm::ProdList), QList<int>({3, 1, 2, 5, 33, 8, 9, 12, 14, 20, 21}));
        QCOMPARE(Current(dm, TDm::ProdList, "id").toInt(), 3);
        QVERIFY(dm.CurrentRow(TDm::YearList) >= 0);

        QSignalSpy masks(&dm, &TDm::CarMaskSelected);
        QSignalSpy rows(&dm, &TDm::CurrentRowChanged);
        QVERIFY(dm.SelectId(TDm::ProdList, 1));
        QCOMPARE(dm.CurrentRow(TDm::ProdList), 1);
        QCOMPARE(Current(dm, TDm::ModelList, "Model").toString(), QString("5490"));
        QCOMPARE(Current(dm, TDm::YearList, "Years").toString(), QString("2013-2018"));
        QCOMPARE(dm.CarId(), std::optional<int>(11));
        QCOMPARE(masks.count(), 1);
        QCOMPARE(masks.at(0).at(0).toInt(), 0x3F80FF);
        // Maker, then its model list, then its year list moved, in that order.
        QCOMPARE(rows.count(), 3);
        QCOMPARE(rows.at(2).at(0).value<TDm::TList>(), TDm::YearList);

        // Choosing the current row again, a row outside the list or an unknown id: nothing.
        dm.SelectRow(TDm::ProdList, 1);
        dm.SelectRow(TDm::ProdList, 11);
        QVERIFY(!dm.SelectId(TDm::ProdList, 4));
        QCOMPARE(rows.count(), 3);

        // A maker without models empties both lists; the event boxes keep their state.
        QVERIFY(dm.SelectId(TDm::ProdList, 33));
        QCOMPARE(dm.ListModel(TDm::ModelList)->rowCount(), 0);
        QCOMPARE(dm.ListModel(TDm::YearList)->rowCount(), 0);
        QCOMPARE(dm.CarId(), std::nullopt);
        QCOMPARE(masks.count(), 1);

        // Scania's first model has no years; its next one has.
        QVERIFY(dm.SelectId(TDm::ProdList, 9));
        QCOMPARE(Current(dm, TDm::ModelList, "Model").toString(), QString("P-series"));
        QCOMPARE(dm.CurrentRow(TDm::YearList), -1);
        QCOMPARE(masks.count(), 1);
        dm.SelectRow(TDm::ModelList, 1);
        QVERIFY(dm.CurrentRow(TDm::YearList) == 0);
        QCOMPARE(masks.count(), 2);

        // A car id that two years share is the CAN page's test (the first stored wins).
        dm.LocateCar(0xFFFF);
        QCOMPARE(Current(dm, TDm::ModelList, "Model").toString(), QString("Octavia"));
        QCOMPARE(dm.CarId(), std::optional<int>(65535));

        // A NULL mask applies as no event at all.
        dm.LocateCar(41);
        QCOMPARE(Current(dm, TDm::YearList, "id").toInt(), 1040);
        QCOMPARE(dm.CarMask(), std::optional<int>(0));
        QCOMPARE(masks.last().at(0).toInt(), 0);

        // The year already shown moves no list, and its mask applies all the same.
        const qsizetype applied = masks.count();
        rows.clear();
        QVERIFY(dm.LocateCar(41));
        QCOMPARE(masks.count(), applied + 1);

        // Unknown car ids, a negative one taken as unsigned among them, change nothing.
        QVERIFY(!dm.LocateCar(999999));
        QVERIFY(!dm.LocateCar(-1));
        QCOMPARE(rows.count(), 0);
        QCOMPARE(masks.count(), applied + 1);
        QCOMPARE(Current(dm, TDm::YearList, "id").toInt(), 1040);

        // The texts as stored, and the SPN records.
        QSqlQuery query(dm.Connection());
        auto text = [&](const char *sql, int id) {
            query.prepare(sql);
            query.addBindValue(id);
            return query.exec() && query.next() ? query.value(0).toString() : QString("?");
        };
        const char *maker = "SELECT Name FROM Producer WHERE id = ?";
        const char *model = "SELECT Model FROM Model WHERE id = ?";
        QCOMPARE(text(maker, 20), QString("Škoda"));
        QCOMPARE(text(maker, 2), QString("МАЗ \"Минский автозавод\""));
        QCOMPARE(text(model, 163), QString("Actros Driver's Edition"));
        const QString longest = text(model, 122);
        QCOMPARE(longest.size(), 255);
        QVERIFY(longest.endsWith("КОНЕЦ №255"));
        QVERIFY(text("SELECT Years FROM Years WHERE id_model = ?", 131).contains("н.в."));

        // The placement shorter than 33 bits, the first stored of several.
        TSPNInfo info = dm.GetSPNInfo(917);
        QCOMPARE(info.PGN, 65217);
        QCOMPARE(info.Offset, 0);
        // Named but never placed in 32 bits or less, and not in the table at all.
        info = dm.GetSPNInfo(237);
        QCOMPARE(info.Name, QString("Vehicle Identification Number"));
        QCOMPARE(info.PGN, 0);
        QVERIFY(!dm.GetSPNInfo(1761).Name.isEmpty());
        info = dm.GetSPNInfo(4242);
        QVERIFY(info.Name.isEmpty() && info.PGN == 0);
    }

    void filesThatCannotServe()
    {
        // No file: unavailable and silent; every call is harmless.
        CaridFixture none{QString()};
        QVERIFY(!none.dm->DbAvailable());
        QVERIFY(none.dm->OpenError().isEmpty());
        none.dm->LocateCar(11);
        QVERIFY(!none.dm->SelectId(TDm::ProdList, 1));
        QVERIFY(none.dm->GetSPNInfo(190).Name.isEmpty());

        // Only the header page: one message naming the file and the reason.
        CaridFixture broken{"carid-broken.mdb"};
        QVERIFY(!broken.dm->DbAvailable());
        QVERIFY(broken.dm->OpenError().contains(broken.dir.filePath("carid.mdb")));
        QVERIFY(broken.dm->OpenError().contains("повреждён"));
        QVERIFY(!broken.dm->Connection().isValid());

        // Not an Access file at all; cut short, so that the last pages of the tables are missing;
        // one byte of the catalogue changed so that libmdb itself crashes on it.
        QFile good(W9_TEST_DATA_DIR "/carid.mdb");
        QVERIFY(good.open(QIODevice::ReadOnly));
        const QByteArray sound = good.readAll();
        QByteArray crashing = sound;
        crashing[8247] = 77;
        const QList<QPair<QByteArray, QString>> damaged{
            {QByteArray(8192, 'x'), "не является базой данных Access"},
            {sound.left(40 * 4096), "таблица Producer повреждена: прочитано строк 0 из 11"},
            {crashing, "оборвалось"},
        };
        for (const auto &[bytes, reason] : damaged) {
            QTemporaryDir dir;
            QFile file(dir.filePath("carid.mdb"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            file.close();
            const TDm dm(dir.path());
            QVERIFY(!dm.DbAvailable());
            QVERIFY2(dm.OpenError().contains(reason), qPrintable(dm.OpenError()));
        }

        // The tables without rows (and without the unrelated Info table): empty lists.
        CaridFixture empty{"carid-empty.mdb"};
        QSignalSpy masks(empty.dm.get(), &TDm::CarMaskSelected);
        QVERIFY(empty.dm->DbAvailable());
        QCOMPARE(empty.dm->ListModel(TDm::ProdList)->rowCount(), 0);
        QCOMPARE(empty.dm->CurrentRow(TDm::YearList), -1);
        empty.dm->LocateCar(11);
        QCOMPARE(masks.count(), 0);
        QVERIFY(empty.dm->GetSPNInfo(190).Name.isEmpty());
    }

    // The children that read the file. A file without one of the SPN tables still gives the
    // vehicle lists, and names the table; each child is reaped as soon as its tables are in; one
    // that stops is reported as stopped, without calling the file damaged; and a child dies with
    // the program that forked it, also when that one was gone before the child could ask for it.
    void readingChildren()
    {
        for (const QString table : {QStringLiteral("spn_on_pgn"), QStringLiteral("spn")}) {
            const QByteArray bytes = CaridWithout(table);
            QTemporaryDir dir;
            QFile file(dir.filePath("carid.mdb"));
            QVERIFY(!bytes.isEmpty() && file.open(QIODevice::WriteOnly) &&
                    file.write(bytes) == bytes.size());
            file.close();
            const TDm dm(dir.path());
            QVERIFY2(dm.DbAvailable(), qPrintable(dm.OpenError()));
            QCOMPARE(dm.ListModel(TDm::ProdList)->rowCount(), 11);
            QVERIFY(dm.CarId().has_value());
            QVERIFY(dm.SPNError().contains(dir.filePath("carid.mdb")));
            QVERIFY2(dm.SPNError().contains("в базе нет таблицы " + table + ")"),
                     qPrintable(dm.SPNError()));
            const TSPNInfo info = dm.GetSPNInfo(190);
            QCOMPARE(info.Name.isEmpty(), table == "spn");
            QCOMPARE(info.PGN, table == "spn" ? 61444 : 0);
            QCOMPARE(ZombieChildren(), QList<pid_t>());
        }

        // Held past the stall limit (shortened here): stopped, killed and reaped.
        QTemporaryDir dir;
        QVERIFY(QFile::copy(W9_TEST_DATA_DIR "/carid-large.mdb", dir.filePath("carid.mdb")));
        std::unique_ptr<JetImport::Reading> reading = TDm::StartReading(dir.path());
        SignalChildren(SIGSTOP);
        QCOMPARE(ChildProcesses().size(), 2);
        TDm held(dir.path(), std::move(reading));
        held.SetStallLimitMs(300);
        QSignalSpy takenIn(&held, &TDm::TakenIn);
        QVERIFY(takenIn.wait(5000));
        QVERIFY(!held.DbAvailable());
        QVERIFY(held.OpenError().contains(dir.filePath("carid.mdb")));
        QVERIFY2(held.OpenError().contains("остановилось") &&
                     !held.OpenError().contains("повреждён"),
                 qPrintable(held.OpenError()));
        QCOMPARE(ChildProcesses(), QList<pid_t>());

        // A child whose program is gone before the child follows it ends there; one that
        // followed its program dies with it. This process takes in the orphans, and lets the
        // child of a gone program go on only once it has reaped that program: the program's end
        // alone (its files closed) comes before the kernel gives the child its new parent.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        for (const bool goneFirst : {true, false}) {
            int gate[2];   // this process holds its writing end: its closing lets the child go on
            int report[2]; // the child's pid, from the program
            int heard[2];  // what the child says, kept apart so it cannot cut into the pid
            QVERIFY(pipe(gate) == 0 && pipe(report) == 0 && pipe(heard) == 0);
            const auto closeAll = qScopeGuard([&] {
                for (const int fd : {gate[0], gate[1], report[0], heard[0]})
                    close(fd);
            });
            const pid_t program = fork();
            if (program == 0) {
                close(gate[1]);
                const pid_t self = getpid();
                const pid_t child = fork();
                if (child == 0) {
                    char byte;
                    while (goneFirst && read(gate[0], &byte, 1) > 0) {
                    }
                    JetImport::FollowProgram(self);
                    (void)!write(heard[1], "F", 1);
                    while (!goneFirst)
                        pause();
                    _exit(0);
                }
                (void)!write(report[1], &child, sizeof child);
                if (!goneFirst)
                    pause();
                _exit(0);
            }
            close(report[1]);
            close(heard[1]);
            pid_t child = 0;
            QCOMPARE(read(report[0], &child, sizeof child), ssize_t(sizeof child));
            char said = 0;
            if (!goneFirst) {
                QCOMPARE(read(heard[0], &said, 1), ssize_t(1));
                kill(program, SIGKILL);
            }
            QCOMPARE(waitpid(program, nullptr, 0), program);
            close(std::exchange(gate[1], -1));
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(goneFirst ? WIFEXITED(status) && WEXITSTATUS(status) == 1
                              : WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            QCOMPARE(read(heard[0], &said, 1), ssize_t(0)); // the child said no more
        }
        prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
};

QTEST_MAIN(TestVehicleDb)
#include "tst_vehicledb.moc"
