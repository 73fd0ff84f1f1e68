#include "can/DMUnit.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>

#include <algorithm>

TDm *Dm = nullptr;

namespace {

// The lists in stored order; a model's years and a maker's models by their parent's id (NULL,
// when there is no parent row, gives an empty list).
const char *const ListSql[] = {
    "SELECT * FROM Producer ORDER BY rowid",
    "SELECT * FROM Model WHERE id_prod = ? ORDER BY rowid",
    "SELECT * FROM Years WHERE id_model = ? ORDER BY rowid",
};

QString FileIn(const QString &ExeDir)
{
    return QDir(ExeDir).filePath(QString::fromLatin1(TDm::FileName));
}

// The first stored row of a one-parameter query, or an invalid record.
QSqlRecord FirstRow(const QSqlDatabase &db, const char *sql, const QVariant &parameter)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QString::fromLatin1(sql));
    query.addBindValue(parameter);
    if (!query.exec()) {
        qWarning("carid: %s: %s", sql, qPrintable(query.lastError().text()));
        return {};
    }
    return query.next() ? query.record() : QSqlRecord();
}

class Guard
{
public:
    explicit Guard(bool &flag) : flag(flag) { flag = true; }
    ~Guard() { flag = false; }
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;

private:
    bool &flag;
};

} // namespace

TDm::TDm(const QString &ExeDir, QObject *parent) : TDm(ExeDir, nullptr, parent)
{
    Source = StartReading(ExeDir);
    if (Source) {
        Source->Wait(StallLimitMs);
        FinishTakingIn();
    }
}

TDm::TDm(const QString &ExeDir, std::unique_ptr<JetImport::Reading> Reading, QObject *parent)
    : QObject(parent), Path(FileIn(ExeDir)),
      ConnectionName(QStringLiteral("carid-%1").arg(quintptr(this), 0, 16)),
      Source(std::move(Reading))
{
    Stall.setSingleShot(true);
    connect(&Stall, &QTimer::timeout, this, &TDm::ReadingStalled);
    if (Source)
        WatchReading();
}

std::unique_ptr<JetImport::Reading> TDm::StartReading(const QString &ExeDir)
{
    const QString path = FileIn(ExeDir);
    return QFileInfo::exists(path) ? std::make_unique<JetImport::Reading>(path) : nullptr;
}

void TDm::WatchReading()
{
    for (const int pipe : Source->Pipes()) {
        auto notifier = std::make_unique<QSocketNotifier>(pipe, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this,
                [this, watched = notifier.get()] { PipeReadable(watched); });
        Pipes.push_back(std::move(notifier));
    }
    Stall.start(StallLimitMs);
    // A reading that could not start is taken in all the same, from the event loop.
    if (Pipes.empty())
        QMetaObject::invokeMethod(this, &TDm::ReadingStalled, Qt::QueuedConnection);
}

void TDm::SetStallLimitMs(int Ms)
{
    StallLimitMs = Ms;
    if (Stall.isActive())
        Stall.start(Ms);
}

// Whatever came restarts the stall limit. A pipe that ended is watched no more; once every table
// is in the database is taken in, and the pipes still open are watched until their children end.
void TDm::PipeReadable(QSocketNotifier *Pipe)
{
    Source->ReadFrom(int(Pipe->socket()));
    const std::vector<int> open = Source->Pipes();
    std::erase_if(Pipes, [&open](std::unique_ptr<QSocketNotifier> &notifier) {
        if (std::find(open.begin(), open.end(), int(notifier->socket())) != open.end())
            return false;
        notifier->setEnabled(false);
        notifier.release()->deleteLater(); // it may be the one being delivered
        return true;
    });
    if (Pipes.empty())
        Stall.stop();
    else
        Stall.start(StallLimitMs);
    TakeInWhenDue();
}

void TDm::ReadingStalled()
{
    Stall.stop();
    for (const std::unique_ptr<QSocketNotifier> &notifier : Pipes)
        notifier->setEnabled(false);
    Pipes.clear();
    Source->GiveUp(StallLimitMs);
    TakeInWhenDue();
}

void TDm::HoldTakeIn()
{
    TakeInHeld = true;
    WatchPipes(false);
}

void TDm::AllowTakeIn()
{
    if (!TakeInHeld)
        return;
    TakeInHeld = false;
    WatchPipes(true);
    TakeInWhenDue();
}

