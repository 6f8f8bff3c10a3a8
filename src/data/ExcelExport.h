// Copying a result set into a new .xlsx workbook: a header row of the column names, then
// one row per record with typed cells (numbers and amounts as numbers, dates as dates,
// yes/no as truth values, texts as texts, NULL as an empty cell), columns as wide as their
// content. The rows stream from the query to the file: nothing holds all of them, so the
// memory used does not grow with the number of rows.
//
// The type of a column comes from the schema when the result set names a table of the
// schema (or the caller does), otherwise from its values: SQLite hands dates over as
// "yyyy-MM-dd" text and amounts as REAL, PostgreSQL as QDate/QDateTime and numeric.
#pragma once

#include <QString>
#include <functional>

class QSqlQuery;

class ExcelExport
{
public:
    // Called every few hundred rows with the number of rows written so far; returning false
    // cancels the export.
    using Progress = std::function<bool(qint64 rowsWritten)>;

    explicit ExcelExport(QString path);

    // The schema table whose column types apply to columns the result set does not tie to
    // a table of its own (PostgreSQL and SQLite usually do).
    void setTable(const QString& table) { table_ = table; }
    void setProgress(Progress progress) { progress_ = std::move(progress); }

    // Writes the columns first..last (positions in the result set, from 0) of every row.
    // The query may stand before its first row, or anywhere when it can scroll back; a
    // forward-only query that has been read is run again. Returns false on failure or
    // cancellation, with errorText() telling why; the file is not left behind then.
    bool write(QSqlQuery& query, int first, int last);

    const QString& errorText() const { return error_; }
    bool wasCancelled() const { return cancelled_; }
    qint64 rowsWritten() const { return rows_; }
    const QString& path() const { return path_; }

    // Width of a text in a worksheet column: characters of the wide East Asian scripts
    // count twice.
    static int displayWidth(const QString& text);

private:
    QString path_;
    QString table_;
    Progress progress_;
    QString error_;
    bool cancelled_ = false;
    qint64 rows_ = 0;
};
