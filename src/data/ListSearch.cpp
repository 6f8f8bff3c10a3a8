#include "ListSearch.h"

#include "Schema.h"

namespace {

// The column as text, the same text on every engine: numbers without a trailing ".0",
// amounts without trailing zeros, dates as "yyyy-mm-dd" (SQLite keeps them so).
QString textOf(const Database& db, const ColumnDef& column)
{
    const QString& c = column.name;
    const bool sqlite = db.engine() == DbEngine::SQLite;
    switch (column.type) {
    case ColumnType::Text:
    case ColumnType::LongText:
        return c;
    case ColumnType::Money:
    case ColumnType::Real:
        return sqlite ? QStringLiteral("rtrim(rtrim(printf('%.4f', %1), '0'), '.')").arg(c)
                      : QStringLiteral("rtrim(rtrim(cast(%1 as varchar(40)), '0'), '.')").arg(c);
    case ColumnType::Date:
        return sqlite ? c : QStringLiteral("to_char(%1, 'YYYY-MM-DD')").arg(c);
    case ColumnType::DateTime:
        return sqlite ? c : QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(c);
    case ColumnType::YesNo:
        return sqlite ? QStringLiteral("cast(%1 as text)").arg(c)
                      : QStringLiteral("cast(cast(%1 as integer) as varchar(1))").arg(c);
    case ColumnType::Integer:
    case ColumnType::AutoNumber:
        return QStringLiteral("cast(%1 as varchar(20))").arg(c);
    }
    return c;
}

// "模糊" on the column's text, with a containsPattern value.
QString containsCondition(const Database& db, const QString& text)
{
    if (db.engine() == DbEngine::SQLite)
        return text + QStringLiteral(" like ? escape '\\'");
    return QStringLiteral("lower(%1) like lower(?) escape '\\'").arg(text);
}

// The table's text index when it can serve "模糊" on these columns for this value: trigrams
// need three characters; a shorter value is left to the scan.
const Schema::TextIndex* indexServing(const Database& db, const TableDef& table,
                                      const QStringList& columns, const QString& value)
{
    const Schema::TextIndex* ix = Schema::textIndex(table.name);
    if (!ix || db.engine() != DbEngine::SQLite ||
        value.toUcs4().size() < ListSearch::kShortestIndexedText)
        return nullptr;
    for (const QString& c : columns)
        if (!ix->columns.contains(c))
            return nullptr;
    return Schema::hasTextIndex(db, table.name) ? ix : nullptr;
}

QString candidates(const Schema::TextIndex& ix)
{
    return QStringLiteral("%1.rowid in (select rowid from %2 where %2 match ?)")
        .arg(ix.table, ix.ftsTable);
}

} // namespace

QString ListSearch::textIndexQuery(const QStringList& columns, const QString& text)
{
    QString phrase = text;
    phrase.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QStringLiteral("{%1} : \"%2\"").arg(columns.join(QLatin1Char(' ')), phrase);
}

std::optional<ListStatement> ListSearch::anyColumn(const Database& db, const QString& table,
                                                   const QString& text, QString* error)
{
    const TableDef* t = Schema::table(table);
    const Schema::TextIndex* ix = t ? Schema::textIndex(t->name) : nullptr;
    if (!ix) {
        if (error)
            *error = QStringLiteral("没有\"%1\"这个表!").arg(table);
        return std::nullopt;
    }
    if (text.isEmpty()) {
        if (error)
            *error = kEmptyCondition;
        return std::nullopt;
    }
    QStringList likes;
    QVariantList values;
    for (const QString& c : ix->columns) {
        likes << containsCondition(db, c);
        values << containsPattern(text);
    }
    ListStatement s{QLatin1Char('(') + likes.join(QStringLiteral(" or ")) + QLatin1Char(')'),
                    values};
    if (indexServing(db, *t, ix->columns, text)) {
        s.sql = candidates(*ix) + QStringLiteral(" and ") + s.sql;
        s.values.prepend(textIndexQuery(ix->columns, text));
    }
    return s;
}

QString ListDescription::opening(const Database& db) const
{
    return openingRows > 0 ? db.limited(selectAll(), openingRows) : selectAll();
}

QString ListDescription::exportHead() const
{
    if (exportColumns.isEmpty())
        return selectAll();
    return QStringLiteral("select ") + exportColumns.join(QLatin1Char(',')) +
           QStringLiteral(" from ") + table;
}

QString ListSearch::containsPattern(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size() + 4);
    for (QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QString ListSearch::unknownColumn(const QString& typed)
{
    return QStringLiteral("没有\"%1\"这一列,请从列表中选择查询的列!").arg(typed);
}

std::optional<ListStatement> ListSearch::condition(const Database& db, const QString& table,
                                                   const QString& typedColumn, const QString& value,
                                                   bool exact, QString* error)
{
    if (typedColumn.isEmpty() || value.isEmpty()) {
        if (error)
            *error = kEmptyCondition;
        return std::nullopt;
    }
    const TableDef* t = Schema::table(table);
    const ColumnDef* column = t ? t->column(typedColumn) : nullptr;
    // Only a name the schema spells exactly as typed (case aside), nothing around it.
    if (!column || typedColumn != typedColumn.trimmed()) {
        if (error)
            *error = unknownColumn(typedColumn);
        return std::nullopt;
    }
    const QString text = textOf(db, *column);
    if (exact) {
        // Other columns compare as their text, which has no letter case to ignore.
        if (column->type != ColumnType::Text && column->type != ColumnType::LongText)
            return ListStatement{text + QStringLiteral(" = ?"), {value}};
        // Text ignores the letter case as "模糊" does, in the form the case-blind indexes
        // of the schema are made for.
        if (db.engine() == DbEngine::SQLite)
            return ListStatement{text + QStringLiteral(" COLLATE NOCASE = ?"), {value}};
        return ListStatement{QStringLiteral("lower(%1) = lower(?)").arg(text), {value}};
    }
    // Letter case is ignored on both engines: SQLite's like ignores it already (for the
    // letters its lower() folds), PostgreSQL's is told to.
    const QString like = containsCondition(db, text);
    // SQLite: the text index names the rows that may hold the value, the like keeps exactly
    // those the scan keeps, in the same (rowid) order. PostgreSQL's trigram indexes serve
    // the like as it stands.
    if (const Schema::TextIndex* ix = indexServing(db, *t, {column->name}, value))
        return ListStatement{candidates(*ix) + QStringLiteral(" and ") + like,
                             {textIndexQuery({column->name}, value), containsPattern(value)}};
    return ListStatement{like, {containsPattern(value)}};
}

std::optional<ListStatement> ListSearch::statement(const Database& db, const QString& selectHead,
                                                   const QString& table, const QString& typedColumn,
                                                   const QString& value, bool exact, QString* error)
{
    std::optional<ListStatement> c = condition(db, table, typedColumn, value, exact, error);
    if (!c)
        return std::nullopt;
    c->sql = selectHead.trimmed() + QStringLiteral(" where ") + c->sql;
    return c;
}
