// The reserved books and the clearing of every reservation. Reservations are placed by
// other programs that share the database; this program lists and clears them on 图书 only.
#pragma once

#include "data/Database.h"

#include <QDateTime>
#include <QList>
#include <QString>

struct ReservedBook
{
    QString 编号;
    QString 名称;
    QString 条形码;
    QString 预定状况;
    QDateTime 预定到期时间; // invalid when the column is empty
};

namespace Reservations {
// The grid's columns, in order.
QStringList columns();
// Every book whose 预定状况 is set, in the database's order.
QList<ReservedBook> list(const Database& db);
// Sets 预定状况 and 预定到期时间 of every book to NULL in one statement; returns the
// number of books changed.
int clearAll(const Database& db);
} // namespace Reservations
