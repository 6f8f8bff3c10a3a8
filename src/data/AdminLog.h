// The administrator log (管理员日志): the one writer of its rows. A stock change and a
// reader's status change call write() inside their own transaction, so a change never
// lands without its log row and a failing log insert rolls the change back.
#pragma once

#include "Database.h"

#include <QDateTime>
#include <QString>

namespace AdminLog {

// The event names (事件) of the two writers.
QString stockChangedEvent();  // "修改库存"
QString statusChangedEvent(); // "修改状态"

// 说明 of a stock change: "条形码:" + the book's 条形码.
QString stockChangedDescription(const QString& barcode);
// 说明 of a status change: "读者编号:…,姓名:…,状态改为:[…]," + remark (possibly empty).
QString statusChangedDescription(const QString& readerNumber, const QString& readerName,
                                 const QString& newState, const QString& remark);

// Inserts one log row; moment defaults to Clock::now(), to the second. Throws DbError.
void write(const Database& db, const QString& event, const QString& operatorName,
           const QString& description, const QDateTime& moment = {});

} // namespace AdminLog
