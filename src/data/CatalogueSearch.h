// The catalogue search of programs without screens (the reader portal): books or
// periodicals that hold a text anywhere in the title, author, ISBN/ISSN, publisher, class,
// call number, number or barcode, as the lists' "模糊" finds it, a page at a time in 编号
// order. It runs on the text index where one serves.
#pragma once

#include "ListSearch.h"

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <optional>

namespace CatalogueSearch {
// The most rows one page may ask for.
constexpr int kMostRows = 1000;

struct Request
{
    QString table; // 图书 or 期刊
    QString text;
    int limit = 20;
    int offset = 0;
    // Keyset paging: only rows whose 编号 sorts after this one (empty: from the first row).
    QString after;
};

struct Page
{
    QList<QSqlRecord> rows; // every column of the table
    bool more = false;      // rows follow this page
};

// The statement of one page (limit + 1 rows, to tell whether more follow), or nullopt with
// *error set (another table, empty text, a limit outside 1..kMostRows or a negative offset).
std::optional<ListStatement> statement(const Database& db, const Request& request, QString* error);
// The page, or nullopt with *error set. Throws DbError.
std::optional<Page> find(const Database& db, const Request& request, QString* error);
} // namespace CatalogueSearch
