// Copy cataloguing against a local Z39.50 and SRU server: YAZ's own yaz-ztest, started by
// the benchmark. A search by ISBN through ZoomSearch, as the copy cataloguing screen sends
// it (up to 10 records, read as MARC and mapped to the columns of 图书), is timed over many
// runs against its floor: the same query through a plain synchronous ZOOM connection that
// fetches the same records as raw bytes and reads nothing.
//
//     bench_zoom [--runs N] [--port P]
#include "BenchSupport.h"
#include "ZtestServer.h"
#include "marc/ZoomSearch.h"

#include <QCoreApplication>
#include <cstdio>
#include <yaz/zoom.h>

namespace {

const QString kTerm = QStringLiteral("3");
constexpr int kRecords = 10;

ZoomTarget ztest(int port, bool sru)
{
    ZoomTarget t;
    t.name = sru ? QStringLiteral("ztest SRU") : QStringLiteral("ztest Z39.50");
    t.host = QStringLiteral("127.0.0.1");
    t.port = port;
    t.sru = sru;
    return t;
}

void ours(const ZoomTarget& target)
{
    const ZoomResult r = ZoomSearch::run({target}, ZoomField::Isbn, kTerm, 10000, kRecords);
    if (r.records.isEmpty() || !r.targets.first().error.isEmpty())
        throw std::runtime_error(("no records: " + r.targets.first().error).toStdString());
}

// The least ZOOM does for the same answer.
void floor(const ZoomTarget& target)
{
    ZOOM_options options = ZOOM_options_create();
    ZOOM_options_set_int(options, "count", kRecords);
    ZOOM_options_set(options, "preferredRecordSyntax", "usmarc");
    ZOOM_options_set(options, "databaseName", "Default");
    QByteArray address;
    if (target.sru) {
        ZOOM_options_set(options, "sru", "get");
        ZOOM_options_set(options, "sru_version", "1.2");
        ZOOM_options_set(options, "schema", "marcxml");
        address = QStringLiteral("http://127.0.0.1:%1/Default").arg(target.port).toUtf8();
    } else {
        address = QStringLiteral("tcp:127.0.0.1:%1").arg(target.port).toUtf8();
    }
    ZOOM_connection c = ZOOM_connection_create(options);
    ZOOM_connection_connect(c, address.constData(), 0);
    const QByteArray query = (target.sru ? ZoomSearch::cql(ZoomField::Isbn, kTerm)
                                         : ZoomSearch::pqf(ZoomField::Isbn, kTerm))
                                 .toUtf8();
    ZOOM_query q = ZOOM_query_create();
    if (target.sru)
        ZOOM_query_cql(q, query.constData());
    else
        ZOOM_query_prefix(q, query.constData());
    ZOOM_resultset results = ZOOM_connection_search(c, q);
    ZOOM_query_destroy(q);
    size_t fetched = 0;
    const size_t n = std::min<size_t>(ZOOM_resultset_size(results), kRecords);
    for (size_t i = 0; i < n; ++i) {
        int length = 0;
        ZOOM_record record = ZOOM_resultset_record(results, i);
        if (record && ZOOM_record_get(record, "raw", &length) && length > 0)
            ++fetched;
    }
    ZOOM_resultset_destroy(results);
    ZOOM_connection_destroy(c);
    ZOOM_options_destroy(options);
    if (fetched == 0)
        throw std::runtime_error("the floor fetched no records");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = 200, port = 55452;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = args[++i].toInt();
        else if (args[i] == QLatin1String("--port"))
            port = args[++i].toInt();
    }
    if (runs < 10 || port <= 0) {
        std::fprintf(stderr, "usage: bench_zoom [--runs N] [--port P]\n");
        return 2;
    }
    ZtestServer server;
    if (const QString why = server.start(port); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    try {
        std::printf("%-34s %10s %10s %10s %10s %6s\n", "search by ISBN, 10 records (ms)", "median",
                    "p99", "floor med", "floor p99", "ratio");
        for (bool sru : {false, true}) {
            const ZoomTarget target = ztest(port, sru);
            ours(target); // the first connection warms the server up, untimed
            floor(target);
            const auto [a, b] = Bench::alternating(
                runs, [](int) {}, [&](int) { ours(target); }, [&](int) { floor(target); });
            std::printf("%-34s %10.2f %10.2f %10.2f %10.2f %6.2f\n", qPrintable(target.name),
                        a.median, a.p99, b.median, b.p99, a.median / std::max(0.001, b.median));
        }
        std::printf("\nGoal: a search under 50 ms.\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
