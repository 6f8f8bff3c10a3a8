// The one-column search of the list screens ("查询条件": a column, a value, "精确" or
// "模糊") as a statement with bound values. The column must be a column of the table in the
// schema; anything else is refused before a statement is built. "模糊" finds the value as
// plain characters (%, _ and \ escaped) and compares numbers and dates as their text; both
// ignore the letter case of text (ASCII letters on SQLite), so that the same search gives
// the same rows on every engine.
#pragma once

#include "Database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

// A list screen described as data: the table and its first statement, the columns an
// operator may search, the grid's columns and footers, the export statement and the
// printed list. Books, periodicals and readers are lists of one kind.
struct ShownColumn
{
    QString field;
    QString title; // empty: the field's name
};

struct PrintColumn
{
    QString field;
    QString title;
    double widthMm;
};

struct ListDescription
{
    QString table;
    QString caption;           // of the screen
    QString objectName;        // of the screen
    int openingRows = 0;       // the first statement lists this many rows (0: all)
    QStringList searchColumns; // the first is the initial one
    QList<ShownColumn> gridColumns;
    QStringList hiddenColumns; // present in the rows, not shown
    QString countFooter;
    QStringList sumFooters;
    QStringList exportColumns; // empty: every column of the list's rows
    QString printTitle;
    QList<PrintColumn> printColumns;
    // The printed list's totals line: label, sum of the first field, label, sum of the
    // second (either may be empty).
    QString printSumLabel1;
    QString printSumField1;
    QString printSumLabel2;
    QString printSumField2;

    QString selectAll() const { return QStringLiteral("select * from ") + table; }
    // The statement the list opens with.
    QString opening(const Database& db) const;
    // The head of the export statement, to which a search adds its condition.
    QString exportHead() const;
};

struct ListStatement
{
    QString sql;
    QVariantList values;
};

namespace ListSearch {
inline const QString kEmptyCondition = QStringLiteral("请填写好查询条件!");

// "%" + text with \, % and _ escaped by \ + "%": a LIKE pattern (with escape '\') that
// finds text anywhere as plain characters.
QString containsPattern(const QString& text);

// The refusal of a typed column that is not one of the table's columns.
QString unknownColumn(const QString& typed);

// The condition "F = ?" or "F like ?" for the typed column on the table, or nullopt with
// *error set (an empty condition, a column not of the schema). The condition's values go
// with it.
std::optional<ListStatement> condition(const Database& db, const QString& table,
                                       const QString& typedColumn, const QString& value, bool exact,
                                       QString* error);

// The FTS5 query that names the rows holding the text (as the phrase of its pieces,
// TextTokenizer) in one of the columns.
QString textIndexQuery(const QStringList& columns, const QString& text);

// The condition that finds text anywhere in any indexed text column of the table (图书 or
// 期刊: title, author, ISBN, publisher, class, call number, numbers), as "模糊" finds it in
// one column; through the text index where it serves. nullopt with *error for another table
// or empty text.
std::optional<ListStatement> anyColumn(const Database& db, const QString& table,
                                       const QString& text, QString* error);

// The rows anyColumn finds, for a program that reads a page at a time: "from ... where ..."
// with its values (the table's columns named table.column), and the order that pages it
// without sorting every row found: on SQLite the order the library took the rows in, on
// PostgreSQL 编号.
struct Source
{
    ListStatement statement;
    QString order;
    QString key; // the table's column whose values order gives (rowid or 编号)
};
std::optional<Source> anyColumnSource(const Database& db, const QString& table, const QString& text,
                                      QString* error);

// selectHead (e.g. "select * from 图书") followed by " where " and the condition.
std::optional<ListStatement> statement(const Database& db, const QString& selectHead,
                                       const QString& table, const QString& typedColumn,
                                       const QString& value, bool exact, QString* error);
} // namespace ListSearch
