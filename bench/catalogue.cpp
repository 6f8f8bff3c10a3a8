// The catalogue on a large library: opening the book list (first rows, totals line and
// footers), "精确" on 编号 and on 名称, "模糊" with a rare and a common term, sorting by a
// heading, an edit save, a stock change with its log row, a guarded delete, a one-month
// accession list, a header filter's choices and filtered list, the export of a 100,000-row
// search and the peak memory of printing 100,000 rows; each against the least SQL for the
// same result on the raw connection.
//
//     bench_catalogue [--scale S] [--runs N] [--dir DIR]
//
// Scale 1 is 1,000,000 books and 200,000 loans in an SQLite book.mdb.
#include "BenchLists.h"
#include "XlsxFloor.h"
#include "catalogue/BkRegUt.h"
#include "catalogue/BkSearchUt.h"
#include "catalogue/CatalogueItems.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/ExcelExport.h"
#include "data/ListSearch.h"
#include "data/LoginState.h"
#include "data/Schema.h"
#include "widgets/DataGrid.h"
#include "widgets/GridModel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <malloc.h>

namespace {
using Bench::Line;
using Bench::measure;
using Bench::readRows;
using Bench::scalarRow;
using Bench::Timing;

QString bookNumber(int i)
{
    return QStringLiteral("B%1").arg(i, 7, 10, QLatin1Char('0'));
}

// Every tenth title holds the common term, one in 100,000 the rare one.
QString title(int i)
{
    if (i % 100000 == 7)
        return QStringLiteral("孤本%1").arg(i);
    return (i % 10 == 3 ? QStringLiteral("中国历史") : QStringLiteral("图书")) + QString::number(i);
}

void generate(const Database& db, int books, int loans)
{
    QRandomGenerator random(20260314);
    const QDate today = Clock::today();
    Bench::fillThenIndex(db, [&] {
        QSqlQuery b(db.handle());
        b.prepare(
            QStringLiteral("insert into 图书 (编号, 名称, 条形码, 分类, 存放位置, 数量, 价格, "
                           "入库时间, 借出次数, 状态, 物品级别, 出版社, 作者, 索书号, "
                           "分类号, py) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                           "?)"));
        for (int i = 1; i <= books; ++i) {
            const QVariantList v{bookNumber(i),
                                 title(i),
                                 QStringLiteral("69%1").arg(i, 10, 10, QLatin1Char('0')),
                                 QStringLiteral("分类%1").arg(i % 10),
                                 QStringLiteral("二楼书库"),
                                 1 + int(random.bounded(10)),
                                 double(1 + random.bounded(9999)) / 100,
                                 today.addDays(-int(random.bounded(1095))).toString(Qt::ISODate),
                                 int(random.bounded(50)),
                                 QStringLiteral("正常"),
                                 QStringLiteral("普通"),
                                 QStringLiteral("中华书局"),
                                 QStringLiteral("作者%1").arg(i % 5000),
                                 QStringLiteral("I24/%1").arg(i),
                                 QStringLiteral("I24"),
                                 QStringLiteral("TS")};
            for (int k = 0; k < v.size(); ++k)
                b.bindValue(k, v[k]);
            if (!b.exec())
                throw DbError(b.lastError().text());
        }
        QSqlQuery l(db.handle());
        l.prepare(
            QStringLiteral("insert into 借出记录 (读者编号, 编号, 名称, 类别, 已还, 借阅日期) "
                           "values (?, ?, ?, '图书', ?, ?)"));
        for (int i = 0; i < loans; ++i) {
            const int book = 1 + int(random.bounded(books));
            const QVariantList v{QStringLiteral("R%1").arg(i % 1000), bookNumber(book), title(book),
                                 i % 4 == 0 ? QStringLiteral("否") : QStringLiteral("是"),
                                 today.addDays(-int(random.bounded(365))).toString(Qt::ISODate)};
            for (int k = 0; k < v.size(); ++k)
                l.bindValue(k, v[k]);
            if (!l.exec())
                throw DbError(l.lastError().text());
        }
    });
}

void setCondition(TBkSearchFm& screen, const QString& column, const QString& value, bool exact)
{
    screen.findChild<QComboBox*>(QStringLiteral("columnBox"))->setCurrentText(column);
    screen.findChild<QLineEdit*>(QStringLiteral("valueEdit"))->setText(value);
    screen
        .findChild<QRadioButton*>(exact ? QStringLiteral("exactButton")
                                        : QStringLiteral("containsButton"))
        ->setChecked(true);
}

void firstRowsAndFooters(DataGrid* grid)
{
    Bench::firstRowsAndFooters(grid, QStringLiteral("数量"), QStringLiteral("名称"));
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto [scale, runs, dir] = Bench::options(app.arguments(), 200);
    const int books = std::max(20000, int(1000000 * scale));
    const int loans = std::max(4000, int(200000 * scale));
    Clock::setNow(QDateTime(QDate(2026, 3, 14), QTime(9, 0)));
    QTemporaryDir temp;
    Database& db = Database::shared();
    const QString path = Bench::openNewLibrary(db, dir, temp);
    if (path.isEmpty())
        return 1;
    LoginState& login = LoginState::instance();
    login.OperatorName = QStringLiteral("甲");
    login.rights.qxbkxg = login.rights.qxdel = login.rights.qxModifyStock = true;
    try {
        Schema::create(db);
        // Made as a library from before the text index: the first opening builds it.
        const auto dropTextIndexes = [&] {
            for (const Schema::TextIndex& ix : Schema::textIndexes()) {
                for (const char* trigger : {"_ai", "_ad", "_au"})
                    db.execute(QStringLiteral("drop trigger %1%2").arg(ix.ftsTable, trigger));
                db.execute(QStringLiteral("drop table %1").arg(ix.ftsTable));
            }
        };
        dropTextIndexes();
        const double generated = Bench::timed([&] { generate(db, books, loans); });
        std::printf("generated %d books and %d loans in %.1f s: %s\n", books, loans,
                    generated / 1000, qPrintable(path));
        const double textIndexBuilt = Bench::timed([&] { Schema::addMissing(db); });
        std::printf("text index built on first opening in %.1f s\n", textIndexBuilt / 1000);
        std::fflush(stdout);
        QRandomGenerator random(11);
        const auto randomBook = [&] { return 1 + int(random.bounded(books)); };
        QList<Line> rows;
        const int listRuns = std::max(3, runs / 10);

        const QString totals =
            QStringLiteral("select count(编号), sum(数量), sum(数量 * cast(round(价格 * 10000) as "
                           "integer)) from 图书");
        rows.append(
            {QStringLiteral("open TBkSearchFm"),
             measure(listRuns,
                     [&](int) {
                         TBkSearchFm screen;
                         screen.show();
                         firstRowsAndFooters(screen.grid());
                     }),
             measure(listRuns,
                     [&](int) {
                         readRows(db.query(QStringLiteral("select * from 图书 limit 500")), 256);
                         scalarRow(db, QStringLiteral("select count(*), sum(数量) from (select * "
                                                      "from 图书 limit 500) t"));
                         scalarRow(db, totals);
                     }),
             300, false});

        TBkSearchFm screen;
        screen.show();
        const auto search = [&](const QString& name, const QString& column,
                                const std::function<QString()>& value, bool exact, int n) {
            QString v;
            const auto [ours, floor] = Bench::alternating(
                n, [&](int) { v = value(); },
                [&](int) {
                    setCondition(screen, column, v, exact);
                    screen.search();
                    firstRowsAndFooters(screen.grid());
                },
                [&](int) {
                    const QString where = exact ? column + QStringLiteral(" = ?")
                                                : QStringLiteral("lower(%1) like lower(?) escape "
                                                                 "'\\'")
                                                      .arg(column);
                    const QVariantList values{exact ? v : QStringLiteral("%") + v + "%"};
                    readRows(db.query(QStringLiteral("select * from 图书 where ") + where, values),
                             256);
                    scalarRow(db,
                              QStringLiteral("select count(*), sum(数量) from 图书 where ") + where,
                              values);
                });
            rows.append({name, ours, floor, 300, false});
        };
        search(
            QStringLiteral("精确 on 编号"), QStringLiteral("编号"),
            [&] { return bookNumber(randomBook()); }, true, runs);
        search(
            QStringLiteral("精确 on 名称"), QStringLiteral("名称"),
            [&] { return title(randomBook()); }, true, runs);
        search(
            QStringLiteral("模糊 rare term (孤本)"), QStringLiteral("名称"),
            [] { return QStringLiteral("孤本"); }, false, listRuns);
        search(
            QStringLiteral("模糊 common term (历史)"), QStringLiteral("名称"),
            [] { return QStringLiteral("历史"); }, false, listRuns);

        // "模糊" served by the text index; the floor is the text index's own query for the
        // same rows, without the like that keeps the rows exactly.
        const auto indexedSearch = [&](const QString& name, const QString& term) {
            const QString fts = QStringLiteral(
                " where rowid in (select rowid from 图书检索 where 图书检索 match ?)");
            const QVariantList values{ListSearch::textIndexQuery({QStringLiteral("名称")}, term)};
            const auto [ours, floor] = Bench::alternating(
                listRuns, [](int) {},
                [&](int) {
                    setCondition(screen, QStringLiteral("名称"), term, false);
                    screen.search();
                    firstRowsAndFooters(screen.grid());
                },
                [&](int) {
                    readRows(db.query(QStringLiteral("select * from 图书") + fts, values), 256);
                    scalarRow(db, QStringLiteral("select count(*), sum(数量) from 图书") + fts,
                              values);
                });
            rows.append({name, ours, floor, 300, false});
        };
        indexedSearch(QStringLiteral("模糊 rare 3+ chars (孤本10)"), QStringLiteral("孤本10"));
        indexedSearch(QStringLiteral("模糊 rare 2 chars (孤本)"), QStringLiteral("孤本"));
        indexedSearch(QStringLiteral("模糊 rare 1 char (孤)"), QStringLiteral("孤"));
        indexedSearch(QStringLiteral("模糊 common 3+ chars (中国历史)"),
                      QStringLiteral("中国历史"));
        // Sorting the opened list by a heading.
        screen.showAll();
        screen.open(ListStatement{db.limited(QStringLiteral("select * from 图书"), 500), {}});
        const int quantity = screen.grid()->model()->fieldIndex(QStringLiteral("数量"));
        int order = 0;
        {
            // Each click on a newly opened list of the first 500 books.
            const ListStatement first{db.limited(QStringLiteral("select * from 图书"), 500), {}};
            const auto [ours, floor] = Bench::alternating(
                runs, [&](int) { screen.open(first); },
                [&](int) {
                    screen.grid()->view()->sortByColumn(
                        quantity, (order++ % 2) ? Qt::AscendingOrder : Qt::DescendingOrder);
                    firstRowsAndFooters(screen.grid());
                },
                // The rows shown, read to their end; their order is the client's.
                [&](int) { readRows(db.query(first.sql)); });
            rows.append({QStringLiteral("sort the list by 数量"), ours, floor, 300, false});
        }

        CatalogueItems rules(CatalogueTable::books(), db);
        {
            std::vector<QVariantMap> loaded;
            const auto [ours, floor] = Bench::alternating(
                runs,
                [&](int) {
                    loaded.clear();
                    loaded.push_back(*rules.load(bookNumber(randomBook())));
                    loaded.push_back(*rules.load(bookNumber(randomBook())));
                },
                [&](int i) {
                    rules.save(loaded[0], {{QStringLiteral("名称"), QStringLiteral("新%1").arg(i)},
                                           {QStringLiteral("作者"), QStringLiteral("某")}});
                },
                [&](int i) {
                    db.execute(QStringLiteral("update 图书 set 名称 = ?, 作者 = ? where 编号 = ?"),
                               {QStringLiteral("新%1").arg(i), QStringLiteral("某"),
                                loaded[1].value(QStringLiteral("编号"))});
                });
            rows.append({QStringLiteral("edit save (2 fields)"), ours, floor, 5, true});
        }
        {
            std::vector<QVariantMap> loaded;
            const auto [ours, floor] = Bench::alternating(
                runs,
                [&](int) {
                    loaded.clear();
                    loaded.push_back(*rules.load(bookNumber(randomBook())));
                    loaded.push_back(*rules.load(bookNumber(randomBook())));
                },
                [&](int) { rules.changeStock(loaded[0], {}, QStringLiteral("9")); },
                [&](int) {
                    db.transaction([&] {
                        db.execute(QStringLiteral("update 图书 set 数量 = ? where 编号 = ?"),
                                   {9, loaded[1].value(QStringLiteral("编号"))});
                        db.execute(
                            QStringLiteral("insert into 管理员日志 (事件, 日期, 管理员, 说明) "
                                           "values (?, ?, ?, ?)"),
                            {QStringLiteral("修改库存"), Clock::now(), login.OperatorName,
                             QStringLiteral("条形码:x")});
                    });
                });
            rows.append({QStringLiteral("stock change with log row"), ours, floor, 5, true});
        }
        {
            const auto [ours, floor] = Bench::alternating(
                runs, [](int) {}, [&](int) { rules.remove(bookNumber(randomBook())); },
                [&](int) {
                    db.transaction([&] {
                        db.execute(QStringLiteral("delete from 图书 where 编号 = ?"),
                                   {bookNumber(randomBook())});
                    });
                });
            rows.append({QStringLiteral("guarded delete"), ours, floor, 5, true});
        }
        {
            TBkRegFm reg;
            reg.show();
            reg.fromEdit()->setDate(QDate(2026, 2, 1));
            reg.toEdit()->setDate(QDate(2026, 2, 28));
            rows.append(
                {QStringLiteral("accession list, one month"),
                 measure(listRuns,
                         [&](int) {
                             reg.count();
                             firstRowsAndFooters(reg.grid());
                         }),
                 measure(listRuns,
                         [&](int) {
                             const QVariantList range{QDate(2026, 2, 1).toString(Qt::ISODate),
                                                      QDate(2026, 2, 28).toString(Qt::ISODate)};
                             readRows(
                                 db.query(QStringLiteral("select * from 图书 where 入库时间 >= ? "
                                                         "and 入库时间 <= ?"),
                                          range),
                                 256);
                             scalarRow(
                                 db,
                                 QStringLiteral("select count(*), sum(数量), sum(cast(round(价格 * "
                                                "10000) as integer)) from 图书 where 入库时间 >= ? "
                                                "and 入库时间 <= ?"),
                                 range);
                         }),
                 300, false});
        }

        // Header filters on the whole list of books: the choices of a column (asked of the
        // database, at most DataGrid::kFilterChoices of them), the same searched, and the
        // list filtered by a value with its footers, against the same distinct values and
        // the same rows asked directly.
        {
            screen.showAll();
            DataGrid* grid = screen.grid();
            const int limit = DataGrid::kFilterChoices;
            const QString distinct =
                QStringLiteral("select distinct 作者 from 图书%1 order by 1 limit %2");
            const auto choices = [&](const QString& name, const QString& search) {
                rows.append(
                    {name,
                     measure(listRuns,
                             [&](int) {
                                 (void)grid->model()->distinctValues(QStringLiteral("作者"), search,
                                                                     limit);
                             }),
                     measure(listRuns,
                             [&](int) {
                                 if (search.isEmpty())
                                     readRows(db.query(distinct.arg(QString()).arg(limit + 1)));
                                 else
                                     readRows(db.query(
                                         distinct
                                             .arg(QStringLiteral(" where 作者 like ? escape '\\'"))
                                             .arg(limit + 1),
                                         {ListSearch::containsPattern(search)}));
                             }),
                     300, false});
            };
            choices(QStringLiteral("filter choices of 作者 (5,000 values)"), {});
            choices(QStringLiteral("filter choices of 作者, searched (作者12)"),
                    QStringLiteral("作者12"));
            const auto filtered = [&](const QString& name, const QString& field,
                                      const std::function<QString(int)>& value) {
                const auto [ours, floor] = Bench::alternating(
                    listRuns, [&](int) { grid->setValueFilter(field, std::nullopt); },
                    [&](int i) {
                        grid->setValueFilter(field, QVariant(value(i)));
                        firstRowsAndFooters(grid);
                    },
                    [&](int i) {
                        const QString where = QStringLiteral(" from 图书 where %1 = ?").arg(field);
                        readRows(db.query(QStringLiteral("select *") + where, {value(i)}), 256);
                        scalarRow(db, QStringLiteral("select count(*), sum(数量)") + where,
                                  {value(i)});
                    });
                rows.append({name, ours, floor, 300, false});
            };
            filtered(QStringLiteral("filtered by 作者 (200 rows)"), QStringLiteral("作者"),
                     [](int i) { return QStringLiteral("作者%1").arg(100 + i); });
            filtered(QStringLiteral("filtered by 分类 (100,000 rows)"), QStringLiteral("分类"),
                     [](int i) { return QStringLiteral("分类%1").arg(i % 10); });
            grid->clearFilters();
        }

        // A search of a tenth of the books (one 分类) exported, and printed.
        setCondition(screen, QStringLiteral("分类"), QStringLiteral("分类3"), true);
        screen.search();
        const ListStatement exported = screen.exportStatement();
        const QString file = QDir(temp.path()).absoluteFilePath(QStringLiteral("export.xlsx"));
        rows.append({QStringLiteral("export of the 分类3 search"),
                     measure(1,
                             [&](int) {
                                 QSqlQuery q = db.query(exported.sql, exported.values);
                                 ExcelExport out(file);
                                 out.write(q, 0, q.record().count() - 1);
                             }),
                     measure(1,
                             [&](int) {
                                 QSqlQuery q = db.query(exported.sql, exported.values);
                                 Bench::writeXlsxFloor(q, file + QStringLiteral(".floor.xlsx"));
                             }),
                     0, false, false});
        {
            // Last, as it adds books: one book put in with the text index's triggers and
            // without them.
            QSqlQuery add(db.handle());
            int next = books;
            const auto insertBooks = [&](int n) {
                db.transaction([&] {
                    add.prepare(QStringLiteral("insert into 图书 (编号, 名称, 作者, 出版社, isbn, "
                                               "索书号, 条形码, 分类) values (?, ?, ?, ?, ?, ?, "
                                               "?, ?)"));
                    for (int i = 0; i < n; ++i) {
                        ++next;
                        for (const QVariant& v :
                             {QVariant(bookNumber(next)), QVariant(title(next)),
                              QVariant(QStringLiteral("作者%1").arg(next % 5000)),
                              QVariant(QStringLiteral("中华书局")),
                              QVariant(QStringLiteral("978-7-%1").arg(next)),
                              QVariant(QStringLiteral("I24/%1").arg(next)),
                              QVariant(QStringLiteral("69%1").arg(next, 10, 10, QLatin1Char('0'))),
                              QVariant(QStringLiteral("分类%1").arg(next % 10))})
                            add.addBindValue(v);
                        if (!add.exec())
                            throw DbError(add.lastError().text());
                    }
                });
            };
            const int batch = 1000;
            const Timing withIndex = measure(5, [&](int) { insertBooks(batch); });
            for (const Schema::TextIndex& ix : Schema::textIndexes())
                for (const char* trigger : {"_ai", "_ad", "_au"})
                    db.execute(QStringLiteral("drop trigger %1%2").arg(ix.ftsTable, trigger));
            const Timing without = measure(5, [&](int) { insertBooks(batch); });
            rows.append({QStringLiteral("insert 1000 books, text index"), withIndex, without, 300,
                         false, false});
        }

        Bench::printLines(rows);

        const QStringList printed{QStringLiteral("编号"),     QStringLiteral("条形码"),
                                  QStringLiteral("名称"),     QStringLiteral("分类"),
                                  QStringLiteral("存放位置"), QStringLiteral("数量"),
                                  QStringLiteral("价格")};
        int count = 0;
        malloc_trim(0); // freed memory goes back, so that the peak shows what printing adds
        // Every printed row read, as printing streams them.
        const long six = Bench::peakKiB([&] {
            const ReportRows rows = screen.grid()->reportRows(printed);
            for (int r = 0; r < rows.count(); ++r)
                (void)rows.value(r, QStringLiteral("编号"));
            count = rows.count();
        });
        DataGrid all;
        all.setQuery(db, screen.statement().sql, screen.statement().values);
        malloc_trim(0);
        const long every = Bench::peakKiB([&] { (void)all.reportRows().count(); });
        std::printf("\nprinting %d rows: peak %ld KiB streaming the 7 printed columns, %ld KiB "
                    "reading every column into the grid first\n",
                    count, six, every);

        // "显示全部" over the whole catalogue: the first rows, and what the desk then holds
        // (the rows of the result not yet shown stay with the database).
        TBkSearchFm whole;
        whole.show();
        double firstMs = 0;
        malloc_trim(0);
        const long held = Bench::peakKiB([&] {
            firstMs = Bench::timed([&] {
                whole.showAll();
                for (int r = 0; r < std::min(whole.grid()->rowCount(), 30); ++r)
                    (void)whole.grid()->value(r, QStringLiteral("名称"));
            });
        });
        std::printf("显示全部 of %d books: first rows in %.1f ms, peak %ld KiB added, %d rows "
                    "read so far\n",
                    books, firstMs, held, whole.grid()->rowCount());
    } catch (const DbError& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
