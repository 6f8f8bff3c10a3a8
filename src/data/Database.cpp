#include "Database.h"

#include "ConnectionString.h"
#include "FileSystemKind.h"
#include "TextTokenizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace {
QString errorText(const QSqlError& e)
{
    QString t = e.databaseText().trimmed();
    const QString d = e.driverText().trimmed();
    if (t.isEmpty())
        t = d;
    else if (!d.isEmpty() && !t.contains(d))
        t = t + QStringLiteral(" (") + d + QLatin1Char(')');
    return t.isEmpty() ? QStringLiteral("数据库错误") : t;
}

// The server's reason in one line, without the severity and the driver's own words:
// "FATAL:  terminating connection due to administrator command" → "terminating …".
QString serverReason(const QSqlError& e)
{
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.driverText().trimmed();
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QString l = line.trimmed();
        for (const char* prefix : {"FATAL:", "ERROR:", "could not send data to server:"})
            if (l.startsWith(QLatin1String(prefix)))
                l = l.mid(int(qstrlen(prefix))).trimmed();
        if (!l.isEmpty())
            return l;
    }
    return QStringLiteral("连接已断开");
}

std::function<void(const Database&)>& beforeCommitHook()
{
    static std::function<void(const Database&)> hook;
    return hook;
}
} // namespace

Database::Database(QString connectionName) : name_(std::move(connectionName)) {}

Database::~Database()
{
    close();
}

Database& Database::shared()
{
    // Never destroyed: static destructors run after Qt SQL's registry and drivers are gone.
    // The connection closes while the application object is still alive instead.
    static Database* db = [] {
        qAddPostRoutine([] { Database::shared().close(); });
        return new Database(QStringLiteral("ADOConnection1"));
    }();
    return *db;
}

QSqlDatabase Database::handle() const
{
    return QSqlDatabase::database(name_, false);
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(name_) && QSqlDatabase::database(name_, false).isOpen();
}

