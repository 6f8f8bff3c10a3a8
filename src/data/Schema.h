// Every table and column of the library database, once, and the statements that create
// them on each engine with the rows that must exist.
#pragma once

#include "Database.h"

#include <QList>
#include <QString>
#include <QStringList>

enum class ColumnType
{
    Text,
    LongText,
    Integer,
    Real,
    Money,
    Date,
    DateTime,
    YesNo,
    AutoNumber,
};

struct ColumnDef
{
    QString name;
    ColumnType type;
    QString defaultSql; // SQL default expression, empty for none
};

struct TableDef
{
    QString name;
    QList<ColumnDef> columns;
    bool isLookup = false; // edited by the dictionary screens

    const ColumnDef* column(const QString& columnName) const; // without regard to case
};

namespace Schema {
const QList<TableDef>& tables();
const TableDef* table(const QString& name); // without regard to case; nullptr if unknown
// The schema's own spelling of a table or column name typed by an operator, or empty text
// when the name is not one of the schema: only such names may stand in SQL text.
QString tableName(const QString& typed);
QString columnName(const QString& table, const QString& typed);

// CREATE TABLE and CREATE INDEX statements for the engine, with the text index of the
// catalogue.
QStringList createStatements(DbEngine engine);

// The catalogue's text index: the text columns of a table whose "模糊" search an index can
// serve: the characters and pairs of neighbouring characters of each column. On SQLite an
// FTS5 table (TextTokenizer) over the table's own rows, kept up to date by triggers on the
// table; on PostgreSQL a GIN index on tushu_grams(lower(column)) per column.
struct TextIndex
{
    QString table;
    QString ftsTable; // SQLite
    QStringList columns;
};
const QList<TextIndex>& textIndexes();
// The text index of the table (its schema name), or nullptr.
const TextIndex* textIndex(const QString& table);
// Statements that make the text indexes of every table on the engine. On SQLite they make
// empty tables: a library with rows fills them by rebuildTextIndexes.
QStringList textIndexStatements(DbEngine engine);
// Fills the SQLite text indexes from their tables' rows (after rows came in without them).
void rebuildTextIndexes(const Database& db);
// Whether the database has the table's text index (SQLite: the FTS table; PostgreSQL: the
// GIN indexes).
bool hasTextIndex(const Database& db, const QString& table);
// Creates every table and the rows that must exist, in one transaction.
void create(const Database& db);
// Adds to a library created before them the tables, columns and indexes that came later
// (the shelf inventory's tables, the overdue notice's text, the case-blind indexes of the
// exact search, the catalogue's text index, built from the rows once) and the unique key on
// 管理员.AdminName unless names are held twice, in one transaction. True when anything was added.
// Throws DbError.
bool addMissing(const Database& db);
// The operator names that more than one row of 管理员 holds; while there are any, the
// unique key on AdminName cannot be made and a change by name reaches several operators.
// Throws DbError.
QStringList duplicateOperatorNames(const Database& db);
// The overdue notice's text of a new library (系统设置.催还通知文字).
inline const QString kDefaultOverdueNoticeText =
    QStringLiteral("您借阅的以上资料已超过应还日期，请尽快归还。");
// Adds the small sample library (categories, publishers, places, readers, books,
// periodicals) on top of a new database, in one transaction.
void addDemoLibrary(const Database& db);
} // namespace Schema
