#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/FileSystemKind.h"
#include "widgets/BarChart.h"
#include "widgets/DataGrid.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

namespace {
void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

// The texts of the shown headings, left to right.
QStringList shownTitles(const DataGrid& grid)
{
    const QHeaderView* h = grid.view()->horizontalHeader();
    QStringList titles;
    for (int visual = 0; visual < h->count(); ++visual) {
        const int logical = h->logicalIndex(visual);
        if (!h->isSectionHidden(logical))
            titles << grid.proxy()->headerData(logical, Qt::Horizontal).toString();
    }
    return titles;
}

// A click on the heading of a field, as the operator does it.
void clickHeading(DataGrid& grid, const QString& field)
{
    QHeaderView* h = grid.view()->horizontalHeader();
    const int logical = grid.model()->fieldIndex(field);
    QVERIFY(logical >= 0);
    grid.view()->scrollTo(grid.proxy()->index(0, logical));
    const QPoint at(h->sectionViewportPosition(logical) + h->sectionSize(logical) / 2,
                    h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
}

QStringList shownColumn(const DataGrid& grid, const QString& field)
{
    const int column = grid.model()->fieldIndex(field);
    QStringList out;
    for (int r = 0; r < grid.rowCount(); ++r)
        out << grid.proxy()->index(r, column).data().toString();
    return out;
}

void insertIncome(const Database& db, const QString& item, const Money& amount)
{
    db.execute(
        QStringLiteral("insert into 收入 (项目, 时间, 读者编号, 读者姓名, 金额, 管理员, 备注) "
                       "values (?, ?, ?, ?, ?, ?, ?)"),
        {item, QDate(2024, 3, 1), QStringLiteral("R0001"), QStringLiteral("张三"),
         QVariant::fromValue(amount), QStringLiteral("超级管理员"), QString()});
}

// A table of n rows: n, 类 (A, B, C in turn; every 7th NULL, every 11th empty), 金额 (n %
// 5 yuan) and 日期 (one of four days).
void makeFilterTable(const Database& db, int engine, int n)
{
    db.execute(QStringLiteral("create table 筛选表 (n integer, 类 text, 金额 numeric(19,4), "
                              "日期 date)"));
    const QString pick = QStringLiteral(
        "x, case when x % 7 = 0 then null when x % 11 = 0 then '' when x % 3 = 0 then 'A' "
        "when x % 3 = 1 then 'B' else 'C' end, x % 5, ");
    if (engine == TestLibrary::SQLite)
        db.execute(QStringLiteral("with recursive c(x) as (select 1 union all select x + 1 from c "
                                  "where x < ?) insert into 筛选表 select ") +
                       pick +
                       QStringLiteral("date('2024-03-01', '+' || (x % 4) || ' days') from c"),
                   {n});
    else
        db.execute(
            QStringLiteral("insert into 筛选表 select ") + pick +
                QStringLiteral("date '2024-03-01' + (x % 4) from generate_series(1, ?) as x"),
            {n});
}

int countWhere(const Database& db, const QString& condition)
{
    return db.scalar(QStringLiteral("select count(*) from 筛选表 where ") + condition).toInt();
}

QStringList texts(const QVariantList& values)
{
    QStringList out;
    for (const QVariant& v : values)
        out << (v.isNull() ? QStringLiteral("<null>") : v.toString());
    return out;
}

QListWidget* filterList(DataGrid& grid)
{
    return grid.findChild<QListWidget*>(QStringLiteral("headerFilterList"));
}

QStringList listTexts(QListWidget* list)
{
    QStringList out;
    for (int i = 0; list && i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}
} // namespace

class DataGridTest : public QObject
{
    Q_OBJECT
private slots:
    void columnsTitledOrderedAndHidden()
    {
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        DataGrid grid;
        grid.setColumns({{QStringLiteral("读者编号"), {}},
                         {QStringLiteral("读者姓名"), {}},
                         {QStringLiteral("单位部门"), QStringLiteral("部门")},
                         {QStringLiteral("班级"), {}},
                         {QStringLiteral("状态"), {}}});
        grid.setQuery(lib.db(), QStringLiteral("select * from 读者库"));
        QCOMPARE(shownTitles(grid), (QStringList{QStringLiteral("读者编号"),
                                                 QStringLiteral("读者姓名"), QStringLiteral("部门"),
                                                 QStringLiteral("班级"), QStringLiteral("状态")}));
        QVERIFY(!grid.isColumnShown(QStringLiteral("卡内金额")));
        grid.setColumnHidden(QStringLiteral("班级"), true);
        QCOMPARE(shownTitles(grid).size(), 4);
        QVERIFY(!grid.isColumnShown(QStringLiteral("班级")));
        // The order and the hidden column survive a new statement.
        grid.setQuery(lib.db(), QStringLiteral("select * from 读者库 where 性别 = ?"),
                      {QStringLiteral("女")});
        QCOMPARE(shownTitles(grid).first(), QStringLiteral("读者编号"));
        QVERIFY(!grid.isColumnShown(QStringLiteral("班级")));
        // Hidden values stay readable by the screen.
        QVERIFY(grid.rowCount() > 0);
        QVERIFY(grid.currentValue(QStringLiteral("卡内金额")).isValid());
    }

    // A click on a heading sorts by that column's value: money as amounts, not as text.
    void sortsByHeading_data() { addEngines(); }
    void sortsByHeading()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("update 图书 set 价格 = ? where 编号 = ?"),
                         {QVariant::fromValue(Money::fromYuan(9)), QStringLiteral("B0001")});
        lib.db().execute(QStringLiteral("update 图书 set 价格 = ? where 编号 = ?"),
                         {QVariant::fromValue(Money::fromYuan(100)), QStringLiteral("B0002")});
        DataGrid grid;
        grid.resize(1200, 600);
        grid.show();
        grid.setQuery(lib.db(), QStringLiteral("select * from 图书"));
        const int total = grid.rowCount();
        const QString current = grid.currentValue(QStringLiteral("编号")).toString();
        clickHeading(grid, QStringLiteral("价格"));
        QCOMPARE(grid.rowCount(), total);
        Money last = Money::fromUnits(std::numeric_limits<int64_t>::min());
        for (int r = 0; r < grid.rowCount(); ++r) {
            const Money m = DbValue::toMoney(grid.value(r, QStringLiteral("价格")));
            QVERIFY2(m >= last, qPrintable(m.toString()));
            last = m;
        }
        QCOMPARE(last, Money::fromYuan(100));
        clickHeading(grid, QStringLiteral("价格")); // again: descending
        QCOMPARE(DbValue::toMoney(grid.value(0, QStringLiteral("价格"))), Money::fromYuan(100));
        QCOMPARE(grid.value(0, QStringLiteral("编号")).toString(), QStringLiteral("B0002"));
        // The current row stays on the same book, wherever the sort puts it.
        QCOMPARE(grid.currentValue(QStringLiteral("编号")).toString(), current);
        QCOMPARE(grid.view()->selectionModel()->selectedRows().size(), 1);
    }

