#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "app/DemoHistory.h"
#include "data/Clock.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QDateTime kNow(QDate(2026, 3, 16), QTime(10, 0));
const QString kNo = QStringLiteral("否");

struct Loan
{
    QString reader;
    QString item;
    QDate lent;
    QDate due;
    QDate returned; // invalid while open
    Money charged;  // rent and fine taken off the card at the return
    int loanDays = 0;

    bool open() const { return !returned.isValid(); }
};

QList<Loan> loans(const Database& db)
{
    QSqlQuery q = db.query(QStringLiteral(
        "select l.读者编号, l.编号, l.借阅日期, l.应还日期, l.归还日期, l.已还, l.实际租金, "
        "l.罚金, "
        "c.借阅天数 from 借出记录 l join 读者库 r on r.读者编号 = l.读者编号 join 读者类别 c on "
        "c.类别名 = r.类别 order by l.id"));
    QList<Loan> list;
    while (q.next()) {
        Loan l;
        l.reader = DbValue::toText(q.value(0));
        l.item = DbValue::toText(q.value(1));
        l.lent = DbValue::dateOrNull(q.value(2));
        l.due = DbValue::dateOrNull(q.value(3));
        if (DbValue::toText(q.value(5)) != kNo)
            l.returned = DbValue::dateOrNull(q.value(4));
        l.charged = Money::fromVariant(q.value(6)).value_or(Money()) +
                    Money::fromVariant(q.value(7)).value_or(Money());
        l.loanDays = q.value(8).toInt();
        list << l;
    }
    return list;
}

// column of every row of table, by its key column.
template <typename T>
QHash<QString, T> byKey(const Database& db, const QString& table, const QString& key,
                        const QString& column, T (*read)(const QVariant&))
{
    QSqlQuery q = db.query(QStringLiteral("select %1, %2 from %3").arg(key, column, table));
    QHash<QString, T> values;
    while (q.next())
        values.insert(DbValue::toText(q.value(0)), read(q.value(1)));
    return values;
}

int count(const Database& db, const QString& sql, const QVariantList& values = {})
{
    return db.scalar(sql, values).toInt();
}
} // namespace

