#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/Clock.h"
#include "data/LoginState.h"
#include "data/SpreadsheetReader.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsScreens.h"
#include "widgets/BarChart.h"
#include "widgets/DataGrid.h"
#include "widgets/ExportToExcel.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

struct Library
{
    explicit Library(int engine) : lib(TestLibrary::Engine(engine))
    {
        LoginState::reset();
        Clock::setNow(QDateTime(QDate(2026, 3, 5), QTime(10, 0)));
    }
    ~Library()
    {
        LoginState::reset();
        Clock::setNow({});
    }
    Database& db() { return lib.db(); }
    TestLibrary lib;
    RecordingMessenger messenger;
};

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

void addBooks(const Database& db, int n)
{
    db.transaction([&] {
        QSqlQuery q = db.prepare(QStringLiteral(
            "insert into 图书 (编号, 名称, 借出次数, 数量, 价格, 分类) values (?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < n; ++i)
            // Every fifth book has no count; counts repeat, so ties are broken by 编号.
            db.run(q, {QStringLiteral("B%1").arg(i, 3, 10, QLatin1Char('0')),
                       QStringLiteral("书%1").arg(i), i % 5 == 0 ? QVariant() : QVariant(i % 7), 3,
                       QVariant::fromValue(*Money::parse(QStringLiteral("0.1"))),
                       i % 2 ? QStringLiteral("文学") : QStringLiteral("历史")});
    });
}

// The shown text of a field in the row whose key field shows key (the order of Chinese
// texts depends on the server's collation).
QString shownIn(const DataGrid* g, const QString& keyField, const QString& key,
                const QString& field)
{
    GridModel* m = g->model();
    for (int r = 0; r < m->rowCount(); ++r)
        if (m->value(r, keyField).toString() == key)
            return m->data(m->index(r, m->fieldIndex(field))).toString();
    return QStringLiteral("(none)");
}

int errorsShown(const RecordingMessenger& m)
{
    return int(std::count_if(m.shown.begin(), m.shown.end(),
                             [](const auto& s) { return s.kind == QStringLiteral("error"); }));
}

} // namespace

class StatisticsTest : public QObject
{
    Q_OBJECT
private slots:
    void chartBars_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<int>("readers");
        QTest::addColumn<int>("bars");
        QTest::newRow("sqlite 101") << int(TestLibrary::SQLite) << 101 << 12;
        QTest::newRow("sqlite 5") << int(TestLibrary::SQLite) << 5 << 5;
        QTest::newRow("postgresql 100") << int(TestLibrary::PostgreSQL) << 100 << 12;
        QTest::newRow("postgresql 101") << int(TestLibrary::PostgreSQL) << 101 << 13;
        QTest::newRow("postgresql 5") << int(TestLibrary::PostgreSQL) << 5 << 1;
    }
    void chartBars()
    {
        QFETCH(int, engine);
        QFETCH(int, readers);
        QFETCH(int, bars);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        l.db().transaction([&] {
            for (int i = 0; i < readers; ++i)
                l.db().execute(
                    QStringLiteral("insert into 读者库 (读者编号, 读者姓名, 累计借阅次数) "
                                   "values (?, ?, ?)"),
                    {QStringLiteral("R%1").arg(i, 3, 10, QLatin1Char('0')),
                     QStringLiteral("读者%1").arg(i), i % 4});
        });
        TRdChartFm screen;
        screen.show();
        QCOMPARE(screen.chart()->title(), QStringLiteral("借阅次数排行"));
        QCOMPARE(screen.chart()->labels().size(), bars);
        QCOMPARE(screen.chart()->values().first(), double(qMin(readers - 1, 3)));
    }

    // 100 books give 12 bars on both engines; empty counts never sort first; ties by 编号.
    void bookChartOrder_data() { addEngines(); }
    void bookChartOrder()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addBooks(l.db(), 100);
        TBkChartFm screen;
        screen.show();
        const QStringList labels = screen.chart()->labels();
        QCOMPARE(labels.size(), 12);
        // Count 6: i % 7 == 6 and i % 5 != 0: 6, 13, 27, 34, 41, 48, 62, 69, 76, 83, 97.
        QCOMPARE(labels.mid(0, 3), (QStringList{"书6", "书13", "书27"}));
        QCOMPARE(screen.chart()->values().first(), 6.0);
        QCOMPARE(screen.chart()->values().last(), 5.0);
    }

    void categoryTableOnlyFromTheSchema_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("typed");
        for (int e : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* n = e == TestLibrary::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s injection", n)
                << e << QStringLiteral("图书 group by 分类; drop table 收入--");
            QTest::addRow("%s other table", n) << e << QStringLiteral("收入");
            QTest::addRow("%s blank", n) << e << QStringLiteral(" 图书");
        }
    }
    void categoryTableOnlyFromTheSchema()
    {
        QFETCH(int, engine);
        QFETCH(QString, typed);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addBooks(l.db(), 10);
        TSortSearchFM screen;
        screen.show();
        QCOMPARE(screen.grid()->rowCount(), 2);
        const QString before = screen.statement().sql;
        screen.tableBox()->setCurrentText(typed);
        screen.findChild<QAction*>(QStringLiteral("countAction"))->trigger();
        QCOMPARE(l.messenger.lastText(), Statistics::unknownTable(typed));
        QCOMPARE(screen.statement().sql, before);
        QVERIFY(l.db().tables().contains(QStringLiteral("收入")));
    }

    // Copies × price per category, exactly: 5 books of 3 copies at 0.1 are 1.5.
    void categoryAmountsExact_data() { addEngines(); }
    void categoryAmountsExact()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addBooks(l.db(), 10);
        TSortSearchFM screen;
        screen.show();
        DataGrid* g = screen.grid();
        QCOMPARE(g->rowCount(), 2);
        QCOMPARE(shownIn(g, QStringLiteral("分类"), QStringLiteral("历史"), QStringLiteral("金额")),
                 QStringLiteral("1.5"));
        QCOMPARE(shownIn(g, QStringLiteral("分类"), QStringLiteral("文学"), QStringLiteral("数量")),
                 QStringLiteral("15"));
        screen.tableBox()->setCurrentText(QStringLiteral("期刊"));
        screen.findChild<QAction*>(QStringLiteral("countAction"))->trigger();
        QCOMPARE(g->rowCount(), 0);
    }

    void incomeFooterSum_data() { addEngines(); }
    void incomeFooterSum()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        const QList<QPair<QString, QString>> rows{{QStringLiteral("开户费"), QStringLiteral("10")},
                                                  {QStringLiteral("充值"), QStringLiteral("50.1")},
                                                  {QStringLiteral("充值"), QStringLiteral("-20")}};
        for (const auto& [item, amount] : rows)
            l.db().execute(QStringLiteral("insert into 收入 (项目, 时间, 金额) values (?, ?, ?)"),
                           {item, QDate(2026, 3, 2), QVariant::fromValue(*Money::parse(amount))});
        l.db().execute(QStringLiteral("insert into 收入 (项目, 时间, 金额) values (?, ?, ?)"),
                       {QStringLiteral("充值"), QDate(2026, 3, 3), 7});
        TShouRuCountFm screen;
        screen.show();
        QCOMPARE(screen.grid()->rowCount(), 4);
        QCOMPARE(screen.grid()->footerText(QStringLiteral("金额")), QStringLiteral("47.1"));
        screen.range()->fromEdit()->setDate(QDate(2026, 3, 1));
        screen.range()->toEdit()->setDate(QDate(2026, 3, 2));
        screen.findChild<QAction*>(QStringLiteral("countAction"))->trigger();
        QCOMPARE(screen.grid()->rowCount(), 3);
        QCOMPARE(screen.grid()->footerText(QStringLiteral("金额")), QStringLiteral("40.1"));
    }

    void registrarStatistics_data() { addEngines(); }
    void registrarStatistics()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        LoginState::instance().DbKind =
            engine == TestLibrary::SQLite ? QStringLiteral("a") : QStringLiteral("s");
        for (const char* who : {"甲", "甲", "乙"})
            l.db().execute(QStringLiteral("insert into 图书 (编号, 登记人, 价格, 入库时间) values "
                                          "(?, ?, ?, ?)"),
                           {QUuid::createUuid().toString(), QString::fromUtf8(who),
                            QVariant::fromValue(*Money::parse(QStringLiteral("0.1"))),
                            QDate(2026, 3, 2)});
        l.db().execute(QStringLiteral("insert into 期刊 (编号, 登记人, 入库时间) values (?, ?, ?)"),
                       {QStringLiteral("Q1"), QStringLiteral("乙"), QDate(2026, 3, 2)});
        TAdminLuRuStatFm screen;
        screen.show();
        QCOMPARE(screen.grid()->rowCount(), 0);
        screen.range()->fromEdit()->setDate(QDate(2026, 3, 2));
        screen.range()->toEdit()->setDate(QDate(2026, 3, 2));
        screen.findChild<QAction*>(QStringLiteral("countAction"))->trigger();
        const QString d = engine == TestLibrary::SQLite ? QStringLiteral("#") : QStringLiteral("'");
        QCOMPARE(
            l.messenger.lastText(),
            QStringLiteral("SELECT 登记人, count(编号) AS 记录数, sum(价格) AS 总价格 FROM 图书 "
                           "where 入库时间>=%1 and 入库时间<=%1 GROUP BY 登记人")
                .arg(d + QStringLiteral("2026-03-02") + d));
        DataGrid* g = screen.grid();
        QCOMPARE(g->rowCount(), 2);
        QCOMPARE(
            shownIn(g, QStringLiteral("登记人"), QStringLiteral("乙"), QStringLiteral("记录数")),
            QStringLiteral("1"));
        QCOMPARE(
            shownIn(g, QStringLiteral("登记人"), QStringLiteral("甲"), QStringLiteral("总价格")),
            QStringLiteral("0.2"));
    }

    void inventoryFigures_data() { addEngines(); }
    void inventoryFigures()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        const QDate today = Clock::today();
        for (int i = 0; i < 3; ++i)
            l.db().execute(QStringLiteral("insert into 借出记录 (编号, 已还, 借阅日期, 归还日期, "
                                          "实际租金) values (?, ?, ?, ?, ?)"),
                           {QString::number(i), i ? QStringLiteral("是") : QStringLiteral("否"),
                            today, i ? QVariant(today) : QVariant(),
                            QVariant::fromValue(*Money::parse(QStringLiteral("0.1")))});
        TDataCheckFm screen;
        QCOMPARE(screen.figure(QStringLiteral("借出次数:")), QStringLiteral("3"));
        QCOMPARE(screen.figure(QStringLiteral("归还次数:")), QStringLiteral("2"));
        QCOMPARE(screen.figure(QStringLiteral("租金收入:")), QStringLiteral("0.2"));
        QCOMPARE(screen.figure(QStringLiteral("总未还数量:")), QStringLiteral("1"));
        QCOMPARE(screen.figure(QStringLiteral("历史借出总数:")), QStringLiteral("3"));
        QCOMPARE(screen.figure(QStringLiteral("当前在库图书数量:")), QStringLiteral("0"));
        QCOMPARE(screen.figure(QStringLiteral("图书总数:")), QStringLiteral("0"));
        screen.range()->fromEdit()->setDate(today.addDays(1));
        screen.range()->toEdit()->setDate(today.addDays(2));
        screen.queryClick();
        QCOMPARE(screen.figure(QStringLiteral("借出次数:")), QStringLiteral("0"));
        QCOMPARE(screen.figure(QStringLiteral("租金收入:")), QStringLiteral("0"));
    }

    // "Excel" exports what the list shows: a sheet of headings alone before any "统计" and
    // after a failed one, never the rows of the statement before (nor a database error).
    void excelExportsWhatIsShown_data() { addEngines(); }
    void excelExportsWhatIsShown()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        l.db().execute(QStringLiteral("insert into 图书 (编号, 登记人, 价格, 入库时间) values "
                                      "(?, ?, ?, ?)"),
                       {QStringLiteral("B1"), QStringLiteral("甲"),
                        QVariant::fromValue(*Money::parse(QStringLiteral("2"))),
                        QDate(2026, 3, 2)});
        QTemporaryDir out;
        setExcelExportFolder(out.path());
        TAdminLuRuStatFm screen;
        screen.show();
        screen.range()->fromEdit()->setDate(QDate(2026, 3, 1));
        auto exported = [&]() -> QStringList {
            l.messenger.opened.clear();
            screen.findChild<QAction*>(QStringLiteral("exportAction"))->trigger();
            if (l.messenger.opened.size() != 1)
                return {QStringLiteral("(no workbook)")};
            QString error;
            const auto sheet = SpreadsheetReader::openFile(l.messenger.opened.first(), &error);
            if (!sheet)
                return {error};
            QStringList rows;
            for (int r = 1; r <= sheet->rowCount(); ++r)
                rows << sheet->cell(r, 1) + QLatin1Char('|') + sheet->cell(r, 2);
            return rows;
        };
        const QStringList headings{QStringLiteral("登记人|记录数")};
        QCOMPARE(exported(), headings);
        QVERIFY2(errorsShown(l.messenger) == 0, qPrintable(l.messenger.lastText()));
        screen.countClick();
        QCOMPARE(exported(),
                 QStringList({QStringLiteral("登记人|记录数"), QStringLiteral("甲|1")}));
        // The next "统计" fails; the table is back before "Excel".
        l.db().execute(QStringLiteral("alter table 图书 rename to 图书_away"));
        screen.countClick();
        l.db().execute(QStringLiteral("alter table 图书_away rename to 图书"));
        QCOMPARE(screen.grid()->rowCount(), 0);
        const int errorsBefore = errorsShown(l.messenger);
        QCOMPARE(exported(), headings);
        QCOMPARE(errorsShown(l.messenger), errorsBefore);
        setExcelExportFolder({});
    }

    // "读者登记数:" counts the whole of both end days of the range, although 登记日期
    // holds the time of day; a registration at 15:00 on the last day was once missed.
    void readerRegistrationsOverWholeDays_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QDateTime>("registered");
        QTest::addColumn<QString>("counted");
        const std::pair<const char*, TestLibrary::Engine> engines[] = {
            {"sqlite", TestLibrary::SQLite}, {"postgresql", TestLibrary::PostgreSQL}};
        const struct
        {
            const char* name;
            QDateTime at;
            const char* counted;
        } cases[] = {
            {"first day, midnight", QDateTime(QDate(2026, 3, 1), QTime(0, 0)), "1"},
            {"last day, 15:00", QDateTime(QDate(2026, 3, 31), QTime(15, 0)), "1"},
            {"last day, last second", QDateTime(QDate(2026, 3, 31), QTime(23, 59, 59)), "1"},
            {"day after, midnight", QDateTime(QDate(2026, 4, 1), QTime(0, 0)), "0"},
            {"day before, 23:59", QDateTime(QDate(2026, 2, 28), QTime(23, 59)), "0"},
        };
        for (const auto& [engineName, engine] : engines)
            for (const auto& c : cases)
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(engineName, c.name)))
                    << int(engine) << c.at << QString::fromLatin1(c.counted);
    }
    void readerRegistrationsOverWholeDays()
    {
        QFETCH(int, engine);
        QFETCH(QDateTime, registered);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        l.db().execute(QStringLiteral("insert into 读者库 (读者编号, 读者姓名, 登记日期) values "
                                      "(?, ?, ?)"),
                       {QStringLiteral("R1"), QStringLiteral("张三"), registered});
        TDataCheckFm screen;
        screen.range()->fromEdit()->setDate(QDate(2026, 3, 1));
        screen.range()->toEdit()->setDate(QDate(2026, 3, 31));
        screen.queryClick();
        QTEST(screen.figure(QStringLiteral("读者登记数:")), "counted");
    }
};

TUSHU_TEST(StatisticsTest)
#include "tst_Statistics.moc"
