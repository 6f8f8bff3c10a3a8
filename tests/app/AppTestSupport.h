// Shared pieces of the app tests: rights as bit masks and operator rows.
#pragma once

#include "app/LoginRules.h"
#include "data/Database.h"

#include <QStringList>

namespace AppTest {
// Bit i stands for LoginRules::rightsColumns()[i].
inline int mask(const Rights& r)
{
    int m = 0;
    const auto& cols = LoginRules::rightsColumns();
    for (int i = 0; i < cols.size(); ++i)
        if (r.*cols[i].field)
            m |= 1 << i;
    return m;
}

inline Rights rights(int mask)
{
    Rights r;
    const auto& cols = LoginRules::rightsColumns();
    for (int i = 0; i < cols.size(); ++i)
        r.*cols[i].field = (mask >> i) & 1;
    return r;
}

inline int bit(const char* column)
{
    const auto& cols = LoginRules::rightsColumns();
    for (int i = 0; i < cols.size(); ++i)
        if (qstrcmp(cols[i].column, column) == 0)
            return 1 << i;
    qFatal("unknown right %s", column);
}

inline const int kAll = (1 << 13) - 1;

// Stores an operator row with these rights, adding it when the name is new.
inline void putOperator(const Database& db, const QString& name, const QString& password, int m)
{
    QStringList sets;
    QVariantList values;
    for (const auto& c : LoginRules::rightsColumns()) {
        sets << QString::fromLatin1(c.column) + QStringLiteral(" = ?");
        values << bool(m & bit(c.column));
    }
    if (db.scalar(QStringLiteral("select count(*) from 管理员 where AdminName = ?"), {name})
            .toInt() == 0)
        db.execute(QStringLiteral("insert into 管理员 (AdminName) values (?)"), {name});
    values << password << name;
    db.execute(QStringLiteral("update 管理员 set %1, pwd = ? where AdminName = ?")
                   .arg(sets.join(QStringLiteral(", "))),
               values);
}
// Lets a column hold NULL, as a library made by other means may: the schema itself keeps
// yes/no columns NOT NULL.
inline void allowNull(const Database& db, const QString& table, const QString& column)
{
    if (db.engine() == DbEngine::SQLite) {
        // SQLite cannot drop a constraint; a copy made with "create table as" has none.
        db.execute(QStringLiteral("create table nullable_copy as select * from %1").arg(table));
        db.execute(QStringLiteral("drop table %1").arg(table));
        db.execute(QStringLiteral("alter table nullable_copy rename to %1").arg(table));
    } else {
        db.execute(
            QStringLiteral("alter table %1 alter column %2 drop not null").arg(table, column));
    }
}
} // namespace AppTest
