#include "AdminLogRules.h"

#include "data/Schema.h"

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

QSqlQuery AdminLogRules::exportQuery(const QString& field, bool descending) const
{
    return db_.query(orderedSql(field, descending));
}

namespace {
bool isRow(const QVariant& id)
{
    return id.isValid() && !id.isNull();
}
} // namespace

RuleResult AdminLogRules::removeOneCheck(const QVariant& id)
{
    if (!isRow(id))
        return RuleResult::nothing();
    return RuleResult::ask(AdminLogText::DeleteQuestion, AdminLogText::ConfirmCaption);
}

RuleResult AdminLogRules::removeOne(const QVariant& id) const
{
    if (!isRow(id))
        return RuleResult::nothing();
    bool deleted = false;
    RuleResult result = RuleResult::transaction(db_, [&]() -> QString {
        deleted = db_.execute(QStringLiteral("delete from 管理员日志 where id = ?"),
                              {id.toLongLong()}) > 0;
        return {};
    });
    if (result.done() && !deleted)
        return RuleResult::nothing();
    return result;
}

RuleResult AdminLogRules::removeAllCheck()
{
    return RuleResult::ask(AdminLogText::DeleteAllQuestion, AdminLogText::ConfirmCaption);
}

RuleResult AdminLogRules::removeAll() const
{
    RuleResult result = RuleResult::transaction(db_, [&]() -> QString {
        db_.execute(QStringLiteral("delete from 管理员日志"));
        return {};
    });
    if (result.done())
        result.messages << AdminLogText::Deleted;
    return result;
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
