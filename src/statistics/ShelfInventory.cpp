#include "ShelfInventory.h"

#include "circulation/Lending.h"
#include "data/Clock.h"

#include <functional>

namespace {

const QString kBooks = QStringLiteral("图书");
const QString kPeriodicals = QStringLiteral("期刊");

// The item columns of every list, the table's name as 类别 first.
QString itemColumns(const char* alias)
{
    return QStringLiteral("cast(? as varchar(10)) as 类别, %1.编号, %1.名称, %1.条形码, "
                          "%1.存放位置, %1.数量")
        .arg(QLatin1String(alias));
}

// One select per item table, joined by union all.
ListStatement bothTables(const std::function<ListStatement(const QString& table)>& part)
{
    ListStatement s;
    QStringList parts;
    for (const QString& table : {kBooks, kPeriodicals}) {
        const ListStatement p = part(table);
        parts << p.sql;
        s.values << p.values;
    }
    s.sql = parts.join(QStringLiteral(" union all "));
    return s;
}

} // namespace

ShelfInventory::ShelfInventory(const Database& db) : db_(db) {}

QStringList ShelfInventory::places() const
{
    QSqlQuery q = db_.query(QStringLiteral("select 存放位置名 from 存放位置"));
    QStringList out;
    while (q.next())
        out << DbValue::toText(q.value(0));
    return out;
}

std::optional<InventoryRun> ShelfInventory::unfinished() const
{
    QSqlQuery q = db_.query(db_.limited(QStringLiteral("select id, 存放位置, 开始时间 from 盘点 "
                                                       "where 完成时间 is null order by id desc"),
                                        1));
    if (!q.next())
        return std::nullopt;
    InventoryRun run;
    run.id = DbValue::toInt(q.value(0));
    run.place = DbValue::toText(q.value(1));
    run.started = DbValue::dateTimeOrNull(q.value(2));
    q = QSqlQuery();
    run.scanned = scannedCount(run.id);
    return run;
}

InventoryRun ShelfInventory::start(const QString& place, const QString& operatorName) const
{
    InventoryRun run;
    run.place = place;
    run.started = Clock::now();
    // The id comes back from the insert itself: another desk starting an inventory at the
    // same moment has its own.
    QSqlQuery q = db_.query(
        QStringLiteral(
            "insert into 盘点 (存放位置, 开始时间, 管理员) values (?, ?, ?) returning id"),
        {place.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(place), run.started,
         operatorName});
    if (!q.next())
        throw DbError(QStringLiteral("盘点没有保存."));
    run.id = DbValue::toInt(q.value(0));
    q.finish();
    return run;
}

InventoryScan ShelfInventory::scan(int inventory, const QString& table, const QString& key,
                                   const QString& text) const
{
    // Only the two item tables and the desk's two keys reach the statement.
    const QString t = table == kPeriodicals ? kPeriodicals : kBooks;
    const QString k = key == QStringLiteral("条形码") ? key : QStringLiteral("编号");
    InventoryScan s;
    // The issues of a periodical share one barcode: each scan of it counts the next issue
    // not counted yet, those of the inventory's place and on the shelf first.
    const QString uncounted =
        QStringLiteral("from %1 i where i.%2 = ? and not exists (select 1 from 盘点扫描 s where "
                       "s.盘点 = ? and s.类别 = ? and s.编号 = i.编号)")
            .arg(t, k);
    const QVariantList uncountedValues{text, inventory, t};
    const QString next = db_.limited(
        QStringLiteral("select i.编号, i.名称, i.存放位置 %1 order by case when i.存放位置 = "
                       "(select p.存放位置 from 盘点 p where p.id = ?) then 0 else 1 end, "
                       "case when i.数量 > 0 then 0 else 1 end, i.编号")
            .arg(uncounted),
        1);
    const auto take = [&](QSqlQuery q) {
        if (!q.next())
            return false;
        s.found = true;
        s.编号 = DbValue::toText(q.value(0));
        s.名称 = DbValue::toText(q.value(1));
        s.存放位置 = DbValue::toText(q.value(2));
        return true;
    };
    // The unique key on (盘点, 类别, 编号) keeps a second desk's scan of the same item out
    // too; the next issue is then tried.
    while (!s.counted && take(db_.query(next, QVariantList(uncountedValues) << inventory))) {
        s.counted =
            db_.execute(QStringLiteral("insert into 盘点扫描 (盘点, 类别, 编号, 扫描时间) "
                                       "select ?, ?, ?, ? where not exists (select 1 from "
                                       "盘点扫描 where 盘点 = ? and 类别 = ? and 编号 = ?)"),
                        {inventory, t, s.编号, Clock::now(), inventory, t, s.编号}) > 0;
    }
    if (!s.counted &&
        !take(db_.query(db_.limited(QStringLiteral("select 编号, 名称, 存放位置 from %1 where "
                                                   "%2 = ? order by 编号")
                                        .arg(t, k),
                                    1),
                        {text})))
        s.message = Lending::noItemText(t);
    if (s.found)
        s.uncounted = DbValue::toInt(
            db_.scalar(QStringLiteral("select count(*) ") + uncounted, uncountedValues));
    s.scanned = scannedCount(inventory);
    return s;
}

