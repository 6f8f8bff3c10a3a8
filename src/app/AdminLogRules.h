// What the administrator log screen decides: its statement, the deletion of the row shown
// as current (by its id) or of every row, the statement of the export in the order shown,
// and the list report it prints. The rows themselves are written by AdminLog (data/).
#pragma once

#include "data/Database.h"
#include "report/Report.h"

#include <QString>
#include <QVariant>

class QWidget;

class AdminLogRules
{
public:
    explicit AdminLogRules(const Database& db) : db_(db) {}

    // "select * from 管理员日志".
    static QString selectSql();
    // The same rows in the order of a grid sorted by field (a column of 管理员日志; any
    // other name gives the plain statement).
    static QString orderedSql(const QString& field, bool descending);

    // "删除当前": nothing when id is empty (an empty grid); otherwise the question and, on
    // Yes, the delete of the row with that id. True when a row was deleted.
    bool removeOne(const QVariant& id, QWidget* parent = nullptr) const;
    // "全部删除": the question and, on Yes, the delete of every row and "删除完毕!". True
    // when the rows were deleted.
    bool removeAll(QWidget* parent = nullptr) const;

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
