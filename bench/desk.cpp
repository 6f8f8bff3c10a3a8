// The circulation desk on a large library: the reader check, the item check by 编号 and by
// 条形码, a commit of one and of five items, the return search by reader and a return, each
// timed over many runs for a reader with 500 open loans and for one with a single open loan,
// beside the least SQL that gives the same result on a raw QSqlQuery (the floor).
//
//     bench_desk [--scale S] [--runs N] [--dir DIR] [--pg]
//
// Scale 1 is 1,000,000 books, 100,000 readers and 2,000,000 loans in an SQLite book.mdb, or
// with --pg in a database on the PostgreSQL server that tools/pg.sh starts.
#include "BenchLists.h"
#include "circulation/Lending.h"
#include "circulation/Returning.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
using Bench::alternating;
using Bench::measure;
using Bench::Timing;

struct Sizes
{
    int books, readers, loans, heavyReaders;
};

QString bookNumber(int i)
{
    return QStringLiteral("B%1").arg(i, 7, 10, QLatin1Char('0'));
}
QString barcode(int i)
{
    return QStringLiteral("69%1").arg(i, 10, 10, QLatin1Char('0'));
}
QString readerNumber(int i)
{
    return QStringLiteral("R%1").arg(i, 7, 10, QLatin1Char('0'));
}

// The reader with 500 open loans and the reader with one.
const int kHeavy = 1;
const int kLight = 2;
const int kOpenOfHeavy = 500;

QSqlQuery prepared(const Database& db, const QString& sql)
{
    QSqlQuery q(db.handle());
    if (!q.prepare(sql))
        throw DbError(q.lastError().text());
    return q;
}

void run(QSqlQuery& q, const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec())
        throw DbError(q.lastError().text());
}

