// What the login screen decides: opening the shared connection with the chosen string, the
// operator names, the default-password prefill, the library settings and the login itself.
// Database failures throw DbError with the database's own text (or the conversion error for
// a NULL where a value is needed).
#pragma once

#include "data/Database.h"
#include "data/LoginState.h"

#include <QList>
#include <QString>
#include <QStringList>

class LoginRules
{
public:
    LoginRules(const Database& db, LoginState& state) : db_(db), state_(state) {}

    // de.ini in the program's folder (LoginState::programDir; the working directory when
    // that is empty).
    static QString settingsFilePath(const LoginState& state);

    // For kind "a" without book.mdb in workDir: the message that names the missing file
    // and the command that creates a library. Empty when the start-up can go on (kind "s"
    // needs no file).
    static QString missingLibraryMessage(const LoginState& state, const QString& workDir);

    // For kind "s" whose connection string names another provider than PostgreSQL (a
    // library kept on SQL Server): whether the connection is refused for that reason alone.
    static bool refusesProvider(const LoginState& state);

    // Closes the shared connection and opens it again with the state's kind and connection
    // string, book.mdb taken from the working directory. False with *error on failure.
    static bool openConnection(Database& db, const LoginState& state, QString* error);

    // Empty while every operator's name is held once; otherwise what the start tells the
    // operator: those names, which every change by name would reach several times over.
    QString duplicateOperatorsMessage() const;

    // adminname of every operator, in the order the database returns them. A NULL name
    // throws the conversion error.
    QStringList operatorNames() const;
    // Whether the super administrator still has the default password.
    bool superAdministratorHasDefaultPassword() const;

    // Copies the eleven library settings of the first row of 系统设置 into the state. The
    // state is only changed when every value could be read.
    void readLibrarySettings() const;

    // Reads the library settings, then checks name (as typed) and password. On success the
    // rights and OperatorName (trimmed) are set and true is returned; false means no such
    // name and password. A NULL rights column throws and leaves the rights as they were.
    bool login(const QString& name, const QString& password) const;

    // The rights columns of 管理员 and the field each fills, in the order of the table.
    struct RightColumn
    {
        const char* column;
        bool Rights::*field;
    };
    static const QList<RightColumn>& rightsColumns();
    // The super administrator's rule: every right on except qxModifyStock, which stays as
    // the row has it.
    static Rights withSuperAdministratorRights(Rights rights);
    static bool isSuperAdministrator(const QString& name);

private:
    const Database& db_;
    LoginState& state_;
};
