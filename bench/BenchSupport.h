// Timing and memory figures shared by the benchmark programs.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace Bench {

// The options every library benchmark takes: --scale S, --runs N, --dir DIR, --pg. Prints the
// usage and ends the program when they make no sense.
struct Options
{
    double scale = 1.0;
    int runs = 0;
    QString dir; // where book.mdb is kept; empty: a temporary folder
};

// With --pg the library is made on a PostgreSQL server instead of in book.mdb: the one that
// tools/pg.sh starts, named by the lines it prints (TUSHU_PG_HOST, TUSHU_PG_PORT,
// TUSHU_PG_USER, and TUSHU_PG_PASSWORD when one is needed).
inline bool& onServer()
{
    static bool server = false;
    return server;
}

inline QString serverValue(const char* name, const char* fallback)
{
    const QByteArray v = qgetenv(name);
    return QString::fromLocal8Bit(v.isEmpty() ? QByteArray(fallback) : v);
}

// The connection string of database on that server.
inline QString serverConnectionString(const QString& database)
{
    return QStringLiteral("Provider=PostgreSQL;Data Source=%1;Port=%2;Initial Catalog=%3;"
                          "User ID=%4;Password=%5")
        .arg(serverValue("TUSHU_PG_HOST", "127.0.0.1"), serverValue("TUSHU_PG_PORT", "5432"),
             database, serverValue("TUSHU_PG_USER", "postgres"),
             serverValue("TUSHU_PG_PASSWORD", ""));
}

inline Options options(const QStringList& args, int defaultRuns)
{
    Options o;
    o.runs = defaultRuns;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--pg"))
            onServer() = true;
        else if (i + 1 >= args.size())
            break;
        else if (args[i] == QLatin1String("--scale"))
            o.scale = args[++i].toDouble();
        else if (args[i] == QLatin1String("--runs"))
            o.runs = args[++i].toInt();
        else if (args[i] == QLatin1String("--dir"))
            o.dir = args[++i];
    }
    if (o.scale <= 0 || o.runs < 1) {
        std::fprintf(stderr, "usage: %s [--scale S] [--runs N] [--dir DIR] [--pg]\n",
                     qPrintable(args.value(0)));
        std::exit(2);
    }
    return o;
}

struct Timing
{
    double median = 0, p99 = 0; // milliseconds
};

inline Timing stats(std::vector<double> ms)
{
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, size_t(double(ms.size()) * 0.99))]};
}

// Milliseconds the work takes.
inline double timed(const std::function<void()>& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

inline Timing measure(int runs, const std::function<void(int)>& once)
{
    std::vector<double> ms;
    ms.reserve(runs);
    for (int i = 0; i < runs; ++i)
        ms.push_back(timed([&] { once(i); }));
    return stats(std::move(ms));
}

// Runs of ours and of the floor taken in turns, each after an untimed preparation.
inline std::pair<Timing, Timing> alternating(int runs, const std::function<void(int)>& prepare,
                                             const std::function<void(int)>& ours,
                                             const std::function<void(int)>& floor)
{
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        prepare(i);
        a.push_back(timed([&] { ours(i); }));
        b.push_back(timed([&] { floor(i); }));
    }
    return {stats(std::move(a)), stats(std::move(b))};
}

// Resident memory figures of this process (or of the process whose status file is given) in
// KiB ("VmRSS:", "VmHWM:").
inline long statusKiB(const char* key,
                      const QString& statusFile = QStringLiteral("/proc/self/status"))
{
    QFile f(statusFile);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').first().toLong();
    return -1;
}

// Starts the peak over from the current resident size (Linux 4.0 and later).
inline bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

// The peak resident memory the work adds, in KiB; -1 when it cannot be measured.
inline long peakKiB(const std::function<void()>& work)
{
    const long before = statusKiB("VmRSS:");
    if (!resetPeak())
        return -1;
    work();
    return statusKiB("VmHWM:") - before;
}

} // namespace Bench
