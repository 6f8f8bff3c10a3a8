// The statements and figures of the statistics screens: the three "借阅次数排行" charts,
// the category, registrar and income statistics and the inventory check. Amounts are
// summed exactly (whole ten-thousandths where SQLite keeps them as REAL).
#pragma once

#include "data/Database.h"
#include "data/ListSearch.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

enum class ChartKind
{
    Books,
    Periodicals,
    Readers,
};

struct ChartQuery
{
    QString sql;
    QString labelField;
    QString valueField;
};

struct Figure
{
    QString caption;
    QString value;
};

namespace Statistics {
inline const QString ChartTitle = QStringLiteral("借阅次数排行");

// The chart's statement. SQLite, like the Access file, shows the first 12 rows; a server
// shows the top 12 percent of the rows, rounded up. Most lent first, never lent (empty)
// last, ties by the number, so that the same data gives the same bars.
ChartQuery chart(const Database& db, ChartKind kind);

// "select 分类, sum(数量) as 数量, sum(数量*价格) as 金额 from T group by 分类" for a table
// typed into the drop-down: only 图书 or 期刊; nullopt with *message for anything else.
std::optional<ListStatement> categories(const Database& db, const QString& typedTable,
                                        QString* message);
QString unknownTable(const QString& typed);

// Per operator, the books entered between the two days (both included): 登记人, 记录数,
// 总价格. The text is what the screen shows before it runs; the values go with it.
ListStatement registrar(const Database& db, const QDate& from, const QDate& to);
// The statement as the operator reads it, with the dates written in.
QString registrarText(const QString& dbKind, const QDate& from, const QDate& to);

// Every 收入 row between the two days (both included).
ListStatement income(const QDate& from, const QDate& to);

// The inventory check: the seven totals of the whole library, and the six figures of a
// range (from and to as bare dates, both compared at midnight). Throw DbError.
QList<Figure> totals(const Database& db);
QList<Figure> rangeFigures(const Database& db, const QDate& from, const QDate& to);
} // namespace Statistics