    // A click on a heading sorts the rows shown, never other rows: "the first n rows" of a
    // statement without an order stay those rows, though not all are read yet.
    void sortKeepsTheRowsOfALimitedStatement_data() { addEngines(); }
    void sortKeepsTheRowsOfALimitedStatement()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        for (int i = 1; i <= 20; ++i)
            lib.db().execute(QStringLiteral("insert into 图书 (编号, 数量) values (?, ?)"),
                             {QStringLiteral("N%1").arg(i, 2, 10, QLatin1Char('0')), i});
        DataGrid grid;
        grid.model()->setChunkSize(2);
        grid.setQuery(lib.db(), lib.db().limited(QStringLiteral("select * from 图书"), 5));
        QVERIFY(!grid.model()->allFetched());
        grid.model()->fetchAll();
        QStringList shown;
        for (int r = 0; r < grid.rowCount(); ++r)
            shown << grid.value(r, QStringLiteral("编号")).toString();
        grid.setQuery(lib.db(), lib.db().limited(QStringLiteral("select * from 图书"), 5));
        grid.view()->sortByColumn(grid.model()->fieldIndex(QStringLiteral("数量")),
                                  Qt::DescendingOrder);
        QStringList sorted;
        for (int r = 0; r < grid.rowCount(); ++r)
            sorted << grid.value(r, QStringLiteral("编号")).toString();
        QCOMPARE(sorted.size(), 5);
        std::sort(shown.begin(), shown.end(), std::greater<QString>());
        QCOMPARE(sorted, shown);
    }

    // Rows handed over as a list sort in memory by value; ties keep their order.
    void sortsListRowsByValue()
    {
        DataGrid grid;
        grid.setRows({QStringLiteral("名称"), QStringLiteral("价格"), QStringLiteral("入库时间")},
                     {{QStringLiteral("甲"), 9.5, QStringLiteral("2024-01-10")},
                      {QStringLiteral("乙"), 10, QStringLiteral("2023-12-31")},
                      {QStringLiteral("丙"), 0.25, QStringLiteral("2024-01-10")},
                      {QStringLiteral("丁"), QVariant(), QStringLiteral("2024-02-01")}});
        grid.view()->sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(shownColumn(grid, QStringLiteral("价格")),
                 (QStringList{QString(), QStringLiteral("0.25"), QStringLiteral("9.5"),
                              QStringLiteral("10")}));
        grid.view()->sortByColumn(2, Qt::DescendingOrder);
        QCOMPARE(shownColumn(grid, QStringLiteral("名称")),
                 (QStringList{QStringLiteral("丁"), QStringLiteral("丙"), QStringLiteral("甲"),
                              QStringLiteral("乙")}));
    }

    void filtersByValue()
    {
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        DataGrid grid;
        grid.addFooterCount(QStringLiteral("读者编号"));
        grid.setQuery(lib.db(), QStringLiteral("select * from 读者库"));
        const int all = grid.rowCount();
        const QString category = grid.value(0, QStringLiteral("类别")).toString();
        const int expected =
            lib.db()
                .scalar(QStringLiteral("select count(*) from 读者库 where 类别 = ?"), {category})
                .toInt();
        QVERIFY(expected > 0 && expected < all);
        grid.setFilter(QStringLiteral("类别"), category);
        QCOMPARE(grid.rowCount(), expected);
        for (int r = 0; r < grid.rowCount(); ++r)
            QCOMPARE(grid.value(r, QStringLiteral("类别")).toString(), category);
        QCOMPARE(grid.footerText(QStringLiteral("读者编号")), QString::number(expected));
        grid.setFilter(QStringLiteral("类别"), QString());
        QCOMPARE(grid.rowCount(), all);
        QCOMPARE(grid.footerText(QStringLiteral("读者编号")), QString::number(all));
        // A filter matches the shown text: yes/no and money as displayed.
        grid.setRows({QStringLiteral("金额"), QStringLiteral("启用租金功能")},
                     {{0.5, 1}, {0.5001, 0}, {0.5, 0}});
        grid.setFilter(QStringLiteral("启用租金功能"), QStringLiteral("否"));
        QCOMPARE(grid.rowCount(), 2);
        grid.setFilter(QStringLiteral("金额"), QStringLiteral("0.5"));
        QCOMPARE(grid.rowCount(), 1);
    }

    // A shown grid on a library held by one connection (a shared folder) counts its footers
    // on that connection: no second one could read the file.
    void footersOfALibraryHeldAlone()
    {
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const int readers = lib.db().scalar(QStringLiteral("select count(*) from 读者库")).toInt();
        const QString file = QDir(lib.dir()).absoluteFilePath(QStringLiteral("book.mdb"));
        lib.db().close();
        FileSystemKind::setCheck([](const QString&) { return true; });
        QString error;
        const bool opened = lib.db().openSqlite(file, false, &error);
        FileSystemKind::setCheck({});
        QVERIFY2(opened, qPrintable(error));
        DataGrid grid;
        grid.addFooterCount(QStringLiteral("读者编号"));
        grid.resize(800, 400);
        grid.show();
        grid.setQuery(lib.db(), QStringLiteral("select * from 读者库"));
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        // Counted on a second connection, it would find the file locked and show nothing.
        QCOMPARE(grid.footerText(QStringLiteral("读者编号")), QString::number(readers));
    }

    // Footer sums of money are exact: 0.1 + 0.2 is 0.3, whether the database sums the
    // statement or the grid sums the rows it shows.
    void footerSumsMoneyExactly_data() { addEngines(); }
    void footerSumsMoneyExactly()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("delete from 收入"));
        insertIncome(lib.db(), QStringLiteral("充值"), *Money::parse(QStringLiteral("0.1")));
        insertIncome(lib.db(), QStringLiteral("充值"), *Money::parse(QStringLiteral("0.2")));
        insertIncome(lib.db(), QStringLiteral("开户费"), Money::fromYuan(10));
        insertIncome(lib.db(), QStringLiteral("退款"), -*Money::parse(QStringLiteral("20.0001")));
        DataGrid grid;
        grid.addFooterCount(QStringLiteral("id"));
        grid.addFooterSum(QStringLiteral("金额"));
        grid.setQuery(lib.db(), QStringLiteral("select * from 收入"));
        QCOMPARE(grid.footerText(QStringLiteral("id")), QStringLiteral("4"));
        QCOMPARE(grid.footerText(QStringLiteral("金额")), QStringLiteral("-9.7001"));
        // The footer paints under its columns on a shown grid.
        grid.resize(700, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QVERIFY(!grid.grab().isNull());
        grid.setFilter(QStringLiteral("项目"), QStringLiteral("充值"));
        QCOMPARE(grid.footerText(QStringLiteral("金额")), QStringLiteral("0.3"));
        QCOMPARE(grid.footerSum(QStringLiteral("金额")).money(), Money::fromUnits(3000));
        // Over the statement, read lazily one row at a time, the database sums.
        grid.clearFilters();
        grid.model()->setChunkSize(1);
        grid.setQuery(lib.db(), QStringLiteral("select * from 收入 where 项目 = ?"),
                      {QStringLiteral("充值")});
        QVERIFY(!grid.model()->allFetched());
        QCOMPARE(grid.footerText(QStringLiteral("金额")), QStringLiteral("0.3"));
        QCOMPARE(grid.footerText(QStringLiteral("id")), QStringLiteral("2"));
        // Shown as whole numbers where a screen asks for it.
        DataGrid whole;
        whole.addFooterSum(QStringLiteral("金额"), FooterFormat::WholeNumber);
        whole.setQuery(lib.db(), QStringLiteral("select * from 收入"));
        QCOMPARE(whole.footerText(QStringLiteral("金额")), QStringLiteral("-10"));
    }

    // 10,000 amounts of 99999.9999 kept as REAL on SQLite: the footer, read through one
    // aggregate over whole ten-thousandths, is exact on both engines, also after a sort.
    // Printing reads only the fields it prints.
    void footerOfManyAmountsIsExact_data() { addEngines(); }
    void footerOfManyAmountsIsExact()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QString numbers =
            engine == TestLibrary::SQLite
                ? QStringLiteral("with recursive c(x) as (select 1 union all select x + 1 from c "
                                 "where x < 10000) ")
                : QString();
        const QString from = engine == TestLibrary::SQLite
                                 ? QStringLiteral("from c")
                                 : QStringLiteral("from generate_series(1, 10000) as x");
        lib.db().execute(numbers +
                             QStringLiteral("insert into 图书 (编号, 名称, 数量, 价格) "
                                            "select 'B' || x, 'n', 1, ? ") +
                             from,
                         {QVariant::fromValue(*Money::parse(QStringLiteral("99999.9999")))});
        DataGrid grid;
        grid.addFooterCount(QStringLiteral("编号"));
        grid.addFooterSum(QStringLiteral("价格"));
        grid.addFooterSum(QStringLiteral("数量"));
        grid.setQuery(lib.db(), QStringLiteral("select * from 图书"));
        QVERIFY(!grid.model()->allFetched());
        QCOMPARE(grid.footerText(QStringLiteral("价格")), QStringLiteral("999999999"));
        QCOMPARE(grid.footerText(QStringLiteral("编号")), QStringLiteral("10000"));
        QCOMPARE(grid.footerText(QStringLiteral("数量")), QStringLiteral("10000"));
        // Rows added meanwhile count after a refresh; a sort of so many rows goes to the
        // database and leaves the footers as they are.
        lib.db().execute(QStringLiteral("insert into 图书 (编号, 名称, 数量, 价格) select 'C' || "
                                        "编号, 名称, 数量, 价格 from 图书"));
        grid.refresh();
        QCOMPARE(grid.footerText(QStringLiteral("价格")), QStringLiteral("1999999998"));
        QCOMPARE(grid.footerText(QStringLiteral("编号")), QStringLiteral("20000"));
        grid.view()->sortByColumn(grid.model()->fieldIndex(QStringLiteral("编号")),
                                  Qt::DescendingOrder);
        QCOMPARE(grid.value(0, QStringLiteral("编号")).toString(), QStringLiteral("CB9999"));
        QCOMPARE(grid.footerText(QStringLiteral("价格")), QStringLiteral("1999999998"));
        const ReportRows rows = grid.reportRows({QStringLiteral("编号"), QStringLiteral("价格")});
        QCOMPARE(rows.fields(), (QStringList{QStringLiteral("编号"), QStringLiteral("价格")}));
        QVERIFY(rows.isStreamed()); // read as the pages print, not here
        QCOMPARE(rows.count(), 20000);
        QCOMPARE(rows.value(0, QStringLiteral("编号")).toString(), QStringLiteral("CB9999"));
        QCOMPARE(grid.model()->rowCount(), grid.model()->chunkSize()); // the grid read no more
        // The export query is new each time and reads on every engine.
        std::optional<QSqlQuery> q = grid.exportQuery({QStringLiteral("编号")});
        QVERIFY(q);
        QVERIFY(q->next());
        QCOMPARE(q->value(0).toString(), QStringLiteral("CB9999"));
    }

    // A large result shows its first chunk without reading the rest.
    void readsLargeResultsLazily_data() { addEngines(); }
    void readsLargeResultsLazily()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const int rows = 100000;
        lib.db().execute(QStringLiteral("create table 大表 (n integer, 金额 numeric(19,4))"));
        if (engine == TestLibrary::SQLite)
            lib.db().execute(QStringLiteral("with recursive c(x) as (select 1 union all select x + "
                                            "1 from c where x < ?) insert into 大表 select x, x * "
                                            "0.01 from c"),
                             {rows});
        else
            lib.db().execute(QStringLiteral("insert into 大表 select x, x * 0.01 from "
                                            "generate_series(1, ?) as x"),
                             {rows});
        DataGrid grid;
        grid.addFooterCount(QStringLiteral("n"));
        grid.addFooterSum(QStringLiteral("金额"));
        grid.setFieldKind(QStringLiteral("金额"), FieldKind::Money);
        grid.setQuery(lib.db(), QStringLiteral("select * from 大表 order by n"));
        const int chunk = grid.model()->chunkSize();
        QCOMPARE(grid.model()->rowCount(), chunk);
        QVERIFY(grid.model()->canFetchMore());
        // The footer tells the whole result without reading it: 1..n times 0.01.
        QCOMPARE(grid.footerText(QStringLiteral("n")), QString::number(rows));
        QCOMPARE(grid.footerText(QStringLiteral("金额")),
                 Money::fromUnits(qint64(rows) * (rows + 1) / 2 * 100).toString());
        QCOMPARE(grid.model()->rowCount(), chunk);
        // Other statements on the same connection between two chunks leave the reading intact.
        QCOMPARE(
            lib.db().scalar(QStringLiteral("select count(*) from 大表 where n <= ?"), {10}).toInt(),
            10);
        grid.model()->fetchMore();
        QCOMPARE(grid.model()->rowCount(), 2 * chunk);
        for (int r = 0; r < 2 * chunk; ++r)
            QCOMPARE(grid.model()->value(r, 0).toInt(), r + 1);
        // Sorting a result not read to the end asks the database for the order.
        grid.view()->sortByColumn(0, Qt::DescendingOrder);
        QCOMPARE(grid.model()->rowCount(), chunk);
        QCOMPARE(grid.value(0, QStringLiteral("n")).toInt(), rows);
        QCOMPARE(grid.currentValue(QStringLiteral("n")).toInt(), rows);
    }

    void currentRowFollowsSelection()
    {
        DataGrid grid;
        QSignalSpy changed(&grid, &DataGrid::currentRowChanged);
        QSignalSpy activated(&grid, &DataGrid::rowActivated);
        grid.setRows({QStringLiteral("编号"), QStringLiteral("名称")},
                     {{QStringLiteral("B1"), QStringLiteral("一")},
                      {QStringLiteral("B2"), QStringLiteral("二")},
                      {QStringLiteral("B3"), QStringLiteral("三")}});
        QCOMPARE(grid.currentRow(), 0);
        QCOMPARE(changed.last().at(0).toInt(), 0);
        grid.setCurrentRow(2);
        QCOMPARE(changed.last().at(0).toInt(), 2);
        QCOMPARE(grid.currentValue(QStringLiteral("编号")).toString(), QStringLiteral("B3"));
        QCOMPARE(grid.view()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(grid.view()->selectionModel()->selectedRows().first().row(), 2);
        grid.view()->setFocus();
        QTest::keyClick(grid.view(), Qt::Key_Up);
        QCOMPARE(grid.currentValue(QStringLiteral("名称")).toString(), QStringLiteral("二"));
        QTest::keyClick(grid.view(), Qt::Key_Return);
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.last().at(0).toInt(), 1);
        grid.setRows({QStringLiteral("编号")}, {});
        QCOMPARE(grid.currentRow(), -1);
        QCOMPARE(changed.last().at(0).toInt(), -1);
        QVERIFY(!grid.currentValue(QStringLiteral("编号")).isValid());
    }

    // Values show as a librarian reads them.
    void valuesShownForLibrarians()
    {
        DataGrid grid;
        grid.setFieldKind(QStringLiteral("总价格"), FieldKind::Money);
        grid.setRows({QStringLiteral("价格"), QStringLiteral("总价格"), QStringLiteral("入库时间"),
                      QStringLiteral("登记日期"), QStringLiteral("启用租金功能"),
                      QStringLiteral("已还")},
                     {{12.5, 0.30000000000000004, QStringLiteral("2024-03-05 00:00:00"),
                       QStringLiteral("2024-03-05 08:09:10"), 1, QStringLiteral("否")},
                      {QVariant(), 3, QDate(2023, 1, 2), QVariant(), false, QStringLiteral("是")}});
        const auto shown = [&](int row) {
            QStringList out;
            for (int c = 0; c < grid.model()->columnCount(); ++c)
                out << grid.proxy()->index(row, c).data().toString();
            return out;
        };
        QCOMPARE(shown(0),
                 (QStringList{QStringLiteral("12.5"), QStringLiteral("0.3"),
                              QStringLiteral("2024-03-05"), QStringLiteral("2024-03-05 08:09:10"),
                              QStringLiteral("是"), QStringLiteral("否")}));
        QCOMPARE(shown(1),
                 (QStringList{QString(), QStringLiteral("3"), QStringLiteral("2023-01-02"),
                              QString(), QStringLiteral("否"), QStringLiteral("是")}));
    }

    // The rows a list report of the grid prints: all of them, as shown.
    void reportRowsFollowFilterAndOrder()
    {
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        DataGrid grid;
        grid.model()->setChunkSize(3);
        grid.setQuery(lib.db(), QStringLiteral("select 编号, 名称, 数量 from 图书 order by 编号"));
        const int all = lib.db().scalar(QStringLiteral("select count(*) from 图书")).toInt();
        QVERIFY(all > 3);
        grid.view()->sortByColumn(0, Qt::DescendingOrder);
        const ReportRows rows = grid.reportRows();
        QCOMPARE(rows.count(), all);
        QCOMPARE(rows.value(0, QStringLiteral("编号")).toString(),
                 lib.db().scalar(QStringLiteral("select max(编号) from 图书")).toString());
    }

    // A header filter on a statement the grid holds only part of: the choices and the
    // filtered rows come from the database, the grid never reads every row.
    void headerFilterAsksTheDatabase_data() { addEngines(); }
    void headerFilterAsksTheDatabase()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const int n = 3000;
        makeFilterTable(lib.db(), engine, n);
        DataGrid grid;
        grid.setHeaderFilterEnabled(true);
        grid.addFooterCount(QStringLiteral("n"));
        grid.addFooterSum(QStringLiteral("金额"));
        grid.model()->setChunkSize(50);
        grid.setQuery(lib.db(), QStringLiteral("select * from 筛选表"));
        GridModel* model = grid.model();
        QCOMPARE(model->rowCount(), 50);

        // NULL and empty text are one choice; the others in order.
        bool more = true;
        QVariantList kinds = model->distinctValues(QStringLiteral("类"), {}, 200, &more);
        QVERIFY(!more);
        QCOMPARE(kinds.size(), 4);
        QStringList named = texts(kinds);
        QCOMPARE(named.removeIf([](const QString& t) { return t == "<null>" || t.isEmpty(); }), 1);
        QCOMPARE(named, (QStringList{"A", "B", "C"}));
        // At most the limit, with word that more are left; a search finds the others, by
        // their text, as plain characters.
        const QVariantList numbers = model->distinctValues(QStringLiteral("n"), {}, 200, &more);
        QVERIFY(more);
        QCOMPARE(numbers.size(), 200);
        QCOMPARE(numbers.first().toInt(), 1);
        QCOMPARE(
            texts(model->distinctValues(QStringLiteral("n"), QStringLiteral("2999"), 200, &more)),
            QStringList{"2999"});
        QVERIFY(!more);
        QVERIFY(model->distinctValues(QStringLiteral("n"), QStringLiteral("%"), 200).isEmpty());
        QCOMPARE(model->distinctValues(QStringLiteral("类"), QStringLiteral("b"), 200).size(), 1);
        QCOMPARE(model->rowCount(), 50); // nothing more was read for the choices

        // Filtering runs the statement again with the condition; footers count and sum it.
        grid.setValueFilter(QStringLiteral("类"), QVariant(QStringLiteral("B")));
        const int b = countWhere(lib.db(), QStringLiteral("类 = 'B'"));
        QVERIFY(b > 50);
        QVERIFY(grid.isFiltered(QStringLiteral("类")));
        QVERIFY(!model->allFetched());
        QCOMPARE(grid.rowCount(), 50);
        for (int r = 0; r < grid.rowCount(); ++r)
            QCOMPARE(grid.value(r, QStringLiteral("类")).toString(), QStringLiteral("B"));
        QCOMPARE(grid.footerText(QStringLiteral("n")), QString::number(b));
        QCOMPARE(grid.footerSum(QStringLiteral("金额")).money(),
                 *Money::fromVariant(lib.db().scalar(
                     QStringLiteral("select sum(金额) from 筛选表 where 类 = 'B'"))));
        // A second filter narrows it; the choices of a column honour the other filters.
        const QVariantList days = model->distinctValues(QStringLiteral("日期"), {}, 200);
        QCOMPARE(days.size(), 4);
        grid.setValueFilter(QStringLiteral("日期"), days.at(1));
        const int bOnDay = countWhere(lib.db(), QStringLiteral("类 = 'B' and 日期 = '2024-03-02'"));
        QCOMPARE(grid.footerText(QStringLiteral("n")), QString::number(bOnDay));
        QCOMPARE(model->distinctValues(QStringLiteral("类"), {}, 200).size(), 4);
        QCOMPARE(model->distinctValues(QStringLiteral("日期"), {}, 200).size(), 4);
        const QVariantList amounts = model->distinctValues(QStringLiteral("金额"), {}, 200);
        QCOMPARE(amounts.size(),
                 lib.db()
                     .scalar(QStringLiteral("select count(distinct 金额) from 筛选表 where 类 = "
                                            "'B' and 日期 = '2024-03-02'"))
                     .toInt());
        // Printing and export see the filtered rows.
        QCOMPARE(grid.reportRows({QStringLiteral("n")}).count(), bOnDay);
        std::optional<QSqlQuery> exported = grid.exportQuery({QStringLiteral("类")});
        QVERIFY(exported);
        int exportedRows = 0;
        while (exported->next()) {
            QCOMPARE(exported->value(0).toString(), QStringLiteral("B"));
            ++exportedRows;
        }
        QCOMPARE(exportedRows, bOnDay);
        // The blank choice finds NULL and empty text; a value is a bound value, never SQL.
        grid.setValueFilter(QStringLiteral("日期"), std::nullopt);
        grid.setValueFilter(QStringLiteral("类"), QVariant());
        QCOMPARE(grid.footerText(QStringLiteral("n")),
                 QString::number(countWhere(lib.db(), QStringLiteral("类 is null or 类 = ''"))));
        grid.setValueFilter(QStringLiteral("类"), QVariant(QStringLiteral("B' or '1'='1")));
        QCOMPARE(grid.rowCount(), 0);
        QCOMPARE(grid.footerText(QStringLiteral("n")), QStringLiteral("0"));
        // Lifted, the whole statement again, still read lazily.
        grid.setValueFilter(QStringLiteral("类"), std::nullopt);
        QVERIFY(!grid.isFiltered(QStringLiteral("类")));
        QCOMPARE(grid.footerText(QStringLiteral("n")), QString::number(n));
        QCOMPARE(model->rowCount(), 50);
        // A new statement starts unfiltered.
        grid.setValueFilter(QStringLiteral("类"), QVariant(QStringLiteral("A")));
        grid.setQuery(lib.db(), QStringLiteral("select * from 筛选表 where n <= ?"), {10});
        QVERIFY(!grid.isFiltered(QStringLiteral("类")));
        QCOMPARE(grid.footerText(QStringLiteral("n")), QStringLiteral("10"));
    }

    // The popup of a heading: "(全部)" and the values as shown, a search box that asks again,
    // a note when values were left out; a click filters and closes it.
    void headerFilterPopup()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        makeFilterTable(lib.db(), TestLibrary::SQLite, 1500);
        DataGrid grid;
        grid.setHeaderFilterEnabled(true);
        grid.addFooterCount(QStringLiteral("n"));
        grid.setFieldKind(QStringLiteral("金额"), FieldKind::Money);
        grid.setQuery(lib.db(), QStringLiteral("select * from 筛选表"));
        grid.resize(600, 400);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(grid.proxy()->headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 QStringLiteral("单击标题排序,右键单击标题按值筛选"));

        grid.showHeaderFilter(QStringLiteral("金额"));
        QListWidget* list = filterList(grid);
        QVERIFY(list);
        QCOMPARE(listTexts(list), (QStringList{"(全部)", "0", "1", "2", "3", "4"}));
        QCOMPARE(list->accessibleName(), QStringLiteral("筛选"));
        auto* search = grid.findChild<QLineEdit*>(QStringLiteral("headerFilterSearch"));
        QCOMPARE(search->accessibleName(), QStringLiteral("查找"));
        list->itemClicked(list->item(3));
        QTRY_VERIFY(!filterList(grid));
        QCOMPARE(grid.footerText(QStringLiteral("n")),
                 QString::number(countWhere(lib.db(), QStringLiteral("金额 = 2"))));

        grid.showHeaderFilter(QStringLiteral("n"));
        list = filterList(grid);
        QCOMPARE(list->count(), 1 + DataGrid::kFilterChoices);
        auto* note = grid.findChild<QLabel*>(QStringLiteral("headerFilterNote"));
        QVERIFY(note->isVisible());
        QVERIFY(note->text().contains(QString::number(DataGrid::kFilterChoices)));
        search = grid.findChild<QLineEdit*>(QStringLiteral("headerFilterSearch"));
        QTest::keyClicks(search, QStringLiteral("1497"));
        QTRY_COMPARE(listTexts(filterList(grid)), (QStringList{"(全部)", "1497"}));
        QVERIFY(!note->isVisible());
        // 1497 % 5 is 2: the filter on 金额 still holds beside the new one.
        filterList(grid)->itemClicked(filterList(grid)->item(1));
        QTRY_VERIFY(!filterList(grid));
        QCOMPARE(grid.rowCount(), 1);
        QCOMPARE(grid.value(0, QStringLiteral("n")).toInt(), 1497);

        grid.showHeaderFilter(QStringLiteral("类"));
        QCOMPARE(listTexts(filterList(grid)).first(), QStringLiteral("(全部)"));
        filterList(grid)->itemClicked(filterList(grid)->item(0));
        QTRY_VERIFY(!filterList(grid));
        QVERIFY(grid.isFiltered(QStringLiteral("n")));
        grid.clearFilters();
        QCOMPARE(grid.footerText(QStringLiteral("n")), QStringLiteral("1500"));
    }

    // Rows handed over as a list filter here, by the value as shown; a blank choice finds
    // the empty and NULL values.
    void headerFilterOnListRows()
    {
        DataGrid grid;
        grid.setHeaderFilterEnabled(true);
        grid.setRows({QStringLiteral("项目"), QStringLiteral("金额")},
                     {{QStringLiteral("充值"), 0.5},
                      {QStringLiteral("退款"), 0.5001},
                      {QVariant(), 1},
                      {QString(), 2},
                      {QStringLiteral("充值"), 3}});
        bool more = true;
        QCOMPARE(texts(grid.model()->distinctValues(QStringLiteral("项目"), {}, 10, &more)),
                 (QStringList{"<null>", "充值", "退款"}));
        QVERIFY(!more);
        QCOMPARE(grid.model()->distinctValues(QStringLiteral("金额"), {}, 2, &more).size(), 2);
        QVERIFY(more);
        grid.setValueFilter(QStringLiteral("项目"), QVariant(QStringLiteral("充值")));
        QCOMPARE(shownColumn(grid, QStringLiteral("金额")), (QStringList{"0.5", "3"}));
        grid.setValueFilter(QStringLiteral("项目"), QVariant());
        QCOMPARE(shownColumn(grid, QStringLiteral("金额")), (QStringList{"1", "2"}));
        grid.setValueFilter(QStringLiteral("项目"), std::nullopt);
        QCOMPARE(grid.rowCount(), 5);
    }
};

