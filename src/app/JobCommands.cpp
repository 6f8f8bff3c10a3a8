#include "JobCommands.h"

#include "CommandOutput.h"
#include "catalogue/MarcImport.h"
#include "circulation/LoanQueries.h"
#include "data/Clock.h"
#include "data/LibraryDir.h"
#include "data/SpreadsheetReader.h"
#include "data/TableExport.h"

using CommandOutput::fail;

int runImportCommand(const QString& dir, const QString& file, const ImportLayout& layout)
{
    LibraryDir library(dir);
    if (!library.open())
        return fail(library.error());
    QString error;
    const std::unique_ptr<SpreadsheetReader> sheet = SpreadsheetReader::openFile(file, &error);
    if (!sheet)
        return fail(error);
    const SheetImport::Result result = SheetImport(library.db(), layout).run(*sheet, false);
    if (!result.error.isEmpty() && !result.outcomeUnknown)
        return fail(result.error + QStringLiteral("\n导入已中止,没有导入任何数据."));
    if (result.outcomeUnknown)
        CommandOutput::line(stderr, result.error);
    for (auto it = result.failed.cbegin(); it != result.failed.cend(); ++it)
        CommandOutput::line(stderr, QStringLiteral("行 %1: %2").arg(it.key()).arg(it.value()));
    if (result.outcomeUnknown)
        return JobExit::OutcomeUnknown;
    return result.failed.isEmpty() ? JobExit::Done : JobExit::RowsRefused;
}

int runMarcImportCommand(const QString& dir, const QString& file)
{
    LibraryDir library(dir);
    if (!library.open())
        return fail(library.error());
    MarcImport import(library.db(), MarcImportOptions{});
    QString error;
    if (!import.load(file, &error))
        return fail(error);
    const MarcImport::Result result = import.run();
    if (!result.import.error.isEmpty())
        return fail(result.import.error + QStringLiteral("\n导入已中止,没有导入任何数据."));
    for (auto it = result.failed.cbegin(); it != result.failed.cend(); ++it)
        CommandOutput::line(stderr, QStringLiteral("记录 %1: %2").arg(it.key()).arg(it.value()));
    return result.failed.isEmpty() ? JobExit::Done : JobExit::RowsRefused;
}

int runOverdueCommand(const QString& dir, const QString& file)
{
    LibraryDir library(dir);
    if (!library.open())
        return fail(library.error());
    const ListStatement overdue = LoanQueries::overdue(Clock::today());
    const TableExport::Result result = TableExport::write(
        library.db(), overdue.sql, overdue.values, LoanQueries::overdueDescription().table, file);
    return result.ok ? JobExit::Done : fail(result.message);
}
