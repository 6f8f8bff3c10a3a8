// Several desks at once: N desk processes (1, 2, 4, 8, 16) lend and return on one library as
// fast as they can, on SQLite (one book.mdb in WAL mode) or on PostgreSQL (--pg). Prints the
// desk actions per second of all desks together, each desk's commit p50/p99, the races lost
// (the last copy taken, the loan returned by another desk first) and every other failure,
// which must be none. Afterwards every counter must equal what the loan rows say.
//
//     bench_desks [--seconds S] [--desks 1,2,4,8,16] [--pg]
//     bench_desks --pg --faults [--cycles 5000]
//
// --faults: eight desks run their cycles each while the server is restarted twice and stopped
// once for four seconds (tools/pg.sh, named by TUSHU_PG_SCRIPT, on the server folder
// TUSHU_PG_DIR). Every action a desk reported as done must be stored, none twice; the slowest
// action after each fault is shown.
//
// Each desk is this program again, started with --desk-worker.
#include "BenchLists.h"
#include "circulation/Lending.h"
#include "circulation/Returning.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <vector>

namespace {
const int kReaders = 200;
const int kBooks = 2000;
const int kCopies = 3;

QString readerNumber(int i)
{
    return QStringLiteral("R%1").arg(i, 5, 10, QLatin1Char('0'));
}
QString bookNumber(int i)
{
    return QStringLiteral("B%1").arg(i, 5, 10, QLatin1Char('0'));
}

void setUpLibrary(const Database& db)
{
    Schema::create(db);
    db.transaction([&] {
        db.execute(QStringLiteral("insert into 读者类别 (类别名, 借阅天数, 借阅数量限制, 租金) "
                                  "values (?, ?, ?, ?)"),
                   {QStringLiteral("学生"), 30, 100000, QVariant::fromValue(Money())});
        QSqlQuery r = db.prepare(QStringLiteral(
            "insert into 读者库 (读者编号, 读者姓名, 性别, 类别, 有效期, 状态, 未还数量, "
            "累计借阅次数, 卡内金额, py) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 1; i <= kReaders; ++i)
            db.run(r, {readerNumber(i), QStringLiteral("读者%1").arg(i), QStringLiteral("男"),
                       QStringLiteral("学生"), QDate(2500, 1, 1), QStringLiteral("正常"), 0, 0,
                       QVariant::fromValue(Money::fromYuan(100)), QStringLiteral("DZ")});
        QSqlQuery b = db.prepare(QStringLiteral(
            "insert into 图书 (编号, 名称, 条形码, 分类, 数量, 存放位置, 价格, 状态, 物品级别, "
            "借出次数, py) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 1; i <= kBooks; ++i)
            db.run(b,
                   {bookNumber(i), QStringLiteral("书名%1").arg(i),
                    QStringLiteral("69%1").arg(i, 10, 10, QLatin1Char('0')), QStringLiteral("文学"),
                    kCopies, QStringLiteral("二楼书库"), QVariant::fromValue(Money::fromYuan(25)),
                    QStringLiteral("正常"), QStringLiteral("普通"), 0, QStringLiteral("SM")});
    });
}

// Counters against the loan rows: 数量 = copies − open loans, 借出次数 = loans, 未还数量 =
// open loans, 累计借阅次数 = loans. Returns the rows that disagree.
int counterMismatches(const Database& db)
{
    const QVariant no = QStringLiteral("否");
    return db.scalar(QStringLiteral("select count(*) from 图书 b where b.数量 <> ? - (select "
                                    "count(*) from 借出记录 l where l.编号 = b.编号 and l.已还 = "
                                    "?) or b.借出次数 <> (select count(*) from 借出记录 l where "
                                    "l.编号 = b.编号)"),
                     {kCopies, no})
               .toInt() +
           db.scalar(QStringLiteral("select count(*) from 读者库 r where r.未还数量 <> (select "
                                    "count(*) from 借出记录 l where l.读者编号 = r.读者编号 and "
                                    "l.已还 = ?) or r.累计借阅次数 <> (select count(*) from "
                                    "借出记录 l where l.读者编号 = r.读者编号)"),
                     {no})
               .toInt();
}

// ---- one desk --------------------------------------------------------------------------

struct Tally
{
    int lent = 0, returned = 0, lostRaces = 0, notStored = 0, unknown = 0, unknownItems = 0;
    QStringList errors;
    std::vector<double> commitMs;
    QJsonArray slow;   // [start (ms since the epoch), duration ms] of actions over 20 ms
    bool away = false; // the last action found the server away

    // What the desk says when the server went away: nothing stored, or not known.
    bool serverAway(const QString& message, int items)
    {
        if (message.contains(QStringLiteral("无法确认"))) {
            ++unknown;
            unknownItems += items;
        } else if (message.contains(QStringLiteral("数据库服务器"))) {
            ++notStored;
        } else {
            return false;
        }
        away = true;
        return true;
    }
};

int runDeskWorker(const QString& kind, const QString& connection, quint32 seed, double seconds,
                  int cycles)
{
    Database db(QStringLiteral("desk"));
    QString error;
    if (!db.open(kind, connection, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    QRandomGenerator random(seed);
    LibrarySettings settings;
    Lending lending(db);
    lending.settings() = settings;
    lending.setOperatorName(QStringLiteral("甲"));
    Returning returning(db);
    returning.settings() = settings;
    returning.setOperatorName(QStringLiteral("乙"));
    Tally t;
    QElapsedTimer running;
    running.start();
    // One action at the desk: a lending of one item or a return; the time of its commit, or
    // -1 when it came to none.
    const auto action = [&]() -> double {
        const QString reader = readerNumber(1 + int(random.bounded(kReaders)));
        QElapsedTimer c;
        if (random.bounded(100) < 55) {
            lending.CleanData();
            const ReaderCheck check = lending.RdSearch(reader);
            if (!check.passed) {
                if (!t.serverAway(check.message, 0))
                    t.errors << QStringLiteral("reader check: ") + check.message;
                return -1;
            }
            lending.bksearch(bookNumber(1 + int(random.bounded(kBooks))));
            if (lending.list().isEmpty())
                return -1; // no copy on the shelf: the desk says so, nothing to commit
            c.start();
            const CommitResult r = lending.commit();
            if (r.done)
                t.lent += r.lent;
            else if (r.message.contains(QStringLiteral("数量不足")))
                ++t.lostRaces;
            else if (!t.serverAway(r.message, 1))
                t.errors << r.message;
            return double(c.nsecsElapsed()) / 1e6;
        }
        try {
            const ReturnSearch s = returning.search({}, {}, reader);
            if (s.loans.isEmpty())
                return -1;
            const OpenLoan& loan = s.loans[random.bounded(int(s.loans.size()))];
            const ReturnEntry entry = Returning::entryFor(returning.compute(loan));
            c.start();
            const ReturnResult r = returning.giveBack(loan, entry);
            if (r.status == ReturnResult::Returned)
                ++t.returned;
            else if (r.status == ReturnResult::AlreadyReturned)
                ++t.lostRaces;
            else if (!t.serverAway(r.messages.join(QLatin1Char(' ')), 0))
                t.errors << r.messages.join(QLatin1Char(' '));
            return double(c.nsecsElapsed()) / 1e6;
        } catch (const DbError& e) {
            if (!t.serverAway(e.message(), 0))
                t.errors << e.message();
            return -1;
        }
    };
    for (int cycle = 0; cycles > 0 ? cycle < cycles : running.elapsed() < seconds * 1000; ++cycle) {
        const qint64 startedAt = QDateTime::currentMSecsSinceEpoch();
        QElapsedTimer timer;
        timer.start();
        t.away = false;
        const double commitMs = action();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (commitMs >= 0 && !t.away)
            t.commitMs.push_back(commitMs);
        if (ms > 20)
            t.slow.append(QJsonArray{double(startedAt), ms});
        if (t.away)
            QThread::msleep(50); // as an operator waits a moment before trying again
    }
    const Bench::Timing commits = Bench::stats(t.commitMs);
    const QJsonObject o{{QStringLiteral("lent"), t.lent},
                        {QStringLiteral("returned"), t.returned},
                        {QStringLiteral("lostRaces"), t.lostRaces},
                        {QStringLiteral("notStored"), t.notStored},
                        {QStringLiteral("unknown"), t.unknown},
                        {QStringLiteral("unknownItems"), t.unknownItems},
                        {QStringLiteral("commits"), int(t.commitMs.size())},
                        {QStringLiteral("p50"), commits.median},
                        {QStringLiteral("p99"), commits.p99},
                        {QStringLiteral("seconds"), double(running.elapsed()) / 1000},
                        {QStringLiteral("slow"), t.slow},
                        {QStringLiteral("errors"), QJsonArray::fromStringList(t.errors)}};
    std::puts(QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
    return 0;
}

// ---- the desks together ----------------------------------------------------------------

struct Library
{
    QString kind, connection;
};

QList<QJsonObject> runDesks(const Library& library, int desks, double seconds, int cycles,
                            const std::function<void()>& meanwhile = {})
{
    QList<QProcess*> workers;
    for (int d = 0; d < desks; ++d) {
        auto* p = new QProcess;
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--desk-worker"), library.kind, library.connection,
                  QString::number(1000 + d), QString::number(seconds), QString::number(cycles)});
        workers << p;
    }
    if (meanwhile)
        meanwhile();
    QList<QJsonObject> results;
    for (QProcess* p : workers) {
        p->waitForFinished(-1);
        const QByteArray out = p->readAllStandardOutput();
        QJsonObject o = QJsonDocument::fromJson(out.trimmed()).object();
        if (o.isEmpty())
            o.insert(QStringLiteral("errors"),
                     QJsonArray{QString::fromLocal8Bit(out + p->readAllStandardError())});
        results << o;
        delete p;
    }
    return results;
}

int sum(const QList<QJsonObject>& desks, const char* key)
{
    int n = 0;
    for (const QJsonObject& o : desks)
        n += o.value(QLatin1String(key)).toInt();
    return n;
}

QStringList errorsOf(const QList<QJsonObject>& desks)
{
    QStringList all;
    for (const QJsonObject& o : desks)
        for (const QJsonValue& e : o.value(QStringLiteral("errors")).toArray())
            all << e.toString();
    return all;
}

int loanRows(const Database& db)
{
    return db.scalar(QStringLiteral("select count(*) from 借出记录")).toInt();
}
int returnedRows(const Database& db)
{
    return db
        .scalar(QStringLiteral("select count(*) from 借出记录 where 已还 = ?"),
                {QStringLiteral("是")})
        .toInt();
}

int scaling(const Database& db, const Library& library, const QList<int>& deskCounts,
            double seconds)
{
    std::printf("\n%-6s %10s %10s %9s %9s %9s %9s %8s %7s %s\n", "desks", "actions", "actions/s",
                "p50 min", "p50 max", "p99 min", "p99 max", "lost", "errors", "counters");
    bool ok = true;
    for (int desks : deskCounts) {
        const int loansBefore = loanRows(db), returnedBefore = returnedRows(db);
        const QList<QJsonObject> r = runDesks(library, desks, seconds, 0);
        double p50min = 1e9, p50max = 0, p99min = 1e9, p99max = 0, longest = 0;
        for (const QJsonObject& o : r) {
            const double p50 = o.value(QStringLiteral("p50")).toDouble(),
                         p99 = o.value(QStringLiteral("p99")).toDouble();
            p50min = std::min(p50min, p50);
            p50max = std::max(p50max, p50);
            p99min = std::min(p99min, p99);
            p99max = std::max(p99max, p99);
            longest = std::max(longest, o.value(QStringLiteral("seconds")).toDouble());
        }
        const int lent = sum(r, "lent"), returned = sum(r, "returned");
        const int actions = lent + returned;
        const QStringList errors = errorsOf(r);
        const int mismatches = counterMismatches(db);
        const bool stored =
            loanRows(db) - loansBefore == lent && returnedRows(db) - returnedBefore == returned;
        ok = ok && errors.isEmpty() && mismatches == 0 && stored;
        std::printf("%-6d %10d %10.0f %9.2f %9.2f %9.2f %9.2f %8d %7d %s\n", desks, actions,
                    longest > 0 ? actions / longest : 0, p50min, p50max, p99min, p99max,
                    sum(r, "lostRaces"), int(errors.size()),
                    mismatches == 0 && stored ? "match" : "MISMATCH");
        for (const QString& e : errors.mid(0, 3))
            std::printf("       %s\n", qPrintable(e));
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}

int faults(const Database& db, const Library& library, int cycles)
{
    const QString script = qEnvironmentVariable("TUSHU_PG_SCRIPT");
    const QString dir = qEnvironmentVariable("TUSHU_PG_DIR");
    if (script.isEmpty() || dir.isEmpty()) {
        std::fprintf(stderr, "--faults needs TUSHU_PG_SCRIPT (tools/pg.sh) and TUSHU_PG_DIR (the "
                             "server's folder)\n");
        return 2;
    }
    const QList<QStringList> plan{{QStringLiteral("restart"), dir},
                                  {QStringLiteral("restart"), dir},
                                  {QStringLiteral("pause"), dir, QStringLiteral("4")}};
    QList<qint64> faultAt;
    const QList<QJsonObject> r = runDesks(library, 8, 0, cycles, [&] {
        for (const QStringList& fault : plan) {
            QThread::sleep(3);
            faultAt << QDateTime::currentMSecsSinceEpoch();
            QProcess::execute(script, fault);
        }
    });
    const int lent = sum(r, "lent"), returned = sum(r, "returned");
    const int loans = loanRows(db), back = returnedRows(db);
    const QStringList errors = errorsOf(r);
    const int mismatches = counterMismatches(db);
    std::printf("\n8 desks x %d cycles, server restarted twice and stopped once for 4 s\n", cycles);
    std::printf("lent %d, returned %d, lost races %d, told not stored %d, outcome unknown %d "
                "(%d items), other failures %d\n",
                lent, returned, sum(r, "lostRaces"), sum(r, "notStored"), sum(r, "unknown"),
                sum(r, "unknownItems"), int(errors.size()));
    const bool loansOk = loans >= lent && loans <= lent + sum(r, "unknownItems");
    const bool returnsOk = back >= returned && back <= returned + sum(r, "unknown");
    std::printf("loan rows %d (%s), returned rows %d (%s), counters %s\n", loans,
                loansOk ? "none lost or doubled" : "MISMATCH", back,
                returnsOk ? "none lost or doubled" : "MISMATCH",
                mismatches == 0 ? "match the loan rows" : "MISMATCH");
    const QStringList names{QStringLiteral("restart 1"), QStringLiteral("restart 2"),
                            QStringLiteral("stop 4 s")};
    for (int f = 0; f < faultAt.size(); ++f) {
        const qint64 from = faultAt[f], to = f + 1 < faultAt.size() ? faultAt[f + 1] : LLONG_MAX;
        double slowest = 0;
        for (const QJsonObject& o : r)
            for (const QJsonValue& v : o.value(QStringLiteral("slow")).toArray()) {
                const qint64 start = qint64(v.toArray().at(0).toDouble());
                const double ms = v.toArray().at(1).toDouble();
                if (start + qint64(ms) >= from && start < to)
                    slowest = std::max(slowest, ms);
            }
        std::printf("slowest action after %s: %.0f ms%s\n", qPrintable(names[f]), slowest,
                    slowest == 0 ? " (none over 20 ms)" : "");
    }
    for (const QString& e : errors.mid(0, 5))
        std::printf("  %s\n", qPrintable(e));
    std::fflush(stdout);
    return errors.isEmpty() && loansOk && returnsOk && mismatches == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--desk-worker"))
        return runDeskWorker(args.value(2), args.value(3), args.value(4).toUInt(),
                             args.value(5).toDouble(), args.value(6).toInt());
    double seconds = 10;
    int cycles = 5000;
    bool withFaults = false;
    QList<int> deskCounts{1, 2, 4, 8, 16};
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--pg"))
            Bench::onServer() = true;
        else if (args[i] == QLatin1String("--faults"))
            withFaults = true;
        else if (i + 1 < args.size() && args[i] == QLatin1String("--seconds"))
            seconds = args[++i].toDouble();
        else if (i + 1 < args.size() && args[i] == QLatin1String("--cycles"))
            cycles = args[++i].toInt();
        else if (i + 1 < args.size() && args[i] == QLatin1String("--desks")) {
            deskCounts.clear();
            for (const QString& n : args[++i].split(QLatin1Char(',')))
                deskCounts << n.toInt();
        }
    }
    if (seconds <= 0 || cycles < 1 || (withFaults && !Bench::onServer())) {
        std::fprintf(stderr, "usage: bench_desks [--seconds S] [--desks 1,2,4,8,16] [--pg]\n"
                             "       bench_desks --pg --faults [--cycles N]\n");
        return 2;
    }
    QTemporaryDir temp;
    Database db(QStringLiteral("bench-desks"));
    const QString where = Bench::openNewLibrary(db, {}, temp);
    if (where.isEmpty())
        return 1;
    try {
        setUpLibrary(db);
        const Library library =
            Bench::onServer()
                ? Library{QStringLiteral("s"),
                          Bench::serverConnectionString(Bench::serverDatabaseName())}
                : Library{QStringLiteral("a"), QStringLiteral("Data Source=") + where};
        std::printf("%d readers, %d books of %d copies: %s\n", kReaders, kBooks, kCopies,
                    qPrintable(where));
        // A first untimed round puts loans in the library and the statistics are taken, as a
        // library in use has them: the first measured round would otherwise plan its reads
        // over a loan table the database believes empty.
        runDesks(library, 2, 3, 0);
        db.execute(QStringLiteral("analyze"));
        return withFaults ? faults(db, library, cycles) : scaling(db, library, deskCounts, seconds);
    } catch (const DbError& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.message()));
        return 1;
    }
}
