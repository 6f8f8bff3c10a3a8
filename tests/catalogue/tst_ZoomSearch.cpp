#include "../common/TestMain.h"
#include "../common/ZtestServer.h"
#include "marc/ZoomSearch.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <thread>

namespace {
// YAZ's test server, which answers every search with its sample MARC21 record.
constexpr int kZtestPort = 18230;

ZoomTarget ztest(bool sru)
{
    ZoomTarget t;
    t.name = sru ? QStringLiteral("测试SRU") : QStringLiteral("测试Z39.50");
    t.host = QStringLiteral("127.0.0.1");
    t.port = kZtestPort;
    t.sru = sru;
    return t;
}
} // namespace

class ZoomSearchTest : public QObject
{
    Q_OBJECT
    ZtestServer ztest_;

private slots:
    void initTestCase()
    {
        const QString why = ztest_.start(kZtestPort);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }

    void queries()
    {
        QCOMPARE(ZoomSearch::pqf(ZoomField::Isbn, QStringLiteral("978-7-115-11311-5")),
                 QStringLiteral("@attr 1=7 \"9787115113115\""));
        QCOMPARE(ZoomSearch::pqf(ZoomField::Title, QStringLiteral("他说\"好\"")),
                 QStringLiteral("@attr 1=4 \"他说\\\"好\\\"\""));
        QCOMPARE(ZoomSearch::cql(ZoomField::Author, QStringLiteral("鲁迅*")),
                 QStringLiteral("dc.creator=\"鲁迅\\*\""));
    }

    void searchFillsColumns_data()
    {
        QTest::addColumn<bool>("sru");
        QTest::addColumn<int>("field");
        QTest::newRow("z39.50 isbn") << false << int(ZoomField::Isbn);
        QTest::newRow("z39.50 title") << false << int(ZoomField::Title);
        QTest::newRow("sru author") << true << int(ZoomField::Author);
        QTest::newRow("sru isbn") << true << int(ZoomField::Isbn);
    }
    void searchFillsColumns()
    {
        QFETCH(bool, sru);
        QFETCH(int, field);
        const ZoomResult r =
            ZoomSearch::run({ztest(sru)}, ZoomField(field), QStringLiteral("3"), 10000, 2);
        QCOMPARE(r.targets.size(), 1);
        QVERIFY2(r.targets[0].error.isEmpty(), qPrintable(r.targets[0].error));
        QVERIFY(r.targets[0].hits > 0);
        QVERIFY(!r.records.isEmpty());
        QVERIFY(r.records.size() <= 2);
        const ZoomRecord& first = r.records.first();
        QCOMPARE(first.target, ztest(sru).name);
        QCOMPARE(first.columns.value(QStringLiteral("名称")),
                 QStringLiteral("How to program a computer"));
        QCOMPARE(first.columns.value(QStringLiteral("作者")), QStringLiteral("Jack Collins"));
    }

    // Several targets at once; one that does not answer gives the time-out message and
    // does not hold back the others' records.
    void silentTargetTimesOut()
    {
        ZoomTarget silent = ztest(false);
        silent.name = QStringLiteral("不应答");
        silent.port = ztest_.silentPort();
        QElapsedTimer clock;
        clock.start();
        const ZoomResult r = ZoomSearch::run({silent, ztest(false), ztest(true)}, ZoomField::Isbn,
                                             QStringLiteral("1"), 700, 1);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(r.targets.size(), 3);
        QCOMPARE(r.targets[0].error, ZoomSearch::timeoutText(QStringLiteral("不应答")));
        QVERIFY2(r.targets[1].error.isEmpty(), qPrintable(r.targets[1].error));
        QVERIFY2(r.targets[2].error.isEmpty(), qPrintable(r.targets[2].error));
        QCOMPARE(r.records.size(), 2);
    }

    void refusedConnectionIsReported()
    {
        ZoomTarget closed = ztest(false);
        closed.port = kZtestPort + 1; // nothing listens there
        const ZoomResult r =
            ZoomSearch::run({closed}, ZoomField::Isbn, QStringLiteral("1"), 5000, 1);
        QCOMPARE(r.targets.size(), 1);
        QVERIFY(!r.targets[0].error.isEmpty());
        QVERIFY(r.targets[0].error != ZoomSearch::timeoutText(closed.name));
    }

    void cancelEndsTheSearchAtOnce()
    {
        ZoomTarget silent = ztest(false);
        silent.port = ztest_.silentPort();
        std::atomic<bool> cancel = false;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            cancel = true;
        });
        QElapsedTimer clock;
        clock.start();
        const ZoomResult r =
            ZoomSearch::run({silent}, ZoomField::Title, QStringLiteral("x"), 30000, 1, &cancel);
        canceller.join();
        QVERIFY(r.cancelled);
        QVERIFY(r.records.isEmpty());
        QVERIFY(clock.elapsed() < 5000);
    }
};
TUSHU_TEST(ZoomSearchTest)

#include "tst_ZoomSearch.moc"