// The demo library's history: loans, returns, renewals, top-ups and status changes made by
// the desk's rules, dated relative to today, with every counter agreeing with the rows.
class DemoHistoryTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { Clock::setNow(kNow); }
    void cleanup() { Clock::setNow({}); }

    void historyAgreesWithItsRows_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void historyAgreesWithItsRows()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary plain(TestLibrary::Engine(engine), true, false);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(plain.ok() && lib.ok(), qPrintable(plain.error() + lib.error()));
        const Database& db = lib.db();
        DemoHistory::add(db);
        QCOMPARE(Clock::now(), kNow);

        const QDate today = kNow.date();
        const QList<Loan> all = loans(db);
        QHash<QString, int> openByReader, openByItem, loansByReader, loansByItem;
        QHash<QString, Money> chargedByReader;
        int open = 0, overdue = 0, late = 0, renewed = 0;
        for (const Loan& l : all) {
            QVERIFY(l.lent >= today.addDays(-DemoHistory::kDays) && l.lent < today);
            ++loansByReader[l.reader];
            ++loansByItem[l.item];
            if (l.due.daysTo(l.lent) < -l.loanDays)
                ++renewed;
            if (l.open()) {
                ++open;
                ++openByReader[l.reader];
                ++openByItem[l.item];
                if (l.due < today)
                    ++overdue;
            } else {
                QVERIFY(l.returned >= l.lent && l.returned <= today);
                chargedByReader[l.reader] += l.charged;
                if (l.returned > l.due)
                    ++late;
            }
        }
        QVERIFY2(all.size() - open >= 60, qPrintable(QString::number(all.size() - open)));
        QVERIFY2(open >= 5 && overdue >= 2 && overdue < open,
                 qPrintable(QStringLiteral("%1 open, %2 overdue").arg(open).arg(overdue)));
        QVERIFY(late >= 3);
        QVERIFY(renewed >= 3);
        QVERIFY(count(db, QStringLiteral("select count(*) from 借出记录 where 罚金 > 0")) >= 3);
        QVERIFY(count(db, QStringLiteral("select count(*) from 借出记录 where 实际租金 > 0")) >= 3);
        QVERIFY(count(db, QStringLiteral("select count(*) from 借出记录 where 物品状况 = ?"),
                      {QStringLiteral("破损")}) >= 1);

        // Readers: counters and the card balance against the loan and income rows.
        const auto onLoan = byKey<int>(db, QStringLiteral("读者库"), QStringLiteral("读者编号"),
                                       QStringLiteral("未还数量"), DbValue::toInt);
        const auto borrowed = byKey<int>(db, QStringLiteral("读者库"), QStringLiteral("读者编号"),
                                         QStringLiteral("累计借阅次数"), DbValue::toInt);
        const auto balance = byKey<Money>(db, QStringLiteral("读者库"), QStringLiteral("读者编号"),
                                          QStringLiteral("卡内金额"), DbValue::toMoney);
        QHash<QString, Money> income;
        QSqlQuery q = db.query(QStringLiteral("select 读者编号, 金额, 时间 from 收入"));
        while (q.next()) {
            income[DbValue::toText(q.value(0))] += DbValue::toMoney(q.value(1));
            const QDate at = DbValue::dateOrNull(q.value(2));
            QVERIFY(at >= today.addDays(-DemoHistory::kDays) && at <= today);
        }
        QCOMPARE(onLoan.size(), 20);
        for (auto it = onLoan.cbegin(); it != onLoan.cend(); ++it) {
            const QString& reader = it.key();
            QCOMPARE(it.value(), openByReader.value(reader));
            QCOMPARE(borrowed.value(reader), loansByReader.value(reader));
            QCOMPARE(balance.value(reader).toString(),
                     (income.value(reader) - chargedByReader.value(reader)).toString());
            QVERIFY(income.value(reader) > Money());
        }

        // Books: stock and lending counts against the loans, from the plain demo library.
        const auto stockBefore =
            byKey<int>(plain.db(), QStringLiteral("图书"), QStringLiteral("编号"),
                       QStringLiteral("数量"), DbValue::toInt);
        const auto stock = byKey<int>(db, QStringLiteral("图书"), QStringLiteral("编号"),
                                      QStringLiteral("数量"), DbValue::toInt);
        const auto lentOut = byKey<int>(db, QStringLiteral("图书"), QStringLiteral("编号"),
                                        QStringLiteral("借出次数"), DbValue::toInt);
        for (auto it = stock.cbegin(); it != stock.cend(); ++it) {
            QVERIFY(it.value() >= 0);
            QCOMPARE(it.value() + openByItem.value(it.key()), stockBefore.value(it.key()));
            QCOMPARE(lentOut.value(it.key()), loansByItem.value(it.key()));
        }

        // Reservations still valid today, the status change and its way back in the log.
        QCOMPARE(count(db,
                       QStringLiteral("select count(*) from 图书 where 预定状况 is not null and "
                                      "预定到期时间 > ?"),
                       {kNow}),
                 3);
        QCOMPARE(count(db, QStringLiteral("select count(*) from 管理员日志 where 事件 = ?"),
                       {QStringLiteral("修改状态")}),
                 2);
        QCOMPARE(count(db, QStringLiteral("select count(*) from 读者库 where 状态 <> ?"),
                       {QStringLiteral("正常")}),
                 0);
    }

    // The pictures of the guide rely on it: the same today gives the same history.
    void sameDayGivesSameHistory()
    {
        TestLibrary a(TestLibrary::SQLite, true, false);
        TestLibrary b(TestLibrary::SQLite, true, false);
        QVERIFY(a.ok() && b.ok());
        DemoHistory::add(a.db());
        DemoHistory::add(b.db());
        const QList<Loan> first = loans(a.db());
        const QList<Loan> second = loans(b.db());
        QCOMPARE(first.size(), second.size());
        for (int i = 0; i < first.size(); ++i) {
            QCOMPARE(first[i].item, second[i].item);
            QCOMPARE(first[i].returned, second[i].returned);
        }
    }

    // `tushu --init DIR --demo` makes the history up to the real today.
    void initJobAddsHistoryUpToToday()
    {
        Clock::setNow({});
        QTemporaryDir dir;
        const QString where = dir.filePath(QStringLiteral("lib"));
        QProcess p;
        p.start(QStringLiteral(TUSHU_BINARY),
                {QStringLiteral("--init"), where, QStringLiteral("--demo")});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        Database db(QStringLiteral("demo-history-init"));
        QString error;
        QVERIFY2(db.openSqlite(QDir(where).filePath(QStringLiteral("book.mdb")), false, &error),
                 qPrintable(error));
        const QDate today = QDate::currentDate();
        const QList<Loan> all = loans(db);
        QVERIFY(!all.isEmpty());
        QDate last;
        for (const Loan& l : all)
            last = std::max(last, l.lent);
        QVERIFY2(last >= today.addDays(-7) && last < today, qPrintable(last.toString()));
        QVERIFY(count(db,
                      QStringLiteral("select count(*) from 借出记录 where 已还 = ? and "
                                     "应还日期 < ?"),
                      {kNo, today}) >= 1);
        db.close();
    }
};

TUSHU_TEST(DemoHistoryTest)
#include "tst_DemoHistory.moc"
