#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "circulation/BkJySearchUt.h"
#include "circulation/LoanQueries.h"
#include "data/Clock.h"
#include "data/LoginState.h"
#include "widgets/DataGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTest>

namespace {

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

void addLoan(const Database& db, const QString& reader, const QString& item, const QVariant& lent,
             const QDate& due, const QString& returned, const QString& price = QStringLiteral("1"))
{
    db.execute(
        QStringLiteral("insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, 价格, 借阅日期, "
                       "应还日期, 已还) values (?, ?, ?, ?, ?, ?, ?, ?)"),
        {reader, reader + QStringLiteral("名"), item, item + QStringLiteral("书"),
         QVariant::fromValue(*Money::parse(price)), lent, due, returned});
}

QStringList shown(const DataGrid* grid, const char* field)
{
    QStringList out;
    for (int r = 0; r < grid->rowCount(); ++r)
        out << grid->value(r, QString::fromUtf8(field)).toString();
    out.sort();
    return out;
}

struct Desk
{
    explicit Desk(int engine) : lib(TestLibrary::Engine(engine)) { LoginState::reset(); }
    ~Desk()
    {
        LoginState::reset();
        Clock::setNow({});
    }
    Database& db() { return lib.db(); }
    TestLibrary lib;
    RecordingMessenger messenger;
};

} // namespace

class LoanQueriesTest : public QObject
{
    Q_OBJECT
private slots:
    void messages_data()
    {
        QTest::addColumn<bool>("lent");
        QTest::addColumn<bool>("returned");
        QTest::addColumn<int>("lentDays");     // end - start
        QTest::addColumn<int>("returnedDays"); // end - start
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << false << false << 0 << 0 << QStringLiteral("请设置查询条件.");
        QTest::newRow("lent reversed")
            << true << false << -1 << 0 << QStringLiteral("借阅时间条件不符合正常逻辑!");
        QTest::newRow("returned reversed")
            << false << true << 0 << -1 << QStringLiteral("归还时间条件不符合正常逻辑!");
        QTest::newRow("reversed but unticked")
            << false << false << -1 << -1 << QStringLiteral("请设置查询条件.");
        QTest::newRow("same day") << true << true << 0 << 0 << QString();
    }
    void messages()
    {
        QFETCH(bool, lent);
        QFETCH(bool, returned);
        QFETCH(int, lentDays);
        QFETCH(int, returnedDays);
        QFETCH(QString, message);
        LoanConditions c;
        const QDate d(2026, 3, 2);
        c.lentBetween = lent;
        c.lentFrom = d;
        c.lentTo = d.addDays(lentDays);
        c.returnedBetween = returned;
        c.returnedFrom = d;
        c.returnedTo = d.addDays(returnedDays);
        QString why;
        const auto s = LoanQueries::search(c, &why);
        QCOMPARE(s.has_value(), message.isEmpty());
        QCOMPARE(why, message);
    }

    // A range from a day to the same day finds that day's loans, a time of day included;
    // the texts are bound, so quotes match as typed.
    void searchScreen_data() { addEngines(); }
    void searchScreen()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk desk(engine);
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        Clock::setNow(QDateTime(QDate(2026, 3, 10), QTime(9, 0)));
        const QDate due(2026, 4, 1);
        addLoan(desk.db(), QStringLiteral("R1"), QStringLiteral("B1"), QDate(2026, 3, 1), due,
                QStringLiteral("否"));
        addLoan(desk.db(), QStringLiteral("R1"), QStringLiteral("B2"), QDate(2026, 3, 2), due,
                QStringLiteral("是"));
        addLoan(desk.db(), QStringLiteral("R2"), QStringLiteral("B1"),
                QDateTime(QDate(2026, 3, 2), QTime(10, 0)), due, QStringLiteral("否"));
        addLoan(desk.db(), QStringLiteral("R2"), QStringLiteral("O'B\" or \"1\"=\"1"),
                QDate(2026, 3, 3), due, QStringLiteral("否"));
        TBkJySearchFm screen;
        screen.show();
        QCOMPARE(screen.grid()->rowCount(), 4);
        QCOMPARE(screen.findChild<QDateEdit*>(QStringLiteral("lentToEdit"))->date(),
                 QDate(2026, 3, 10));
        QVERIFY(!screen.findChild<QComboBox*>(QStringLiteral("returnedStateCombo"))->isEnabled());
        auto* search = screen.findChild<QAction*>(QStringLiteral("searchAction"));

        search->trigger();
        QCOMPARE(desk.messenger.lastText(), QStringLiteral("请设置查询条件."));
        QCOMPARE(screen.grid()->rowCount(), 4);

        screen.findChild<QCheckBox*>(QStringLiteral("lentBox"))->setChecked(true);
        screen.findChild<QDateEdit*>(QStringLiteral("lentFromEdit"))->setDate(QDate(2026, 3, 2));
        screen.findChild<QDateEdit*>(QStringLiteral("lentToEdit"))->setDate(QDate(2026, 3, 2));
        search->trigger();
        QCOMPARE(shown(screen.grid(), "编号"), (QStringList{"B1", "B2"}));

