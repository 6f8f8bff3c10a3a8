#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "CirculationFixture.h"
#include "circulation/Returning.h"

#include <QTest>

using namespace Fixture;

namespace {
// A library with reader R1 (balance 10) and book B1 (1 copy on the shelf) lent 10 days ago at
// 0.5 a day, due yesterday.
struct Counter
{
    explicit Counter(TestLibrary::Engine engine = TestLibrary::SQLite)
        : lib(engine, false, false), returning(lib.db())
    {
        if (!lib.ok())
            return;
        addCategory(db(), QStringLiteral("学生"), 14, 3, m("0.2"));
        Reader r;
        r.open = 1;
        r.balance = m("10");
        addReader(db(), r);
        addItem(db(), Item());
        Loan l;
        l.lent = today().addDays(-10);
        l.due = today().addDays(-1);
        l.rent = m("0.5");
        loanId = addLoan(db(), l);
        returning.settings() = plainSettings();
        returning.setOperatorName(QStringLiteral("乙"));
    }
    const Database& db() { return lib.db(); }
    OpenLoan loan()
    {
        const ReturnSearch s = returning.search(QStringLiteral("B1"), QString(), QString());
        return s.loans.value(0);
    }
    int copies() { return intOf(db(), QStringLiteral("select 数量 from 图书 where 编号 = 'B1'")); }
    int open() { return intOf(db(), QStringLiteral("select 未还数量 from 读者库")); }
    Money balance() { return moneyOf(db(), QStringLiteral("select 卡内金额 from 读者库")); }
    QString returned()
    {
        return db()
            .scalar(QStringLiteral("select 已还 from 借出记录 where id = ?"), {loanId})
            .toString();
    }

    TestLibrary lib;
    Returning returning;
    int loanId = 0;
};
} // namespace

class ReturningTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { fixClock(); }
    void cleanup() { Clock::setNow({}); }

    void figures_data()
    {
        QTest::addColumn<int>("lentDaysAgo");
        QTest::addColumn<int>("dueInDays");
        QTest::addColumn<QVariant>("rent");
        QTest::addColumn<QString>("finePerDay");
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("rentText");
        QTest::addColumn<int>("overdue");
        QTest::addColumn<QString>("fine");
        QTest::newRow("lent and returned the same day")
            << 0 << 14 << m("0.5") << "0.1" << 1 << "0.5" << -14 << "0";
        QTest::newRow("10 days at 0.5") << 10 << 4 << m("0.5") << "0.1" << 10 << "5" << -4 << "0";
        QTest::newRow("due yesterday at 0.1")
            << 15 << -1 << m("0.2") << "0.1" << 15 << "3" << 1 << "0.1";
        QTest::newRow("due today") << 14 << 0 << m("0.2") << "0.1" << 14 << "2.8" << 0 << "0";
        QTest::newRow("overdue 30 days at 0.0125")
            << 44 << -30 << m("0.0001") << "0.0125" << 44 << "0.0044" << 30 << "0.375";
        QTest::newRow("no rent fixed at lending")
            << 3 << 11 << QVariant() << "0.1" << 3 << "" << -11 << "0";
        QTest::newRow("lending date in the future counts absolute days")
            << -2 << 12 << m("1") << "0.1" << 2 << "2" << -12 << "0";
    }
    void figures()
    {
        QFETCH(int, lentDaysAgo);
        QFETCH(int, dueInDays);
        QFETCH(QVariant, rent);
        QFETCH(QString, finePerDay);
        QFETCH(int, days);
        QFETCH(QString, rentText);
        QFETCH(int, overdue);
        QFETCH(QString, fine);
        Counter c;
        QVERIFY2(c.lib.ok(), qPrintable(c.lib.error()));
        c.db().execute(QStringLiteral("update 借出记录 set 借阅日期 = ?, 应还日期 = ?, 租金 = ?"),
                       {today().addDays(-lentDaysAgo), today().addDays(dueInDays), rent});
        c.returning.settings().超期每日罚金 = *Money::parse(finePerDay);
        const OpenLoan loan = c.loan();
        QCOMPARE(loan.租金.has_value(), !rent.isNull());
        const LoanFigures f = c.returning.compute(loan);
        QCOMPARE(f.实际租期, days);
        QCOMPARE(f.rentalDaysText(), QString::number(days));
        QCOMPARE(f.rentText(), rentText);
        QCOMPARE(f.超期天数, overdue);
        QCOMPARE(f.fineText(), fine);
        QCOMPARE(f.存放位置, QStringLiteral("二楼书库"));
        QVERIFY(f.itemFound);

        // The fine message appears only with fines on and a fine that is not 0.
        QCOMPARE(c.returning.fineMessage(f), QString());
        c.returning.settings().启用超期罚金 = true;
        QCOMPARE(c.returning.fineMessage(f),
                 fine == QLatin1String("0")
                     ? QString()
                     : QStringLiteral("超期罚金是:") + fine + QStringLiteral(" 元."));
    }

    void search()
    {
        Counter c;
        QVERIFY2(c.lib.ok(), qPrintable(c.lib.error()));
        Loan other;
        other.item = QStringLiteral("B2");
        other.barcode = QStringLiteral("690002");
        other.lent = today();
        other.due = today().addDays(14);
        addLoan(c.db(), other);
        Loan someoneElse = other;
        someoneElse.reader = QStringLiteral("R2");
        addLoan(c.db(), someoneElse);
        c.db().execute(QStringLiteral("insert into 借出记录 (读者编号, 编号, 条形码, 已还) values "
                                      "('R1', 'B3', '690003', '是')"));

        const ReturnSearch none = c.returning.search(QString(), QString(), QString());
        QVERIFY(none.refused);
        QCOMPARE(none.message, QStringLiteral("请输入搜索条件!"));
        QVERIFY(none.loans.isEmpty());

        const auto numbers = [&](const QString& item, const QString& barcode,
                                 const QString& reader) {
            const ReturnSearch s = c.returning.search(item, barcode, reader);
            QStringList found;
            for (const OpenLoan& l : s.loans)
                found << l.编号 + QLatin1Char('/') + l.读者编号;
            return found.join(QLatin1Char(' '));
        };
        QCOMPARE(numbers(QString(), QString(), QStringLiteral("R1")),
                 QStringLiteral("B1/R1 B2/R1"));
        QCOMPARE(numbers(QStringLiteral("B2"), QString(), QString()),
                 QStringLiteral("B2/R1 B2/R2"));
        QCOMPARE(numbers(QString(), QStringLiteral("690002"), QStringLiteral("R2")),
                 QStringLiteral("B2/R2"));
        QCOMPARE(numbers(QStringLiteral("B1"), QStringLiteral("690002"), QString()), QString());
        QCOMPARE(numbers(QStringLiteral("B3"), QString(), QString()), QString()); // returned
        const OpenLoan loan = c.loan();
        QCOMPARE(loan.名称, QStringLiteral("三国"));
        QCOMPARE(loan.借阅日期, today().addDays(-10));
        QCOMPARE(loan.应还日期, today().addDays(-1));
        QCOMPARE(loan.类别, QStringLiteral("图书"));
        QCOMPARE(loan.借阅经手人, QStringLiteral("甲"));
    }

    // The return with each money switch, kept and lost items: what the loan row stores, the
    // stock and the reader's counters and balance afterwards.
    void giveBack_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("rentOn");
        QTest::addColumn<bool>("fineOn");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("balance");
        QTest::addColumn<int>("copies");
        // Lent 10 days at 0.5 = 5, one day overdue at 0.1; balance 10.
        QTest::newRow("both on") << int(TestLibrary::SQLite) << true << true << "完好"
                                 << "4.9" << 2;
        QTest::newRow("rent only") << int(TestLibrary::SQLite) << true << false << "破损"
                                   << "5" << 2;
        QTest::newRow("fine only") << int(TestLibrary::SQLite) << false << true << "完好"
                                   << "9.9" << 2;
        QTest::newRow("both off") << int(TestLibrary::SQLite) << false << false << "完好"
                                  << "10" << 2;
        QTest::newRow("lost") << int(TestLibrary::SQLite) << true << true << "丢失"
                              << "4.9" << 1;
        QTest::newRow("postgresql both on")
            << int(TestLibrary::PostgreSQL) << true << true << "完好"
            << "4.9" << 2;
        QTest::newRow("postgresql lost") << int(TestLibrary::PostgreSQL) << true << true << "丢失"
                                         << "4.9" << 1;
    }
    void giveBack()
    {
        QFETCH(int, engine);
        QFETCH(bool, rentOn);
        QFETCH(bool, fineOn);
        QFETCH(QString, condition);
        QFETCH(QString, balance);
        QFETCH(int, copies);
        TUSHU_REQUIRE_ENGINE(engine);
        Counter c{TestLibrary::Engine(engine)};
        QVERIFY2(c.lib.ok(), qPrintable(c.lib.error()));
        c.returning.settings().启用租金功能 = rentOn;
        c.returning.settings().启用超期罚金 = fineOn;
        const OpenLoan loan = c.loan();
        ReturnEntry entry = Returning::entryFor(c.returning.compute(loan));
        QCOMPARE(entry.实际租期, QStringLiteral("10"));
        QCOMPARE(entry.实际租金, QStringLiteral("5"));
        QCOMPARE(entry.超期罚金, QStringLiteral("0.1"));
        entry.物品状况 = condition;
        entry.赔偿金额 = condition == QStringLiteral("完好") ? QString() : QStringLiteral("12.5");
        entry.归还备注 = QStringLiteral("封面有折痕");

        const ReturnResult r = c.returning.giveBack(loan, entry);
        QCOMPARE(r.status, ReturnResult::Returned);
        QCOMPARE(r.messages, QStringList{QStringLiteral("归还完毕!")});
        QCOMPARE(c.copies(), copies);
        QCOMPARE(c.open(), 0);
        QCOMPARE(c.balance().toString(), balance);

        QSqlQuery q = c.db().query(
            QStringLiteral("select 已还, 归还日期, 归还经手人, 实际租期, 实际租金, 罚金, 物品状况, "
                           "赔偿金额, 归还备注 from 借出记录 where id = ?"),
            {c.loanId});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("是"));
        QCOMPARE(DbValue::toDate(q.value(1)), today());
        QCOMPARE(q.value(2).toString(), QStringLiteral("乙"));
        QCOMPARE(DbValue::toInt(q.value(3)), 10);
        QCOMPARE(q.value(4).isNull(), !rentOn);
        if (rentOn)
            QCOMPARE(DbValue::toMoney(q.value(4)), money("5"));
        QCOMPARE(q.value(5).isNull(), !fineOn);
        if (fineOn)
            QCOMPARE(DbValue::toMoney(q.value(5)), money("0.1"));
        QCOMPARE(q.value(6).toString(), condition);
        QCOMPARE(q.value(7).isNull(), condition == QStringLiteral("完好"));
        QCOMPARE(q.value(8).toString(), QStringLiteral("封面有折痕"));
    }

    // The operator's own figures are what is stored and charged; a balance may go negative.
    void typedFiguresAreCharged()
    {
        Counter c;
        QVERIFY2(c.lib.ok(), qPrintable(c.lib.error()));
        c.db().execute(QStringLiteral("update 读者库 set 卡内金额 = 0"));
        c.returning.settings().启用租金功能 = true;
        c.returning.settings().启用超期罚金 = true;
        ReturnEntry entry = Returning::entryFor(c.returning.compute(c.loan()));
        entry.实际租期 = QStringLiteral("6");
        entry.实际租金 = QStringLiteral("2.9");
        const ReturnResult r = c.returning.giveBack(c.loan(), entry);
        QCOMPARE(r.status, ReturnResult::Returned);
        QCOMPARE(c.balance(), money("-3"));
        QCOMPARE(intOf(c.db(), QStringLiteral("select 实际租期 from 借出记录")), 6);
    }

    void fieldsThatAreNotNumbersWriteNothing_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("rent");
        QTest::addColumn<QString>("compensation");
        QTest::addColumn<QString>("message");
        QTest::newRow("days") << "十"
                              << "5"
                              << ""
                              << "实际租期必须是整数,没有归还.";
        QTest::newRow("days with decimals") << "1.5"
                                            << "5"
                                            << ""
                                            << "实际租期必须是整数,没有归还.";
        QTest::newRow("rent") << "10"
                              << "五元"
                              << ""
                              << "实际租金必须是数字,没有归还.";
        QTest::newRow("compensation") << "10"
                                      << "5"
                                      << "x"
                                      << "赔偿金额必须是数字,没有归还.";
    }
    void fieldsThatAreNotNumbersWriteNothing()
    {
        QFETCH(QString, days);
        QFETCH(QString, rent);
        QFETCH(QString, compensation);
        QFETCH(QString, message);
        Counter c;
        QVERIFY2(c.lib.ok(), qPrintable(c.lib.error()));
        c.returning.settings().启用租金功能 = true;
        ReturnEntry entry = Returning::entryFor(c.returning.compute(c.loan()));
        entry.实际租期 = days;
        entry.实际租金 = rent;
        entry.赔偿金额 = compensation;
        const ReturnResult r = c.returning.giveBack(c.loan(), entry);
        QCOMPARE(r.status, ReturnResult::Refused);
        QCOMPARE(r.messages, QStringList{message});
        QCOMPARE(c.returned(), QStringLiteral("否"));
        QCOMPARE(c.copies(), 1);
        QCOMPARE(c.open(), 1);
        QCOMPARE(c.balance(), money("10"));
    }

    // An empty 实际租金 (a loan lent without a per-day rent shows none) is no rent.
    void emptyRentIsNoRent()
    {
        Counter c;
        QVERIFY2(c.lib.ok(), qPrintable(c.lib.error()));
        c.lib.db().execute(QStringLiteral("update 借出记录 set 租金 = null"));
        c.returning.settings().启用租金功能 = true;
        const LoanFigures figures = c.returning.compute(c.loan());
        QVERIFY(figures.rentText().isEmpty());
        const ReturnResult r = c.returning.giveBack(c.loan(), Returning::entryFor(figures));
        QCOMPARE(r.status, ReturnResult::Returned);
        QCOMPARE(c.returned(), QStringLiteral("是"));
        QCOMPARE(moneyOf(c.db(), QStringLiteral("select 实际租金 from 借出记录")), Money());
        QCOMPARE(c.balance(), money("10"));
    }

    // A loan without its lending or due date cannot be computed (the conversion error).
    void loanWithoutDatesDoesNotCompute_data()
    {
        QTest::addColumn<QString>("column");
        QTest::newRow("借阅日期") << "借阅日期";
        QTest::newRow("应还日期") << "应还日期";
    }
    void loanWithoutDatesDoesNotCompute()
    {
        QFETCH(QString, column);
        Counter c;
        QVERIFY2(c.lib.ok(), qPrintable(c.lib.error()));
        c.lib.db().execute(QStringLiteral("update 借出记录 set %1 = null").arg(column));
        try {
            c.returning.compute(c.loan());
            QFAIL("computed a loan without dates");
        } catch (const DbError& e) {
            QCOMPARE(e.message(),
                     QStringLiteral("Could not convert variant of type (Null) into type (Date)"));
        }
    }

    // The same loan returned twice (two desks): the second return writes nothing.
    void returnTwice_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void returnTwice()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Counter c{TestLibrary::Engine(engine)};
        QVERIFY2(c.lib.ok(), qPrintable(c.lib.error()));
        c.returning.settings().启用租金功能 = true;
        c.returning.settings().启用超期罚金 = true;
        const OpenLoan loan = c.loan();
        const ReturnEntry entry = Returning::entryFor(c.returning.compute(loan));
        QCOMPARE(c.returning.giveBack(loan, entry).status, ReturnResult::Returned);
        c.db().execute(QStringLiteral("update 借出记录 set 归还经手人 = '第一个服务台'"));
        const ReturnResult second = c.returning.giveBack(loan, entry);
        QCOMPARE(second.status, ReturnResult::AlreadyReturned);
        QCOMPARE(second.messages,
                 QStringList{QStringLiteral("该借阅记录已经归还过了(可能由另一个服务台归还),"
                                            "本次没有写入任何数据.")});
        QCOMPARE(c.copies(), 2);
        QCOMPARE(c.open(), 0);
        QCOMPARE(c.balance(), money("4.9"));
        QCOMPARE(c.db().scalar(QStringLiteral("select 归还经手人 from 借出记录")).toString(),
                 QStringLiteral("第一个服务台"));
    }

    // The item or the reader deleted while the loan was open: the loan still closes.
    void deletedRowsAtReturn_data()
    {
        QTest::addColumn<QString>("deleted");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("item") << "图书"
                              << "完好"
                              << QStringList{"归还完毕!", "注意:图书中已经没有编号为 B1 的记录,"
                                                          "库存没有增加."};
        QTest::newRow("lost item") << "图书"
                                   << "丢失"
                                   << QStringList{"归还完毕!", "注意:图书中已经没有编号为 B1 "
                                                               "的记录,库存没有增加."};
        QTest::newRow("reader") << "读者库"
                                << "完好"
                                << QStringList{"归还完毕!", "注意:读者库中已经没有编号为 R1 的读者,"
                                                            "未还数量和卡内金额没有修改."};
    }
    void deletedRowsAtReturn()
    {
        QFETCH(QString, deleted);
        QFETCH(QString, condition);
        QFETCH(QStringList, messages);
        Counter c;
        QVERIFY2(c.lib.ok(), qPrintable(c.lib.error()));
        const OpenLoan loan = c.loan();
        ReturnEntry entry = Returning::entryFor(c.returning.compute(loan));
        entry.物品状况 = condition;
        c.db().execute(QStringLiteral("delete from %1").arg(deleted));
        const ReturnResult r = c.returning.giveBack(loan, entry);
        QCOMPARE(r.status, ReturnResult::Returned);
        QCOMPARE(r.messages, messages);
        QCOMPARE(c.returned(), QStringLiteral("是"));
        QCOMPARE(r.itemMissing, deleted == QStringLiteral("图书"));
        QCOMPARE(r.readerMissing, deleted == QStringLiteral("读者库"));
        if (deleted == QStringLiteral("读者库"))
            QCOMPARE(c.copies(), 2);
        else
            QCOMPARE(c.open(), 0);
    }

    void initialFocus_data()
    {
        QTest::addColumn<bool>("byNumber");
        QTest::addColumn<bool>("byBarcode");
        QTest::addColumn<bool>("byReader");
        QTest::addColumn<QString>("focus");
        QTest::newRow("none") << false << false << false << "";
        QTest::newRow("item number") << true << false << false << "图书编号";
        QTest::newRow("barcode") << false << true << false << "条形码";
        QTest::newRow("reader") << false << false << true << "读者编号";
        QTest::newRow("the last one wins") << true << true << true << "读者编号";
        QTest::newRow("barcode after number") << true << true << false << "条形码";
    }
    void initialFocus()
    {
        QFETCH(bool, byNumber);
        QFETCH(bool, byBarcode);
        QFETCH(bool, byReader);
        QFETCH(QString, focus);
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(
            QStringLiteral("update 系统设置 set 归还焦点图书编号 = ?, 归还焦点条形码 = ?, "
                           "归还焦点读者编号 = ?"),
            {byNumber, byBarcode, byReader});
        QCOMPARE(Returning::initialFocus(lib.db()), focus);
    }
};

TUSHU_TEST(ReturningTest)
#include "tst_Returning.moc"
