// A library named by the folder of its de.ini, as the command line opens it: the settings
// read from DIR/de.ini and a connection of its own to the database they name (a relative
// book.mdb is taken from DIR).
#pragma once

#include "Database.h"
#include "LoginState.h"

#include <QString>

class LibraryDir
{
public:
    explicit LibraryDir(const QString& dir);

    // Reads DIR/de.ini. Returns false with error() set when there is no such file.
    bool readSettings();
    // Opens the database the settings name, reading them first when not yet read. Returns
    // false with error() set when either fails.
    bool open();

    const QString& dir() const { return dir_; }
    const LoginState& state() const { return state_; }
    const Database& db() const { return db_; }
    const QString& error() const { return error_; }

private:
    QString dir_;
    LoginState state_;
    Database db_;
    bool settingsRead_ = false;
    QString error_;
};
