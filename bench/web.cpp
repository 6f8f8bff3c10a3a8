// The reader portal at a busy hour: the real tushu-web program over a library of 1,000,000
// books and 100,000 readers, driven by wrk at 64 connections and 2 threads.
//
//     bench_web [--scale S] [--seconds N] [--minutes M] [--runs N] [--dir DIR] [--pg]
//
// Lines: catalogue search pages over many terms (requests/s, p50, p99), "我的借阅" of many
// logged-in readers (requests/s), the desk's commit p99 idle and while the portal serves the
// search load, and the portal's resident memory over a long mixed run. Floors of the same
// run: the same search and account done by ReaderPortal in this process (no HTTP, one
// connection, as the portal's one thread does them), and the portal's plain 404 answer for
// the HTTP overhead.
#include "BenchLists.h"
#include "circulation/Lending.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/LibraryInit.h"
#include "data/Schema.h"
#include "web/ReaderPortal.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <cstdio>
#include <optional>

namespace {

using Bench::Timing;

struct Sizes
{
    int books, periodicals, readers, loans, reservations, loggedIn;
};

QString readerNumber(int i)
{
    return QStringLiteral("R%1").arg(i, 7, 10, QLatin1Char('0'));
}
QString bookNumber(int i)
{
    return QStringLiteral("B%1").arg(i, 7, 10, QLatin1Char('0'));
}
QString password(int i)
{
    return QStringLiteral("pw%1").arg(i);
}

// The words titles are made of: title i is prefix[i % 20] + subject[(i / 20) % 30] +
// suffix[(i / 600) % 10], one in 10,000 with 敦煌 after it and one in 100,000 with 孤本.
const QStringList kPrefixes = {
    QStringLiteral("中国"), QStringLiteral("世界"), QStringLiteral("现代"), QStringLiteral("古代"),
    QStringLiteral("当代"), QStringLiteral("西方"), QStringLiteral("东方"), QStringLiteral("城市"),
    QStringLiteral("乡村"), QStringLiteral("海洋"), QStringLiteral("大众"), QStringLiteral("青年"),
    QStringLiteral("儿童"), QStringLiteral("实用"), QStringLiteral("简明"), QStringLiteral("基础"),
    QStringLiteral("高等"), QStringLiteral("趣味"), QStringLiteral("图解"), QStringLiteral("新编")};
const QStringList kSubjects = {
    QStringLiteral("历史"),     QStringLiteral("文学"),       QStringLiteral("科学"),
    QStringLiteral("艺术"),     QStringLiteral("哲学"),       QStringLiteral("经济学"),
    QStringLiteral("法律"),     QStringLiteral("医学"),       QStringLiteral("教育"),
    QStringLiteral("音乐"),     QStringLiteral("数学"),       QStringLiteral("物理学"),
    QStringLiteral("化学"),     QStringLiteral("生物"),       QStringLiteral("地理"),
    QStringLiteral("天文学"),   QStringLiteral("心理学"),     QStringLiteral("社会学"),
    QStringLiteral("建筑"),     QStringLiteral("计算机科学"), QStringLiteral("人工智能"),
    QStringLiteral("机器学习"), QStringLiteral("程序设计"),   QStringLiteral("数据库"),
    QStringLiteral("网络"),     QStringLiteral("管理学"),     QStringLiteral("会计"),
    QStringLiteral("金融"),     QStringLiteral("旅游"),       QStringLiteral("烹饪")};
const QStringList kSuffixes = {
    QStringLiteral("概论"), QStringLiteral("导论"), QStringLiteral("研究"), QStringLiteral("简史"),
    QStringLiteral("教程"), QStringLiteral("入门"), QStringLiteral("手册"), QStringLiteral("文集"),
    QStringLiteral("词典"), QStringLiteral("十讲")};
const QStringList kCategories = {
    QStringLiteral("文学"), QStringLiteral("历史"), QStringLiteral("哲学"), QStringLiteral("经济"),
    QStringLiteral("艺术"), QStringLiteral("科技"), QStringLiteral("教育"), QStringLiteral("医药"),
    QStringLiteral("社科"), QStringLiteral("综合")};
const QStringList kPublishers = {QStringLiteral("中华书局"), QStringLiteral("商务印书馆"),
                                 QStringLiteral("人民出版社"), QStringLiteral("科学出版社")};

// The search terms the load cycles through, each with what kind of term it is.
struct Term
{
    QString text, kind;
};
const QList<Term>& searchTerms()
{
    static const QList<Term> terms = {
        {QStringLiteral("史"), QStringLiteral("1 char")},
        {QStringLiteral("学"), QStringLiteral("1 char")},
        {QStringLiteral("书"), QStringLiteral("1 char")},
        {QStringLiteral("龙"), QStringLiteral("1 char, none")},
        {QStringLiteral("历史"), QStringLiteral("2 chars")},
        {QStringLiteral("中国"), QStringLiteral("2 chars")},
        {QStringLiteral("教程"), QStringLiteral("2 chars")},
        {QStringLiteral("文学"), QStringLiteral("2 chars")},
        {QStringLiteral("数据"), QStringLiteral("2 chars")},
        {QStringLiteral("敦煌"), QStringLiteral("2 chars, rare")},
        {QStringLiteral("孤本"), QStringLiteral("2 chars, rare")},
        {QStringLiteral("月刊"), QStringLiteral("2 chars, periodicals")},
        {QStringLiteral("计算机"), QStringLiteral("3+ chars")},
        {QStringLiteral("人工智能"), QStringLiteral("3+ chars")},
        {QStringLiteral("中国历史"), QStringLiteral("3+ chars")},
        {QStringLiteral("现代文学概论"), QStringLiteral("3+ chars")},
        {QStringLiteral("机器学习入门"), QStringLiteral("3+ chars")},
        {QStringLiteral("商务印书馆"), QStringLiteral("3+ chars, publisher")},
        {QStringLiteral("作者1234"), QStringLiteral("author")},
        {QStringLiteral("9787"), QStringLiteral("ISBN, common")},
        {QStringLiteral("0012345"), QStringLiteral("ISBN, rare")},
        {QStringLiteral("978700055"), QStringLiteral("ISBN, rare")},
        {QStringLiteral("I24/77"), QStringLiteral("call number")},
        {QStringLiteral("zzz"), QStringLiteral("ASCII, none")},
    };
    return terms;
}

// One statement per table, every row computed from its number, titles joined from a word
// table. Reader r holds 1 + r % 3 open loans (lent within the last 40 days, due 30 days
// later, so some are overdue) and returned ones; every thousandth book is out and reserved.
void generate(const Database& db, const Sizes& n)
{
    const QString series = QStringLiteral("with recursive n(i) as (select cast(1 as bigint) union "
                                          "all select i + 1 from n where i < ?) ");
    const QDate today = Clock::today();
    const QVariant todayText = today.toString(Qt::ISODate);
    db.execute(QStringLiteral("create temporary table 词表 (k integer primary key, w text)"));
    int base = 0;
    for (const QStringList* words :
         {&kPrefixes, &kSubjects, &kSuffixes, &kCategories, &kPublishers}) {
        for (int k = 0; k < words->size(); ++k)
            db.execute(QStringLiteral("insert into 词表 (k, w) values (?, ?)"),
                       {base + k, words->at(k)});
        base += 100;
    }
    Bench::fillThenIndex(db, [&] {
        db.execute(QStringLiteral("insert into 读者类别 (类别名, 借阅天数, 借阅数量限制, 租金) "
                                  "values ('学生', 30, 20, 0.1)"));
        db.execute(series + QStringLiteral(
                                "insert into 读者库 (读者编号, 读者姓名, 性别, 类别, 有效期, 状态, "
                                "密码, 未还数量, 累计借阅次数, 卡内金额, 登记日期, 登记人, py) "
                                "select printf('R%07d', i), '读者' || i, '男', '学生', "
                                "'2500-01-01', '正常', 'pw' || i, 1 + i % 3, 10, 100.5, "
                                "date(?, '-' || (i % 1000) || ' days'), '甲', 'DZ' from n"),
                   {n.readers, todayText});
        db.execute(
            series +
                QStringLiteral(
                    "insert into 图书 (编号, 名称, 条形码, 索书号, 分类号, 数量, 分类, 出版社, "
                    "存放位置, 物品级别, 价格, 作者, isbn, 入库时间, 借出次数, 状态, 登记人, py) "
                    "select printf('B%07d', i), a.w || b.w || c.w || case when i % 100000 = 7 "
                    "then '孤本' when i % 10000 = 77 then '敦煌' else '' end, "
                    "printf('69%010d', i), 'I24/' || i, 'I24', 3, d.w, p.w, '二楼书库', '普通', "
                    "25.5, '作者' || (i % 5000), printf('9787%09d', i), "
                    "date(?, '-' || (i % 1095) || ' days'), i % 50, '正常', '甲', 'SM' from n "
                    "join 词表 a on a.k = i % 20 join 词表 b on b.k = 100 + (i / 20) % 30 "
                    "join 词表 c on c.k = 200 + (i / 600) % 10 join 词表 d on d.k = 300 + i % 10 "
                    "join 词表 p on p.k = 400 + i % 4"),
            {n.books, todayText});
        db.execute(
            series +
                QStringLiteral("insert into 期刊 (编号, 名称, 条形码, 出版社, 物品级别, 存放位置, "
                               "分类, 数量, issn, 第几期, 状态, 入库时间, py) "
                               "select printf('Q%07d', i), b.w || '月刊', printf('77%010d', i), "
                               "p.w, '普通', '期刊室', d.w, 2, printf('1000-%04d', i % 10000), "
                               "'' || (i % 12 + 1), '正常', date(?, '-' || (i % 700) || ' days'), "
                               "'YK' from n join 词表 b on b.k = 100 + i % 30 join 词表 d on d.k = "
                               "300 + i % 10 join 词表 p on p.k = 400 + i % 4"),
            {n.periodicals, todayText});
        // Loan i belongs to reader 1 + (i - 1) % readers; his first 1 + r % 3 are open.
        db.execute(
            series +
                QStringLiteral(
                    "insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, 条形码, 类别, "
                    "物品级别, 价格, 租金, 借阅日期, 应还日期, 借阅经手人, 已还, 物品状况, "
                    "归还日期, 实际租期, 实际租金, 罚金) select printf('R%07d', r), '读者' || r, "
                    "printf('B%07d', b), '书名' || b, printf('69%010d', b), '图书', '普通', "
                    "25.5, 0.1, date(?, '-' || d || ' days'), date(?, '-' || d || ' days', "
                    "'+30 days'), '甲', case when o = 1 then '否' else '是' end, '完好', "
                    "case when o = 1 then null else date(?, '-' || (d - 10) || ' days') end, "
                    "case when o = 1 then null else 10 end, case when o = 1 then null else 1.0 "
                    "end, case when o = 0 and i % 97 = 0 then 0.3 else 0 end from (select i, "
                    "1 + (i - 1) % ? as r, 1 + (i * 104729) % ? as b, case when (i - 1) / ? < "
                    "1 + (1 + (i - 1) % ?) % 3 then 1 else 0 end as o, case when (i - 1) / ? < "
                    "1 + (1 + (i - 1) % ?) % 3 then i % 40 else 40 + i % 700 end as d from n) "
                    "x"),
            {n.loans, todayText, todayText, todayText, n.readers, n.books, n.readers, n.readers,
             n.readers, n.readers});
    });
    db.execute(QStringLiteral("drop table 词表"));
    // Book 1000k + 500 is out, reserved by reader k + 1 until three days from now.
    const QDateTime until = Clock::now().addDays(3);
    db.transaction([&] {
        for (int k = 0; k < n.reservations; ++k)
            db.execute(QStringLiteral("update 图书 set 数量 = 0, 预定状况 = ?, 预定到期时间 = ? "
                                      "where 编号 = ?"),
                       {readerNumber(1 + k % n.readers), until, bookNumber(1000 * k + 500)});
        db.execute(QStringLiteral("update 系统设置 set 图书馆名 = ?, WebNotice = ?, "
                                  "启用租金功能 = ?, 启用超期罚金 = ?, 启用预定功能 = ?, "
                                  "借阅数量限制功能 = ?, 超期每日罚金 = ?"),
                   {QStringLiteral("基准图书馆"), QStringLiteral("本周日闭馆。"), true, true, true,
                    true, 0.1});
    });
    // The planner's statistics of the library as it stands, reservations and all: taken
    // before them, they would say every book has the same 预定状况.
    db.execute(QStringLiteral("analyze"));
}

// ---- the portal program and an HTTP client for the logins ---------------------------------

class PortalProcess
{
public:
    ~PortalProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000))
                process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Starts tushu-web over the library of dir on 127.0.0.1 and a free port.
    bool start(const QString& dir)
    {
        process_.setProgram(QStringLiteral(TUSHU_WEB_PROGRAM));
        process_.setArguments({QStringLiteral("--dir"), dir, QStringLiteral("--listen"),
                               QStringLiteral("127.0.0.1:0")});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(10000))
            return false;
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 60000 && process_.state() == QProcess::Running) {
            process_.waitForReadyRead(1000);
            out += process_.readAllStandardOutput();
            const qsizetype at = out.indexOf("http://127.0.0.1:");
            const qsizetype end = at < 0 ? -1 : out.indexOf('/', at + 17);
            if (end > 0) {
                port_ = out.mid(at + 17, end - at - 17).toUShort();
                return port_ != 0;
            }
        }
        std::fprintf(stderr, "tushu-web did not start: %s\n", out.constData());
        return false;
    }

    quint16 port() const { return port_; }
    bool running() const { return process_.state() == QProcess::Running; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }

    // The program's resident memory in KiB, -1 when it cannot be read.
    long residentKiB() const
    {
        return Bench::statusKiB("VmRSS:",
                                QStringLiteral("/proc/%1/status").arg(process_.processId()));
    }

