#include "ListSearch.h"

#include "Schema.h"
#include "TextTokenizer.h"

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

// The table's text index when it can serve "模糊" on these columns.
const Schema::TextIndex* indexServing(const Database& db, const TableDef& table,
                                      const QStringList& columns)
{
    const Schema::TextIndex* ix = Schema::textIndex(table.name);
    if (!ix)
        return nullptr;
    for (const QString& c : columns)
        if (!ix->columns.contains(c))
            return nullptr;
    return Schema::hasTextIndex(db, table.name) ? ix : nullptr;
}

// The likes of "模糊" on each column, or'ed, each column named as qualifier.column.
QString anyLike(const Database& db, const QStringList& columns, const QString& qualifier,
                const QString& pattern, QVariantList& values)
{
    QStringList parts;
    for (const QString& c : columns) {
        parts << containsCondition(db, qualifier + QLatin1Char('.') + c);
        values << pattern;
    }
    return parts.join(QStringLiteral(" or "));
}

// "模糊" on any of the columns: the text index names the rows that may hold the value (they
// hold every piece of it), the like keeps exactly those the scan keeps.
ListStatement indexedContains(const Database& db, const Schema::TextIndex& ix,
                              const QStringList& columns, const QString& value)
{
    const QString pattern = ListSearch::containsPattern(value);
    ListStatement s;
    if (db.engine() == DbEngine::SQLite) {
        s.values << ListSearch::textIndexQuery(columns, value);
        const QString likes = anyLike(db, columns, ix.table, pattern, s.values);
        s.sql = QStringLiteral("%1.rowid in (select rowid from %2 where %2 match ?) and (%3)")
                    .arg(ix.table, ix.ftsTable, likes);
        return s;
    }
    // Each column's own index, its like checking the rows it names.
    QStringList parts;
    for (const QString& c : columns) {
        const QString column = ix.table + QLatin1Char('.') + c;
        parts << QStringLiteral("(tushu_grams(lower(%1)) @> tushu_query_grams(lower(?)) and %2)")
                     .arg(column, containsCondition(db, column));
        s.values << value << pattern;
    }
    s.sql = QLatin1Char('(') + parts.join(QStringLiteral(" or ")) + QLatin1Char(')');
    return s;
}

} // namespace

QString ListSearch::textIndexQuery(const QStringList& columns, const QString& text)
{
    QString phrase = text;
    phrase.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QStringLiteral("{%1} : \"%2\"").arg(columns.join(QLatin1Char(' ')), phrase);
}

namespace {

// The text index of the table the catalogue search looks into, or nullptr with *error set
// (another table, an empty text).
const Schema::TextIndex* searchedIndex(const QString& table, const QString& text, QString* error)
{
    const TableDef* t = Schema::table(table);
    const Schema::TextIndex* ix = t ? Schema::textIndex(t->name) : nullptr;
    if (!ix) {
        if (error)
            *error = QStringLiteral("没有\"%1\"这个表!").arg(table);
        return nullptr;
    }
    if (text.isEmpty()) {
        if (error)
            *error = ListSearch::kEmptyCondition;
        return nullptr;
    }
    return ix;
}

ListStatement anyColumnCondition(const Database& db, const Schema::TextIndex& ix,
                                 const QString& text, bool indexed)
{
    if (indexed)
        return indexedContains(db, ix, ix.columns, text);
    ListStatement s;
    s.sql = QLatin1Char('(') +
            anyLike(db, ix.columns, ix.table, ListSearch::containsPattern(text), s.values) +
            QLatin1Char(')');
    return s;
}

} // namespace

std::optional<ListStatement> ListSearch::anyColumn(const Database& db, const QString& table,
                                                   const QString& text, QString* error)
{
    const Schema::TextIndex* ix = searchedIndex(table, text, error);
    if (!ix)
        return std::nullopt;
    return anyColumnCondition(db, *ix, text, Schema::hasTextIndex(db, ix->table));
}

std::optional<ListSearch::Source> ListSearch::anyColumnSource(const Database& db,
                                                              const QString& table,
                                                              const QString& text, QString* error)
{
    const Schema::TextIndex* ix = searchedIndex(table, text, error);
    if (!ix)
        return std::nullopt;
    const bool indexed = Schema::hasTextIndex(db, ix->table);
    Source s;
    if (db.engine() == DbEngine::SQLite && indexed) {
        // The index leads, in rowid order: a page is read as far as it goes, not every row
        // the text is in.
        s.statement.values << textIndexQuery(ix->columns, text);
        const QString likes =
            anyLike(db, ix->columns, ix->table, containsPattern(text), s.statement.values);
        s.statement.sql =
            QStringLiteral("from %2 join %1 on %1.rowid = %2.rowid where %2 match ? and (%3)")
                .arg(ix->table, ix->ftsTable, likes);
        s.order = ix->ftsTable + QStringLiteral(".rowid");
        s.key = QStringLiteral("rowid");
        return s;
    }
    const ListStatement condition = anyColumnCondition(db, *ix, text, indexed);
    s.statement = {QStringLiteral("from %1 where ").arg(ix->table) + condition.sql,
                   condition.values};
    s.key = db.engine() == DbEngine::SQLite ? QStringLiteral("rowid") : QStringLiteral("编号");
    s.order = ix->table + QLatin1Char('.') + s.key;
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
    // Only a column's own text is in the index, not the text of a number or date.
    if (column->type == ColumnType::Text)
        if (const Schema::TextIndex* ix = indexServing(db, *t, {column->name}))
            return indexedContains(db, *ix, {column->name}, value);
    return ListStatement{containsCondition(db, text), {containsPattern(value)}};
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
