// The two read-only looks back over 借出记录: the loan record search (exact texts, lending
// and return date ranges with both end days included, returned or not) and the overdue
// list (open loans due on the program's today or earlier). Both give a statement with
// bound values for the list screen.
#pragma once

#include "data/ListSearch.h"

#include <QDate>
#include <QString>
#include <optional>

struct LoanConditions
{
    QString number;  // 编号
    QString name;    // 名称
    QString barcode; // 条形码
    QString readerNumber;
    QString readerName;
    bool lentBetween = false; // "借阅时间 从"
    QDate lentFrom;
    QDate lentTo;
    bool returnedBetween = false; // "归还时间 从"
    QDate returnedFrom;
    QDate returnedTo;
    bool returnedState = false; // "已还"
    QString returned;           // "是" or "否"
};

namespace LoanText {
inline const QString NoCondition = QStringLiteral("请设置查询条件.");
inline const QString LentRangeReversed = QStringLiteral("借阅时间条件不符合正常逻辑!");
inline const QString ReturnedRangeReversed = QStringLiteral("归还时间条件不符合正常逻辑!");
} // namespace LoanText

namespace LoanQueries {
// The list screen descriptions of the search and of the overdue list.
ListDescription searchDescription();
ListDescription overdueDescription();

// "select * from 借出记录 where …" for the conditions, or nullopt with *message set.
std::optional<ListStatement> search(const LoanConditions& c, QString* message);

// The open loans due on today or earlier (today is the program's, not the database's).
ListStatement overdue(const QDate& today);
} // namespace LoanQueries
