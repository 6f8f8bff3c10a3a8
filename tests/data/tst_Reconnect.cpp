#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/Database.h"

#include <QTest>

// A server that ends a desk's session (a restart, a crash, a network blip): the next
// statement reopens the connection and runs; a transaction that lost its connection is
// never run again and never reported as stored unless it was.
class ReconnectTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        if (!TestLibrary::postgresConfigured() && qgetenv("TUSHU_REQUIRE_PG") != "1")
            QSKIP("PostgreSQL not configured (TUSHU_PG_HOST)");
        TUSHU_REQUIRE_ENGINE(TestLibrary::PostgreSQL);
    }
    void cleanup() { Database::setBeforeCommitHook({}); }

    void statementAfterADroppedSessionRunsOnANewOne()
    {
        TestLibrary lib(TestLibrary::PostgreSQL, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const int before = lib.db().scalar(QStringLiteral("select pg_backend_pid()")).toInt();
        const int readers = lib.db().scalar(QStringLiteral("select count(*) from 读者库")).toInt();
        QString error;
        QVERIFY2(TestLibrary::dropSession(lib.db(), &error), qPrintable(error));
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 读者库")).toInt(), readers);
        QVERIFY(lib.db().scalar(QStringLiteral("select pg_backend_pid()")).toInt() != before);
        // The desk's statement timeout is set again on the new session.
        QCOMPARE(lib.db().scalar(QStringLiteral("show statement_timeout")).toString(),
                 QStringLiteral("30s"));
        // A transaction begun on a dropped session begins on a new one.
        QVERIFY2(TestLibrary::dropSession(lib.db(), &error), qPrintable(error));
        lib.db().transaction([&] {
            lib.db().execute(QStringLiteral("update 系统设置 set 图书馆名 = ?"),
                             {QStringLiteral("新馆")});
        });
        QCOMPARE(lib.db().scalar(QStringLiteral("select 图书馆名 from 系统设置")).toString(),
                 QStringLiteral("新馆"));
    }

    // Broken inside the transaction, or while its COMMIT was under way: nothing stored, the
    // operator told so in one line, and the next statement works.
    void transactionThatLostItsSession_data()
    {
        QTest::addColumn<bool>("atCommit");
        QTest::addColumn<int>("check"); // 0: none, 1: says not stored
        QTest::addColumn<bool>("unknown");
        QTest::newRow("inside") << false << 0 << false;
        QTest::newRow("at commit, checked") << true << 1 << false;
        QTest::newRow("at commit, nothing to check with") << true << 0 << true;
    }
    void transactionThatLostItsSession()
    {
        QFETCH(bool, atCommit);
        QFETCH(int, check);
        QFETCH(bool, unknown);
        TestLibrary lib(TestLibrary::PostgreSQL, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        Database& db = lib.db();
        QString error;
        if (atCommit)
            Database::setBeforeCommitHook([&](const Database& d) {
                if (!TestLibrary::dropSession(d, &error))
                    qWarning("%s", qPrintable(error));
            });
        int checked = 0;
        std::function<bool()> wasStored;
        if (check == 1)
            wasStored = [&] {
                ++checked;
                return db.scalar(QStringLiteral("select count(*) from 分类 where 名称 = ?"),
                                 {QStringLiteral("文学")})
                           .toInt() > 0;
            };
        try {
            db.transaction(
                [&] {
                    db.execute(QStringLiteral("insert into 分类 (名称) values (?)"),
                               {QStringLiteral("文学")});
                    if (!atCommit) {
                        QVERIFY2(TestLibrary::dropSession(db, &error), qPrintable(error));
                        db.execute(QStringLiteral("insert into 分类 (名称) values (?)"),
                                   {QStringLiteral("历史")});
                    }
                },
                wasStored);
            QFAIL("a transaction that lost its session was reported as stored");
        } catch (const DbConnectionLost& e) {
            QCOMPARE(e.outcomeUnknown(), unknown);
            QVERIFY2(!e.message().contains(QStringLiteral("QPSQL")), qPrintable(e.message()));
            QVERIFY2(!e.message().contains(QLatin1Char('\n')), qPrintable(e.message()));
            QVERIFY2(e.message().contains(unknown ? QStringLiteral("无法确认")
                                                  : QStringLiteral("没有保存")),
                     qPrintable(e.message()));
        }
        QCOMPARE(checked, check);
        Database::setBeforeCommitHook({});
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from 分类 where 名称 in (?, ?)"),
                           {QStringLiteral("文学"), QStringLiteral("历史")})
                     .toInt(),
                 0);
    }

    // A server that does not take the desk back yet: one clear line, and the next try after
    // it is back works.
    void serverThatRefusesTheReconnect()
    {
        TestLibrary lib(TestLibrary::PostgreSQL, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        Database admin(QStringLiteral("reconnect-admin"));
        QString error;
        QVERIFY2(admin.open(QStringLiteral("s"),
                            TestLibrary::postgresConnectionString(QStringLiteral("postgres")),
                            &error),
                 qPrintable(error));
        admin.execute(
            QStringLiteral("alter database %1 allow_connections false").arg(lib.serverDatabase()));
        QVERIFY2(TestLibrary::dropSession(lib.db(), &error), qPrintable(error));
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                lib.db().scalar(QStringLiteral("select 1"));
                QFAIL("ran on a server that refuses connections");
            } catch (const DbConnectionLost& e) {
                QVERIFY2(e.message().startsWith(QStringLiteral("无法连接数据库服务器: ")),
                         qPrintable(e.message()));
                QVERIFY2(!e.message().contains(QLatin1Char('\n')), qPrintable(e.message()));
            }
        }
        admin.execute(
            QStringLiteral("alter database %1 allow_connections true").arg(lib.serverDatabase()));
        QCOMPARE(lib.db().scalar(QStringLiteral("select 1")).toInt(), 1);
    }
};

TUSHU_TEST(ReconnectTest)
#include "tst_Reconnect.moc"
