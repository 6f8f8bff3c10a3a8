// The header filters of the registrar and income statistics.
#include "../common/HeaderFilter.h"
#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/Clock.h"
#include "data/LoginState.h"
#include "statistics/StatisticsScreens.h"
#include "widgets/DataGrid.h"

#include <QAction>
#include <QDateEdit>
#include <QTest>

namespace {
void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

} // namespace

class StatisticsFiltersTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        LoginState::reset();
        Clock::setNow(QDateTime(QDate(2026, 3, 5), QTime(10, 0)));
    }
    void cleanup()
    {
        LoginState::reset();
        Clock::setNow({});
    }

    void incomeFiltersByItem_data() { addEngines(); }
    void incomeFiltersByItem()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messenger;
        const QList<QPair<QString, QString>> rows{{QStringLiteral("开户费"), QStringLiteral("10")},
                                                  {QStringLiteral("充值"), QStringLiteral("50.1")},
                                                  {QStringLiteral("充值"), QStringLiteral("0.2")},
                                                  {QStringLiteral("退款"), QStringLiteral("-20")}};
        for (const auto& [item, amount] : rows)
            lib.db().execute(QStringLiteral("insert into 收入 (项目, 时间, 金额) values (?, ?, ?)"),
                             {item, QDate(2026, 3, 2), QVariant::fromValue(*Money::parse(amount))});
        TShouRuCountFm screen;
        screen.show();
        DataGrid* grid = screen.grid();
        QVERIFY(grid->headerFilterEnabled());
        QCOMPARE(HeaderFilter::choices(grid, QStringLiteral("项目")),
                 (QStringList{QStringLiteral("充值"), QStringLiteral("开户费"),
                              QStringLiteral("退款")}));
        HeaderFilter::choose(grid, QStringLiteral("充值"));
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->footerText(QStringLiteral("金额")), QStringLiteral("50.3"));
        QVERIFY(messenger.shown.isEmpty());
    }

    void registrarFiltersByOperator_data() { addEngines(); }
    void registrarFiltersByOperator()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messenger;
        const QStringList registrars{QStringLiteral("甲"), QStringLiteral("乙"),
                                     QStringLiteral("甲"), QStringLiteral("丙")};
        for (int i = 0; i < registrars.size(); ++i)
            lib.db().execute(
                QStringLiteral(
                    "insert into 图书 (编号, 名称, 价格, 入库时间, 登记人) values (?, ?, ?, ?, ?)"),
                {QStringLiteral("B%1").arg(i), QStringLiteral("书"),
                 QVariant::fromValue(Money::fromYuan(i + 1)), QDate(2026, 3, 2), registrars.at(i)});
        TAdminLuRuStatFm screen;
        screen.show();
        QVERIFY(screen.grid()->headerFilterEnabled());
        screen.range()->fromEdit()->setDate(QDate(2026, 3, 1));
        screen.findChild<QAction*>(QStringLiteral("countAction"))->trigger();
        QCOMPARE(screen.grid()->rowCount(), 3);
        QStringList expected{QStringLiteral("丙"), QStringLiteral("乙"), QStringLiteral("甲")};
        expected.sort();
        QCOMPARE(HeaderFilter::choices(screen.grid(), QStringLiteral("登记人")), expected);
        HeaderFilter::choose(screen.grid(), QStringLiteral("甲"));
        QCOMPARE(screen.grid()->rowCount(), 1);
        QCOMPARE(screen.grid()->currentValue(QStringLiteral("记录数")).toInt(), 2);
        QCOMPARE(HeaderFilter::choices(screen.grid(), QStringLiteral("总价格")), QStringList{"4"});
    }
};

TUSHU_TEST(StatisticsFiltersTest)
#include "tst_StatisticsFilters.moc"
