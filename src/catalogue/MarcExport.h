// The export of books as MARC: the books of a statement over 图书 (the searched or the
// chosen ones of the book list), one record each, written to a file in one step.
#pragma once

#include "data/Database.h"
#include "data/ListSearch.h"
#include "marc/MarcWriter.h"

#include <QMap>

namespace MarcExport {
struct Result
{
    int written = 0;
    QMap<QString, QString> failed; // 编号 -> why its record was not written
    QString error;                 // nothing written: the database's or the file's text
    bool ok() const { return error.isEmpty(); }
};

// The columns of the books MarcMapping knows, 编号 first.
QStringList columns();
// The statement of the books with these numbers.
ListStatement chosen(const QStringList& numbers);

// Writes the books of statement to path (replaced only when everything could be read).
Result write(const Database& db, const ListStatement& books, MarcFormat format, MarcSyntax syntax,
             const QString& path, QDate today);
} // namespace MarcExport
