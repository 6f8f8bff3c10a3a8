// Readers, loan queries and statistics on a large library: opening the reader list and the
// loan query, each kind of loan query, the overdue list, a top-up and a status change, the
// three charts, the category, registrar and income statistics, the inventory's thirteen
// figures, printing 100,000 library cards to PDF, and printing the whole loan list (2,000,000
// rows) to PDF with its peak memory; each against the least work for the same result.
//
//     bench_readers [--scale S] [--runs N] [--dir DIR]
//
// Scale 1 is 1,000,000 books, 100,000 readers, 2,000,000 loans (5 % of them open) and
// 200,000 income rows in an SQLite book.mdb.
#include "BenchLists.h"
#include "RecordingMessenger.h"
#include "circulation/BkJySearchUt.h"
#include "circulation/LoanQueries.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/LoginState.h"
#include "data/Schema.h"
#include "readers/RdSearchUt.h"
#include "readers/ReaderAccount.h"
#include "report/Report.h"
#include "report/ReportPreview.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsScreens.h"
#include "widgets/BarChart.h"
#include "widgets/DataGrid.h"
#include "widgets/GridModel.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <malloc.h>

namespace {
using Bench::Line;
using Bench::measure;
using Bench::readRows;
using Bench::scalarRow;

const QDate kToday(2026, 3, 14);

// One statement per table, each row computed from its number: fast, and the same library
// every time. Loans are spread over two years; every twentieth is open, due within the
// last and the next month (so about half of the open ones are overdue).
void generate(const Database& db, int books, int readers, int loans, int income)
{
    const QString series =
        QStringLiteral("with recursive n(i) as (select cast(1 as bigint) union all select i + 1 from n where i < ?) ");
    const QVariant today = kToday.toString(Qt::ISODate);
    Bench::fillThenIndex(db, [&] {
        db.execute(QStringLiteral("insert into 读者类别 (类别名, 借阅天数, 借阅数量限制, 租金) "
                                  "values ('学生', 30, 10, 0.1)"));
        db.execute(series +
                       QStringLiteral(
                           "insert into 读者库 (读者编号, 读者姓名, 性别, 类别, 单位部门, 班级, "
                           "有效期, 状态, 未还数量, 累计借阅次数, 卡内金额, 登记日期, 登记人, py) "
                           "select printf('R%07d', i), '读者' || i, '男', '学生', '第一中学', "
                           "'高一(' || (i % 12) || ')班', '2500-01-01', '正常', 1, 20, 100.5, "
                           "date(?, '-' || (i % 1000) || ' days'), '甲', 'DZ' from n"),
                   {readers, today});
        db.execute(
            series +
                QStringLiteral(
                    "insert into 图书 (编号, 名称, 条形码, 分类, 数量, 存放位置, 出版社, 价格, "
                    "状态, 物品级别, 借出次数, 入库时间, 登记人, py) select printf('B%07d', i), "
                    "'书名' || i, printf('69%010d', i), '分类' || (i % 10), 3, '二楼书库', "
                    "'中华书局', 25.5 + (i % 100) / 10.0, '正常', '普通', i % 50, "
                    "date(?, '-' || (i % 1095) || ' days'), '管理员' || (i % 7), 'SM' from n"),
            {books, today});
        db.execute(
            series +
                QStringLiteral(
                    "insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, 条形码, 类别, "
                    "物品级别, 价格, 租金, 借阅日期, 应还日期, 借阅经手人, 已还, 物品状况, "
                    "归还日期, 实际租期, 实际租金, 罚金) select printf('R%07d', 1 + (i * 7919) % "
                    "?), "
                    "'读者', printf('B%07d', 1 + (i * 104729) % ?), '书名', '', '图书', '普通', "
                    "25.5, 0.1, date(?, '-' || (case when i % 20 = 0 then i % 60 else 30 + "
                    "i % 700 end) || ' days'), date(?, '-' || (case when i % 20 = 0 then i % 60 "
                    "else 30 + i % 700 end) || ' days', '+30 days'), '甲', case when i % 20 = 0 "
                    "then '否' else '是' end, '完好', case when i % 20 = 0 then null else date(?, "
                    "'-' || (20 + i % 700) || ' days') end, 10, case when i % 20 = 0 then null "
                    "else 1.0 end, case when i % 97 = 0 then 0.3 else 0 end from n where i <= ?"),
            {loans, readers, books, today, today, today, loans});
        db.execute(series + QStringLiteral(
                                "insert into 收入 (项目, 时间, 读者编号, 读者姓名, 金额, 管理员) "
                                "select '充值', date(?, '-' || (i % 730) || ' days'), "
                                "printf('R%07d', 1 + i % 100000), '读者', 50.25, '甲' from n"),
                   {income, today});
    });
}

QString exact(const QString& column)
{
    return QStringLiteral("sum(cast(round(%1 * 10000) as integer))").arg(column);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The registrar statistics shows its statement before it runs: answered unattended.
    RecordingMessenger messenger;
    Messenger::install(&messenger);
    const auto [scale, runs, dir] = Bench::options(app.arguments(), 200);
    const int books = std::max(10000, int(1000000 * scale));
    const int readers = std::max(1000, int(100000 * scale));
    const int loans = std::max(20000, int(2000000 * scale));
    const int income = std::max(2000, int(200000 * scale));
    Clock::setNow(QDateTime(kToday, QTime(9, 0)));
    QTemporaryDir temp;
    Database& db = Database::shared();
    const QString path = Bench::openNewLibrary(db, dir, temp);
    if (path.isEmpty())
        return 1;
    LoginState& login = LoginState::instance();
    login.OperatorName = QStringLiteral("甲");
    login.rights.qxrdxg = login.rights.qxdel = login.rights.qxadddata = true;
    try {
        Schema::create(db);
        const double generated = Bench::timed([&] { generate(db, books, readers, loans, income); });
        std::printf("generated %d books, %d readers, %d loans and %d income rows in %.1f s: %s\n",
                    books, readers, loans, income, generated / 1000, qPrintable(path));
        std::fflush(stdout);
        QRandomGenerator random(17);
        QList<Line> lines;
        const int listRuns = std::max(3, runs / 10);
        const auto list = [&](const QString& name, const std::function<void()>& ours,
                              const std::function<void()>& floor, double goalMs = 300) {
            lines.append({name, measure(listRuns, [&](int) { ours(); }),
                          measure(listRuns, [&](int) { floor(); }), goalMs, false});
            std::fprintf(stderr, "%s: %.1f ms\n", qPrintable(name), lines.last().ours.median);
        };
        const QString loanTotals =
            QStringLiteral("select count(id), %1, %2, %3 from 借出记录")
                .arg(exact(QStringLiteral("价格")), exact(QStringLiteral("实际租金")),
                     exact(QStringLiteral("罚金")));

        list(
            QStringLiteral("open TRdSearchFm"),
            [&] {
                TRdSearchFm screen;
                screen.show();
                Bench::firstRowsAndFooters(screen.grid(), QStringLiteral("读者编号"),
                                           QStringLiteral("读者姓名"));
            },
            [&] {
                readRows(db.query(QStringLiteral("select * from 读者库")), 256);
                scalarRow(db, QStringLiteral("select count(读者编号) from 读者库"));
            });
        list(
            QStringLiteral("open TBkJySearchFm"),
            [&] {
                TBkJySearchFm screen;
                screen.show();
                Bench::firstRowsAndFooters(screen.grid(), QStringLiteral("价格"),
                                           QStringLiteral("名称"));
            },
            [&] {
                readRows(db.query(QStringLiteral("select * from 借出记录")), 256);
                scalarRow(db, loanTotals);
            });

        // The same opening without waiting for the footers, which a shown grid computes on a
        // second connection meanwhile (waited for after each run, untimed).
        {
            std::vector<double> ms;
            for (int i = 0; i < listRuns; ++i) {
                TBkJySearchFm screen;
                ms.push_back(Bench::timed([&] {
                    screen.show();
                    screen.grid()->grab(); // painted: the footer's computation starts
                    Bench::firstRowsAndFooters(screen.grid(), QString(), QStringLiteral("名称"));
                }));
                (void)screen.grid()->footerText(QStringLiteral("价格"));
            }
            lines.append(
                {QStringLiteral("open TBkJySearchFm, first rows"), Bench::stats(std::move(ms)),
                 measure(listRuns,
                         [&](int) {
                             readRows(db.query(QStringLiteral("select * from 借出记录")), 256);
                         }),
                 300, false});
        }

        // The loan queries on one shown screen, each against its select and its aggregate.
        TBkJySearchFm loanScreen;
        loanScreen.show();
        const auto loanQuery = [&](const QString& name, const LoanConditions& c,
                                   const QString& where, const QVariantList& values) {
            QString message;
            const std::optional<ListStatement> s = LoanQueries::search(c, &message);
            if (!s)
                throw DbError(message);
            list(
                name,
                [&] {
                    loanScreen.open(*s);
                    Bench::firstRowsAndFooters(loanScreen.grid(), QStringLiteral("价格"),
                                               QStringLiteral("名称"));
                },
                [&] {
                    readRows(
                        db.query(QStringLiteral("select * from 借出记录 where ") + where, values),
                        256);
                    scalarRow(db, loanTotals + QStringLiteral(" where ") + where, values);
                });
        };
        LoanConditions byNumber;
        byNumber.number = QStringLiteral("B0004711");
        loanQuery(QStringLiteral("loans by 编号"), byNumber, QStringLiteral("编号 = ?"),
                  {byNumber.number});
        LoanConditions byReader;
        byReader.readerNumber = QStringLiteral("R0004711");
        loanQuery(QStringLiteral("loans by reader"), byReader, QStringLiteral("读者编号 = ?"),
                  {byReader.readerNumber});
        LoanConditions byMonth;
        byMonth.lentBetween = true;
        byMonth.lentFrom = kToday.addMonths(-2);
        byMonth.lentTo = kToday.addMonths(-1);
        loanQuery(QStringLiteral("loans lent in one month"), byMonth,
                  QStringLiteral("借阅日期 >= ? and 借阅日期 < ?"),
                  {byMonth.lentFrom.toString(Qt::ISODate),
                   byMonth.lentTo.addDays(1).toString(Qt::ISODate)});
        LoanConditions open;
        open.returnedState = true;
        open.returned = QStringLiteral("否");
        loanQuery(QStringLiteral("loans not returned"), open, QStringLiteral("已还 = ?"),
                  {QStringLiteral("否")});
        list(
            QStringLiteral("open TDueRecordFm (overdue list)"),
            [&] {
                TDueRecordFm screen;
                screen.show();
                Bench::firstRowsAndFooters(screen.grid(), QStringLiteral("价格"),
                                           QStringLiteral("名称"));
            },
            [&] {
                const QVariantList values{QStringLiteral("否"), kToday.toString(Qt::ISODate)};
                const QString where = QStringLiteral(" where 已还 = ? and 应还日期 <= ?");
                readRows(db.query(QStringLiteral("select * from 借出记录") + where, values), 256);
                scalarRow(db,
                          QStringLiteral("select count(id), %1 from 借出记录")
                                  .arg(exact(QStringLiteral("价格"))) +
                              where,
                          values);
            });

        // The two single-row actions, on random readers.
        ReaderAccount account(db, login);
        const auto randomReader = [&] {
            return QStringLiteral("R%1").arg(1 + int(random.bounded(readers)), 7, 10,
                                             QLatin1Char('0'));
        };
        QString reader;
        {
            const auto [ours, floor] = Bench::alternating(
                runs, [&](int) { reader = randomReader(); },
                [&](int) {
                    if (!account
                             .topUp(reader, QStringLiteral("读者"), QStringLiteral("50"), false,
                                    QString())
                             .ok)
                        throw DbError(QStringLiteral("top-up failed"));
                },
                [&](int) {
                    db.transaction([&] {
                        db.execute(QStringLiteral("update 读者库 set 卡内金额 = coalesce(卡内金额, "
                                                  "0) + ? where 读者编号 = ?"),
                                   {50.0, reader});
                        db.execute(
                            QStringLiteral("insert into 收入 (项目, 时间, 读者编号, 读者姓名, "
                                           "金额, 管理员, 备注) values (?, ?, ?, ?, ?, ?, ?)"),
                            {QStringLiteral("充值"), Clock::now(), reader, QStringLiteral("读者"),
                             50.0, login.OperatorName, QString()});
                    });
                });
            lines.append({QStringLiteral("top-up with its income row"), ours, floor, 5, true});
        }
        {
            int k = 0;
            const auto [ours, floor] = Bench::alternating(
                runs, [&](int) { reader = randomReader(); },
                [&](int) {
                    account.changeStatus(reader, QStringLiteral("读者"),
                                         k++ % 2 ? QStringLiteral("正常") : QStringLiteral("停用"),
                                         QString());
                },
                [&](int) {
                    db.transaction([&] {
                        db.execute(QStringLiteral("update 读者库 set 状态 = ? where 读者编号 = ?"),
                                   {QStringLiteral("停用"), reader});
                        db.execute(
                            QStringLiteral("insert into 管理员日志 (事件, 日期, 管理员, 说明) "
                                           "values (?, ?, ?, ?)"),
                            {QStringLiteral("修改读者状态"), Clock::now(), login.OperatorName,
                             reader});
                    });
                });
            lines.append({QStringLiteral("status change with its log row"), ours, floor, 5, true});
        }

        // Statistics: goal under a second each.
        const auto chart = [&](const QString& name, ChartKind kind,
                               const std::function<QWidget*()>& make) {
            const ChartQuery q = Statistics::chart(db, kind);
            list(
                name,
                [&] {
                    std::unique_ptr<QWidget> screen(make());
                    screen->show();
                },
                [&] { readRows(db.query(q.sql)); }, 1000);
        };
        chart(QStringLiteral("chart of books (TBkChartFm)"), ChartKind::Books,
              [] { return new TBkChartFm; });
        chart(QStringLiteral("chart of periodicals (TQkChartFm)"), ChartKind::Periodicals,
              [] { return new TQkChartFm; });
        chart(QStringLiteral("chart of readers (TRdChartFm)"), ChartKind::Readers,
              [] { return new TRdChartFm; });
        {
            TSortSearchFM screen;
            screen.show();
            list(
                QStringLiteral("category statistics"),
                [&] {
                    screen.countClick();
                    Bench::firstRowsAndFooters(screen.grid(), QStringLiteral("数量"),
                                               QStringLiteral("分类"));
                },
                [&] {
                    readRows(db.query(QStringLiteral("select 分类, sum(数量), sum(数量 * "
                                                     "cast(round(价格 * 10000) as integer)) from "
                                                     "图书 group by 分类")));
                },
                1000);
        }
        const QDate yearAgo = kToday.addYears(-1);
        {
            TAdminLuRuStatFm screen;
            screen.show();
            screen.range()->fromEdit()->setDate(yearAgo);
            screen.range()->toEdit()->setDate(kToday);
            list(
                QStringLiteral("registrar statistics, one year"),
                [&] {
                    screen.countClick();
                    Bench::firstRowsAndFooters(screen.grid(), QStringLiteral("记录数"),
                                               QStringLiteral("登记人"));
                },
                [&] {
                    readRows(db.query(
                        QStringLiteral("select 登记人, count(*), %1 from 图书 where "
                                       "入库时间 >= ? and 入库时间 < ? group by 登记人")
                            .arg(exact(QStringLiteral("价格"))),
                        {yearAgo.toString(Qt::ISODate), kToday.addDays(1).toString(Qt::ISODate)}));
                },
                1000);
        }
        {
            TShouRuCountFm screen;
            screen.show();
            screen.range()->fromEdit()->setDate(yearAgo);
            screen.range()->toEdit()->setDate(kToday);
            list(
                QStringLiteral("income statistics, one year"),
                [&] {
                    screen.countClick();
                    Bench::firstRowsAndFooters(screen.grid(), QStringLiteral("金额"),
                                               QStringLiteral("读者姓名"));
                },
                [&] {
                    const QVariantList range{yearAgo.toString(Qt::ISODate),
                                             kToday.addDays(1).toString(Qt::ISODate)};
                    const QString where = QStringLiteral(" from 收入 where 时间 >= ? and 时间 < ?");
                    readRows(db.query(QStringLiteral("select *") + where, range), 256);
                    scalarRow(db,
                              QStringLiteral("select count(*), ") + exact(QStringLiteral("金额")) +
                                  where,
                              range);
                },
                1000);
        }
        list(
            QStringLiteral("inventory: the thirteen figures"),
            [&] {
                (void)Statistics::totals(db);
                (void)Statistics::rangeFigures(db, yearAgo, kToday);
            },
            [&] {
                const QVariantList range{yearAgo.toString(Qt::ISODate),
                                         kToday.toString(Qt::ISODate)};
                scalarRow(db,
                          QStringLiteral(
                              "select (select count(*) from 图书), (select count(*) from 期刊), "
                              "(select count(*) from 读者库), (select count(*) from 借出记录 "
                              "where 已还 = '否'), (select count(*) from 借出记录), (select "
                              "sum(数量) from 图书), (select sum(数量) from 期刊)"));
                scalarRow(db,
                          QStringLiteral(
                              "select (select count(*) from 图书 where 入库时间 between ? and ?), "
                              "(select count(*) from 期刊 where 入库时间 between ? and ?), "
                              "(select count(*) from 读者库 where 登记日期 between ? and ?), "
                              "(select %1 from 借出记录 where 已还 = '是' and 归还日期 between ? "
                              "and ?), (select count(*) from 借出记录 where 借阅日期 between ? "
                              "and ?), (select count(*) from 借出记录 where 归还日期 between ? "
                              "and ?)")
                              .arg(exact(QStringLiteral("实际租金"))),
                          range + range + range + range + range + range);
            },
            1000);
        Bench::printLines(lines);

        // Library cards for every reader, as "借阅证" prints the list's rows: laid out and
        // written page by page.
        TRdSearchFm screen;
        screen.show();
        const QString pdf = QDir(temp.path()).absoluteFilePath(QStringLiteral("cards.pdf"));
        int pages = 0;
        double ms = 0;
        malloc_trim(0);
        const long peak = Bench::peakKiB([&] {
            ms = Bench::timed([&] {
                const Report cards =
                    ReaderAccount::libraryCards(QStringLiteral("图书馆"), account.cardBackText());
                const ReportRows rows =
                    screen.grid()->reportRows({QStringLiteral("读者编号"),
                                               QStringLiteral("读者姓名"), QStringLiteral("类别")});
                pages = cards.pageCount(rows);
                QString why;
                if (!cards.exportPdf(rows, pdf, &why))
                    throw DbError(why);
            });
        });
        std::printf("\nlibrary cards of %d readers to PDF: %d pages, %.1f s, %lld KiB file, peak "
                    "%ld KiB\n",
                    readers, pages, ms / 1000, QFileInfo(pdf).size() / 1024, peak);
        std::fflush(stdout);

        // "打印" on 借阅信息查询 as opened (every loan) to PDF, against the same pages drawn
        // by a plain QPdfWriter loop over the same rows (the same texts at the same places).
        {
            TBkJySearchFm loans;
            loans.show();
            std::optional<Report> report;
            std::optional<ReportRows> rows;
            setReportPrintHook([&](const Report& r, const ReportRows& rr, const ReportCallback&) {
                report = r;
                rows = rr;
            });
            loans.printClick();
            setReportPrintHook({});
            if (!report || !rows)
                throw DbError(QStringLiteral("打印 gave no report"));
            const QString loanPdf = QDir(temp.path()).absoluteFilePath(QStringLiteral("loans.pdf"));
            int loanPages = 0;
            double oursMs = 0;
            malloc_trim(0);
            const long oursPeak = Bench::peakKiB([&] {
                oursMs = Bench::timed([&] {
                    loanPages = report->pageCount(*rows);
                    QString why;
                    if (!report->exportPdf(*rows, loanPdf, &why))
                        throw DbError(why);
                });
            });
            const long long oursSize = QFileInfo(loanPdf).size() / 1024;
            const QStringList fields = rows->fields();
            const int perPage = (rows->count() + loanPages - 1) / std::max(1, loanPages);
            double floorMs = 0;
            malloc_trim(0);
            const long floorPeak = Bench::peakKiB([&] {
                floorMs = Bench::timed([&] {
                    QPdfWriter writer(loanPdf + QStringLiteral(".floor.pdf"));
                    writer.setResolution(300);
                    writer.setPageLayout(report->pageLayout());
                    QPainter painter(&writer);
                    QFont font(report->fontFamily());
                    font.setPointSizeF(10);
                    painter.setFont(font);
                    const double dpmm = 300 / 25.4;
                    const double width = 190.0 / fields.size() * dpmm;
                    QSqlQuery q = loans.grid()->model()->statementColumns(fields);
                    int row = 0;
                    while (q.next()) {
                        if (row > 0 && row % perPage == 0)
                            writer.newPage();
                        const double y = (25 + (row % perPage) * 6) * dpmm;
                        for (int c = 0; c < fields.size(); ++c) {
                            const QVariant v = q.value(c);
                            painter.drawText(
                                QRectF(10 * dpmm + c * width, y, width, 6 * dpmm),
                                Qt::AlignLeft | Qt::AlignVCenter,
                                FieldFormat::text(
                                    v, FieldFormat::resolve(FieldKind::Auto, fields.at(c), v)));
                        }
                        ++row;
                    }
                });
            });
            std::printf("\nloan list of %d rows to PDF: %d pages, %.1f s, %lld KiB file, peak "
                        "%ld KiB (a plain QPdfWriter loop: %.1f s, peak %ld KiB; time ratio "
                        "%.2f, goal under 200 MiB and 2x)\n",
                        rows->count(), loanPages, oursMs / 1000, oursSize, oursPeak, floorMs / 1000,
                        floorPeak, oursMs / std::max(1.0, floorMs));
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
