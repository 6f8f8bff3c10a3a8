// What the list benchmarks share: reading the rows a grid shows first, one aggregate row,
// and the table of lines with their goals.
#pragma once

#include "BenchSupport.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "widgets/DataGrid.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <cstdio>

namespace Bench {

// With --pg: a new, empty database on the server for this program (made again on each run),
// opened on db as a desk opens it. Its name, or empty after printing why it failed.
inline QString serverDatabaseName()
{
    return QStringLiteral("tushu_") + QFileInfo(QCoreApplication::applicationFilePath()).baseName();
}

inline QString openNewServerLibrary(Database& db)
{
    const QString name = serverDatabaseName();
    QString error;
    {
        Database admin(QStringLiteral("bench-admin"));
        if (!admin.open(QStringLiteral("s"), serverConnectionString(QStringLiteral("postgres")),
                        &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return {};
        }
        try {
            admin.execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
            admin.execute(
                QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(name));
        } catch (const DbError& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.message()));
            return {};
        }
    }
    if (!db.open(QStringLiteral("s"), serverConnectionString(name), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return {};
    }
    // The SQLite functions the generators' statements use, for the same statements to make
    // the same library here: printf('R%07d', n) and date(day, '-n days'[, '+30 days']).
    try {
        db.execute(QStringLiteral(
            "create function printf(format text, n bigint) returns text language sql immutable "
            "as $$ select substring(format from '^(.*)%0') || lpad(n::text, substring(format "
            "from '%0([0-9]+)d')::int, '0') $$"));
        db.execute(QStringLiteral("create function date(day text, shift text) returns date "
                                  "language sql immutable as $$ select (day::date + "
                                  "shift::interval)::date $$"));
        db.execute(QStringLiteral(
            "create function date(day text, shift text, again text) returns date language sql "
            "immutable as $$ select (day::date + shift::interval + again::interval)::date $$"));
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return {};
    }
    return QStringLiteral("PostgreSQL %1:%2/%3")
        .arg(serverValue("TUSHU_PG_HOST", "127.0.0.1"), serverValue("TUSHU_PG_PORT", "5432"), name);
}

// Opens a new, empty SQLite book.mdb in dir (or else in temp) on db: its path, or empty after
// printing why it could not be opened. With --pg, a new server database instead.
inline QString openNewLibrary(Database& db, const QString& dir, const QTemporaryDir& temp)
{
    if (onServer())
        return openNewServerLibrary(db);
    const QString path =
        QDir(dir.isEmpty() ? temp.path() : dir).absoluteFilePath(QStringLiteral("book.mdb"));
    QFile::remove(path);
    QString error;
    if (!db.openSqlite(path, true, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return {};
    }
    return path;
}

// Fills a new SQLite library: the indexes are dropped, the rows put in by fill (in one
// transaction), then the indexes built once, which is much faster than keeping them up to
// date row by row; a large page cache serves the random keys meanwhile.
inline void fillThenIndex(const Database& db, const std::function<void()>& fill)
{
    QStringList indexes, names;
    for (const QString& sql : Schema::createStatements(db.engine()))
        if (sql.contains(QLatin1String(" INDEX ")))
            indexes << sql;
    if (db.engine() != DbEngine::SQLite) {
        // CREATE [UNIQUE ]INDEX [IF NOT EXISTS ]name ON ...: the same, without SQLite's page
        // cache.
        for (QString sql : indexes) {
            sql.replace(QLatin1String(" IF NOT EXISTS "), QLatin1String(" "));
            db.execute(
                QStringLiteral("drop index %1")
                    .arg(sql.section(QLatin1String(" INDEX "), 1).section(QLatin1Char(' '), 0, 0)));
        }
        db.transaction(fill);
        db.transaction([&] {
            for (const QString& sql : indexes)
                db.execute(sql);
        });
        db.execute(QStringLiteral("analyze"));
        return;
    }
    {
        QSqlQuery named = db.query(QStringLiteral(
            "select name from sqlite_master where type = 'index' and sql is not null"));
        while (named.next())
            names << named.value(0).toString();
    }
    for (const QString& name : names)
        db.execute(QStringLiteral("drop index %1").arg(name));
    db.execute(QStringLiteral("PRAGMA cache_size = -400000"));
    db.transaction(fill);
    db.transaction([&] {
        for (const QString& sql : indexes)
            db.execute(sql);
    });
    db.execute(QStringLiteral("PRAGMA cache_size = -2000"));
    db.execute(QStringLiteral("analyze"));
}

// Reads every value of the first n rows (or all) of a query: what a grid shows first.
inline int readRows(QSqlQuery q, int n = -1)
{
    int rows = 0;
    const int columns = q.record().count();
    while ((n < 0 || rows < n) && q.next()) {
        for (int c = 0; c < columns; ++c)
            (void)q.value(c);
        ++rows;
    }
    return rows;
}

// Reads the one row of an aggregate statement.
inline void scalarRow(const Database& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q = db.query(sql, values);
    q.next();
    for (int c = 0; c < q.record().count(); ++c)
        (void)q.value(c);
}

// The footers and the first rows of a shown grid, as the operator sees them.
inline void firstRowsAndFooters(DataGrid* grid, const QString& footerField,
                                const QString& shownField)
{
    if (!footerField.isEmpty())
        (void)grid->footerText(footerField);
    for (int r = 0; r < std::min(grid->rowCount(), 30); ++r)
        (void)grid->value(r, shownField);
}

struct Line
{
    QString operation;
    Timing ours, floor;
    double goalMs; // what the median (lists) or the p99 (single-row actions) must stay under
    bool single;
    bool judged = true; // false: the ratio is shown for information only
};

inline void printLines(const QList<Line>& lines)
{
    std::printf("\n%-36s %10s %10s %10s %10s %7s  %s\n", "operation", "ours med", "ours p99",
                "floor med", "floor p99", "ratio", "goal");
    for (const Line& r : lines) {
        const double ratio = r.floor.median > 0 ? r.ours.median / r.floor.median : 0;
        const double against = r.single ? r.ours.p99 : r.ours.median;
        const bool met = against < r.goalMs && ratio <= 3.0;
        if (!r.judged)
            std::printf("%-36s %10.3f %10.3f %10.3f %10.3f %7.2f\n", qPrintable(r.operation),
                        r.ours.median, r.ours.p99, r.floor.median, r.floor.p99, ratio);
        else
            std::printf("%-36s %10.3f %10.3f %10.3f %10.3f %7.2f  %s (%s<%.0fms, <=3x)\n",
                        qPrintable(r.operation), r.ours.median, r.ours.p99, r.floor.median,
                        r.floor.p99, ratio, met ? "met" : "MISSED", r.single ? "p99" : "med",
                        r.goalMs);
    }
    std::fflush(stdout);
}

} // namespace Bench
