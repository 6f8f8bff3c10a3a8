#include "BackupCommand.h"

#include "CommandOutput.h"
#include "data/LibraryDir.h"
#include "maintenance/BackUpAccessRules.h"

#include <QDir>

using CommandOutput::fail;

int runBackupCommand(const QString& dir, const QString& folder)
{
    LibraryDir library(dir);
    if (!library.readSettings())
        return fail(library.error());
    if (library.state().DbKind == QLatin1String("s"))
        return fail(BackupText::ServerDatabase);
    if (!library.open())
        return fail(library.error());
    const BackUpAccessRules::Result result = BackUpAccessRules(library.db()).backup(folder);
    if (!result.ok)
        return fail(result.message);
    CommandOutput::line(stdout,
                        result.message + QLatin1Char(' ') + QDir::toNativeSeparators(result.file));
    return 0;
}
