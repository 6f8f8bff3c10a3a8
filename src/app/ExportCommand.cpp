#include "ExportCommand.h"

#include "CommandOutput.h"
#include "data/TableExport.h"

int runExportCommand(const QString& dir, const QString& table, const QString& file)
{
    const TableExport::Result result = TableExport::run(dir, table, file);
    CommandOutput::line(result.ok ? stdout : stderr, result.message);
    return result.ok ? 0 : 1;
}
