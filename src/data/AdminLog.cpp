#include "AdminLog.h"

#include "Clock.h"

namespace AdminLog {

QString stockChangedEvent() { return QStringLiteral("修改库存"); }

QString statusChangedEvent() { return QStringLiteral("修改状态"); }

QString stockChangedDescription(const QString& barcode)
{
    return QStringLiteral("条形码:") + barcode;
}

QString statusChangedDescription(const QString& readerNumber, const QString& readerName,
                                 const QString& newState, const QString& remark)
{
    return QStringLiteral("读者编号:") + readerNumber + QStringLiteral(",姓名:") + readerName +
           QStringLiteral(",状态改为:[") + newState + QStringLiteral("],") + remark;
}

void write(const Database& db, const QString& event, const QString& operatorName,
           const QString& description, const QDateTime& moment)
{
    QDateTime at = moment.isValid() ? moment : Clock::now();
    at.setTime(QTime(at.time().hour(), at.time().minute(), at.time().second()));
    db.execute(QStringLiteral("insert into 管理员日志(事件,日期,管理员,说明) values(?,?,?,?)"),
               {event, at, operatorName, description});
}

} // namespace AdminLog
