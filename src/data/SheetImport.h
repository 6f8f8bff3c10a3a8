// The import of spreadsheet rows into one table, for the book and the reader import: the
// n-th column of the sheet feeds the n-th column of a layout, row 1 holds titles. What is
// imported is described by an ImportLayout, the way the dictionary editors are described by
// their tables; this class holds the checks and the SQL.
//
// All or nothing: the whole import runs in one transaction, so a cancel, a lost
// connection or a crash leaves no row behind. Inside it every batch of rows has a
// savepoint; when the database refuses a row of a batch, the batch is rolled back and
// replayed row by row, each under its own savepoint, so that the refused row is listed and
// the others go in (on PostgreSQL too, where an error would otherwise abort the rest).
#pragma once

#include "Database.h"

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class SpreadsheetReader;

struct ImportColumn
{
    enum class Kind
    {
        Text,     // stored as the trimmed cell text
        Identity, // a number the desk searches: text, refused in scientific notation
        Integer,  // a whole number
        Money,    // an amount, at most four decimals
    };
    // What an empty Integer cell stores.
    enum class Empty
    {
        Fails, // the row fails: the cell is no number
        Zero,
        Null,
    };
    QString caption; // list B's item
    QString column;  // the column of the table
    Kind kind = Kind::Text;
    bool required = false; // an empty cell fails the row
    Empty empty = Empty::Fails;
};

struct ImportLayout
{
    QString table;
    QList<ImportColumn> columns;               // by sheet position, from column 1
    QList<std::pair<QString, QVariant>> fixed; // written into every imported row
    int keyColumn = 0; // index into columns of the identity, unique in table and sheet

    QStringList columnNames() const;
};

class SheetImport
{
public:
    SheetImport(const Database& db, ImportLayout layout) : db_(db), layout_(std::move(layout)) {}

    // Called with the sheet row being worked on, at most once per interval (and once at
    // the end); returning false cancels the import. An exception thrown here ends the
    // import like a database failure.
    using Progress = std::function<bool(int row)>;
    // The interval between two progress calls; 0 calls it for every row.
    void setProgressInterval(int milliseconds) { progressInterval_ = milliseconds; }

    struct Result
    {
        int imported = 0;
        int blankRows = 0;         // rows without any text, skipped
        QMap<int, QString> failed; // sheet row -> why it was not imported
        bool cancelled = false;    // nothing stored
        QString error;             // the failure that stopped the import; nothing stored
        qint64 checkMilliseconds = 0;
        qint64 insertMilliseconds = 0;

        bool stored() const { return !cancelled && error.isEmpty(); }
        // The failed rows as the screen lists them: "3,5,".
        QString failedRowsText() const;
    };

    // Imports rows 2 to the last used row. With autoNumber the identity is the decimal of
    // the sheet row number instead of column 1.
    Result run(const SpreadsheetReader& sheet, bool autoNumber,
               const Progress& progress = {}) const;

    // The value a cell stores in a column, or nullopt with *reason filled when the row
    // must fail because of it.
    static std::optional<QVariant> convert(const ImportColumn& column, const QString& cell,
                                           QString* reason);
    // "9.78712E+12": a number shown in scientific notation, whose digits are lost.
    static bool isScientific(const QString& text);

private:
    struct Pending
    {
        int row;
        QVariantList values;
    };
    void insertBatch(QSqlQuery& insert, const std::vector<Pending>& batch, Result& result) const;
    void savepoint(const QString& name) const;
    void releaseSavepoint(const QString& name) const;
    void rollbackToSavepoint(const QString& name) const;
    QString insertSql() const;

    const Database& db_;
    ImportLayout layout_;
    int progressInterval_ = 50;
};
