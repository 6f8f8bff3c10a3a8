#include "CatalogueSearch.h"

#include "Schema.h"

#include <QSqlQuery>

std::optional<ListStatement> CatalogueSearch::statement(const Database& db, const Request& request,
                                                        QString* error)
{
    if (request.limit < 1 || request.limit > kMostRows || request.offset < 0) {
        if (error)
            *error = QStringLiteral("分页参数不正确!");
        return std::nullopt;
    }
    std::optional<ListStatement> s = ListSearch::anyColumn(db, request.table, request.text, error);
    if (!s)
        return std::nullopt;
    QString sql =
        QStringLiteral("select * from %1 where ").arg(Schema::tableName(request.table)) + s->sql;
    if (!request.after.isEmpty()) {
        sql += QStringLiteral(" and 编号 > ?");
        s->values << request.after;
    }
    sql += QStringLiteral(" order by 编号 limit ? offset ?");
    s->values << request.limit + 1 << request.offset;
    s->sql = sql;
    return s;
}

std::optional<CatalogueSearch::Page> CatalogueSearch::find(const Database& db,
                                                           const Request& request, QString* error)
{
    const std::optional<ListStatement> s = statement(db, request, error);
    if (!s)
        return std::nullopt;
    Page page;
    QSqlQuery q = db.query(s->sql, s->values);
    while (q.next()) {
        if (page.rows.size() == request.limit) {
            page.more = true;
            break;
        }
        page.rows << q.record();
    }
    return page;
}
