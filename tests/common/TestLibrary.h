// Libraries for tests: a new SQLite book.mdb in a temporary folder, or a new database on
// the PostgreSQL server that test.sh starts (TUSHU_PG_HOST / TUSHU_PG_PORT / TUSHU_PG_USER).
#pragma once

#include "data/Database.h"

#include <QTemporaryDir>
#include <memory>

class TestLibrary
{
public:
    enum Engine
    {
        SQLite,
        PostgreSQL
    };

    // Creates the schema (and the demo library when demo is true). With shared true the
    // library opens on Database::shared(), so screens see it; otherwise on its own connection.
    explicit TestLibrary(Engine engine = SQLite, bool demo = false, bool shared = true);
    ~TestLibrary();

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    Database& db() { return *db_; }
    QString dir() const { return dir_.path(); }
    // The connection string of this library for its kind ("a": the Jet-style string whose
    // Data Source names the file; "s": a PostgreSQL string).
    QString kind() const;
    QString connectionString() const;
    // Writes de.ini into dir(), naming this library, as a program started with --dir reads
    // it; false with error set when it cannot.
    bool writeSettingsFile(QString* error) const;

    // The server ends the session of db, as a server restart does to every connection
    // (PostgreSQL only); returns once that session is gone.
    static bool dropSession(const Database& db, QString* error);
    // The PostgreSQL database of this library (empty on SQLite).
    QString serverDatabase() const { return pgDatabase_; }

    // Whether tests on PostgreSQL can run; when TUSHU_REQUIRE_PG=1 a missing server fails.
    static bool postgresConfigured();
    static QString postgresConnectionString(const QString& database);

private:
    Engine engine_;
    QTemporaryDir dir_;
    QString pgDatabase_;
    QString error_;
    Database* db_ = nullptr;
    std::unique_ptr<Database> own_;
};

// Use in a test: QSKIP when PostgreSQL is not configured, unless it is required.
#define TUSHU_REQUIRE_ENGINE(engine)                                                               \
    do {                                                                                           \
        if ((engine) == TestLibrary::PostgreSQL && !TestLibrary::postgresConfigured()) {           \
            if (qgetenv("TUSHU_REQUIRE_PG") == "1")                                                \
                QFAIL("PostgreSQL is required (TUSHU_REQUIRE_PG=1) but TUSHU_PG_HOST is not set"); \
            QSKIP("PostgreSQL not configured (TUSHU_PG_HOST)");                                    \
        }                                                                                          \
    } while (0)
