// The database connection and the dialect of its engine. Database::shared() is the one
// connection of the program (ADOConnection1); tests and the benchmark open others.
//
// Every value goes into SQL as a bound parameter: query()/execute() take the values in a
// list and bind them in order to the "?" placeholders. Failures throw DbError carrying the
// database's own text.
#pragma once

#include "Money.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <functional>
#include <stdexcept>

enum class DbEngine
{
    None,
    SQLite,     // kind "a": the file named by the connection string's Data Source
    PostgreSQL, // kind "s", Provider=PostgreSQL: the one server engine
};

class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message)
    {
    }
    const QString& message() const { return message_; }

private:
    QString message_;
};

// The connection to the server broke. Thrown when it could not be reopened, or when it
// broke inside a transaction (which the server then rolled back, or, when it broke while
// the COMMIT was under way and nothing could tell, may have stored: outcomeUnknown).
class DbConnectionLost : public DbError
{
public:
    explicit DbConnectionLost(const QString& message, bool outcomeUnknown = false)
        : DbError(message), outcomeUnknown_(outcomeUnknown)
    {
    }
    bool outcomeUnknown() const { return outcomeUnknown_; }

private:
    bool outcomeUnknown_;
};

class Database
{
public:
    explicit Database(QString connectionName);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The program's one shared connection.
    static Database& shared();

    // What opening a server connection string with another provider than PostgreSQL says
    // (SQLOLEDB.1 of a library kept on SQL Server, or none at all).
    static QString unsupportedProviderMessage(const QString& provider);

    // Opens by database kind ("a" or "s") and connection string. Relative SQLite paths are
    // taken from workDir (the working directory when empty). A missing SQLite file is an
    // error, never created. Returns false with *error filled on failure.
    bool open(const QString& kind, const QString& connectionString, QString* error,
              const QString& workDir = {}, int connectTimeoutSeconds = 0);
    // Opens an SQLite file directly (creating it when create is true). A file in a folder on
    // a network filesystem (FileSystemKind) opens for this connection alone: a rollback
    // journal instead of WAL, whose index lives in one machine's shared memory, and the file
    // locked for as long as the connection is open, so that a second desk is refused with
    // openElsewhereMessage() instead of corrupting it.
    bool openSqlite(const QString& path, bool create, QString* error);
    static QString openElsewhereMessage(const QString& path);
    // Whether this connection holds its SQLite file alone (on a shared folder): no other
    // connection, in this process or another, can read it while it is open.
    bool holdsFileAlone() const { return holdsFileAlone_; }
    // Opens a second connection to the same database as other (same driver and settings),
    // e.g. for a long read that must not be disturbed by the statements of the first.
    bool openCopyOf(const Database& other, QString* error);
    // The same from another thread: other is named, never touched (Qt copies the settings of
    // a connection by its name under its own lock).
    bool openCopyOf(const QString& otherConnection, DbEngine engine, QString* error);
    void close();
    bool isOpen() const;

    DbEngine engine() const { return engine_; }
    QSqlDatabase handle() const;
    QString connectionName() const { return name_; }

    // Runs a statement and returns the positioned-before-first query (forward only).
    QSqlQuery query(const QString& sql, const QVariantList& values = {}) const;
    // Runs a statement without result set; returns the number of rows affected.
    int execute(const QString& sql, const QVariantList& values = {}) const;
    // First column of the first row, or an invalid QVariant when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& values = {}) const;
    // For bulk paths that run one statement many times: prepare() it once, then run() it
    // with each row's values, bound in order. Both throw DbError; run() returns the number
    // of rows affected.
    QSqlQuery prepare(const QString& sql) const;
    int run(QSqlQuery& prepared, const QVariantList& values) const;

    // Runs work in one transaction: committed when it returns, rolled back when it throws
    // (the exception passes on). SQLite takes the write lock at once (BEGIN IMMEDIATE), so
    // two desks never deadlock upgrading a read to a write.
    //
    // On a server, a connection found broken reopens at the next statement, which then runs
    // again (once, and never inside a transaction). A transaction whose connection breaks is
    // never run again: it throws DbConnectionLost. When the break comes during the COMMIT,
    // wasStored (when given) runs on the reopened connection to find out whether the server
    // committed just before: if it says yes the transaction counts as done. On SQLite, a
    // COMMIT that fails is rolled back and wasStored asked the same way; when it cannot
    // answer the outcome is unknown (DbConnectionLost with outcomeUnknown).
    void transaction(const std::function<void()>& work,
                     const std::function<bool()>& wasStored = {}) const;

    // Called just before each COMMIT is sent (tests break the connection there).
    static void setBeforeCommitHook(std::function<void(const Database&)> hook);

    // "select ... limit n".
    QString limited(const QString& selectSql, int n) const;

    // A value in the form the engine stores: Money, QDate and QDateTime are converted.
    QVariant bindable(const QVariant& v) const;

    // Names of the tables of the database (for checks that a typed name is a table).
    QStringList tables() const;

    // A statement on the shared desk connection is given up after this long on a server.
    static constexpr int kStatementTimeoutMs = 30000;
    static constexpr int kConnectTimeoutSeconds = 10;

private:
    QSqlQuery runQuery(const QString& sql, const QVariantList& values) const;
    // Reopens the connection first when an earlier statement found it broken.
    void ensureConnected() const;
    // Whether the last failure came from a broken connection.
    bool connectionLost(const QSqlError& error) const;
    bool reconnect(QString* reason) const;
    void setUpSession() const;
    // The per-connection settings of an SQLite file.
    bool setUpSqlite(QString* error) const;
    // Takes the file's lock for the whole connection; throws DbError when another desk has it.
    void claimFileAlone(const QString& path);
    [[noreturn]] void throwLost(const QSqlError& error, bool inTransaction) const;

    QString name_;
    DbEngine engine_ = DbEngine::None;
    bool deskTimeouts_ = false; // the statement timeout applies (not to long-read copies)
    bool holdsFileAlone_ = false;
    mutable int transactionDepth_ = 0;
};

// Reading typed values out of a row. A NULL where a value is needed throws the conversion
// error "Could not convert variant of type (Null) into type (...)".
namespace DbValue {
QString conversionError(const QString& wanted);
bool toBool(const QVariant& v);
int toInt(const QVariant& v);
Money toMoney(const QVariant& v);
QDate toDate(const QVariant& v);
QDateTime toDateTime(const QVariant& v);
QString toText(const QVariant& v); // NULL reads as empty text
// Lenient forms for display: NULL gives an empty/invalid value.
QDate dateOrNull(const QVariant& v);
QDateTime dateTimeOrNull(const QVariant& v);
QString dateText(const QVariant& v);     // "yyyy-MM-dd" or ""
QString dateTimeText(const QVariant& v); // "yyyy-MM-dd hh:mm:ss" or ""
} // namespace DbValue
