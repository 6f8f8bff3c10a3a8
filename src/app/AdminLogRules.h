// What the administrator log screen decides: its statement, the deletion of the row shown
// as current (by its id) or of every row, the statement of the export in the order shown,
// and the list report it prints. The rows themselves are written by AdminLog (data/). The
// deletions come back as results; the screen asks the questions and shows the messages.
#pragma once

#include "data/Database.h"
#include "data/RuleResult.h"
#include "report/Report.h"

#include <QSqlQuery>
#include <QString>
#include <QVariant>

class AdminLogRules
{
public:
    explicit AdminLogRules(const Database& db) : db_(db) {}

    // "select * from 管理员日志".
    static QString selectSql();
    // The same rows in the order of a grid sorted by field (a column of 管理员日志; any
    // other name gives the plain statement).
    static QString orderedSql(const QString& field, bool descending);
    // Runs that statement for the export. Throws DbError.
    QSqlQuery exportQuery(const QString& field, bool descending) const;

    // Asked before "删除当前": Nothing when id is empty (an empty grid), else the question.
    static RuleResult removeOneCheck(const QVariant& id);
    // The delete of the row with that id once the question is answered Yes: Done when a row
    // was deleted, Nothing when it had gone meanwhile or id is empty.
    RuleResult removeOne(const QVariant& id) const;
    // Asked before "全部删除": the question.
    static RuleResult removeAllCheck();
    // The delete of every row once the question is answered Yes: Done with "删除完毕!".
    RuleResult removeAll() const;

    // The list report of "打印": id, 事件, 日期, 管理员, 说明.
    static Report report();

private:
    const Database& db_;
};

namespace AdminLogText {
inline const QString Caption = QStringLiteral("管理员日志");
inline const QString DeleteQuestion = QStringLiteral("您是否要删除");
inline const QString DeleteAllQuestion = QStringLiteral("您是否要全部删除");
inline const QString ConfirmCaption = QStringLiteral("确认");
inline const QString Deleted = QStringLiteral("删除完毕!");
} // namespace AdminLogText