private:
    QProcess process_;
    quint16 port_ = 0;
};

struct HttpAnswer
{
    int status = 0;
    QByteArray body;
};

HttpAnswer waitFor(QNetworkReply* reply)
{
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    HttpAnswer a{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                 reply->readAll()};
    reply->deleteLater();
    return a;
}

HttpAnswer get(QNetworkAccessManager& nam, const QString& url, const QByteArray& token = {})
{
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    if (!token.isEmpty())
        request.setRawHeader("Cookie", "tushu_session=" + token);
    return waitFor(nam.get(request));
}

// wrk stops with a request still open on each connection, which the portal's one thread
// answers before anything else: the next line starts once it answers again. The seconds
// that took.
double drain(const PortalProcess& portal)
{
    QNetworkAccessManager nam;
    return Bench::timed([&] { get(nam, portal.url() + QStringLiteral("/no-such-page")); }) / 1000;
}

// Logs readers 1..count in through the JSON interface, eight at a time, each once: the
// portal throttles failures, not successes. Their session tokens, or empty after a failure.
QList<QByteArray> logIn(const QString& base, int count)
{
    QNetworkAccessManager nam;
    QList<QByteArray> tokens(count);
    int next = 0, finished = 0, failed = 0;
    QEventLoop loop;
    std::function<void()> send = [&] {
        const int k = next++;
        QNetworkRequest request{QUrl(base + QStringLiteral("/api/login"))};
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
        const QJsonObject body{{QStringLiteral("reader"), readerNumber(k + 1)},
                               {QStringLiteral("password"), password(k + 1)}};
        QNetworkReply* reply =
            nam.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
        QObject::connect(reply, &QNetworkReply::finished, [&, reply, k] {
            tokens[k] = QJsonDocument::fromJson(reply->readAll())
                            .object()
                            .value(QStringLiteral("token"))
                            .toString()
                            .toLatin1();
            failed += tokens[k].isEmpty();
            reply->deleteLater();
            if (next < count)
                send();
            if (++finished == count)
                loop.quit();
        });
    };
    for (int i = 0; i < std::min(8, count); ++i)
        send();
    loop.exec();
    if (failed > 0) {
        std::fprintf(stderr, "%d of %d logins failed\n", failed, count);
        return {};
    }
    return tokens;
}

