// What the database settings screen decides: its first choice and inputs from de.ini, the
// connection string of a server test, the test itself on a connection of its own, and what
// "保存" writes.
#pragma once

#include "data/Database.h"
#include "data/SettingsFile.h"

#include <QString>
#include <QStringList>

class SetDataRules
{
public:
    enum class Choice
    {
        None,
        Access,
        Server,
    };
    struct ServerInputs
    {
        QString server;
        QString database;
        QString user;
        QString password;
        QString provider;
    };

    // file: de.ini; kind: the database kind of this run (LoginState::DbKind).
    SetDataRules(SettingsFile file, QString kind);

    // Access for "a", Server for "s", no choice for any other kind.
    Choice initialChoice() const;
    // The four inputs as last saved (default "0" each) and the provider of a server
    // connection string: PostgreSQL, the one server engine.
    ServerInputs storedInputs() const;
    // The providers a server connection can use: PostgreSQL alone.
    static QStringList providers();

    // "Provider=...;Password=...;Persist Security Info=True;User ID=...;Initial Catalog=...;
    // Data Source=...;" from the inputs as typed. A value that would end early (";", a
    // leading quote, blanks at either end) is put in double quotes.
    static QString connectionString(const ServerInputs& inputs);

    // Connects to the server with a 10 second time-out on the test connection, closing an
    // earlier test connection first. False with *error on failure.
    bool test(const ServerInputs& inputs, QString* error);
    // Whether a test succeeded and the inputs have not changed since.
    bool hasValidTest() const { return !testedString_.isEmpty(); }
    const QString& testedString() const { return testedString_; }
    // An input changed: the earlier test no longer speaks for them.
    void inputsChanged();

    // Writes abc (unchanged when nothing is chosen), the four inputs trimmed, and cs when a
    // valid test stands (otherwise cs keeps its value). False with *error when de.ini
    // cannot be written.
    bool save(Choice choice, const ServerInputs& inputs, QString* error);

    const Database& testConnection() const { return testDb_; }

    static constexpr int kTestTimeoutSeconds = 10;

private:
    SettingsFile file_;
    QString kind_;
    Database testDb_;
    QString testedString_;
};
