// Exporting a whole table of a library to a workbook without the screens: the work behind
// `tushu --dir DIR --export TABLE FILE.xlsx`.
#pragma once

#include <QString>
#include <QVariantList>

class Database;

namespace TableExport {
struct Result
{
    bool ok = false;
    QString message; // where the rows went, or why nothing was written
    qint64 rows = 0;
};

// Reads DIR/de.ini, opens the library it names (a relative book.mdb is taken from DIR) and
// writes every column of every row of the table to file. Only names of the schema's tables
// are accepted.
Result run(const QString& dir, const QString& table, const QString& file);

// Writes every column of the rows of the statement (its values bound) to file, the column
// types taken from the schema table when the result set does not tie them to one.
Result write(const Database& db, const QString& sql, const QVariantList& values,
             const QString& table, const QString& file);
} // namespace TableExport
