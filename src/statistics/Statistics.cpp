#include "Statistics.h"

#include "data/Schema.h"
#include "data/TextHelpers.h"

namespace {

// The exact sum of an amount expression as a value the grid reads as money: SQLite keeps
// amounts as REAL, so the units are summed as integers and divided once.
// With a factor (copies), the sum of factor × amount.
QString exactSum(const Database& db, const QString& amount, const QString& factor = {})
{
    const QString times = factor.isEmpty() ? QString() : factor + QStringLiteral(" * ");
    if (db.engine() == DbEngine::SQLite)
        return QStringLiteral("sum(%1cast(round(%2 * 10000) as integer)) / 10000.0")
            .arg(times, amount);
    return QStringLiteral("sum(%1%2)").arg(times, amount);
}

QString count(const Database& db, const QString& sql, const QVariantList& values = {})
{
    return QString::number(db.scalar(sql, values).toLongLong());
}

QString sumOrZero(const Database& db, const QString& sql, const QVariantList& values)
{
    const QVariant v = db.scalar(sql, values);
    return Money::fromVariant(v).value_or(Money()).toString();
}

} // namespace

ChartQuery Statistics::chart(const Database& db, ChartKind kind)
{
    QString table = QStringLiteral("图书");
    QString label = QStringLiteral("名称");
    QString value = QStringLiteral("借出次数");
    QString number = QStringLiteral("编号");
    if (kind == ChartKind::Periodicals)
        table = QStringLiteral("期刊");
    if (kind == ChartKind::Readers) {
        table = QStringLiteral("读者库");
        label = QStringLiteral("读者姓名");
        value = QStringLiteral("累计借阅次数");
        number = QStringLiteral("读者编号");
    }
    const QString select = QStringLiteral("select %1, %2 from %3 order by coalesce(%2, 0) desc, %4")
                               .arg(label, value, table, number);
    if (db.engine() == DbEngine::SQLite)
        return {db.limited(select, 12), label, value};
    // The server's "top 12 percent": 12 % of the rows, a part of a row counting as a row.
    return {select +
                QStringLiteral(" limit (select (count(*) * 12 + 99) / 100 from %1)").arg(table),
            label, value};
}

QString Statistics::unknownTable(const QString& typed)
{
    return QStringLiteral("不能统计\"%1\",请选择图书或期刊!").arg(typed);
}

std::optional<ListStatement> Statistics::categories(const Database& db, const QString& typedTable,
                                                    QString* message)
{
    const QString table = Schema::tableName(typedTable);
    if (typedTable != typedTable.trimmed() ||
        (table != QStringLiteral("图书") && table != QStringLiteral("期刊"))) {
        *message = unknownTable(typedTable);
        return std::nullopt;
    }
    return ListStatement{
        QStringLiteral("select 分类, sum(数量) as 数量, %1 as 金额 from %2 "
                       "group by 分类 order by 分类")
            .arg(exactSum(db, QStringLiteral("价格"), QStringLiteral("数量")), table),
        {}};
}

ListStatement Statistics::registrar(const Database& db, const QDate& from, const QDate& to)
{
    return ListStatement{
        QStringLiteral("select 登记人, count(编号) as 记录数, %1 as 总价格 from 图书 "
                       "where 入库时间 >= ? and 入库时间 <= ? group by 登记人 "
                       "order by 登记人")
            .arg(exactSum(db, QStringLiteral("价格"))),
        {from, to}};
}

QString Statistics::registrarText(const QString& dbKind, const QDate& from, const QDate& to)
{
    const QString d = DateDelimiter(dbKind);
    const auto date = [&](const QDate& day) {
        return d + day.toString(QStringLiteral("yyyy-MM-dd")) + d;
    };
    return QStringLiteral("SELECT 登记人, count(编号) AS 记录数, sum(价格) AS 总价格 FROM 图书 "
                          "where 入库时间>=") +
           date(from) + QStringLiteral(" and 入库时间<=") + date(to) +
           QStringLiteral(" GROUP BY 登记人");
}

ListStatement Statistics::income(const QDate& from, const QDate& to)
{
    return ListStatement{QStringLiteral("select * from 收入 where 时间 >= ? and 时间 <= ?"),
                         {from, to}};
}

QList<Figure> Statistics::totals(const Database& db)
{
    const QVariantList open{QStringLiteral("否")};
    const auto stock = [&](const QString& table) {
        const QVariant v = db.scalar(QStringLiteral("select sum(数量) as num from ") + table);
        return v.isNull() ? QStringLiteral("0") : QString::number(v.toLongLong());
    };
    return {
        {QStringLiteral("图书总数:"), count(db, QStringLiteral("select count(编号) from 图书"))},
        {QStringLiteral("期刊总数:"), count(db, QStringLiteral("select count(编号) from 期刊"))},
        {QStringLiteral("读者总数:"),
         count(db, QStringLiteral("select count(读者编号) from 读者库"))},
        {QStringLiteral("总未还数量:"),
         count(db, QStringLiteral("select count(id) from 借出记录 where 已还 = ?"), open)},
        {QStringLiteral("历史借出总数:"),
         count(db, QStringLiteral("select count(id) from 借出记录"))},
        {QStringLiteral("当前在库图书数量:"), stock(QStringLiteral("图书"))},
        {QStringLiteral("当前在库期刊数量:"), stock(QStringLiteral("期刊"))},
    };
}

QList<Figure> Statistics::rangeFigures(const Database& db, const QDate& from, const QDate& to)
{
    const QVariantList range{from, to};
    return {
        {QStringLiteral("图书入库数:"),
         count(db,
               QStringLiteral("select count(编号) from 图书 where 入库时间 >= ? and 入库时间 <= ?"),
               range)},
        {QStringLiteral("期刊入库数:"),
         count(db,
               QStringLiteral("select count(编号) from 期刊 where 入库时间 >= ? and 入库时间 <= ?"),
               range)},
        // 登记日期 carries the time of day: the end day counts up to its last second.
        {QStringLiteral("读者登记数:"),
         count(db,
               QStringLiteral(
                   "select count(读者编号) from 读者库 where 登记日期 >= ? and 登记日期 < ?"),
               {from, to.addDays(1)})},
        {QStringLiteral("租金收入:"),
         sumOrZero(db,
                   QStringLiteral("select %1 from 借出记录 where 已还 = ? and 归还日期 >= ? and "
                                  "归还日期 <= ?")
                       .arg(exactSum(db, QStringLiteral("实际租金"))),
                   {QStringLiteral("是"), from, to})},
        {QStringLiteral("借出次数:"),
         count(
             db,
             QStringLiteral("select count(id) from 借出记录 where 借阅日期 >= ? and 借阅日期 <= ?"),
             range)},
        {QStringLiteral("归还次数:"),
         count(
             db,
             QStringLiteral("select count(id) from 借出记录 where 归还日期 >= ? and 归还日期 <= ?"),
             range)},
    };
}
