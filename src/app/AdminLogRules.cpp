#include "AdminLogRules.h"

#include "data/Schema.h"
#include "widgets/Messenger.h"

QString AdminLogRules::selectSql()
{
    return QStringLiteral("select * from 管理员日志");
}

QString AdminLogRules::orderedSql(const QString& field, bool descending)
{
    const QString column = Schema::columnName(QStringLiteral("管理员日志"), field);
    if (column.isEmpty())
        return selectSql();
    // id breaks ties, so that the export follows the grid's stable sort.
    QString sql = selectSql() + QStringLiteral(" order by ") + column +
                  (descending ? QStringLiteral(" desc") : QString());
    if (column != QLatin1String("id"))
        sql += QStringLiteral(", id");
    return sql;
}

bool AdminLogRules::removeOne(const QVariant& id, QWidget* parent) const
{
    if (!id.isValid() || id.isNull())
        return false;
    Messenger& m = Messenger::instance();
    if (!m.confirm(parent, AdminLogText::DeleteQuestion, AdminLogText::ConfirmCaption))
        return false;
    try {
        bool deleted = false;
        db_.transaction([&] {
            deleted = db_.execute(QStringLiteral("delete from 管理员日志 where id = ?"),
                                  {id.toLongLong()}) > 0;
        });
        return deleted;
    } catch (const DbError& e) {
        m.error(parent, e.message());
        return false;
    }
}

bool AdminLogRules::removeAll(QWidget* parent) const
{
    Messenger& m = Messenger::instance();
    if (!m.confirm(parent, AdminLogText::DeleteAllQuestion, AdminLogText::ConfirmCaption))
        return false;
    try {
        db_.transaction([&] { db_.execute(QStringLiteral("delete from 管理员日志")); });
    } catch (const DbError& e) {
        m.error(parent, e.message());
        return false;
    }
    m.information(parent, AdminLogText::Deleted);
    return true;
}

Report AdminLogRules::report()
{
    return Report::list(AdminLogText::Caption,
                        {{QStringLiteral("id"), QStringLiteral("id"), 14},
                         {QStringLiteral("事件"), QStringLiteral("事件"), 24},
                         {QStringLiteral("日期"), QStringLiteral("日期"), 38},
                         {QStringLiteral("管理员"), QStringLiteral("管理员"), 26},
                         {QStringLiteral("说明"), QStringLiteral("说明"), 88}});
}