// ---- wrk -----------------------------------------------------------------------------------

// One request of a load: a path and the session cookie it carries, if any.
struct Target
{
    QString path;
    QByteArray token;
};

struct Load
{
    bool ok = false;
    double requestsPerSecond = 0, p50 = 0, p99 = 0, max = 0; // latencies in ms
    qint64 requests = 0, socketErrors = 0, statusErrors = 0, timeouts = 0;
};

const int kConnections = 64;
const int kThreads = 2;
const int kTimeoutSeconds = 10;

// A wrk script that cycles through the targets (each thread from its own place) and prints
// the figures wrk gathered on one line at the end. The targets are read from a file of their
// own, one "path cookie" line each: a table written out in the script would hold too many
// constants for LuaJIT.
bool writeScript(const QString& path, const QList<Target>& targets)
{
    QByteArray list;
    for (const Target& t : targets)
        list += t.path.toLatin1() + ' ' + t.token + '\n';
    QFile listFile(path + QStringLiteral(".targets"));
    if (!listFile.open(QIODevice::WriteOnly) || listFile.write(list) != list.size())
        return false;
    QByteArray lua =
        "local targets = {}\nfor line in io.lines(\"" + listFile.fileName().toUtf8() + "\") do\n";
    lua += R"(  local path, token = line:match("^(%S+) ?(%S*)$")
  if token ~= "" then
    targets[#targets + 1] = {path, {Cookie = "tushu_session=" .. token}}
  else
    targets[#targets + 1] = {path}
  end
end
local threads = 0
function setup(thread)
  thread:set("offset", threads * 7919)
  threads = threads + 1
end
local n = 0
function init(args)
  n = offset or 0
end
function request()
  n = n + 1
  local t = targets[n % #targets + 1]
  return wrk.format("GET", t[1], t[2])
end
function done(summary, latency, requests)
  local e = summary.errors
  io.write(string.format("RESULT %d %d %d %d %d %d %d %d %d %d\n", summary.requests,
    summary.duration, latency:percentile(50), latency:percentile(99), latency.max,
    e.connect, e.read + e.write, e.status, e.timeout, 0))
end
)";
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(lua) == lua.size();
}

class LoadRun
{
public:
    // Starts wrk over the targets for the given seconds.
    LoadRun(const QString& url, const QList<Target>& targets, int seconds,
            const QString& scriptPath)
    {
        if (!writeScript(scriptPath, targets)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(scriptPath));
            return;
        }
        wrk_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        wrk_.start(QStringLiteral("wrk"),
                   {QStringLiteral("-t%1").arg(kThreads), QStringLiteral("-c%1").arg(kConnections),
                    QStringLiteral("-d%1s").arg(seconds), QStringLiteral("--timeout"),
                    QStringLiteral("%1s").arg(kTimeoutSeconds), QStringLiteral("-s"), scriptPath,
                    url});
        wrk_.waitForStarted(10000);
        seconds_ = seconds;
    }

    bool running() const { return wrk_.state() == QProcess::Running; }

    Load finish()
    {
        Load load;
        if (!wrk_.waitForFinished((seconds_ + 60) * 1000)) {
            wrk_.kill();
            wrk_.waitForFinished();
        }
        const QByteArray out = wrk_.readAllStandardOutput();
        const qsizetype at = out.indexOf("RESULT ");
        if (at < 0) {
            std::fprintf(stderr, "wrk gave no figures:\n%s\n", out.constData());
            return load;
        }
        const QList<QByteArray> v = out.mid(at + 7, out.indexOf('\n', at) - at - 7).split(' ');
        if (v.size() < 9)
            return load;
        load.ok = true;
        load.requests = v[0].toLongLong();
        load.requestsPerSecond = double(load.requests) / (v[1].toDouble() / 1e6);
        load.p50 = v[2].toDouble() / 1000;
        load.p99 = v[3].toDouble() / 1000;
        load.max = v[4].toDouble() / 1000;
        load.socketErrors = v[5].toLongLong() + v[6].toLongLong();
        load.statusErrors = v[7].toLongLong();
        load.timeouts = v[8].toLongLong();
        return load;
    }

private:
    QProcess wrk_;
    int seconds_ = 0;
};

void printLoad(const char* name, const Load& l)
{
    std::printf("%-28s %9.1f req/s  p50 %8.2f ms  p99 %8.2f ms  max %8.1f ms  (%lld requests, "
                "%lld socket errors, %lld non-2xx/3xx, %lld over %d s)\n",
                name, l.requestsPerSecond, l.p50, l.p99, l.max, l.requests, l.socketErrors,
                l.statusErrors, l.timeouts, kTimeoutSeconds);
    std::fflush(stdout);
}

QString searchPath(const QString& term)
{
    return QStringLiteral("/search?q=") + QString::fromLatin1(QUrl::toPercentEncoding(term));
}

// ---- the desk's commit ---------------------------------------------------------------------

// The commit of one item through Lending, its checks done untimed before, as bench_desk times
// it; a random reader and a book on the shelf each time. Stops early when keepGoing says so.
Timing commits(Lending& lending, const Sizes& n, int runs, QRandomGenerator& random,
               const std::function<bool()>& keepGoing, int* failed)
{
    std::vector<double> ms;
    for (int i = 0; i < runs && keepGoing(); ++i) {
        int book = 1 + int(random.bounded(n.books));
        if (book % 1000 == 500)
            ++book; // reserved and out
        lending.RdSearch(readerNumber(1 + int(random.bounded(n.readers))));
        lending.bksearch(bookNumber(book));
        CommitResult result;
        ms.push_back(Bench::timed([&] { result = lending.commit(); }));
        *failed += !result.done || result.lent != 1;
    }
    return Bench::stats(std::move(ms));
}

// ---- the table -----------------------------------------------------------------------------

// A line of the closing table; one without a goal is shown for information.
struct Verdict
{
    QString line;
    double figure, floor;
    QString floorName, goalText;
    bool met;
    bool ratioShown = true;
};

void printVerdicts(const QList<Verdict>& lines)
{
    std::printf("\n%-36s %11s %11s %7s  %-28s %-16s %s\n", "line", "ours", "floor", "ratio",
                "floor is", "goal", "");
    for (const Verdict& v : lines) {
        const QByteArray ratio = v.ratioShown && v.floor > 0
                                     ? QByteArray::number(v.figure / v.floor, 'f', 2)
                                     : QByteArray("");
        std::printf("%-36s %11.2f %11s %7s  %-28s %-16s %s\n", qPrintable(v.line), v.figure,
                    v.floor > 0 ? QByteArray::number(v.floor, 'f', 2).constData() : "",
                    ratio.constData(), qPrintable(v.floorName), qPrintable(v.goalText),
                    v.goalText.isEmpty() ? ""
                    : v.met              ? "met"
                                         : "MISSED");
    }
    std::fflush(stdout);
}

int intOption(const QStringList& args, const QString& name, int fallback)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto [scale, runs, dir] = Bench::options(args, 500);
    const int seconds = intOption(args, QStringLiteral("--seconds"), 30);
    const int minutes = intOption(args, QStringLiteral("--minutes"), 2);
    if (seconds < 1 || minutes < 1) {
        std::fprintf(stderr,
                     "usage: %s [--scale S] [--seconds N] [--minutes M] [--runs N] "
                     "[--dir DIR] [--pg]\n",
                     qPrintable(args.value(0)));
        return 2;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("wrk")).isEmpty()) {
        std::fprintf(stderr, "wrk is not installed (tools/deps.sh installs it)\n");
        return 1;
    }
    const Sizes n{std::max(10000, int(1000000 * scale)), std::max(100, int(10000 * scale)),
                  std::max(1000, int(100000 * scale)),   std::max(10000, int(1000000 * scale)),
                  std::max(10, int(1000 * scale)),       std::max(100, int(10000 * scale))};
    QTemporaryDir temp;
    const QString libraryDir = dir.isEmpty() ? temp.path() : QDir(dir).absolutePath();
    Database db(QStringLiteral("bench"));
    const QString where = Bench::openNewLibrary(db, dir, temp);
    if (where.isEmpty())
        return 1;
    QString error;
    const QString ini = QDir(libraryDir).absoluteFilePath(QStringLiteral("de.ini"));
    QFile::remove(ini);
    if (!LibraryInit::writeSettingsFile(
            ini, Bench::onServer() ? QStringLiteral("s") : QStringLiteral("a"),
            Bench::onServer() ? Bench::serverConnectionString(Bench::serverDatabaseName())
                              : QString(),
            &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    try {
        Schema::create(db);
        const double generated = Bench::timed([&] { generate(db, n); });
        std::printf("generated %d books, %d periodicals, %d readers, %d loans, %d reservations in "
                    "%.1f s: %s\n",
                    n.books, n.periodicals, n.readers, n.loans, n.reservations, generated / 1000,
                    qPrintable(where));
        std::fflush(stdout);

        // Floors: the same work by the portal's rules on one connection of this process.
        ReaderPortal direct(db);
        std::printf("\nsearch done directly by ReaderPortal (no HTTP), first page and count:\n");
        std::vector<double> searchMs;
        for (const Term& t : searchTerms()) {
            int total = 0;
            searchMs.push_back(Bench::timed([&] { total = direct.search(t.text, 1).total; }));
            std::printf("  %-14s %-22s %8d hits %9.2f ms\n", qPrintable(t.text), qPrintable(t.kind),
                        total, searchMs.back());
        }
        double searchTotalMs = 0;
        for (double ms : searchMs)
            searchTotalMs += ms;
        const double searchFloor = 1000.0 * double(searchMs.size()) / searchTotalMs;
        int accountCalls = 0;
        const double accountMs = Bench::timed([&] {
            QElapsedTimer t;
            t.start();
            while (accountCalls < n.loggedIn && (accountCalls < 200 || t.elapsed() < 3000))
                direct.account(readerNumber(1 + accountCalls++));
        });
        const double accountFloor = 1000.0 * accountCalls / accountMs;
        std::printf("account done directly: %d readers, %.3f ms each\n", accountCalls,
                    accountMs / accountCalls);
        std::fflush(stdout);

        PortalProcess portal;
        if (!portal.start(libraryDir))
            return 1;
        const long rssStarted = portal.residentKiB();
        QList<QByteArray> tokens;
        const double loginMs = Bench::timed([&] { tokens = logIn(portal.url(), n.loggedIn); });
        if (tokens.isEmpty())
            return 1;
        std::printf("\ntushu-web on %s: %d readers logged in through /api/login in %.1f s\n",
                    qPrintable(portal.url()), n.loggedIn, loginMs / 1000);

        // Every session opens its own account page before the load, so that wrk's figures
        // are of pages that answer, not of redirects to the login.
        {
            QNetworkAccessManager nam;
            for (int k : {0, n.loggedIn / 2, n.loggedIn - 1}) {
                const HttpAnswer a = get(nam, portal.url() + QStringLiteral("/account"), tokens[k]);
                if (a.status != 200 || !a.body.contains(readerNumber(k + 1).toUtf8())) {
                    std::fprintf(stderr, "account page of %s answered %d\n",
                                 qPrintable(readerNumber(k + 1)), a.status);
                    return 1;
                }
            }
            const HttpAnswer s = get(nam, portal.url() + searchPath(QStringLiteral("历史")));
            if (s.status != 200 || !s.body.contains("历史")) {
                std::fprintf(stderr, "search page answered %d\n", s.status);
                return 1;
            }
        }

        QRandomGenerator random(20261211);
        QList<Target> searches, accounts, items, missing;
        for (const Term& t : searchTerms()) {
            searches << Target{searchPath(t.text), {}};
            // later pages of the same terms, as a reader pages on
            searches << Target{searchPath(t.text) + QStringLiteral("&page=2"), {}};
        }
        for (int k = 0; k < n.loggedIn; ++k)
            accounts << Target{QStringLiteral("/account"), tokens[k]};
        for (int k = 0; k < 1000; ++k)
            items << Target{QStringLiteral("/item?kind=book&id=") +
                                bookNumber(1 + int(random.bounded(n.books))),
                            {}};
        missing << Target{QStringLiteral("/no-such-page"), {}};
        const QString scriptPath = QDir(temp.path()).absoluteFilePath(QStringLiteral("load.lua"));
        const auto load = [&](const char* name, const QList<Target>& targets) {
            LoadRun run(portal.url(), targets, seconds, scriptPath);
            const Load l = run.finish();
            printLoad(name, l);
            std::printf("%-28s the portal answered again %.1f s after wrk ended\n", "",
                        drain(portal));
            return l;
        };

        std::printf("\nwrk, %d connections, %d threads, %d s each:\n", kConnections, kThreads,
                    seconds);
        const Load http404 = load("404 page (HTTP floor)", missing);
        const Load search = load("catalogue search", searches);
        const Load account = load("我的借阅 (account page)", accounts);

        // The desk's commit on a connection of its own, idle and under the search load.
        Lending lending(db);
        lending.settings() = direct.settings();
        lending.setOperatorName(QStringLiteral("甲"));
        int commitFailures = 0;
        const Timing idle = commits(
            lending, n, runs, random, [] { return true; }, &commitFailures);
        Timing loaded;
        bool loadLasted = false;
        {
            LoadRun run(portal.url(), searches, seconds, scriptPath);
            QThread::sleep(2); // let the connections fill
            loaded = commits(
                lending, n, runs, random, [&] { return run.running(); }, &commitFailures);
            loadLasted = run.running();
            printLoad("search beside the commits", run.finish());
        }
        std::printf("%-28s the portal answered again %.1f s after wrk ended\n", "", drain(portal));
        std::printf("desk commit of 1 item, %d runs: idle p50 %.3f ms p99 %.3f ms; under the "
                    "search load p50 %.3f ms p99 %.3f ms%s; %d commits failed\n",
                    runs, idle.median, idle.p99, loaded.median, loaded.p99,
                    loadLasted ? "" : " (the load ended before the last commit)", commitFailures);

        // Memory over a long mixed run: account pages, searches, items, history, home.
        QList<Target> mixed;
        for (int k = 0; k < n.loggedIn; ++k) {
            mixed << accounts[k] << accounts[(k + 1) % n.loggedIn];
            mixed << items[k % items.size()];
            mixed << searches[k % searches.size()];
            if (k % 5 == 0)
                mixed << Target{QStringLiteral("/history"), tokens[k]}
                      << Target{QStringLiteral("/"), {}};
        }
        std::vector<long> samples;
        const int sampleSeconds = 5;
        Load mixedLoad;
        {
            LoadRun run(portal.url(), mixed, minutes * 60, scriptPath);
            samples.push_back(portal.residentKiB());
            QElapsedTimer t;
            t.start();
            while (run.running() && t.elapsed() < (minutes * 60 + 30) * 1000) {
                QThread::sleep(sampleSeconds);
                if (run.running())
                    samples.push_back(portal.residentKiB());
            }
            mixedLoad = run.finish();
        }
        printLoad("mixed load (memory run)", mixedLoad);
        const long first = samples.front(), last = samples.back();
        const long most = *std::max_element(samples.begin(), samples.end());
        // After the first minute the caches (SQLite's pages, the templates, the sessions)
        // are full: from there on the figure must stay where it is.
        const long warm = samples[std::min(samples.size() - 1, size_t(60 / sampleSeconds))];
        std::printf("tushu-web VmRSS: %.1f MiB at start, %.1f MiB with the sessions; over %d min "
                    "of mixed load (%zu samples, every %d s): first %.1f MiB, after 1 min %.1f "
                    "MiB, last %.1f MiB, max %.1f MiB, growth %+.1f MiB (%+.1f MiB after the "
                    "first minute)\n",
                    rssStarted / 1024.0, samples.front() / 1024.0, minutes, samples.size(),
                    sampleSeconds, first / 1024.0, warm / 1024.0, last / 1024.0, most / 1024.0,
                    (last - first) / 1024.0, (last - warm) / 1024.0);
        if (!portal.running())
            std::printf("tushu-web is no longer running!\n");

        // Without a load that ran, a flat figure says nothing.
        const bool memoryFlat =
            mixedLoad.ok && mixedLoad.requests > 0 && last <= warm * 1.05 && portal.running();
        printVerdicts({
            {QStringLiteral("search, requests/s"), search.requestsPerSecond, searchFloor,
             QStringLiteral("ReaderPortal::search alone"), QStringLiteral(">= 500"),
             search.ok && search.requestsPerSecond >= 500 && search.statusErrors == 0},
            {QStringLiteral("search, p50 latency (ms)"), search.p50, 0, {}, {}, true, false},
            {QStringLiteral("search, p99 latency (ms)"),
             search.p99,
             0,
             {},
             QStringLiteral("< 100, no timeout"),
             search.ok && search.p99 < 100 && search.timeouts == 0,
             false},
            {QStringLiteral("account page, requests/s"), account.requestsPerSecond, accountFloor,
             QStringLiteral("ReaderPortal::account alone"), QStringLiteral(">= 1000"),
             account.ok && account.requestsPerSecond >= 1000 && account.statusErrors == 0},
            {QStringLiteral("account page, p99 latency (ms)"), account.p99, 0, {}, {}, true, false},
            {QStringLiteral("account page against 404 page"),
             account.requestsPerSecond,
             http404.requestsPerSecond,
             QStringLiteral("404 page over HTTP"),
             {},
             true},
            {QStringLiteral("desk commit p99 (ms), search load"), loaded.p99, idle.p99,
             QStringLiteral("the same, no load"), QStringLiteral("ratio <= 1.5"),
             idle.p99 > 0 && loaded.p99 / idle.p99 <= 1.5 && commitFailures == 0},
            {QStringLiteral("VmRSS (MiB), last against 1 min"), last / 1024.0, warm / 1024.0,
             QStringLiteral("the sample after 1 min"), QStringLiteral("flat (<= +5 %)"),
             memoryFlat},
        });
    } catch (const DbError& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.message()));
        return 1;
    }
    db.close();
    return 0;
}
