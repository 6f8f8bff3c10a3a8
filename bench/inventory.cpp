// bench_inventory: the shelf inventory on a large library. One scan (item lookup and the
// insert that counts it once) and the three lists after "完成" (the first screen of rows the
// grid shows, and every row streamed), each against the floor: the same rows read by the
// plainest statement over the same index.
#include "BenchLists.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "statistics/ShelfInventory.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QString bookNumber(int i)
{
    return QStringLiteral("B%1").arg(i, 7, 10, QLatin1Char('0'));
}
// One book in ten of each shelf is lent.
bool lentOut(int i)
{
    return (i / 100) % 10 == 5;
}
QString place(int p)
{
    return QStringLiteral("书架%1").arg(p, 3, 10, QLatin1Char('0'));
}

// Reads the first rows (or all when rows is 0) of a statement; returns how many.
int readRows(const Database& db, const ListStatement& s, int rows)
{
    QSqlQuery q = db.query(s.sql, s.values);
    int n = 0;
    while ((rows == 0 || n < rows) && q.next()) {
        q.value(1);
        ++n;
    }
    return n;
}

void line(const char* what, const Bench::Timing& ours, const Bench::Timing& floor)
{
    std::printf("%-28s ours %9.3f ms (p99 %9.3f)  floor %9.3f ms (p99 %9.3f)  ratio %.2f\n", what,
                ours.median, ours.p99, floor.median, floor.p99,
                floor.median > 0 ? ours.median / floor.median : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int books = 1000000;
    int runs = 20;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--books"))
            books = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
    }
    Bench::onServer() = args.contains(QStringLiteral("--pg"));
    const int places = 100;
    QTemporaryDir dir;
    Database db(QStringLiteral("bench-inventory"));
    if (Bench::openNewLibrary(db, {}, dir).isEmpty())
        return 1;
    try {
        Schema::create(db);
        if (db.engine() == DbEngine::SQLite)
            db.execute(QStringLiteral("PRAGMA cache_size = -400000"));
        // Books spread over the places in turn; on each shelf every tenth is lent (no copy on
        // the shelf, an open loan).
        db.transaction([&] {
            QSqlQuery b = db.prepare(QStringLiteral(
                "insert into 图书 (编号, 名称, 条形码, 存放位置, 数量) values (?, ?, ?, ?, ?)"));
            for (int i = 1; i <= books; ++i)
                db.run(b, {bookNumber(i), QStringLiteral("书名%1").arg(i),
                           QStringLiteral("69%1").arg(i), place(i % places), lentOut(i) ? 0 : 1});
            QSqlQuery l = db.prepare(QStringLiteral(
                "insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, 类别, 借阅日期, 应还日期, "
                "已还) values (?, ?, ?, ?, ?, ?, ?, ?)"));
            for (int i = 1; i <= books; ++i)
                if (lentOut(i))
                    db.run(l, {QStringLiteral("R1"), QStringLiteral("读者"), bookNumber(i),
                               QStringLiteral("书名%1").arg(i), QStringLiteral("图书"),
                               QDate(2026, 1, 1), QDate(2026, 2, 1), QStringLiteral("否")});
        });
        db.execute(QStringLiteral("analyze"));
        const ShelfInventory rules(db);
        InventoryRun run = rules.start(place(1), QStringLiteral("bench"));
        // The shelf scanned but for one item in ten (a lent one among those scanned, a loan
        // never returned), and a few items of the next shelf.
        int scans = 0;
        std::vector<double> scanMs;
        for (int i = 1, k = 0; i <= books; i += places, ++k) {
            if (k % 10 == 3)
                continue;
            scanMs.push_back(Bench::timed([&] {
                rules.scan(run.id, QStringLiteral("图书"), QStringLiteral("编号"), bookNumber(i));
            }));
            ++scans;
        }
        for (int i = 2; i <= 2 + 50 * places; i += places)
            rules.scan(run.id, QStringLiteral("图书"), QStringLiteral("编号"), bookNumber(i));
        const Bench::Timing floorScan = Bench::measure(runs * 10, [&](int k) {
            db.scalar(QStringLiteral("select 名称 from 图书 where 编号 = ?"),
                      {bookNumber(1 + places * (k % 1000))});
            db.execute(QStringLiteral("insert into 盘点扫描 (盘点, 类别, 编号) values (?, ?, ?)"),
                       {run.id + 1, QStringLiteral("图书"), QString::number(k)});
        });
        std::printf("%d books, %d places, %d scans of one place\n", books, places, scans);
        line("scan", Bench::stats(scanMs), floorScan);
        rules.finish(run.id);
        run.scanned = rules.scannedCount(run.id);
        // The scans are new rows: a server's autovacuum would have counted them by now.
        db.execute(QStringLiteral("analyze"));

        const ListStatement floorPlace{
            QStringLiteral("select 编号, 名称 from 图书 where 存放位置 = ? and 数量 > 0"),
            {run.place}};
        const ListStatement floorScans{
            QStringLiteral(
                "select s.编号, i.名称 from 盘点扫描 s join 图书 i on i.编号 = s.编号 where "
                "s.盘点 = ?"),
            {run.id}};
        const struct
        {
            const char* name;
            ListStatement ours;
            ListStatement floor;
        } lists[] = {{"missing", rules.missing(run), floorPlace},
                     {"misplaced", rules.misplaced(run), floorScans},
                     {"on loan", rules.onLoan(run), floorScans}};
        for (const auto& l : lists) {
            int shown = 0;
            const auto first = Bench::alternating(
                runs, [](int) {}, [&](int) { shown = readRows(db, l.ours, 200); },
                [&](int) { readRows(db, l.floor, 200); });
            line(qPrintable(QStringLiteral("%1, first 200 (%2)").arg(l.name).arg(shown)),
                 first.first, first.second);
            int all = 0;
            const auto every = Bench::alternating(
                runs, [](int) {}, [&](int) { all = readRows(db, l.ours, 0); },
                [&](int) { readRows(db, l.floor, 0); });
            line(qPrintable(QStringLiteral("%1, all %2 rows").arg(l.name).arg(all)), every.first,
                 every.second);
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
