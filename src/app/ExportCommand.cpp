#include "ExportCommand.h"

#include <cstdio>

int runExportCommand(const QString&, const QString&, const QString&)
{
    std::fprintf(stderr, "--export is not available in this build yet\n");
    return 2;
}
