// The import of spreadsheet rows into one table, for the book and the reader import: the
// n-th column of the sheet feeds the n-th column of a layout, row 1 holds titles. What is
// imported is described by an ImportLayout, the way the dictionary editors are described by
// their tables; this class holds the checks and the SQL.
//
// All or nothing, without holding the other desks up: the import works on a connection of
// its own. It first reads and checks every row and stages the good ones in a temporary
// table of that connection, which takes no lock on the library (the database refuses
// values of the wrong type already there). Only then does one short transaction copy the
// staged rows into the table, a slice at a time under a savepoint: when the database
// refuses a row of a slice, the slice is rolled back and copied row by row, so that the
// refused row is listed and the others go in. A cancel, a lost connection or a crash leaves
// no row behind. When the COMMIT itself fails, the import reads back what it wrote before
// it says whether the rows are stored.
#pragma once

#include "Database.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class SpreadsheetReader;

// The rows an import takes, handed over one at a time in ascending order, so that a long
// file need not be held whole in memory. A sheet is one; a MARC file read as a stream is
// another.
class ImportRows
{
public:
    virtual ~ImportRows() = default;
    // The highest row number, for the progress. Row numbers are positive and ascending and
    // may leave numbers out; they name the rows in the result (a sheet's start at 2, its
    // row 1 holding the titles).
    virtual int lastRow() const = 0;
    // Fills cells (one per layout column) and numbers (whether the file holds each cell as
    // a number) with the next row and returns its number; 0 when no row is left.
    virtual int next(QStringList& cells, std::vector<char>& numbers) = 0;
};

struct ImportColumn
{
    enum class Kind
    {
        Text,     // stored as the trimmed cell text
        Identity, // a number the desk searches: text, refused when its digits may be lost
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
    // The import opens a connection of its own to the database of db; db itself is only
    // named, so run() may be called from a worker thread.
    SheetImport(const Database& db, ImportLayout layout) : db_(db), layout_(std::move(layout)) {}

    enum class Phase
    {
        Checking, // reading, checking and staging the rows: nothing is locked
        Writing,  // the one transaction that stores them
    };
    // Called with the phase and the sheet row being worked on, at most once per interval
    // (and once at the end of each phase); returning false cancels the import. An exception
    // thrown here ends the import like a database failure. It must not wait for the
    // operator: while Writing, the library's write lock is held.
    using Progress = std::function<bool(Phase phase, int row)>;
    // The interval between two progress calls; 0 calls it for every row.
    void setProgressInterval(int milliseconds) { progressInterval_ = milliseconds; }

    struct Result
    {
        int imported = 0;          // rows stored (or, when outcomeUnknown, written)
        int blankRows = 0;         // rows without any text, skipped
        QMap<int, QString> failed; // sheet row -> why it was not imported
        bool cancelled = false;    // nothing stored
        QString error;             // the failure that stopped the import
        // The COMMIT failed and what it wrote could not be read back: the rows may or may
        // not be stored. Otherwise an error means nothing was stored.
        bool outcomeUnknown = false;
        qint64 checkMilliseconds = 0;
        qint64 insertMilliseconds = 0;
        qint64 writeMilliseconds = 0; // the final transaction, BEGIN to COMMIT

        bool stored() const { return !cancelled && error.isEmpty(); }
        // The failed rows as the screen lists them: "3,5,".
        QString failedRowsText() const;
    };

    // Imports rows 2 to the last used row. With autoNumber the identity is the decimal of
    // the sheet row number instead of column 1.
    Result run(const SpreadsheetReader& sheet, bool autoNumber,
               const Progress& progress = {}) const;
    Result run(ImportRows& rows, bool autoNumber, const Progress& progress = {}) const;

    // The value a cell stores in a column, or nullopt with *reason filled when the row
    // must fail because of it. isNumber: the file holds the cell as a number.
    static std::optional<QVariant> convert(const ImportColumn& column, const QString& cell,
                                           QString* reason, bool isNumber = false);
    // "9.78712E+12": a number shown in scientific notation, whose digits are lost.
    static bool isScientific(const QString& text);
    // A whole number of 16 digits or more: a spreadsheet program keeps 15 significant
    // digits of a number cell, and a double cannot hold every whole number from 2^53 on,
    // so its last digits may not be the ones that were typed.
    static bool isInexactWholeNumber(const QString& numberText);

private:
    class Run;
    const Database& db_;
    ImportLayout layout_;
    int progressInterval_ = 50;
};
