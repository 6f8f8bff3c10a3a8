// The reserved books, their expiry and the clearing of every reservation. The desk lists and
// clears reservations on 图书 only; a reader places and cancels his own through the web
// portal, on 图书 only too, so that the desk's list shows every reservation placed here.
#pragma once

#include "data/Database.h"
#include "data/LoginState.h"
#include "data/RuleResult.h"

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

// Clears 预定状况 and 预定到期时间 of every book whose 预定到期时间 has passed (Clock::now()).
// The lending desk runs it before every item check, the portal before every reservation.
void clearExpired(const Database& db);

// The books one reader holds a reservation on, in the database's order.
QList<ReservedBook> heldBy(const Database& db, const QString& readerNumber);

// A reservation kept this many days after the latest due date of the book's open loans (or
// after today when none is later), to the end of that day.
inline constexpr int kDaysAfterDue = 7;

// Places the reader's reservation on a book that is out (no copy on the shelf), lendable and
// not reserved by another: one statement that writes 预定状况 and 预定到期时间 of that
// book only while all of this still holds. Only when 启用预定功能 is on. The reader check
// of the lending desk is the caller's.
RuleResult place(const Database& db, const LibrarySettings& settings, const QString& readerNumber,
                 const QString& bookNumber);
// Cancels the reader's own reservation of the book.
RuleResult cancel(const Database& db, const QString& readerNumber, const QString& bookNumber);
} // namespace Reservations

namespace ReservationText {
inline const QString Off = QStringLiteral("本馆没有启用预定功能.");
inline const QString NoBook = QStringLiteral("图书中没有该编号的资料.");
inline const QString OnShelf = QStringLiteral("该图书在架上,请直接到馆借阅,不需要预定.");
inline const QString NotForLoan = QStringLiteral("该资料不外借,请与图书馆管理员联系!");
// Another reader's number is his own business: the portal names no one.
inline const QString ReservedByOther = QStringLiteral("该图书已经被其他读者预定了,您不能预定.");
inline const QString AlreadyYours = QStringLiteral("您已经预定了该图书.");
QString placed(const QDateTime& until);
inline const QString Cancelled = QStringLiteral("已取消预定.");
inline const QString NotYours = QStringLiteral("您没有预定该图书.");
} // namespace ReservationText