        screen.findChild<QCheckBox*>(QStringLiteral("returnedStateBox"))->setChecked(true);
        screen.findChild<QComboBox*>(QStringLiteral("returnedStateCombo"))
            ->setCurrentText(QStringLiteral("否"));
        search->trigger();
        QCOMPARE(shown(screen.grid(), "读者编号"), QStringList{"R2"});

        screen.findChild<QCheckBox*>(QStringLiteral("lentBox"))->setChecked(false);
        screen.findChild<QCheckBox*>(QStringLiteral("returnedStateBox"))->setChecked(false);
        screen.findChild<QLineEdit*>(QStringLiteral("numberEdit"))
            ->setText(QStringLiteral("O'B\" or \"1\"=\"1"));
        search->trigger();
        QCOMPARE(screen.grid()->rowCount(), 1);
        screen.findChild<QLineEdit*>(QStringLiteral("numberEdit"))->setText(QStringLiteral("B"));
        search->trigger();
        QCOMPARE(screen.grid()->rowCount(), 0);
        screen.findChild<QLineEdit*>(QStringLiteral("numberEdit"))->setText(QStringLiteral("B1"));
        screen.findChild<QLineEdit*>(QStringLiteral("readerNumberEdit"))
            ->setText(QStringLiteral("R1"));
        search->trigger();
        QCOMPARE(shown(screen.grid(), "借阅日期").size(), 1);
        QCOMPARE(screen.grid()->value(0, QStringLiteral("读者编号")).toString(),
                 QStringLiteral("R1"));
    }

    // 10,000 loans at 99999.9999: every footer exact, 租金 and 赔偿金额 as whole numbers.
    void exactFooters_data() { addEngines(); }
    void exactFooters()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk desk(engine);
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        const Money price = *Money::parse(QStringLiteral("99999.9999"));
        const Money rent = *Money::parse(QStringLiteral("0.3"));
        desk.db().transaction([&] {
            QSqlQuery q = desk.db().prepare(
                QStringLiteral("insert into 借出记录 (编号, 已还, 价格, 实际租金, 租金, 赔偿金额) "
                               "values (?, ?, ?, ?, ?, ?)"));
            for (int i = 0; i < 10000; ++i)
                desk.db().run(q, {QString::number(i), QStringLiteral("是"),
                                  QVariant::fromValue(price), QVariant::fromValue(price),
                                  QVariant::fromValue(rent), QVariant::fromValue(rent)});
        });
        TBkJySearchFm screen;
        screen.show();
        DataGrid* grid = screen.grid();
        QCOMPARE(grid->footerText(QStringLiteral("id")), QStringLiteral("10000"));
        QCOMPARE(grid->footerText(QStringLiteral("价格")), QStringLiteral("999999999"));
        QCOMPARE(grid->footerText(QStringLiteral("实际租金")), QStringLiteral("999999999"));
        QCOMPARE(grid->footerText(QStringLiteral("租金")), QStringLiteral("3000"));
        QCOMPARE(grid->footerText(QStringLiteral("赔偿金额")), QStringLiteral("3000"));
    }

    // At half past midnight the overdue list is today's, by the program's clock.
    void overdueByTheProgramsToday_data() { addEngines(); }
    void overdueByTheProgramsToday()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk desk(engine);
        QVERIFY2(desk.lib.ok(), qPrintable(desk.lib.error()));
        Clock::setNow(QDateTime(QDate(2026, 3, 5), QTime(0, 30)));
        const QDate lent(2026, 2, 1);
        addLoan(desk.db(), QStringLiteral("R1"), QStringLiteral("B1"), lent, QDate(2026, 3, 4),
                QStringLiteral("否"), QStringLiteral("12.5"));
        addLoan(desk.db(), QStringLiteral("R1"), QStringLiteral("B2"), lent, QDate(2026, 3, 5),
                QStringLiteral("否"), QStringLiteral("0.1"));
        addLoan(desk.db(), QStringLiteral("R1"), QStringLiteral("B3"), lent, QDate(2026, 3, 6),
                QStringLiteral("否"));
        addLoan(desk.db(), QStringLiteral("R1"), QStringLiteral("B4"), lent, QDate(2026, 3, 1),
                QStringLiteral("是"));
        TDueRecordFm screen;
        screen.show();
        QCOMPARE(shown(screen.grid(), "编号"), (QStringList{"B1", "B2"}));
        QCOMPARE(screen.grid()->footerText(QStringLiteral("价格")), QStringLiteral("12.6"));
        QVERIFY(!screen.grid()->isColumnShown(QStringLiteral("租金")));
    }
};

TUSHU_TEST(LoanQueriesTest)
#include "tst_LoanQueries.moc"
