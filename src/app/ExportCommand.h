// `tushu --dir DIR --export TABLE FILE.xlsx`: every column of a schema table to a workbook.
#pragma once

#include <QString>

// Returns the process exit code; messages go to standard error.
int runExportCommand(const QString& dir, const QString& table, const QString& file);
