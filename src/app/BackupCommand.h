// `tushu --dir DIR --backup FOLDER`: the backup of the backup screen, for scheduled jobs.
#pragma once

#include <QString>

// Reads DIR/de.ini, opens the library it names and writes its backup into FOLDER. Returns
// the process exit code (0 when the backup was written); messages go to standard output,
// failures with their reason to standard error. A library on a database server is refused
// with a pointer to the server's own tools.
int runBackupCommand(const QString& dir, const QString& folder);
