// The command-line jobs a scheduled task runs against the library of DIR/de.ini, each
// silent when it did its work and with the reason on standard error when it did not:
//   tushu --dir DIR --import-books FILE     the book import of the import screen
//   tushu --dir DIR --import-readers FILE   the reader import of the import screen
//   tushu --dir DIR --import-marc FILE      the MARC import of its screen, 编号 from the barcode
//   tushu --dir DIR --overdue FILE.xlsx     the overdue list, today being the program's
#pragma once

#include "data/SheetImport.h"

#include <QString>

namespace JobExit {
constexpr int Done = 0;
constexpr int Failed = 1; // nothing done: no library, no sheet, a database failure
// (2 is a command line that cannot be used.)
constexpr int RowsRefused = 3; // the import ran; the rows listed were refused, the rest is in
// The import's COMMIT failed and what it wrote could not be read back: the rows may or may
// not be in the library; look before importing again.
constexpr int OutcomeUnknown = 4;
} // namespace JobExit

// Imports rows 2 onwards of the sheet in file as the import screen does (no automatic
// numbering). Each refused row goes to standard error as "行 N: reason", N the sheet row.
int runImportCommand(const QString& dir, const QString& file, const ImportLayout& layout);

// Imports every record of a MARC file (ISO 2709 or MARCXML; format and character set as the
// records say, GBK where they do not), 编号 taken from the holdings barcode. Each refused
// record goes to standard error as "记录 N: reason", N its place in the file.
int runMarcImportCommand(const QString& dir, const QString& file);

// Writes the overdue list (every column of the open loans due today or earlier) to file.
int runOverdueCommand(const QString& dir, const QString& file);
