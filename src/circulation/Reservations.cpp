#include "Reservations.h"

#include "data/Clock.h"

QStringList Reservations::columns()
{
    return {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("条形码"),
            QStringLiteral("预定状况"), QStringLiteral("预定到期时间")};
}

namespace {
// Rows of 编号, 名称, 条形码, 预定状况, 预定到期时间.
QList<ReservedBook> reservedBooks(QSqlQuery& q)
{
    QList<ReservedBook> out;
    while (q.next())
        out.append({DbValue::toText(q.value(0)), DbValue::toText(q.value(1)),
                    DbValue::toText(q.value(2)), DbValue::toText(q.value(3)),
                    DbValue::dateTimeOrNull(q.value(4))});
    return out;
}
} // namespace

QList<ReservedBook> Reservations::list(const Database& db)
{
    QSqlQuery q = db.query(QStringLiteral("select 编号, 名称, 条形码, 预定状况, 预定到期时间 "
                                          "from 图书 where 预定状况 is not null"));
    return reservedBooks(q);
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

void Reservations::clearExpired(const Database& db)
{
    const QDateTime now = Clock::now();
    if (db.engine() != DbEngine::SQLite) {
        db.execute(QStringLiteral("update 图书 set 预定状况 = null, 预定到期时间 = null "
                                  "where 预定到期时间 < ?"),
                   {now});
        return;
    }
    // SQLite keeps the moment as text, written "yyyy-mm-dd hh:mm:ss" by this program and
    // often "yyyy-mm-ddThh:mm:ss" by others, and ' ' sorts before 'T'. The first condition
    // lets the index narrow the rows to those of today and before, in either form; the
    // second compares the moments themselves.
    db.execute(QStringLiteral("update 图书 set 预定状况 = null, 预定到期时间 = null "
                              "where 预定到期时间 < ? and datetime(预定到期时间) < ?"),
               {now.toString(QStringLiteral("yyyy-MM-dd'T'hh:mm:ss")), now});
}

QList<ReservedBook> Reservations::heldBy(const Database& db, const QString& readerNumber)
{
    QSqlQuery q = db.query(QStringLiteral("select 编号, 名称, 条形码, 预定状况, 预定到期时间 "
                                          "from 图书 where 预定状况 = ? order by 编号"),
                           {readerNumber});
    return reservedBooks(q);
}

RuleResult Reservations::place(const Database& db, const LibrarySettings& settings,
                               const QString& readerNumber, const QString& bookNumber)
{
    if (!settings.启用预定功能)
        return RuleResult::refused(ReservationText::Off);
    try {
        clearExpired(db);
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
    QDateTime until;
    RuleResult r = RuleResult::transaction(db, [&]() -> QString {
        QSqlQuery q = db.query(
            QStringLiteral("select 数量, 状态, 预定状况 from 图书 where 编号 = ?"), {bookNumber});
        if (!q.next())
            return ReservationText::NoBook;
        const bool onShelf = !q.value(0).isNull() && q.value(0).toInt() > 0;
        const QString state = DbValue::toText(q.value(1));
        const bool reserved = !q.value(2).isNull();
        const QString holder = DbValue::toText(q.value(2));
        q = QSqlQuery();
        if (onShelf)
            return ReservationText::OnShelf;
        if (state == QStringLiteral("不外借"))
            return ReservationText::NotForLoan;
        if (reserved)
            return holder == readerNumber ? ReservationText::AlreadyYours
                                          : ReservationText::ReservedByOther;

        QDate from = Clock::today();
        const QDate latestDue = DbValue::dateOrNull(db.scalar(
            QStringLiteral("select max(应还日期) from 借出记录 where 类别 = ? and 编号 = ? "
                           "and 已还 = ?"),
            {QStringLiteral("图书"), bookNumber, QStringLiteral("否")}));
        if (latestDue.isValid() && latestDue > from)
            from = latestDue;
        until = QDateTime(from.addDays(kDaysAfterDue), QTime(23, 59, 59));
        // Written only while still out and unreserved, so that two readers at once never
        // both hold it and a copy returned meanwhile is lent, not reserved.
        const int changed = db.execute(
            QStringLiteral("update 图书 set 预定状况 = ?, 预定到期时间 = ? where 编号 = ? and "
                           "coalesce(数量, 0) <= 0 and 预定状况 is null"),
            {readerNumber, until, bookNumber});
        return changed == 1 ? QString() : ReservationText::ReservedByOther;
    });
    if (r.done())
        r.messages = {ReservationText::placed(until)};
    return r;
}

RuleResult Reservations::cancel(const Database& db, const QString& readerNumber,
                                const QString& bookNumber)
{
    RuleResult r = RuleResult::transaction(db, [&]() -> QString {
        const int changed =
            db.execute(QStringLiteral("update 图书 set 预定状况 = null, 预定到期时间 = "
                                      "null where 编号 = ? and 预定状况 = ?"),
                       {bookNumber, readerNumber});
        return changed > 0 ? QString() : ReservationText::NotYours;
    });
    if (r.done())
        r.messages = {ReservationText::Cancelled};
    return r;
}

QString ReservationText::placed(const QDateTime& until)
{
    return QStringLiteral("预定成功,保留至 ") +
           until.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral(".");
}
