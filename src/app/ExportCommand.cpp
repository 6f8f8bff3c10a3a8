#include "ExportCommand.h"

#include "data/TableExport.h"

#include <cstdio>

int runExportCommand(const QString& dir, const QString& table, const QString& file)
{
    const TableExport::Result result = TableExport::run(dir, table, file);
    std::FILE* out = result.ok ? stdout : stderr;
    std::fprintf(out, "%s\n", result.message.toUtf8().constData());
    return result.ok ? 0 : 1;
}
