#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "CirculationFixture.h"
#include "circulation/Lending.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace Fixture;

namespace {
// A library with the category 学生 (14 days, 3 items, rent 0.2 a day) and reader R1.
struct Desk
{
    explicit Desk(TestLibrary::Engine engine = TestLibrary::SQLite)
        : lib(engine, false, false), lending(lib.db())
    {
        if (!lib.ok())
            return;
        addCategory(db(), QStringLiteral("学生"), 14, 3, m("0.2"));
        addReader(db(), Reader());
        lending.settings() = plainSettings();
        lending.setOperatorName(QStringLiteral("甲"));
        lending.setPrinterPort(QString());
    }
    const Database& db() { return lib.db(); }
    int loans() { return intOf(db(), QStringLiteral("select count(*) from 借出记录")); }
    int copies(const QString& table, const QString& number)
    {
        return intOf(db(), QStringLiteral("select 数量 from %1 where 编号 = ?").arg(table),
                     {number});
    }

    TestLibrary lib;
    Lending lending;
};
} // namespace

class LendingTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { fixClock(); }
    void cleanup() { Clock::setNow({}); }

    void readerCheck_data()
    {
        QTest::addColumn<QString>("readerNumber");
        QTest::addColumn<QVariant>("status");
        QTest::addColumn<QVariant>("validUntil");
        QTest::addColumn<bool>("validityOn");
        QTest::addColumn<QString>("category");
        QTest::addColumn<bool>("passed");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("message");
        const QVariant noExpiry = QDate(2500, 1, 1);
        const QVariant yesterday = today().addDays(-1);
        QTest::newRow("normal reader")
            << "R1" << QVariant("正常") << noExpiry << true << "学生" << true << true << "";
        QTest::newRow("no such reader")
            << "R9" << QVariant("正常") << noExpiry << false << "学生" << false << false
            << "没有该编号的读者资料,请检查输入的是否正确!";
        QTest::newRow("suspended")
            << "R1" << QVariant("停用") << noExpiry << false << "学生" << false << false
            << "该用户状态是\"停用\",所以不能使用,只有状态为\"正常\"的"
               "用户才可用!";
        QTest::newRow("empty status")
            << "R1" << QVariant("") << noExpiry << false << "学生" << false << false
            << "该用户状态是\"\",所以不能使用,只有状态为\"正常\"的"
               "用户才可用!";
        QTest::newRow("valid until today") << "R1" << QVariant("正常") << QVariant(today()) << true
                                           << "学生" << true << true << "";
        QTest::newRow("valid until yesterday")
            << "R1" << QVariant("正常") << yesterday << true << "学生" << false << true
            << "该读者有效期是: 2026-03-01 ,已经超期,不能借阅.";
        QTest::newRow("expired but validity off")
            << "R1" << QVariant("正常") << yesterday << false << "学生" << true << true << "";
        QTest::newRow("category missing")
            << "R1" << QVariant("正常") << noExpiry << false << "教师" << false << true
            << "读者类别中没有该读者类别,请先去读者类别中设置好对应的类别及其参数";
        QTest::newRow("category without days")
            << "R1" << QVariant("正常") << noExpiry << false << "无天数" << false << true
            << "读者类别\"无天数\"的借阅天数没有设置或者不是有效的数字,请先去读者类别中设置好"
               "对应的类别及其参数";
        QTest::newRow("category without limit")
            << "R1" << QVariant("正常") << noExpiry << false << "无限制" << false << true
            << "读者类别\"无限制\"的借阅数量限制没有设置或者不是有效的数字,请先去读者类别中"
               "设置好对应的类别及其参数";
        QTest::newRow("category without rent")
            << "R1" << QVariant("正常") << noExpiry << false << "无租金" << false << true
            << "读者类别\"无租金\"的租金没有设置或者不是有效的数字,请先去读者类别中设置好对应"
               "的类别及其参数";
    }
    void readerCheck()
    {
        QFETCH(QString, readerNumber);
        QFETCH(QVariant, status);
        QFETCH(QVariant, validUntil);
        QFETCH(bool, validityOn);
        QFETCH(QString, category);
        QFETCH(bool, passed);
        QFETCH(bool, shown);
        QFETCH(QString, message);
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addCategory(lib.db(), QStringLiteral("学生"), 14, 3, m("0.2"));
        addCategory(lib.db(), QStringLiteral("无天数"), QVariant(), 3, m("0.2"));
        addCategory(lib.db(), QStringLiteral("无限制"), 14, QVariant(), m("0.2"));
        addCategory(lib.db(), QStringLiteral("无租金"), 14, 3, QVariant());
        Reader r;
        r.status = status;
        r.validUntil = validUntil;
        r.category = category;
        addReader(lib.db(), r);
        Lending lending(lib.db());
        lending.settings() = plainSettings();
        lending.settings().启用读者有效期 = validityOn;

        const ReaderCheck check = lending.RdSearch(readerNumber);
        QCOMPARE(check.passed, passed);
        QCOMPARE(check.message, message);
        QCOMPARE(check.readerShown, shown);
        QCOMPARE(check.reader.has_value(), shown);
        QCOMPARE(lending.readerPassed(), passed);
        QCOMPARE(check.selectReaderText, readerNumber == QLatin1String("R9"));
        if (passed) {
            QCOMPARE(check.reader->读者姓名, QStringLiteral("张三"));
            QCOMPARE(check.category->借阅天数, 14);
            QCOMPARE(check.category->借阅数量限制, 3);
            QCOMPARE(check.category->租金, money("0.2"));
        } else {
            QVERIFY(!check.category);
            // A refused reader cannot have items checked.
            addItem(lib.db(), Item());
            const ItemCheck item = lending.bksearch(QStringLiteral("B1"));
            QVERIFY(!item.added);
            QVERIFY(lending.list().isEmpty());
        }
    }

    void itemCheck_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("copies");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QVariant>("reservedBy");
        QTest::addColumn<QVariant>("reservedUntil");
        QTest::addColumn<bool>("reservationsOn");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("message");
        const QVariant none;
        const QVariant later = fixedNow().addSecs(1);
        const QVariant earlier = fixedNow().addSecs(-1);
        QTest::newRow("book by number")
            << "图书"
            << "编号"
            << "B1" << 1 << "正常" << none << none << true << true << "";
        QTest::newRow("book by barcode")
            << "图书"
            << "条形码"
            << "690001" << 1 << "正常" << none << none << true << true << "";
        QTest::newRow("periodical by number")
            << "期刊"
            << "编号"
            << "B1" << 1 << "正常" << none << none << true << true << "";
        QTest::newRow("no such book") << "图书"
                                      << "编号"
                                      << "B2" << 1 << "正常" << none << none << true << false
                                      << "没有找到该图书的数据,请重新输入.";
        QTest::newRow("barcode typed as number") << "图书"
                                                 << "编号"
                                                 << "690001" << 1 << "正常" << none << none << true
                                                 << false << "没有找到该图书的数据,请重新输入.";
        QTest::newRow("no such periodical") << "期刊"
                                            << "编号"
                                            << "B2" << 1 << "正常" << none << none << true << false
                                            << "没有找到该期刊的数据,请重新输入.";
        QTest::newRow("no copy left")
            << "图书"
            << "编号"
            << "B1" << 0 << "正常" << none << none << true << false << "数量不足.";
        QTest::newRow("negative copies")
            << "图书"
            << "编号"
            << "B1" << -1 << "正常" << none << none << true << false << "数量不足.";
        QTest::newRow("not for loan") << "图书"
                                      << "编号"
                                      << "B1" << 1 << "不外借" << none << none << true << false
                                      << "该资料不外借,请与图书馆管理员联系!";
        QTest::newRow("reserved by another")
            << "图书"
            << "编号"
            << "B1" << 1 << "正常" << QVariant("R2") << later << true << false
            << "该图书已经被读者编号为: (R2) 的读者预定了，您不能借.";
        QTest::newRow("reserved by another, reservations off")
            << "图书"
            << "编号"
            << "B1" << 1 << "正常" << QVariant("R2") << later << false << true << "";
        QTest::newRow("reserved by this reader")
            << "图书"
            << "编号"
            << "B1" << 1 << "正常" << QVariant("R1") << later << true << true << "";
        QTest::newRow("reservation expired a second ago")
            << "图书"
            << "编号"
            << "B1" << 1 << "正常" << QVariant("R2") << earlier << true << true << "";
        QTest::newRow("periodical reserved by another")
            << "期刊"
            << "编号"
            << "B1" << 1 << "正常" << QVariant("R2") << later << true << false
            << "该图书已经被读者编号为: (R2) 的读者预定了，您不能借.";
    }
    void itemCheck()
    {
        QFETCH(QString, table);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, copies);
        QFETCH(QString, status);
        QFETCH(QVariant, reservedBy);
        QFETCH(QVariant, reservedUntil);
        QFETCH(bool, reservationsOn);
        QFETCH(bool, added);
        QFETCH(QString, message);
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        Item it;
        it.table = table;
        it.copies = copies;
        it.status = status;
        it.reservedBy = reservedBy;
        it.reservedUntil = reservedUntil;
        addItem(desk.db(), it);
        desk.lending.settings().启用预定功能 = reservationsOn;
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        desk.lending.setTable(table);
        desk.lending.setKey(key);

        const ItemCheck check = desk.lending.bksearch(text);
        QCOMPARE(check.added, added);
        QCOMPARE(check.message, message);
        QCOMPARE(desk.lending.list().size(), added ? 1 : 0);
        if (added) {
            const LendingListRow& row = desk.lending.list().first();
            QCOMPARE(row.编号, QStringLiteral("B1"));
            QCOMPARE(row.条形码, QStringLiteral("690001"));
            QCOMPARE(row.名称, QStringLiteral("三国"));
            QCOMPARE(row.类别, table);
            QCOMPARE(row.天数, 14);
            QVERIFY(check.selectItemText);
        }
        // An expired reservation of a book is cleared by the check itself.
        if (reservationsOn && reservedUntil == QVariant(fixedNow().addSecs(-1)))
            QVERIFY(desk.db()
                        .scalar(QStringLiteral("select 预定状况 from 图书 where 编号 = 'B1'"))
                        .isNull());
    }

    // A reservation end written by another program as "yyyy-mm-ddThh:mm:ss" lapses at the
    // same moment as one in the program's own form, on both engines.
    void reservationExpiryInEitherForm_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("until");
        QTest::addColumn<bool>("expired");
        const std::pair<const char*, bool> forms[] = {
            {"2026-03-02T09:59:59", true}, {"2026-03-02T10:00:01", false},
            {"2026-03-02 09:59:59", true}, {"2026-03-02 10:00:01", false},
            {"2026-03-01T23:59:59", true}, {"2026-03-03T00:00:00", false},
            {"2026-03-02", true},          {"2026-02-27", true},
        };
        for (const auto& [engine, name] :
             {std::pair{TestLibrary::SQLite, "sqlite"}, {TestLibrary::PostgreSQL, "postgresql"}})
            for (const auto& [until, expired] : forms)
                QTest::addRow("%s %s", name, until)
                    << int(engine) << QString::fromLatin1(until) << expired;
    }
    void reservationExpiryInEitherForm()
    {
        QFETCH(int, engine);
        QFETCH(QString, until);
        QFETCH(bool, expired);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk desk{TestLibrary::Engine(engine)};
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        Item it;
        it.reservedBy = QStringLiteral("R2");
        it.reservedUntil = until;
        addItem(desk.db(), it);
        desk.lending.settings().启用预定功能 = true;
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        const ItemCheck check = desk.lending.bksearch(QStringLiteral("B1"));
        QCOMPARE(check.added, expired);
        QCOMPARE(desk.db().scalar(QStringLiteral("select 预定状况 from 图书")).isNull(), expired);
    }

    // The server ends the desk's session while "借出" commits: the operator is told the loan
    // was not stored, the list stays, and "借出" again lends it once. The desk's next scan
    // after a dropped session simply works.
    void commitThatLostItsSession_data()
    {
        QTest::addColumn<bool>("atCommit");
        QTest::newRow("before the commit") << false;
        QTest::newRow("while the commit is under way") << true;
    }
    void commitThatLostItsSession()
    {
        QFETCH(bool, atCommit);
        TUSHU_REQUIRE_ENGINE(TestLibrary::PostgreSQL);
        Desk desk(TestLibrary::PostgreSQL);
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        addItem(desk.db(), Item());
        QString error;
        QVERIFY2(TestLibrary::dropSession(desk.db(), &error), qPrintable(error));
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        QVERIFY(desk.lending.bksearch(QStringLiteral("B1")).added);
        if (!atCommit)
            QVERIFY2(TestLibrary::dropSession(desk.db(), &error), qPrintable(error));
        else
            Database::setBeforeCommitHook([&](const Database& d) {
                Database::setBeforeCommitHook({});
                if (!TestLibrary::dropSession(d, &error))
                    qWarning("%s", qPrintable(error));
            });
        CommitResult r = desk.lending.commit();
        Database::setBeforeCommitHook({});
        // Before the commit the session is found dropped at BEGIN and the loan goes through
        // on a new one; at the commit the loan is lost with the session and the operator is
        // told so.
        QCOMPARE(r.done, !atCommit);
        if (atCommit) {
            QVERIFY2(r.message.contains(QStringLiteral("没有保存")), qPrintable(r.message));
            QCOMPARE(desk.loans(), 0);
            QCOMPARE(desk.copies(QStringLiteral("图书"), QStringLiteral("B1")), 1);
            QCOMPARE(desk.lending.list().size(), 1);
            r = desk.lending.commit();
            QVERIFY2(r.done, qPrintable(r.message));
        }
        QCOMPARE(desk.loans(), 1);
        QCOMPARE(desk.copies(QStringLiteral("图书"), QStringLiteral("B1")), 0);
        QCOMPARE(intOf(desk.db(), QStringLiteral("select 未还数量 from 读者库")), 1);
    }

    // Limit 2 for the level with one open loan of it: the first listed item passes, a
    // second is refused. A level without limit, or without a row, limits nothing.
    void levelLimit_data()
    {
        QTest::addColumn<QVariant>("level");
        QTest::addColumn<QString>("secondMessage");
        const QString refused =
            QStringLiteral("已经超出物品级别中规定的（ 珍贵 ）的物品级别的可借数量，不能再借了!");
        QTest::newRow("limit 2") << QVariant("珍贵") << refused;
        QTest::newRow("limit 0") << QVariant("普通") << "";
        QTest::newRow("level row missing") << QVariant("消失") << "";
        QTest::newRow("no level") << QVariant() << "";
    }
    void levelLimit()
    {
        QFETCH(QVariant, level);
        QFETCH(QString, secondMessage);
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        addLevel(desk.db(), QStringLiteral("珍贵"), m("1.5"), 2);
        Loan open;
        open.item = QStringLiteral("B0");
        open.level = level;
        open.lent = today().addDays(-3);
        open.due = today().addDays(11);
        addLoan(desk.db(), open);
        for (int i = 1; i <= 2; ++i) {
            Item it;
            it.number = QStringLiteral("B%1").arg(i);
            it.level = level;
            addItem(desk.db(), it);
        }
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        const ItemCheck first = desk.lending.bksearch(QStringLiteral("B1"));
        QVERIFY2(first.added, qPrintable(first.message));
        const ItemCheck second = desk.lending.bksearch(QStringLiteral("B2"));
        QCOMPARE(second.message, secondMessage);
        QCOMPARE(second.added, secondMessage.isEmpty());

        // An open loan of the level already at the limit refuses even the first item.
        if (!secondMessage.isEmpty()) {
            addLoan(desk.db(), open);
            desk.lending.CleanData();
            QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
            QCOMPARE(desk.lending.bksearch(QStringLiteral("B1")).message, secondMessage);
        }
    }

    // The same 编号 in 图书 and 期刊: only one of them can be listed.
    void duplicateNumberAcrossTables()
    {
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        addItem(desk.db(), Item());
        Item periodical;
        periodical.table = QStringLiteral("期刊");
        periodical.title = QStringLiteral("读者");
        addItem(desk.db(), periodical);
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        QVERIFY(desk.lending.bksearch(QStringLiteral("B1")).added);
        QCOMPARE(desk.lending.bksearch(QStringLiteral("B1")).message,
                 QStringLiteral("已经重复添加过了."));
        desk.lending.setTable(QStringLiteral("期刊"));
        const ItemCheck again = desk.lending.bksearch(QStringLiteral("B1"));
        QVERIFY(!again.added);
        QCOMPARE(again.message, QStringLiteral("已经重复添加过了."));
        QCOMPARE(again.item->名称, QStringLiteral("读者"));
        QCOMPARE(desk.lending.list().size(), 1);
        QCOMPARE(desk.lending.list().first().类别, QStringLiteral("图书"));
    }

    // Limit 3 with 2 open loans: the second listed item warns and still stays listed.
    void countWarning_data()
    {
        QTest::addColumn<bool>("limitOn");
        QTest::newRow("limit on") << true;
        QTest::newRow("limit off") << false;
    }
    void countWarning()
    {
        QFETCH(bool, limitOn);
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        desk.db().execute(QStringLiteral("update 读者库 set 未还数量 = 2"));
        for (int i = 1; i <= 3; ++i) {
            Item it;
            it.number = QStringLiteral("B%1").arg(i);
            addItem(desk.db(), it);
        }
        desk.lending.settings().借阅数量限制功能 = limitOn;
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        const ItemCheck first = desk.lending.bksearch(QStringLiteral("B1"));
        QVERIFY(first.added);
        QVERIFY(!first.warning);
        QVERIFY(first.message.isEmpty());
        for (const char* number : {"B2", "B3"}) {
            const ItemCheck next = desk.lending.bksearch(QString::fromUtf8(number));
            QVERIFY(next.added);
            QCOMPARE(next.warning, limitOn);
            QCOMPARE(next.message,
                     limitOn ? QStringLiteral("提示:该读者超过借阅数量!") : QString());
        }
        QCOMPARE(desk.lending.list().size(), 3);
    }

    void rentRule_data()
    {
        QTest::addColumn<bool>("rentOn");
        QTest::addColumn<bool>("readerRent");
        QTest::addColumn<QVariant>("level");
        QTest::addColumn<QString>("rent");
        QTest::newRow("rent off") << false << true << QVariant("珍贵") << "0";
        QTest::newRow("rent off, level rent") << false << false << QVariant("珍贵") << "0";
        QTest::newRow("category rent") << true << true << QVariant("珍贵") << "0.2";
        QTest::newRow("level rent") << true << false << QVariant("珍贵") << "1.5";
        QTest::newRow("no level") << true << false << QVariant() << "0";
        QTest::newRow("level row missing") << true << false << QVariant("消失") << "0";
    }
    void rentRule()
    {
        QFETCH(bool, rentOn);
        QFETCH(bool, readerRent);
        QFETCH(QVariant, level);
        QFETCH(QString, rent);
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        addLevel(desk.db(), QStringLiteral("珍贵"), m("1.5"), 0);
        Item it;
        it.level = level;
        addItem(desk.db(), it);
        desk.lending.settings().启用租金功能 = rentOn;
        desk.lending.settings().启用读者租金 = readerRent;
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        const ItemCheck check = desk.lending.bksearch(QStringLiteral("B1"));
        QVERIFY(check.added);
        QCOMPARE(desk.lending.list().first().租金.toString(), rent);
        QCOMPARE(Lending::rentRule(desk.lending.settings(), money("0.2"), check.item->levelRent)
                     .toString(),
                 rent);
        QCOMPARE(check.item->levelRent.toString(),
                 level == QVariant("珍贵") ? QStringLiteral("1.5") : QStringLiteral("0"));
    }

    void levelWithoutRentIsRefusedAtTheCheck()
    {
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        addLevel(desk.db(), QStringLiteral("无租金"), QVariant(), 0);
        Item it;
        it.level = QStringLiteral("无租金");
        addItem(desk.db(), it);
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        const ItemCheck check = desk.lending.bksearch(QStringLiteral("B1"));
        QVERIFY(!check.added);
        QCOMPARE(check.message, QStringLiteral("物品级别\"无租金\"的租金没有设置或者不是有效的数字,"
                                               "请先去物品级别中设置好."));
    }

    void removeRow()
    {
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        addItem(desk.db(), Item());
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        QVERIFY(desk.lending.bksearch(QStringLiteral("B1")).added);
        QCOMPARE(desk.lending.removeQuestion(0), QStringLiteral("您是否要删除\" B1\",\"三国\""));
        QVERIFY(!desk.lending.removeRow(1));
        QVERIFY(desk.lending.removeRow(0));
        QVERIFY(desk.lending.list().isEmpty());
        const CommitResult empty = desk.lending.commit();
        QVERIFY(empty.nothing);
        QVERIFY(!empty.done);
        QVERIFY(empty.message.isEmpty());
        QCOMPARE(desk.loans(), 0);
    }

    // A book and a periodical lent together: one loan row each, each item's counters in its
    // own table, the reader's counters up by two, the reservation cleared.
    void commitLendsEveryListedItem_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void commitLendsEveryListedItem()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk desk{TestLibrary::Engine(engine)};
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        addLevel(desk.db(), QStringLiteral("珍贵"), m("1.5"), 0);
        Item book;
        book.level = QStringLiteral("珍贵");
        book.reservedBy = QStringLiteral("R1");
        book.reservedUntil = fixedNow().addDays(1);
        addItem(desk.db(), book);
        Item periodical;
        periodical.table = QStringLiteral("期刊");
        periodical.number = QStringLiteral("Q1");
        periodical.title = QStringLiteral("读者");
        periodical.barcode = QStringLiteral("977000");
        periodical.copies = 3;
        addItem(desk.db(), periodical);
        desk.lending.settings().启用租金功能 = true;
        desk.lending.settings().启用读者租金 = false;
        desk.lending.settings().启用预定功能 = true;

        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        QVERIFY(desk.lending.bksearch(QStringLiteral("B1")).added);
        desk.lending.setTable(QStringLiteral("期刊"));
        desk.lending.setKey(QStringLiteral("条形码"));
        QVERIFY(desk.lending.bksearch(QStringLiteral("977000")).added);
        const CommitResult r = desk.lending.commit();
        QVERIFY2(r.done, qPrintable(r.message));
        QCOMPARE(r.message, QStringLiteral("借阅完毕!"));
        QCOMPARE(r.lent, 2);
        QVERIFY(desk.lending.list().isEmpty());
        QVERIFY(!desk.lending.readerPassed());

        QSqlQuery q = desk.db().query(QStringLiteral(
            "select 读者编号, 读者姓名, 编号, 名称, 条形码, 类别, 物品级别, 价格, 租金, "
            "借阅日期, 应还日期, 借阅经手人, 已还, 物品状况, 归还日期, 实际租期 "
            "from 借出记录 order by id"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("R1"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("张三"));
        QCOMPARE(q.value(2).toString(), QStringLiteral("B1"));
        QCOMPARE(q.value(3).toString(), QStringLiteral("三国"));
        QCOMPARE(q.value(4).toString(), QStringLiteral("690001"));
        QCOMPARE(q.value(5).toString(), QStringLiteral("图书"));
        QCOMPARE(q.value(6).toString(), QStringLiteral("珍贵"));
        QCOMPARE(DbValue::toMoney(q.value(7)), money("25.5"));
        QCOMPARE(DbValue::toMoney(q.value(8)), money("1.5"));
        QCOMPARE(DbValue::toDate(q.value(9)), today());
        QCOMPARE(DbValue::toDate(q.value(10)), today().addDays(14));
        QCOMPARE(DbValue::dateTimeOrNull(q.value(10)).time(), QTime(0, 0));
        QCOMPARE(q.value(11).toString(), QStringLiteral("甲"));
        QCOMPARE(q.value(12).toString(), QStringLiteral("否"));
        QCOMPARE(q.value(13).toString(), QStringLiteral("完好"));
        QVERIFY(q.value(14).isNull());
        QVERIFY(q.value(15).isNull());
        QVERIFY(q.next());
        QCOMPARE(q.value(2).toString(), QStringLiteral("Q1"));
        QCOMPARE(q.value(5).toString(), QStringLiteral("期刊"));
        QCOMPARE(DbValue::toMoney(q.value(8)), Money());
        QVERIFY(!q.next());
        q = QSqlQuery();

        QCOMPARE(desk.copies(QStringLiteral("图书"), QStringLiteral("B1")), 0);
        QCOMPARE(desk.copies(QStringLiteral("期刊"), QStringLiteral("Q1")), 2);
        QCOMPARE(intOf(desk.db(), QStringLiteral("select 借出次数 from 图书 where 编号 = 'B1'")),
                 1);
        QCOMPARE(intOf(desk.db(), QStringLiteral("select 借出次数 from 期刊 where 编号 = 'Q1'")),
                 1);
        QVERIFY(desk.db()
                    .scalar(QStringLiteral("select 预定状况 from 图书 where 编号 = 'B1'"))
                    .isNull());
        QVERIFY(desk.db()
                    .scalar(QStringLiteral("select 预定到期时间 from 图书 where 编号 = 'B1'"))
                    .isNull());
        QCOMPARE(
            intOf(desk.db(), QStringLiteral("select 未还数量 from 读者库 where 读者编号 = 'R1'")),
            2);
        QCOMPARE(intOf(desk.db(),
                       QStringLiteral("select 累计借阅次数 from 读者库 where 读者编号 = 'R1'")),
                 2);
        // No balance is charged at lending.
        QCOMPARE(moneyOf(desk.db(), QStringLiteral("select 卡内金额 from 读者库")), Money());
    }

    // Items listed, then a reader check that fails: nothing can be lent to anybody.
    void noLendingAfterAFailedReaderCheck()
    {
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        addItem(desk.db(), Item());
        Reader suspended;
        suspended.number = QStringLiteral("R2");
        suspended.status = QStringLiteral("停用");
        addReader(desk.db(), suspended);
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        QVERIFY(desk.lending.bksearch(QStringLiteral("B1")).added);
        for (const char* reader : {"R2", "R9"}) {
            QVERIFY(!desk.lending.RdSearch(QString::fromUtf8(reader)).passed);
            const CommitResult r = desk.lending.commit();
            QVERIFY(!r.done);
            QCOMPARE(r.message, QStringLiteral("请先查询确定读者身份,读者通过检查后才能借出."));
            QCOMPARE(desk.loans(), 0);
            QCOMPARE(desk.lending.list().size(), 1);
        }
        // The list kept for a reader who passes afterwards.
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        QVERIFY(desk.lending.commit().done);
        QCOMPARE(desk.loans(), 1);
    }

    // Another desk lends the last copy between the check and the commit: nothing is written
    // (not even the other listed item), the list stays, and a retry without it succeeds.
    void failedCommitWritesNothing_data() { commitLendsEveryListedItem_data(); }
    void failedCommitWritesNothing()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk desk{TestLibrary::Engine(engine)};
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        Item first;
        first.copies = 2;
        addItem(desk.db(), first);
        Item last;
        last.number = QStringLiteral("B2");
        last.title = QStringLiteral("水浒传");
        addItem(desk.db(), last);
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        QVERIFY(desk.lending.bksearch(QStringLiteral("B1")).added);
        QVERIFY(desk.lending.bksearch(QStringLiteral("B2")).added);

        Database other(QStringLiteral("circ-other-") + QUuid::createUuid().toString());
        QString error;
        QVERIFY2(other.open(desk.lib.kind(), desk.lib.connectionString(), &error),
                 qPrintable(error));
        QCOMPARE(other.execute(QStringLiteral("update 图书 set 数量 = 数量 - 1 where 编号 = ? and "
                                              "数量 > 0"),
                               {QStringLiteral("B2")}),
                 1);
        other.close();

        const CommitResult r = desk.lending.commit();
        QVERIFY(!r.done);
        QCOMPARE(r.message, QStringLiteral("水浒传 (B2) 数量不足.\n没有借出任何物品."));
        QCOMPARE(desk.loans(), 0);
        QCOMPARE(desk.copies(QStringLiteral("图书"), QStringLiteral("B1")), 2);
        QCOMPARE(intOf(desk.db(), QStringLiteral("select 借出次数 from 图书 where 编号 = 'B1'")),
                 0);
        QCOMPARE(intOf(desk.db(), QStringLiteral("select 未还数量 from 读者库")), 0);
        QCOMPARE(intOf(desk.db(), QStringLiteral("select 累计借阅次数 from 读者库")), 0);
        QCOMPARE(desk.lending.list().size(), 2);
        QVERIFY(desk.lending.readerPassed());

        QVERIFY(desk.lending.removeRow(1));
        const CommitResult retry = desk.lending.commit();
        QVERIFY2(retry.done, qPrintable(retry.message));
        QCOMPARE(desk.loans(), 1);
        QCOMPARE(desk.copies(QStringLiteral("图书"), QStringLiteral("B1")), 1);
    }

    // An item deleted between its check and the commit: nothing is lent, the list stays.
    void itemDeletedBeforeCommit()
    {
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        addItem(desk.db(), Item());
        Item periodical;
        periodical.table = QStringLiteral("期刊");
        periodical.number = QStringLiteral("Q1");
        addItem(desk.db(), periodical);
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        QVERIFY(desk.lending.bksearch(QStringLiteral("B1")).added);
        desk.lending.setTable(QStringLiteral("期刊"));
        QVERIFY(desk.lending.bksearch(QStringLiteral("Q1")).added);
        desk.db().execute(QStringLiteral("delete from 期刊"));
        const CommitResult r = desk.lending.commit();
        QVERIFY(!r.done);
        QCOMPARE(r.message,
                 QStringLiteral("没有找到该期刊的数据,请重新输入. (Q1)\n没有借出任何物品."));
        QCOMPARE(desk.loans(), 0);
        QCOMPARE(desk.copies(QStringLiteral("图书"), QStringLiteral("B1")), 1);
        QCOMPARE(desk.lending.list().size(), 2);
    }

    // Printing after lending: the receipt file holds the whole receipt; a port that cannot be
    // opened changes nothing about the lending.
    void receiptAfterLending_data()
    {
        QTest::addColumn<bool>("portExists");
        QTest::newRow("plain file") << true;
        QTest::newRow("missing port") << false;
    }
    void receiptAfterLending()
    {
        QFETCH(bool, portExists);
        Desk desk;
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        const QStringList titles{QStringLiteral("三国"), QStringLiteral("水浒传"),
                                 QStringLiteral("西游记")};
        for (int i = 0; i < 3; ++i) {
            Item it;
            it.number = QStringLiteral("B%1").arg(i + 1);
            it.title = titles.at(i);
            addItem(desk.db(), it);
        }
        QTemporaryDir dir;
        const QString port = portExists
                                 ? QDir(dir.path()).filePath(QStringLiteral("receipt"))
                                 : QDir(dir.path()).filePath(QStringLiteral("missing/receipt"));
        desk.lending.setPrinterPort(port);
        QVERIFY(desk.lending.RdSearch(QStringLiteral("R1")).passed);
        for (const char* n : {"B1", "B2", "B3"})
            QVERIFY(desk.lending.bksearch(QString::fromUtf8(n)).added);
        const CommitResult r = desk.lending.commit(true);
        QVERIFY(r.done);
        QCOMPARE(r.message, QStringLiteral("借阅完毕!"));
        QCOMPARE(desk.loans(), 3);
        QCOMPARE(QFile::exists(port), portExists);
        if (portExists) {
            QFile f(port);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QList<QByteArray> lines = f.readAll().split('\n');
            QCOMPARE(lines.size(), 9);
            QCOMPARE(lines.at(1), QByteArray("\xD1\xF4\xB9\xE2\xCD\xBC\xCA\xE9\xB9\xDD\r"));
            QCOMPARE(lines.at(3), QByteArray("2:\xCB\xAE\xE4\xB0\xB4\xAB\r"));
            QCOMPARE(lines.at(5),
                     QByteArray("\xB4\xF2\xD3\xA1\xCA\xB1\xBC\xE4:26-03-02 10:00:00\r"));
            QCOMPARE(lines.at(6), QByteArray("\xB9\xDC\xC0\xED\xD4\xB1: \xBC\xD7\r"));
        }
    }
};

TUSHU_TEST(LendingTest)
#include "tst_Lending.moc"
