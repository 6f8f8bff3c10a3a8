#include "TestLibrary.h"

#include "data/LibraryInit.h"
#include "data/Schema.h"

#include <QDir>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

namespace {
QString env(const char* name, const char* fallback)
{
    const QByteArray v = qgetenv(name);
    return QString::fromLocal8Bit(v.isEmpty() ? QByteArray(fallback) : v);
}

// Runs one statement on the server's maintenance database (CREATE/DROP DATABASE).
bool adminExec(const QString& sql, QString* error)
{
    const QString name = QStringLiteral("tushu-test-admin-") + QUuid::createUuid().toString();
    bool ok = false;
    {
        Database admin(name);
        if (!admin.open(QStringLiteral("s"),
                        TestLibrary::postgresConnectionString(QStringLiteral("postgres")), error))
            return false;
        try {
            admin.execute(sql);
            ok = true;
        } catch (const DbError& e) {
            *error = e.message();
        }
    }
    return ok;
}
} // namespace

bool TestLibrary::dropSession(const Database& db, QString* error)
{
    bool ok = false;
    {
        Database admin(QStringLiteral("tushu-test-terminator-") + QUuid::createUuid().toString());
        if (!admin.open(QStringLiteral("s"), postgresConnectionString(QStringLiteral("postgres")),
                        error))
            return false;
        try {
            QSqlQuery q(db.handle());
            if (!q.exec(QStringLiteral("select pg_backend_pid()")) || !q.next()) {
                *error = QStringLiteral("no session to end");
                return false;
            }
            const int backend = q.value(0).toInt();
            admin.execute(QStringLiteral("select pg_terminate_backend(?)"), {backend});
            for (int i = 0; i < 500; ++i) {
                if (admin
                        .scalar(QStringLiteral("select count(*) from pg_stat_activity where "
                                               "pid = ?"),
                                {backend})
                        .toInt() == 0) {
                    ok = true;
                    break;
                }
                QThread::msleep(10);
            }
            if (!ok)
                *error = QStringLiteral("the session did not end");
        } catch (const DbError& e) {
            *error = e.message();
        }
    }
    return ok;
}

bool TestLibrary::postgresConfigured()
{
    return !qgetenv("TUSHU_PG_HOST").isEmpty();
}

QString TestLibrary::postgresConnectionString(const QString& database)
{
    return QStringLiteral(
               "Provider=PostgreSQL;Data Source=%1;Port=%2;Initial Catalog=%3;User ID=%4;"
               "Password=%5")
        .arg(env("TUSHU_PG_HOST", "127.0.0.1"), env("TUSHU_PG_PORT", "5432"), database,
             env("TUSHU_PG_USER", "postgres"), env("TUSHU_PG_PASSWORD", ""));
}

TestLibrary::TestLibrary(Engine engine, bool demo, bool shared) : engine_(engine)
{
    if (shared) {
        db_ = &Database::shared();
        db_->close();
    } else {
        own_ = std::make_unique<Database>(QStringLiteral("tushu-test-") +
                                          QUuid::createUuid().toString());
        db_ = own_.get();
    }
    if (engine == SQLite) {
        if (!db_->openSqlite(QDir(dir_.path()).absoluteFilePath(QStringLiteral("book.mdb")), true,
                             &error_))
            return;
    } else {
        pgDatabase_ =
            QStringLiteral("tushu_test_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
        if (!adminExec(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0")
                           .arg(pgDatabase_),
                       &error_))
            return;
        if (!db_->open(QStringLiteral("s"), connectionString(), &error_))
            return;
    }
    try {
        Schema::create(*db_);
        if (demo)
            Schema::addDemoLibrary(*db_);
    } catch (const DbError& e) {
        error_ = e.message();
    }
}

TestLibrary::~TestLibrary()
{
    db_->close();
    if (!pgDatabase_.isEmpty()) {
        QString ignored;
        adminExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(pgDatabase_),
                  &ignored);
    }
}

QString TestLibrary::kind() const
{
    return engine_ == SQLite ? QStringLiteral("a") : QStringLiteral("s");
}

QString TestLibrary::connectionString() const
{
    if (engine_ == PostgreSQL)
        return postgresConnectionString(pgDatabase_);
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1")
        .arg(QDir(dir_.path()).absoluteFilePath(QStringLiteral("book.mdb")));
}

bool TestLibrary::writeSettingsFile(QString* error) const
{
    return LibraryInit::writeSettingsFile(QDir(dir()).absoluteFilePath(QStringLiteral("de.ini")),
                                          kind(), connectionString(), error);
}