void Database::close()
{
    if (QSqlDatabase::contains(name_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }
    engine_ = DbEngine::None;
    holdsFileAlone_ = false;
}

bool Database::openCopyOf(const Database& other, QString* error)
{
    close();
    if (!other.isOpen()) {
        if (error)
            *error = QStringLiteral("数据库没有连接.");
        return false;
    }
    if (other.holdsFileAlone_) {
        if (error)
            *error = QStringLiteral("共享文件夹上的图书馆只能有一个连接.");
        return false;
    }
    return openCopyOf(other.name_, other.engine_, error);
}

bool Database::openCopyOf(const QString& otherConnection, DbEngine engine, QString* error)
{
    close();
    QSqlDatabase db = QSqlDatabase::cloneDatabase(otherConnection, name_);
    if (!db.open()) {
        if (error)
            *error = errorText(db.lastError());
        db = QSqlDatabase();
        close();
        return false;
    }
    engine_ = engine;
    deskTimeouts_ = false; // long reads are not cut off
    // The settings of a connection that the file does not keep: a copy that writes checks
    // the same keys and reaches the disk the same way as the one it copies.
    if (engine_ == DbEngine::SQLite && !setUpSqlite(error)) {
        close();
        return false;
    }
    return true;
}

bool Database::setUpSqlite(QString* error) const
{
    // The catalogue's text index is read and written through its tokenizer: a connection
    // without it could not change a book.
    const QVariant driverHandle = handle().driver()->handle();
    sqlite3* connection = qstrcmp(driverHandle.typeName(), "sqlite3*") == 0
                              ? *static_cast<sqlite3* const*>(driverHandle.constData())
                              : nullptr;
    if (!connection || !TextTokenizer::registerOn(connection, error))
        return false;
    try {
        execute(QStringLiteral("PRAGMA synchronous=FULL"));
        execute(QStringLiteral("PRAGMA foreign_keys=ON"));
    } catch (const DbError& e) {
        if (error)
            *error = e.message();
        return false;
    }
    return true;
}

bool Database::openSqlite(const QString& path, bool create, QString* error)
{
    close();
    if (!create && !QFileInfo(path).isFile()) {
        if (error)
            *error = QStringLiteral("数据库文件不存在: %1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open()) {
        if (error)
            *error = errorText(db.lastError());
        close();
        return false;
    }
    engine_ = DbEngine::SQLite;
    try {
        if (FileSystemKind::folderIsShared(QFileInfo(path).absolutePath()))
            claimFileAlone(path);
        else
            execute(QStringLiteral("PRAGMA journal_mode=WAL"));
    } catch (const DbError& e) {
        if (error)
            *error = e.message();
        db = QSqlDatabase();
        close();
        return false;
    }
    if (!setUpSqlite(error)) {
        close();
        return false;
    }
    return true;
}

QString Database::unsupportedProviderMessage(const QString& provider)
{
    const QString named = provider.isEmpty()
                              ? QStringLiteral("连接字符串没有指明提供程序")
                              : QStringLiteral("连接字符串的提供程序是\"%1\"").arg(provider);
    return QStringLiteral("服务器数据库(abc=s)只使用PostgreSQL(Provider=PostgreSQL),%1.\n"
                          "把图书馆搬到PostgreSQL的方法见README.md的"
                          "\"Moving a library to PostgreSQL\"一节.")
        .arg(named);
}

QString Database::openElsewhereMessage(const QString& path)
{
    return QStringLiteral("图书馆 %1 在网络共享文件夹上,已经在另一台电脑上打开.共享文件夹上的图书馆"
                          "同一时间只能在一台电脑上使用;几台电脑同时使用一个图书馆请用数据库服务器"
                          "(数据库类型 s),见 README 的\"Several desks\"一节.")
        .arg(QDir::toNativeSeparators(path));
}

void Database::claimFileAlone(const QString& path)
{
    // Set before the file is first read: the locks taken are then never given back until
    // the connection closes, and a WAL index would live in this process' memory alone.
    execute(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
    // A desk that holds the file keeps it: waiting long for it is no use.
    execute(QStringLiteral("PRAGMA busy_timeout=1000"));
    QSqlQuery q(handle());
    // A rollback journal works over a share; an exclusive transaction takes the write lock at
    // once, and the locking mode keeps it.
    for (const char* sql : {"PRAGMA journal_mode=DELETE", "BEGIN EXCLUSIVE", "COMMIT"}) {
        if (q.exec(QLatin1String(sql))) {
            if (q.next() &&
                q.value(0).toString().compare(QLatin1String("delete"), Qt::CaseInsensitive) != 0)
                throw DbError(
                    QStringLiteral("无法改变数据库文件的日志模式: %1").arg(q.value(0).toString()));
            continue;
        }
        const int code = q.lastError().nativeErrorCode().toInt() & 0xFF;
        constexpr int kBusy = 5, kLocked = 6;
        if (code == kBusy || code == kLocked)
            throw DbError(openElsewhereMessage(path));
        throw DbError(errorText(q.lastError()));
    }
    execute(QStringLiteral("PRAGMA busy_timeout=10000"));
    holdsFileAlone_ = true;
}

bool Database::open(const QString& kind, const QString& connectionString, QString* error,
                    const QString& workDir, int connectTimeoutSeconds)
{
    close();
    const ConnectionString cs(connectionString);
    if (kind == QLatin1String("a")) {
        const QString source = cs.value(QStringLiteral("Data Source"));
        if (source.isEmpty()) {
            if (error)
                *error = QStringLiteral("连接字符串中没有 Data Source: %1").arg(connectionString);
            return false;
        }
        const QDir base(workDir.isEmpty() ? QDir::currentPath() : workDir);
        return openSqlite(base.absoluteFilePath(source), false, error);
    }
    if (kind != QLatin1String("s")) {
        if (error)
            *error = QStringLiteral("数据库类型\"%1\"无效,只能是 a (Access) 或 s (PostgreSQL).")
                         .arg(kind);
        return false;
    }

    const QString provider = cs.value(QStringLiteral("Provider"));
    QString host = cs.value(QStringLiteral("Data Source"), cs.value(QStringLiteral("Server")));
    const QString catalog =
        cs.value(QStringLiteral("Initial Catalog"), cs.value(QStringLiteral("Database")));
    const QString user = cs.value(QStringLiteral("User ID"));
    const QString password = cs.value(QStringLiteral("Password"));
    QString port = cs.value(QStringLiteral("Port"));
    QSqlDatabase db;
    if (provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0) {
        // "host,port" and "host:port" both name a port, as the older server strings do.
        for (QChar sep : {QLatin1Char(','), QLatin1Char(':')}) {
            const qsizetype at = host.lastIndexOf(sep);
            if (at > 0 && port.isEmpty()) {
                port = host.mid(at + 1);
                host = host.left(at);
            }
        }
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
        db.setHostName(host);
        if (!port.isEmpty())
            db.setPort(port.toInt());
        db.setDatabaseName(catalog);
        db.setUserName(user);
        db.setPassword(password);
        // A server that does not answer is given up: at connect time, and on an idle
        // connection whose peer vanished (keepalives find out within half a minute).
        db.setConnectOptions(
            QStringLiteral("connect_timeout=%1;keepalives=1;keepalives_idle=10;"
                           "keepalives_interval=5;keepalives_count=3")
                .arg(connectTimeoutSeconds > 0 ? connectTimeoutSeconds : kConnectTimeoutSeconds));
        engine_ = DbEngine::PostgreSQL;
        deskTimeouts_ = true;
    } else {
        if (error)
            *error = unsupportedProviderMessage(provider);
        QSqlDatabase::removeDatabase(name_);
        return false;
    }
    if (!db.open()) {
        if (error)
            *error = errorText(db.lastError());
        db = QSqlDatabase();
        close();
        return false;
    }
    try {
        setUpSession();
    } catch (const DbError& e) {
        if (error)
            *error = e.message();
        db = QSqlDatabase();
        close();
        return false;
    }
    return true;
}

void Database::setUpSession() const
{
    if (engine_ == DbEngine::PostgreSQL && deskTimeouts_)
        runQuery(QStringLiteral("SET statement_timeout = %1").arg(kStatementTimeoutMs), {});
}

bool Database::connectionLost(const QSqlError& error) const
{
    if (engine_ == DbEngine::PostgreSQL) {
        if (!QSqlDatabase::contains(name_))
            return false;
        const QVariant native = handle().driver()->handle();
        if (native.isValid() && qstrcmp(native.typeName(), "PGconn*") == 0) {
            PGconn* conn = *static_cast<PGconn* const*>(native.constData());
            if (!conn || PQstatus(conn) == CONNECTION_BAD ||
                PQtransactionStatus(conn) == PQTRANS_UNKNOWN)
                return true;
            // The server always says why it refused: a failure without any text, code or
            // driver's words is Qt finding the connection unusable before it asked.
            if (error.databaseText().isEmpty() && error.driverText().isEmpty() &&
                error.nativeErrorCode().isEmpty())
                return true;
            // A failure that carries no text at all: ask the connection whether it still
            // answers.
            if (error.databaseText().isEmpty() && error.nativeErrorCode().isEmpty() &&
                PQtransactionStatus(conn) == PQTRANS_IDLE) {
                PGresult* probe = PQexec(conn, "select 1");
                const bool answered = PQresultStatus(probe) == PGRES_TUPLES_OK;
                PQclear(probe);
                if (!answered)
                    return true;
            }
        }
        // A FATAL (or PANIC) error always ends the server's session, whether or not the
        // client has read the end of the stream yet (a server speaking Chinese says 致命错误).
        const QString text = error.databaseText().trimmed();
        for (const char* severity : {"FATAL:", "PANIC:", "致命错误:", "比致命错误还过分的错误:"})
            if (text.startsWith(QString::fromUtf8(severity)))
                return true;
        // libpq's own words for a connection it has lost, when the statement's error is all
        // that was kept of it.
        const QString all = text + QLatin1Char(' ') + error.driverText();
        for (const char* lost : {"server closed the connection unexpectedly",
                                 "no connection to the server", "could not send data to server",
                                 "could not receive data from server", "terminating connection",
                                 // a reopening that failed, as the connection last reported it
                                 "Unable to connect", "the database system is"})
            if (all.contains(QLatin1String(lost)))
                return true;
        // Connection exceptions and the server's shutdown or restart.
        const QString state = error.nativeErrorCode();
        return state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") ||
               state == QLatin1String("57P02") || state == QLatin1String("57P03");
    }
    return false; // an SQLite file has no connection to lose
}

bool Database::reconnect(QString* reason) const
{
    if (!QSqlDatabase::contains(name_))
        return false;
    QSqlDatabase db = handle();
    db.close();
    if (!db.open()) {
        *reason = serverReason(db.lastError());
        return false;
    }
    try {
        setUpSession();
    } catch (const DbError& e) {
        *reason = e.message();
        db.close();
        return false;
    }
    return true;
}

void Database::ensureConnected() const
{
    if (!QSqlDatabase::contains(name_) || engine_ == DbEngine::None)
        throw DbError(QStringLiteral("数据库没有连接."));
    if (handle().isOpen())
        return;
    if (engine_ == DbEngine::SQLite)
        throw DbError(QStringLiteral("数据库没有连接."));
    // Closed under a transaction: the server has rolled it back.
    if (transactionDepth_ > 0)
        throw DbConnectionLost(
            QStringLiteral("与数据库服务器的连接中断,这次操作没有保存: 连接已断开"));
    QString reason;
    if (!reconnect(&reason))
        throw DbConnectionLost(QStringLiteral("无法连接数据库服务器: ") + reason);
}

void Database::throwLost(const QSqlError& error, bool inTransaction) const
{
    const QString reason = serverReason(error);
    if (inTransaction)
        throw DbConnectionLost(QStringLiteral("与数据库服务器的连接中断,这次操作没有保存: ") +
                               reason);
    throw DbConnectionLost(QStringLiteral("无法连接数据库服务器: ") + reason);
}

QVariant Database::bindable(const QVariant& v) const
{
    if (v.isNull())
        return v;
    const int type = v.metaType().id();
    if (v.metaType() == QMetaType::fromType<Money>()) {
        const Money m = v.value<Money>();
        return engine_ == DbEngine::SQLite ? QVariant(m.toDouble()) : QVariant(m.toSqlText());
    }
    if (type == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (type == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (type == QMetaType::Bool && engine_ == DbEngine::SQLite)
        return v.toBool() ? 1 : 0;
    return v;
}

QSqlQuery Database::runQuery(const QString& sql, const QVariantList& values) const
{
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    // Statements without values run directly: PostgreSQL cannot prepare DDL.
    bool ok;
    if (values.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        if (ok) {
            for (const QVariant& v : values)
                q.addBindValue(bindable(v));
            ok = q.exec();
        }
    }
    if (!ok) {
        if (connectionLost(q.lastError()))
            throwLost(q.lastError(), transactionDepth_ > 0);
        throw DbError(errorText(q.lastError()));
    }
    return q;
}

QSqlQuery Database::query(const QString& sql, const QVariantList& values) const
{
    ensureConnected();
    try {
        return runQuery(sql, values);
    } catch (const DbConnectionLost&) {
        // Found broken outside a transaction: reopen and run the statement once more.
        if (transactionDepth_ > 0)
            throw;
        QString reason;
        if (!reconnect(&reason))
            throw DbConnectionLost(QStringLiteral("无法连接数据库服务器: ") + reason);
        return runQuery(sql, values);
    }
}

int Database::execute(const QString& sql, const QVariantList& values) const
{
    QSqlQuery q = query(sql, values);
    return q.numRowsAffected();
}

QSqlQuery Database::prepare(const QString& sql) const
{
    ensureConnected();
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    if (q.prepare(sql))
        return q;
    const QSqlError e = q.lastError();
    if (!connectionLost(e))
        throw DbError(errorText(e));
    // Found broken outside a transaction: reopen and prepare once more.
    if (transactionDepth_ > 0)
        throwLost(e, true);
    QString reason;
    if (!reconnect(&reason))
        throw DbConnectionLost(QStringLiteral("无法连接数据库服务器: ") + reason);
    QSqlQuery again(handle());
    again.setForwardOnly(true);
    if (again.prepare(sql))
        return again;
    if (connectionLost(again.lastError()))
        throwLost(again.lastError(), false);
    throw DbError(errorText(again.lastError()));
}

int Database::run(QSqlQuery& prepared, const QVariantList& values) const
{
    for (int i = 0; i < values.size(); ++i)
        prepared.bindValue(i, bindable(values[i]));
    if (!prepared.exec()) {
        if (connectionLost(prepared.lastError()))
            throwLost(prepared.lastError(), transactionDepth_ > 0);
        throw DbError(errorText(prepared.lastError()));
    }
    return prepared.numRowsAffected();
}

QVariant Database::scalar(const QString& sql, const QVariantList& values) const
{
    QSqlQuery q = query(sql, values);
    return q.next() ? q.value(0) : QVariant();
}

void Database::setBeforeCommitHook(std::function<void(const Database&)> hook)
{
    beforeCommitHook() = std::move(hook);
}

void Database::transaction(const std::function<void()>& work,
                           const std::function<bool()>& wasStored) const
{
    // BEGIN is the first statement of the transaction: a connection found broken there
    // reopens and begins again, as any statement outside a transaction does.
    if (engine_ == DbEngine::SQLite) {
        execute(QStringLiteral("BEGIN IMMEDIATE"));
    } else {
        ensureConnected();
        for (int attempt = 0; !handle().transaction(); ++attempt) {
            const QSqlError e = handle().lastError();
            if (!connectionLost(e))
                throw DbError(errorText(e));
            QString reason;
            if (attempt > 0)
                throwLost(e, false);
            if (!reconnect(&reason))
                throw DbConnectionLost(QStringLiteral("无法连接数据库服务器: ") + reason);
        }
    }
    QSqlDatabase db = handle();
    const auto rollback = [&] {
        if (engine_ == DbEngine::SQLite) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("ROLLBACK"));
        } else {
            db.rollback();
        }
    };
    ++transactionDepth_;
    try {
        work();
        if (beforeCommitHook())
            beforeCommitHook()(*this);
    } catch (const DbConnectionLost&) {
        // The server rolled the transaction back when the connection went; reopen it now
        // so that the next action finds it working.
        --transactionDepth_;
        QString ignored;
        reconnect(&ignored);
        throw;
    } catch (...) {
        --transactionDepth_;
        rollback();
        throw;
    }
    --transactionDepth_;
    if (engine_ == DbEngine::SQLite) {
        try {
            execute(QStringLiteral("COMMIT"));
        } catch (const DbError& e) {
            rollback();
            // What the file holds now says whether the COMMIT took effect before it failed.
            if (!wasStored)
                throw;
            bool stored = false;
            try {
                stored = wasStored();
            } catch (const DbError& check) {
                throw DbConnectionLost(QStringLiteral("无法确认这次操作是否已保存,请检查后再试: ") +
                                           e.message() + QStringLiteral(" (") + check.message() +
                                           QLatin1Char(')'),
                                       true);
            }
            if (!stored)
                throw;
        }
        return;
    }
    if (db.commit())
        return;
    const QSqlError e = db.lastError();
    if (!connectionLost(e)) {
        db.rollback();
        throw DbError(errorText(e));
    }
    // The connection broke while the COMMIT was under way: the server may have committed
    // just before. Ask the database itself before telling the operator anything.
    const auto unknownOutcome = [](const QString& reason) {
        return DbConnectionLost(QStringLiteral("与数据库服务器的连接中断,无法确认这次操作是否"
                                               "已保存,请检查后再试: ") +
                                    reason,
                                true);
    };
    QString reason;
    if (!reconnect(&reason))
        throw unknownOutcome(reason);
    if (!wasStored)
        throw unknownOutcome(serverReason(e));
    bool stored = false;
    try {
        stored = wasStored();
    } catch (const DbError& check) {
        throw unknownOutcome(check.message());
    }
    if (!stored)
        throwLost(e, true);
}

QString Database::limited(const QString& selectSql, int n) const
{
    return selectSql.trimmed() + QStringLiteral(" limit %1").arg(n);
}

QStringList Database::tables() const
{
    return isOpen() ? handle().tables() : QStringList();
}

namespace {
int digits(const QString& s, int from, int count)
{
    int n = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        n = n * 10 + (c - u'0');
    }
    return n;
}

// The date of "yyyy-MM-dd" or "yyyy-MM-dd ..." of 19 characters; invalid for anything else.
QDate plainDate(const QString& s)
{
    if ((s.size() != 10 && s.size() != 19) || s[4] != u'-' || s[7] != u'-')
        return {};
    const int year = digits(s, 0, 4), month = digits(s, 5, 2), day = digits(s, 8, 2);
    return year > 0 && month > 0 && day > 0 ? QDate(year, month, day) : QDate();
}

// The time of "yyyy-MM-dd hh:mm:ss" (also with 'T'); invalid for anything else.
QTime plainTime(const QString& s)
{
    if (s.size() != 19 || (s[10] != u' ' && s[10] != u'T') || s[13] != u':' || s[16] != u':')
        return {};
    const int h = digits(s, 11, 2), m = digits(s, 14, 2), sec = digits(s, 17, 2);
    return h >= 0 && m >= 0 && sec >= 0 ? QTime(h, m, sec) : QTime();
}

// "yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss" (also with 'T'); invalid for anything else.
QDateTime plainDateTime(const QString& s)
{
    const QDate d = plainDate(s);
    if (!d.isValid())
        return {};
    if (s.size() == 10)
        return d.startOfDay();
    const QTime t = plainTime(s);
    return t.isValid() ? QDateTime(d, t) : QDateTime();
}
} // namespace

namespace DbValue {

QString conversionError(const QString& wanted)
{
    return QStringLiteral("Could not convert variant of type (Null) into type (%1)").arg(wanted);
}

bool toBool(const QVariant& v)
{
    if (v.isNull())
        throw DbError(conversionError(QStringLiteral("Boolean")));
    if (v.metaType().id() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == QLatin1String("1") || s == QLatin1String("t") || s == QLatin1String("true");
    }
    return v.toBool();
}

int toInt(const QVariant& v)
{
    if (v.isNull())
        throw DbError(conversionError(QStringLiteral("Integer")));
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok)
        throw DbError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
    return n;
}

Money toMoney(const QVariant& v)
{
    if (v.isNull())
        throw DbError(conversionError(QStringLiteral("Currency")));
    const auto m = Money::fromVariant(v);
    if (!m)
        throw DbError(QStringLiteral("'%1' is not a valid currency value").arg(v.toString()));
    return *m;
}

QDateTime dateTimeOrNull(const QVariant& v)
{
    if (v.isNull())
        return {};
    switch (v.metaType().id()) {
    case QMetaType::QDateTime:
        return v.toDateTime();
    case QMetaType::QDate:
        return v.toDate().startOfDay();
    default: {
        const QString s = v.toString().trimmed();
        // Fast path for the forms the program writes ("yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss"):
        // loan lists read two dates per row, and format parsing costs tens of microseconds.
        if (const QDateTime fast = plainDateTime(s); fast.isValid())
            return fast;
        QDateTime dt = QDateTime::fromString(s.left(19), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        if (!dt.isValid())
            dt = QDateTime::fromString(s.left(19), Qt::ISODate);
        if (!dt.isValid()) {
            const QDate d = QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd"));
            if (d.isValid())
                dt = d.startOfDay();
        }
        return dt;
    }
    }
}

QDate dateOrNull(const QVariant& v)
{
    // Straight to a date where possible: going through QDateTime costs a time-zone lookup
    // per value, and loan lists read two dates per row.
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate();
    if (v.metaType().id() == QMetaType::QString) {
        const QString s = v.toString();
        const QDate d = plainDate(s);
        if (d.isValid() && (s.size() == 10 || plainTime(s).isValid()))
            return d;
    }
    return dateTimeOrNull(v).date();
}

QDate toDate(const QVariant& v)
{
    if (v.isNull())
        throw DbError(conversionError(QStringLiteral("Date")));
    const QDate d = dateOrNull(v);
    if (!d.isValid())
        throw DbError(QStringLiteral("'%1' is not a valid date").arg(v.toString()));
    return d;
}

QDateTime toDateTime(const QVariant& v)
{
    if (v.isNull())
        throw DbError(conversionError(QStringLiteral("Date")));
    const QDateTime d = dateTimeOrNull(v);
    if (!d.isValid())
        throw DbError(QStringLiteral("'%1' is not a valid date").arg(v.toString()));
    return d;
}

QString toText(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

QString dateText(const QVariant& v)
{
    const QDate d = dateOrNull(v);
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QString dateTimeText(const QVariant& v)
{
    const QDateTime d = dateTimeOrNull(v);
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) : QString();
}

} // namespace DbValue
