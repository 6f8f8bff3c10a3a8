#include "Reservations.h"

QStringList Reservations::columns()
{
    return {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("条形码"),
            QStringLiteral("预定状况"), QStringLiteral("预定到期时间")};
}

QList<ReservedBook> Reservations::list(const Database& db)
{
    QSqlQuery q = db.query(QStringLiteral("select 编号, 名称, 条形码, 预定状况, 预定到期时间 "
                                          "from 图书 where 预定状况 is not null"));
    QList<ReservedBook> out;
    while (q.next())
        out.append({DbValue::toText(q.value(0)), DbValue::toText(q.value(1)),
                    DbValue::toText(q.value(2)), DbValue::toText(q.value(3)),
                    DbValue::dateTimeOrNull(q.value(4))});
    return out;
}

int Reservations::clearAll(const Database& db)
{
    int changed = 0;
    db.transaction([&] {
        changed =
            db.execute(QStringLiteral("update 图书 set 预定状况 = null, 预定到期时间 = null "
                                      "where 预定状况 is not null or 预定到期时间 is not null"));
    });
    return changed;
}