// One transaction of prepared inserts: readers, books, then loans; readers 1..heavyReaders
// hold 500 open loans each, reader 2 one, every other loan is returned.
void generate(const Database& db, const Sizes& n)
{
    QRandomGenerator random(20260302);
    const QDate today = Clock::today();
    std::vector<int> open(n.readers + 1, 0), total(n.readers + 1, 0), lent(n.books + 1, 0),
        out(n.books + 1, 0);
    struct LoanRow
    {
        int reader, book, daysAgo;
        bool returned;
    };
    std::vector<LoanRow> loans;
    loans.reserve(n.loans);
    for (int r = 1; r <= n.heavyReaders; ++r)
        for (int k = 0; k < kOpenOfHeavy; ++k)
            // reader 2 is the one with a single open loan: its share goes to the next reader
            loans.push_back({r == kLight ? n.heavyReaders + 1 : r, 1 + int(random.bounded(n.books)),
                             int(random.bounded(30)), false});
    loans.push_back({kLight, 1 + int(random.bounded(n.books)), 3, false});
    while (int(loans.size()) < n.loans)
        loans.push_back({1 + int(random.bounded(n.readers)), 1 + int(random.bounded(n.books)),
                         30 + int(random.bounded(700)), true});
    for (const LoanRow& l : loans) {
        ++total[l.reader];
        ++lent[l.book];
        if (!l.returned) {
            ++open[l.reader];
            ++out[l.book];
        }
    }

    Bench::fillThenIndex(db, [&] {
        db.execute(QStringLiteral("insert into 读者类别 (类别名, 借阅天数, 借阅数量限制, 租金) "
                                  "values (?, ?, ?, ?)"),
                   {QStringLiteral("学生"), 30, 1000, QVariant::fromValue(Money::fromUnits(1000))});
        QSqlQuery r = prepared(
            db, QStringLiteral("insert into 读者库 (读者编号, 读者姓名, 性别, 类别, 有效期, "
                               "状态, 未还数量, 累计借阅次数, 卡内金额, py) values (?, ?, ?, "
                               "?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 1; i <= n.readers; ++i)
            run(r, {readerNumber(i), QStringLiteral("读者%1").arg(i), QStringLiteral("男"),
                    QStringLiteral("学生"), QStringLiteral("2500-01-01"), QStringLiteral("正常"),
                    open[i], total[i], 100.0, QStringLiteral("DZ")});
        QSqlQuery b =
            prepared(db, QStringLiteral("insert into 图书 (编号, 名称, 条形码, 分类, 数量, "
                                        "存放位置, 出版社, 价格, 状态, 物品级别, 借出次数, "
                                        "py) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 1; i <= n.books; ++i)
            run(b, {bookNumber(i), QStringLiteral("书名%1").arg(i), barcode(i),
                    QStringLiteral("文学"), std::max(0, 5 - out[i]) + 3, QStringLiteral("二楼书库"),
                    QStringLiteral("中华书局"), 25.5, QStringLiteral("正常"),
                    QStringLiteral("普通"), lent[i], QStringLiteral("SM")});
        QSqlQuery l = prepared(
            db,
            QStringLiteral("insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, 条形码, 类别, "
                           "物品级别, 价格, 租金, 借阅日期, 应还日期, 借阅经手人, 已还, 物品状况, "
                           "归还日期, 实际租期) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                           "?, ?)"));
        const QString books = QStringLiteral("图书"), level = QStringLiteral("普通"),
                      yes = QStringLiteral("是"), no = QStringLiteral("否"),
                      fine = QStringLiteral("完好"), admin = QStringLiteral("甲");
        for (const LoanRow& x : loans) {
            const QDate lentOn = today.addDays(-x.daysAgo);
            run(l, {readerNumber(x.reader), QStringLiteral("读者%1").arg(x.reader),
                    bookNumber(x.book), QStringLiteral("书名%1").arg(x.book), barcode(x.book),
                    books, level, 25.5, 0.1, lentOn.toString(Qt::ISODate),
                    lentOn.addDays(30).toString(Qt::ISODate), admin, x.returned ? yes : no, fine,
                    x.returned ? QVariant(lentOn.addDays(10).toString(Qt::ISODate)) : QVariant(),
                    x.returned ? QVariant(10) : QVariant()});
        }
    });
}

// ---- timing -----------------------------------------------------------------------------

struct Row
{
    QString operation, reader;
    Timing ours, floor;
};

void printTable(const QList<Row>& rows)
{
    std::printf("\n%-34s %-8s %10s %10s %10s %10s %7s  %s\n", "operation", "reader", "ours med",
                "ours p99", "floor med", "floor p99", "ratio", "goal (p99<5ms, <=3x)");
    for (const Row& r : rows) {
        const double ratio = r.floor.median > 0 ? r.ours.median / r.floor.median : 0;
        const bool met = r.ours.p99 < 5.0 && ratio <= 3.0;
        std::printf("%-34s %-8s %10.3f %10.3f %10.3f %10.3f %7.2f  %s\n", qPrintable(r.operation),
                    qPrintable(r.reader), r.ours.median, r.ours.p99, r.floor.median, r.floor.p99,
                    ratio, met ? "met" : "MISSED");
    }
    std::fflush(stdout);
}

LibrarySettings deskSettings(bool reservations)
{
    LibrarySettings s;
    s.启用租金功能 = true;
    s.启用读者租金 = true;
    s.启用超期罚金 = true;
    s.借阅数量限制功能 = true;
    s.启用预定功能 = reservations;
    s.超期每日罚金 = Money::fromUnits(1000);
    return s;
}

// ---- the floors: the statements the database needs for the same result --------------------

struct Floor
{
    const Database& db;

    // The reader row and its category row.
    void readerCheck(const QString& reader)
    {
        QSqlQuery r =
            db.query(QStringLiteral("select 读者编号, 读者姓名, 性别, 类别, 未还数量, 卡内金额, "
                                    "有效期, 累计借阅次数, 状态 from 读者库 where 读者编号 = ?"),
                     {reader});
        r.next();
        const QString category = r.value(3).toString();
        QSqlQuery c = db.query(
            QStringLiteral("select 借阅数量限制, 借阅天数, 租金 from 读者类别 where 类别名 = ?"),
            {category});
        c.next();
    }

    // The item row and its level row; the open loans of the level are counted only when the
    // level limits them.
    void itemCheck(const QString& key, const QString& value, const QString& reader,
                   bool reservations)
    {
        if (reservations)
            db.execute(QStringLiteral("update 图书 set 预定状况 = null, 预定到期时间 = null "
                                      "where 预定到期时间 < ?"),
                       {Clock::now()});
        QSqlQuery q =
            db.query(QStringLiteral("select 编号, 名称, 条形码, 分类, 数量, 存放位置, 出版社, "
                                    "价格, 状态, 预定状况, 物品级别 from 图书 where %1 = ?")
                         .arg(key),
                     {value});
        q.next();
        const QString level = q.value(10).toString();
        QSqlQuery l =
            db.query(QStringLiteral("select 租金, 可借数量 from 物品级别 where 名称 = ?"), {level});
        if (l.next() && l.value(1).toInt() > 0)
            db.scalar(
                QStringLiteral("select count(*) from 借出记录 where 已还 = ? and 读者编号 = ? "
                               "and 物品级别 = ?"),
                {QStringLiteral("否"), reader, level});
    }

    // One transaction: a loan row per item, the reader once, each item.
    void commit(const QString& reader, const QStringList& items)
    {
        const QDate today = Clock::today();
        db.transaction([&] {
            for (const QString& item : items)
                db.execute(
                    QStringLiteral("insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, 条形码, "
                                   "类别, 物品级别, 价格, 租金, 借阅日期, 应还日期, 借阅经手人, "
                                   "已还, 物品状况) select ?, ?, 编号, 名称, 条形码, ?, 物品级别, "
                                   "价格, ?, ?, ?, ?, ?, ? from 图书 where 编号 = ?"),
                    {reader, QStringLiteral("读者"), QStringLiteral("图书"),
                     QVariant::fromValue(Money::fromUnits(1000)), today, today.addDays(30),
                     QStringLiteral("甲"), QStringLiteral("否"), QStringLiteral("完好"), item});
            db.execute(QStringLiteral("update 读者库 set 未还数量 = 未还数量 + ?, 累计借阅次数 = "
                                      "累计借阅次数 + ? where 读者编号 = ?"),
                       {int(items.size()), int(items.size()), reader});
            for (const QString& item : items)
                db.execute(QStringLiteral(
                               "update 图书 set 数量 = 数量 - 1, 借出次数 = 借出次数 + 1, "
                               "预定状况 = null, 预定到期时间 = null where 编号 = ? and 数量 > 0"),
                           {item});
        });
    }

    void returnSearch(const QString& reader)
    {
        QSqlQuery q =
            db.query(QStringLiteral("select id, 编号, 名称, 条形码, 读者编号, 读者姓名, 借阅日期, "
                                    "借阅经手人, 类别, 应还日期, 租金 from 借出记录 where 已还 = ? "
                                    "and 读者编号 = ? order by id"),
                     {QStringLiteral("否"), reader});
        const int columns = q.record().count();
        while (q.next())
            for (int i = 0; i < columns; ++i)
                q.value(i);
    }

    void giveBack(const OpenLoan& loan)
    {
        db.transaction([&] {
            db.execute(
                QStringLiteral(
                    "update 借出记录 set 已还 = ?, 归还日期 = ?, 归还经手人 = ?, 实际租期 = ?, "
                    "物品状况 = ?, 实际租金 = ?, 罚金 = ? where id = ? and 已还 = ?"),
                {QStringLiteral("是"), Clock::today(), QStringLiteral("乙"), 1,
                 QStringLiteral("完好"), QVariant::fromValue(Money::fromUnits(1000)),
                 QVariant::fromValue(Money()), loan.id, QStringLiteral("否")});
            db.execute(QStringLiteral("update 图书 set 数量 = 数量 + 1 where 编号 = ?"),
                       {loan.编号});
            db.execute(
                QStringLiteral("update 读者库 set 未还数量 = 未还数量 - 1, 卡内金额 = 卡内金额 - ? "
                               "where 读者编号 = ?"),
                {QVariant::fromValue(Money::fromUnits(1000)), loan.读者编号});
        });
    }
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const auto [scale, runs, dir] = Bench::options(app.arguments(), 1000);
    const Sizes n{std::max(1000, int(1000000 * scale)), std::max(1000, int(100000 * scale)),
                  std::max(60000, int(2000000 * scale)), std::max(10, int(100 * scale))};
    QTemporaryDir temp;
    Database db(QStringLiteral("bench"));
    const QString path = Bench::openNewLibrary(db, dir, temp);
    if (path.isEmpty())
        return 1;
    try {
        Schema::create(db);
        QElapsedTimer t;
        t.start();
        generate(db, n);
        std::printf("generated %d books, %d readers, %d loans (%d readers with %d open loans) in "
                    "%.1f s: %s\n",
                    n.books, n.readers, n.loans, n.heavyReaders, kOpenOfHeavy,
                    double(t.elapsed()) / 1000, qPrintable(path));
        std::fflush(stdout);

        Floor floor{db};
        QRandomGenerator random(7);
        const auto randomBook = [&] { return 1 + int(random.bounded(n.books)); };
        QList<Row> rows;
        for (const auto& [who, reader] :
             {std::pair{QStringLiteral("500 open"), readerNumber(kHeavy)},
              std::pair{QStringLiteral("1 open"), readerNumber(kLight)}}) {
            Lending lending(db);
            lending.settings() = deskSettings(false);
            lending.setOperatorName(QStringLiteral("甲"));
            Returning returning(db);
            returning.settings() = deskSettings(false);
            returning.setOperatorName(QStringLiteral("乙"));

            rows.append({QStringLiteral("reader check (RdSearch)"), who,
                         measure(runs, [&](int) { lending.RdSearch(reader); }),
                         measure(runs, [&](int) { floor.readerCheck(reader); })});

            for (const auto& [name, key, reservations] :
                 {std::tuple{QStringLiteral("item check by 编号"), QStringLiteral("编号"), false},
                  std::tuple{QStringLiteral("item check by 条形码"), QStringLiteral("条形码"),
                             false},
                  std::tuple{QStringLiteral("item check by 编号, reservations on"),
                             QStringLiteral("编号"), true}}) {
                lending.settings() = deskSettings(reservations);
                lending.setKey(key);
                lending.RdSearch(reader);
                const auto value = [&, key = key](int b) {
                    return key == QStringLiteral("编号") ? bookNumber(b) : barcode(b);
                };
                const int itemRuns = reservations ? std::max(1, runs / 10) : runs;
                rows.append({name, who,
                             measure(itemRuns,
                                     [&](int) {
                                         lending.bksearch(value(randomBook()));
                                         lending.removeRow(0);
                                     }),
                             measure(itemRuns, [&, key = key, reservations = reservations](int) {
                                 floor.itemCheck(key, value(randomBook()), reader, reservations);
                             })});
            }
            lending.settings() = deskSettings(false);
            lending.setKey(QStringLiteral("编号"));

            // Before the commits below add their loans to this reader.
            rows.append({QStringLiteral("return search by reader"), who,
                         measure(runs, [&](int) { returning.search({}, {}, reader); }),
                         measure(runs, [&](int) { floor.returnSearch(reader); })});

            for (int items : {1, 5}) {
                QStringList floorList;
                const auto [ours, floors] = alternating(
                    std::max(1, items == 1 ? runs : runs / 2),
                    [&](int) {
                        lending.RdSearch(reader);
                        floorList.clear();
                        for (int k = 0; k < items; ++k) {
                            lending.bksearch(bookNumber(randomBook()));
                            floorList << bookNumber(randomBook());
                        }
                    },
                    [&](int) { lending.commit(); }, [&](int) { floor.commit(reader, floorList); });
                rows.append({QStringLiteral("commit of %1 item(s)").arg(items), who, ours, floors});
            }

            // Returns of the loans the commits above added, newest first, ours and the floor
            // in turns so that both see the same library.
            const QList<OpenLoan> open = returning.search({}, {}, reader).loans;
            const int returnRuns = std::min(runs, int(open.size()) / 2);
            const auto loan = [&](int i, int which) -> const OpenLoan& {
                return open[open.size() - 1 - 2 * i - which];
            };
            const auto [ours, floors] = alternating(
                returnRuns, [](int) {},
                [&](int i) {
                    returning.giveBack(loan(i, 0),
                                       Returning::entryFor(returning.compute(loan(i, 0))));
                },
                [&](int i) { floor.giveBack(loan(i, 1)); });
            rows.append({QStringLiteral("return (compute + giveBack)"), who, ours, floors});
        }
        printTable(rows);
    } catch (const DbError& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.message()));
        return 1;
    }
    db.close();
    return 0;
}