class BarChartTest : public QObject
{
    Q_OBJECT
private slots:
    void barsInRowOrderWithLabels()
    {
        BarChart chart;
        chart.setTitle(QStringLiteral("借阅次数排行"));
        chart.setBars({{QStringLiteral("红楼梦"), 7},
                       {QStringLiteral("三国演义"), 9},
                       {QStringLiteral("红楼梦"), 2}});
        QCOMPARE(chart.title(), QStringLiteral("借阅次数排行"));
        const auto* series = qobject_cast<QBarSeries*>(chart.chart()->series().value(0));
        QVERIFY(series);
        QCOMPARE(series->barSets().size(), 1);
        const QBarSet* set = series->barSets().first();
        QCOMPARE(set->count(), 3);
        QCOMPARE(set->at(0), 7.0);
        QCOMPARE(set->at(1), 9.0);
        QCOMPARE(set->at(2), 2.0);
        const auto axes = chart.chart()->axes(Qt::Horizontal);
        QCOMPARE(axes.size(), 1);
        const QStringList categories = qobject_cast<QBarCategoryAxis*>(axes.first())->categories();
        // One category per bar, even for a repeated title; the labels read as given.
        QCOMPARE(categories.size(), 3);
        QCOMPARE(categories.at(0), QStringLiteral("红楼梦"));
        QCOMPARE(categories.at(1), QStringLiteral("三国演义"));
        QCOMPARE(categories.at(2).trimmed(), QStringLiteral("红楼梦"));
    }

    void barsFromQuery()
    {
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("update 图书 set 借出次数 = 50 where 编号 = ?"),
                         {QStringLiteral("B0003")});
        const QString sql = lib.db().limited(
            QStringLiteral("select 名称, 借出次数 from 图书 order by 借出次数 desc, 编号"), 12);
        BarChart chart;
        chart.setQuery(lib.db(), sql, {}, QStringLiteral("名称"), QStringLiteral("借出次数"));
        QSqlQuery q = lib.db().query(sql);
        QStringList labels;
        QList<double> values;
        while (q.next()) {
            labels << q.value(0).toString();
            values << q.value(1).toDouble();
        }
        QCOMPARE(labels.size(), 12);
        QCOMPARE(chart.labels(), labels);
        QCOMPARE(chart.values(), values);
        QCOMPARE(chart.values().first(), 50.0);
        QVERIFY_THROWS_EXCEPTION(DbError, chart.setQuery(lib.db(), sql, {}, QStringLiteral("名称"),
                                                         QStringLiteral("没有")));
    }
};

TUSHU_TEST(DataGridTest)
TUSHU_TEST(BarChartTest)
#include "tst_DataGrid.moc"