void TDm::WatchPipes(bool On)
{
    for (const std::unique_ptr<QSocketNotifier> &notifier : Pipes)
        notifier->setEnabled(On);
    if (!On)
        Stall.stop();
    else if (!Pipes.empty())
        Stall.start(StallLimitMs);
}

void TDm::TakeInWhenDue()
{
    if (TakenInDone || TakeInHeld || !Source || !Source->Done())
        return;
    FinishTakingIn();
    emit TakenIn();
}

void TDm::FinishTakingIn()
{
    TakenInDone = true;
    Connect(*Source);
}

TDm::~TDm()
{
    if (Dm == this)
        Dm = nullptr;
    for (auto &list : Lists)
        list.reset();
    if (QSqlDatabase::contains(ConnectionName)) {
        QSqlDatabase::database(ConnectionName, false).close();
        QSqlDatabase::removeDatabase(ConnectionName);
    }
}

void TDm::Connect(JetImport::Reading &Reading)
{
    try {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName);
        db.setDatabaseName(QStringLiteral(":memory:"));
        if (!db.open())
            throw JetImport::Error(db.lastError().text());
        const QStringList lost = JetImport::Load(Reading, db);
        if (!lost.isEmpty())
            LostSPN = QStringLiteral("База данных %1 открыта без записей SPN: %2.")
                          .arg(QDir::toNativeSeparators(Path), lost.join(QStringLiteral("; ")));
        for (auto &list : Lists)
            list = std::make_unique<QSqlQueryModel>();
        Available = true;
        const Guard guard(Cascading);
        Requery(ProdList, {});
    } catch (const std::exception &error) {
        for (auto &list : Lists)
            list.reset();
        Available = false;
        Error = QStringLiteral("Не удалось открыть базу данных %1: %2.")
                    .arg(QDir::toNativeSeparators(Path), QString::fromUtf8(error.what()));
    }
}

QSqlDatabase TDm::Connection() const
{
    return Available ? QSqlDatabase::database(ConnectionName, false) : QSqlDatabase();
}

QSqlQueryModel *TDm::ListModel(TList list) const
{
    return Lists[list].get();
}

QString TDm::ListField(TList list)
{
    static const char *const fields[] = {"Name", "Model", "Years"};
    return QString::fromLatin1(fields[list]);
}

int TDm::ListColumn(TList list) const
{
    return Available ? Lists[list]->record().indexOf(ListField(list)) : -1;
}

void TDm::SelectRow(TList list, int row)
{
    if (!Available || Cascading || row < 0 || row >= Lists[list]->rowCount() || row == Rows[list])
        return;
    const Guard guard(Cascading);
    Rows[list] = row;
    emit CurrentRowChanged(list, row);
    AfterScroll(list);
}

bool TDm::SelectId(TList list, int id)
{
    if (!Available)
        return false;
    const QSqlQueryModel &model = *Lists[list];
    const int idColumn = model.record().indexOf(KeyField());
    for (int row = 0; row < model.rowCount(); ++row) {
        const QVariant key = model.data(model.index(row, idColumn));
        if (!key.isNull() && key.toInt() == id) {
            SelectRow(list, row);
            return true;
        }
    }
    return false;
}

QVariant TDm::CurrentValue(TList list, const QString &column) const
{
    if (!Available || Rows[list] < 0)
        return {};
    return Lists[list]->record(Rows[list]).value(column);
}

std::optional<int> TDm::CarId() const
{
    if (!Available || Rows[YearList] < 0)
        return std::nullopt;
    return CurrentValue(YearList, QStringLiteral("carid")).toInt();
}

std::optional<int> TDm::CarMask() const
{
    if (!Available || Rows[YearList] < 0)
        return std::nullopt;
    return CurrentValue(YearList, QStringLiteral("mask")).toInt();
}

void TDm::Requery(TList list, const QVariant &parentId)
{
    QSqlQuery query(Connection());
    query.prepare(QString::fromLatin1(ListSql[list]));
    if (list != ProdList)
        query.addBindValue(parentId.isValid() ? parentId : QVariant(QMetaType(QMetaType::Int)));
    if (!query.exec())
        qWarning("carid: %s: %s", ListSql[list], qPrintable(query.lastError().text()));
    QSqlQueryModel &model = *Lists[list];
    model.setQuery(std::move(query));
    while (model.canFetchMore())
        model.fetchMore();
    Rows[list] = model.rowCount() > 0 ? 0 : -1;
    emit CurrentRowChanged(list, Rows[list]);
    AfterScroll(list);
}

