#pragma once

// The vehicle database "carid.mdb" beside the program: the maker, model and year lists the CAN
// page chooses a vehicle from, the car id and event mask of the chosen year, finding a car by its
// car id, and the SPN records. The Jet file is copied at start into an in-memory SQLite database
// and every query runs there.

#include "can/JetImport.h"

#include <QCoreApplication>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
class QSqlQueryModel;

// An SPN with its place in a PGN.
struct TSPNInfo
{
    int SPN = 0;
    int PGN = 0;
    int Offset = 0;
    QString Name; // at most 255 characters
};

// The four SPN slots of the CAN page's standard sheet; slot n (1..4) is element n - 1.
using TSPNSlots = std::array<TSPNInfo, 4>;

class TDm : public QObject
{
    Q_OBJECT
public:
    // The three lists of the cascade maker -> model -> year.
    enum TList
    {
        ProdList,
        ModelList,
        YearList
    };
    Q_ENUM(TList)

    static constexpr const char *FileName = "carid.mdb";

    // Opens ExeDir + "carid.mdb" when that file exists, waiting for its reading. A missing file
    // leaves the database unavailable silently; a file that cannot be taken leaves it unavailable
    // with OpenError().
    explicit TDm(const QString &ExeDir = QCoreApplication::applicationDirPath(),
                 QObject *parent = nullptr);
    // Takes in `Reading`, the reading of ExeDir + "carid.mdb" that StartReading began (null: the
    // file is missing), from the event loop as the children deliver it, and then says TakenIn;
    // until then the database counts as unavailable.
    TDm(const QString &ExeDir, std::unique_ptr<JetImport::Reading> Reading,
        QObject *parent = nullptr);
    ~TDm() override;

    // Starts reading ExeDir + "carid.mdb" in child processes when that file exists; null when it
    // does not. Needs no QCoreApplication: the program calls it before it starts any thread.
    static std::unique_ptr<JetImport::Reading> StartReading(const QString &ExeDir);
    // The reading is still to be taken in.
    bool TakeInPending() const { return Source && !TakenInDone; }
    // A window being shown holds the taking in back until it lets it go on: the children read on
    // meanwhile, unwatched so that the window's building shares nothing with them, and their
    // silence counts from then on; a reading done by then is taken in at once.
    void HoldTakeIn();
    void AllowTakeIn();
    bool TakeInHeldBack() const { return TakeInHeld && TakeInPending(); }
    // How long the reading may deliver nothing before it counts as stopped.
    void SetStallLimitMs(int Ms);

    bool DbAvailable() const { return Available; }
    // Why a present file could not be opened, naming the file; empty otherwise.
    const QString &OpenError() const { return Error; }
    // Why the SPN records are missing from an available database, naming the file and the
    // table; empty otherwise.
    const QString &SPNError() const { return LostSPN; }
    const QString &DatabasePath() const { return Path; }
    // The SQLite connection the data is in (invalid while the database is unavailable).
    QSqlDatabase Connection() const;

    // The list of `list` (Producer, Model, Years rows; every column) for a combo box: it shows
    // ListField, keyed by the "id" column. Null while the database is unavailable.
    QSqlQueryModel *ListModel(TList list) const;
    static QString ListField(TList list);
    static QString KeyField() { return QStringLiteral("id"); }
    // The column of ListField in the list's model.
    int ListColumn(TList list) const;

    // The list's current row, -1 when the list is empty.
    int CurrentRow(TList list) const { return Rows[list]; }
    // Choosing a row: moves the list's current row and runs the rest of the cascade. Choosing the
    // current row again, or a row outside the list, does nothing. Ignored while a cascade runs.
    void SelectRow(TList list, int row);
    // Selecting the row whose id is `id`, as choosing it; false when no row has that id.
    bool SelectId(TList list, int id);

    // Car id and database event mask of the current year (a NULL mask reads 0); none when the
    // year list is empty or the database is unavailable.
    std::optional<int> CarId() const;
    std::optional<int> CarMask() const;

    // Selects the maker, model and year of the first stored year with this car id (compared as
    // unsigned) and applies its mask, also when that year was current already. False, and
    // nothing changes, when no year has it or its model is missing.
    bool LocateCar(int CarId);
    // Applies the current year's mask again (CarMaskSelected), for a year that became current
    // before its listeners were there.
    void ApplyCarMask();

    // The name of an SPN and its first stored placement shorter than 33 bits. An SPN without a
    // row gives an empty name, one without such a placement PGN and Offset 0.
    TSPNInfo GetSPNInfo(int SPN) const;

signals:
    // The reading kept at construction has been taken in: the database is available, or
    // OpenError says why not. Said once, from the event loop.
    void TakenIn();
    // A list's current row moved (by the cascade, a selection or LocateCar); -1: the list is empty.
    void CurrentRowChanged(TDm::TList list, int row);
    // A year became current: its database event mask, for the CAN page's SetCarMask.
    void CarMaskSelected(int Mask);

private:
    QString Path;
    QString ConnectionName;
    QString Error;
    QString LostSPN;
    bool Available = false;
    bool Cascading = false;
    std::array<std::unique_ptr<QSqlQueryModel>, 3> Lists;
    std::array<int, 3> Rows{-1, -1, -1};
    // The reading the data comes from: it holds the database image while the connection lives.
    std::unique_ptr<JetImport::Reading> Source;
    bool TakenInDone = false;
    bool TakeInHeld = false;
    // Watching the reading's pipes from the event loop, and its silence.
    std::vector<std::unique_ptr<QSocketNotifier>> Pipes;
    QTimer Stall;
    int StallLimitMs = JetImport::Reading::StallLimitMs;

    void WatchReading();
    void WatchPipes(bool On);
    void PipeReadable(QSocketNotifier *Pipe);
    void ReadingStalled();
    void TakeInWhenDue();
    void FinishTakingIn();
    void Connect(JetImport::Reading &Reading);
    QVariant CurrentValue(TList list, const QString &column) const;
    void Requery(TList list, const QVariant &parentId);
    void AfterScroll(TList list);
    void ProdAfterScroll();
    void ModelAfterScroll();
    void YearAfterScroll();
};

// The SPN selection dialog's list over `Connection`, executed. By index the number comes first
// and orders the list, by name the name does; the columns are titled "Индекс" and "Наименование".
// A text keeps the rows whose number, written as Jet's str() writes it (a leading blank), or
// whose name contains it, letter case ignored for every alphabet; "%" and "_" in it match any
// characters and any one character.
QSqlQuery SPNListQuery(const QSqlDatabase &Connection, bool SearchByIndex, const QString &Text);

// The one vehicle database of the program, created before the main window (null in programs and
// tests that make none).
extern TDm *Dm;
