// Program start: the command line, the local settings, the login and the main window.
#pragma once

#include <QString>
#include <QStringList>

namespace Startup {
struct Options
{
    QString dir;         // --dir: folder of de.ini and working directory
    QString initDir;     // --init: create a new library there
    bool demo = false;   // --demo: with the sample library
    QString server;      // --server: connection string of a PostgreSQL database for --init
    QString exportTable; // --export TABLE FILE
    QString exportFile;
    QString backupFolder;      // --backup FOLDER
    QString importBooksFile;   // --import-books FILE
    QString importReadersFile; // --import-readers FILE
    QString importMarcFile;    // --import-marc FILE
    QString overdueFile;       // --overdue FILE.xlsx
    bool help = false;         // --help
    QString error;             // a command line that cannot be used
};

// Reads the arguments after the program name.
Options parseArguments(const QStringList& arguments);

// What --help prints: every option with what it does.
const char* usage();

int main(int argc, char** argv);
} // namespace Startup