void TDm::AfterScroll(TList list)
{
    switch (list) {
    case ProdList:
        ProdAfterScroll();
        break;
    case ModelList:
        ModelAfterScroll();
        break;
    case YearList:
        YearAfterScroll();
        break;
    }
}

// A maker without models empties the year list too, so no year of another maker stays chosen.
void TDm::ProdAfterScroll()
{
    Requery(ModelList, CurrentValue(ProdList, KeyField()));
}

void TDm::ModelAfterScroll()
{
    Requery(YearList, CurrentValue(ModelList, KeyField()));
}

// An empty year list leaves the event boxes as they are.
void TDm::YearAfterScroll()
{
    const std::optional<int> mask = CarMask();
    if (!mask)
        return;
    try {
        emit CarMaskSelected(*mask);
    } catch (const std::exception &error) {
        qWarning("carid: SetCarMask: %s", error.what());
    }
}

void TDm::ApplyCarMask()
{
    YearAfterScroll();
}

bool TDm::LocateCar(int CarId)
{
    if (!Available)
        return false;
    const QSqlDatabase db = Connection();
    const QSqlRecord year =
        FirstRow(db, "SELECT id, id_model FROM Years WHERE carid = ? ORDER BY rowid",
                 qint64(quint32(CarId)));
    if (year.isEmpty())
        return false;
    const QSqlRecord model = FirstRow(db, "SELECT id_prod FROM Model WHERE id = ? ORDER BY rowid",
                                      year.value(QStringLiteral("id_model")));
    if (model.isEmpty())
        return false;
    const std::array<int, 3> shown = Rows;
    SelectId(ProdList, model.value(0).toInt());
    SelectId(ModelList, year.value(QStringLiteral("id_model")).toInt());
    SelectId(YearList, year.value(QStringLiteral("id")).toInt());
    const QVariant current = CurrentValue(YearList, KeyField());
    const bool located =
        current.isValid() && current.toLongLong() == year.value(QStringLiteral("id")).toLongLong();
    // No list moved, so no cascade applied the mask.
    if (located && Rows == shown)
        ApplyCarMask();
    return located;
}

TSPNInfo TDm::GetSPNInfo(int SPN) const
{
    TSPNInfo info;
    info.SPN = SPN;
    if (!Available)
        return info;
    const QSqlDatabase db = Connection();
    const QSqlRecord name =
        FirstRow(db, "SELECT name_en FROM spn WHERE id_spn = ? ORDER BY rowid", SPN);
    if (!name.isEmpty())
        info.Name = name.value(0).toString().left(255);
    const QSqlRecord place = FirstRow(db,
                                      "SELECT pgn_id, \"offset\" FROM spn_on_pgn "
                                      "WHERE \"length\" < 33 AND spn_id = ? ORDER BY rowid",
                                      SPN);
    if (!place.isEmpty()) {
        info.PGN = place.value(0).toInt();
        info.Offset = place.value(1).toInt();
    }
    return info;
}

QSqlQuery SPNListQuery(const QSqlDatabase &Connection, bool SearchByIndex, const QString &Text)
{
    const char *const sql[2][2] = {
        {"SELECT name_en AS \"Наименование\", id_spn AS \"Индекс\" FROM spn "
         "ORDER BY 1 COLLATE NOCASE",
         "SELECT name_en AS \"Наименование\", id_spn AS \"Индекс\" FROM spn "
         "WHERE name_en LIKE ? ORDER BY 1 COLLATE NOCASE"},
        {"SELECT id_spn AS \"Индекс\", name_en AS \"Наименование\" FROM spn ORDER BY 1",
         "SELECT id_spn AS \"Индекс\", name_en AS \"Наименование\" FROM spn "
         "WHERE str(id_spn) LIKE ? ORDER BY 1"},
    };
    QSqlQuery query(Connection);
    query.prepare(QString::fromUtf8(sql[SearchByIndex][!Text.isEmpty()]));
    if (!Text.isEmpty())
        query.addBindValue(QLatin1Char('%') + Text + QLatin1Char('%'));
    if (!query.exec())
        qWarning("carid: SPN list: %s", qPrintable(query.lastError().text()));
    return query;
}