int ShelfInventory::scannedCount(int inventory) const
{
    return DbValue::toInt(
        db_.scalar(QStringLiteral("select count(*) from 盘点扫描 where 盘点 = ?"), {inventory}));
}

void ShelfInventory::finish(int inventory) const
{
    db_.execute(QStringLiteral("update 盘点 set 完成时间 = ? where id = ?"),
                {Clock::now(), inventory});
}

ListStatement ShelfInventory::missing(const InventoryRun& run) const
{
    // Copies the database puts on the shelf (数量 > 0) that no scan found.
    return bothTables([&](const QString& table) {
        ListStatement p{QStringLiteral("select %1 from %2 i where ").arg(itemColumns("i"), table),
                        {table}};
        if (!run.place.isEmpty()) {
            p.sql += QStringLiteral("i.存放位置 = ? and ");
            p.values << run.place;
        }
        p.sql += QStringLiteral("i.数量 > 0 and not exists (select 1 from 盘点扫描 s where "
                                "s.盘点 = ? and s.类别 = ? and s.编号 = i.编号)");
        p.values << run.id << table;
        return p;
    });
}

ListStatement ShelfInventory::misplaced(const InventoryRun& run) const
{
    return bothTables([&](const QString& table) {
        ListStatement p{QStringLiteral("select %1 from 盘点扫描 s join %2 i on i.编号 = s.编号 "
                                       "where s.盘点 = ? and s.类别 = ? and ")
                            .arg(itemColumns("i"), table),
                        {table, run.id, table}};
        if (run.place.isEmpty()) {
            // Every place is this inventory's place: nothing scanned can be elsewhere.
            p.sql += QStringLiteral("1 = 0");
        } else {
            p.sql += QStringLiteral("(i.存放位置 is null or i.存放位置 <> ?)");
            p.values << run.place;
        }
        return p;
    });
}

ListStatement ShelfInventory::onLoan(const InventoryRun& run) const
{
    // Scanned on the shelf while the database has no copy there and a loan open.
    return bothTables([&](const QString& table) {
        return ListStatement{
            QStringLiteral(
                "select %1, l.读者编号, l.读者姓名, r.联系电话, l.借阅日期, l.应还日期 "
                "from 盘点扫描 s join %2 i on i.编号 = s.编号 join 借出记录 l on "
                "l.编号 = i.编号 and l.类别 = ? and l.已还 = ? left join 读者库 r on "
                "r.读者编号 = l.读者编号 where s.盘点 = ? and s.类别 = ? and i.数量 <= 0")
                .arg(itemColumns("i"), table),
            {table, table, QStringLiteral("否"), run.id, table}};
    });
}

QString ShelfInventory::resumeQuestion(const InventoryRun& run)
{
    return QStringLiteral("有一次未完成的盘点(%1, %2开始, 已扫描%3件), 是否继续?")
        .arg(run.place.isEmpty() ? QStringLiteral("全部") : run.place,
             run.started.toString(QStringLiteral("yyyy-MM-dd hh:mm")))
        .arg(run.scanned);
}
