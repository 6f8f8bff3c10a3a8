#include "../common/PdfText.h"
#include "../common/TestMain.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "report/Barcode.h"
#include "report/Report.h"
#include "report/ReportPreview.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {
ReportRows bookRows(int n)
{
    ReportRows rows({QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("条形码"),
                     QStringLiteral("价格"), QStringLiteral("数量")},
                    {});
    for (int i = 0; i < n; ++i)
        rows.append({QStringLiteral("B%1").arg(i + 1, 4, 10, QLatin1Char('0')),
                     QStringLiteral("图书%1").arg(i + 1), QStringLiteral("TS%1").arg(1000 + i), 0.1,
                     i + 1});
    return rows;
}

// Data band rows per page, from the geometry of the template (first page carries the title).
int rowsFitting(double pageHeight, double top, double bottom, double title, double header,
                double footer, double band)
{
    return int((pageHeight - top - bottom - title - header - footer) / band + 1e-9);
}

// The rows of bookRows(n) in a table of an SQLite file, streamed: the statement runs again
// at each pass, counted in *runs; count is what the caller says the statement holds.
struct StreamedBooks
{
    explicit StreamedBooks(int n) : db(QStringLiteral("report_streamed"))
    {
        QString error;
        ok = db.openSqlite(dir.filePath(QStringLiteral("rows.db")), true, &error);
        if (!ok)
            return;
        db.execute(QStringLiteral("create table 书 (编号 text, 名称 text, 条形码 text, 价格 real, "
                                  "数量 integer)"));
        const ReportRows memory = bookRows(n);
        for (int r = 0; r < n; ++r) {
            QVariantList values;
            for (const QString& f : memory.fields())
                values << memory.value(r, f);
            db.execute(QStringLiteral("insert into 书 values (?, ?, ?, ?, ?)"), values);
        }
    }
    ReportRows rows(int count)
    {
        return ReportRows::streamed(bookRows(0).fields(), count, [this] {
            ++runs;
            return db.query(QStringLiteral("select * from 书 order by 编号"));
        });
    }
    QTemporaryDir dir;
    Database db;
    bool ok = false;
    int runs = 0;
};

// Every object of every page: name and text.
QList<QStringList> pageTexts(const PreparedReport& p)
{
    QList<QStringList> pages;
    for (int i = 0; i < p.pageCount(); ++i) {
        QStringList page;
        for (const PreparedItem& item : p.page(i))
            page << item.name + QLatin1Char('=') + item.text;
        pages << page;
    }
    return pages;
}

Report bookList()
{
    Report r = Report::list(QStringLiteral("图书列表"),
                            {{QStringLiteral("编号"), QStringLiteral("编号"), 25},
                             {QStringLiteral("名称"), QStringLiteral("书名"), 60},
                             {QStringLiteral("价格"), QStringLiteral("价格"), 20}});
    r.addSummarySum(QStringLiteral("价格合计:"), QStringLiteral("价格"));
    r.addSummarySum(QStringLiteral("  数量合计:"), QStringLiteral("数量"), true);
    return r;
}
} // namespace

class ReportTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { Clock::setNow(QDateTime(QDate(2024, 3, 5), QTime(14, 30, 15))); }
    void cleanup() { Clock::setNow({}); }

    // A Code 39 object and a per-column sum reach the PDF as text, the sum exactly.
    void pdfCarriesBarcodeTextAndExactSum()
    {
        Report r = Report::list(QStringLiteral("图书列表"),
                                {{QStringLiteral("编号"), QStringLiteral("图书编号"), 30},
                                 {QStringLiteral("名称"), QStringLiteral("书名"), 60},
                                 {QStringLiteral("数量"), QStringLiteral("数量"), 20}});
        r.findBand(BandKind::Data)
            ->barcode(QStringLiteral("Bar1"), 115, 0.5, 60, 12, QStringLiteral("[条形码]"));
        r.band(BandKind::Data, 14);
        r.addSummarySum(QStringLiteral("数量合计:"), QStringLiteral("数量"));
        r.addSummarySum(QStringLiteral("价格合计:"), QStringLiteral("价格"), true);
        // 0.1 three times, read as REAL the way SQLite gives it: in double the total is
        // 0.30000000000000004.
        const PreparedReport p = r.prepare(bookRows(3));
        QCOMPARE(p.textsOf(QStringLiteral("bar1")),
                 (QStringList{QStringLiteral("TS1000"), QStringLiteral("TS1001"),
                              QStringLiteral("TS1002")}));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
        QString error;
        QVERIFY2(p.exportPdf(pdf, &error), qPrintable(error));
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("TS1001")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("图书列表")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("图书2")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("0.3")) && !text.contains(QStringLiteral("0.30000")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("打印时间:2024-03-05 14:30:15")), qPrintable(text));
        QCOMPARE(p.textsOf(QStringLiteral("Sum1")), QStringList{QStringLiteral("6")});
        QCOMPARE(p.textsOf(QStringLiteral("Sum3")), QStringList{QStringLiteral("0.3")});

        // The page carries real bars: the barcode's area has many dark-light transitions.
        const QImage page = p.pageImage(0, 300);
        const double dpmm = 300 / 25.4;
        const int y = int((10 + 14 + 7 + 4) * dpmm); // margin, title, header, into the bars
        int transitions = 0;
        bool dark = false;
        for (int x = int(124 * dpmm); x < int(186 * dpmm); ++x) {
            const bool d = qGray(page.pixel(x, y)) < 128;
            transitions += d != dark;
            dark = d;
        }
        // "*TS1000*": 8 characters of 5 bars each.
        QCOMPARE(transitions, 8 * 5 * 2);
        if (!qEnvironmentVariableIsEmpty("TUSHU_REPORT_PNG"))
            page.save(qEnvironmentVariable("TUSHU_REPORT_PNG"));
    }

    // Code 39 without check character: start, the characters, stop; five bars each.
    void code39HasNoCheckCharacter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("digits") << QStringLiteral("9787115113115");
        QTest::newRow("letters") << QStringLiteral("TS-0001");
        QTest::newRow("one") << QStringLiteral("A");
    }
    void code39HasNoCheckCharacter()
    {
        QFETCH(QString, text);
        QVector<QRectF> bars;
        double modules = 0;
        QString error;
        QVERIFY2(Barcode::code39Bars(text, &bars, &modules, &error), qPrintable(error));
        QCOMPARE(bars.size(), 5 * (text.size() + 2));
        for (const QRectF& b : bars)
            QVERIFY(b.right() <= modules);
    }
    void code39RefusesTextItCannotCarry()
    {
        QVector<QRectF> bars;
        double modules = 0;
        QVERIFY(!Barcode::code39Bars(QStringLiteral("图书"), &bars, &modules));
        QVERIFY(!Barcode::code39Bars(QString(), &bars, &modules));
        QVERIFY(bars.isEmpty());
    }

    // N rows give the pages the geometry asks for, with the page header and footer on each.
    void pagesBreakWhereBandsNoLongerFit_data()
    {
        QTest::addColumn<int>("rows");
        const int first = rowsFitting(297, 10, 10, 14, 7, 8, 7);
        const int next = rowsFitting(297, 10, 10, 0, 7, 8, 7);
        QTest::newRow("none") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("first page full") << first;
        QTest::newRow("one more") << first + 1;
        QTest::newRow("two pages full") << first + next;
        QTest::newRow("many") << first + 3 * next + 5;
    }
    void pagesBreakWhereBandsNoLongerFit()
    {
        QFETCH(int, rows);
        const int first = rowsFitting(297, 10, 10, 14, 7, 8, 7);
        const int next = rowsFitting(297, 10, 10, 0, 7, 8, 7);
        const int expectedPages = rows <= first ? 1 : 1 + (rows - first + next - 1) / next;
        const Report r = Report::list(QStringLiteral("借阅记录"),
                                      {{QStringLiteral("编号"), QStringLiteral("编号"), 30},
                                       {QStringLiteral("名称"), QStringLiteral("名称"), 60}});
        const PreparedReport p = r.prepare(bookRows(rows));
        QCOMPARE(p.pageCount(), expectedPages);
        int printed = 0;
        for (int i = 0; i < p.pageCount(); ++i) {
            int headers = 0, titles = 0;
            double lastBottom = 0;
            for (const PreparedItem& item : p.page(i)) {
                headers += item.text == QStringLiteral("编号") && item.row < 0;
                titles += item.name == QStringLiteral("Title");
                if (item.name == QStringLiteral("Memo1")) {
                    ++printed;
                    QVERIFY(item.rect.bottom() <= 297 - 10 - 8 + 1e-6);
                    QVERIFY(item.rect.top() >= lastBottom - 1e-6);
                    lastBottom = item.rect.bottom();
                }
            }
            QCOMPARE(headers, 1);
            QCOMPARE(titles, i == 0 ? 1 : 0);
        }
        QCOMPARE(printed, rows);
        const QStringList numbers = p.textsOf(QStringLiteral("PageNumber"));
        QCOMPARE(numbers.size(), expectedPages);
        QCOMPARE(numbers.last(), QStringLiteral("第 %1 页 共 %1 页").arg(expectedPages));
    }

    // Rows streamed from a statement lay out as the same rows in memory do: the same pages,
    // texts, page numbers, sums and callback values; the statement runs once a pass.
    void streamedRowsPrintAsRowsInMemory_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("none") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("several pages") << 130;
    }
    void streamedRowsPrintAsRowsInMemory()
    {
        QFETCH(int, rows);
        StreamedBooks books(rows);
        QVERIFY(books.ok);
        const Report r = bookList();
        const ReportCallback callback = [](const QString& name, ReportObjectState& state) {
            if (name == QStringLiteral("Memo2") && state.row >= 0)
                state.text = state.value(QStringLiteral("名称")).toString() + QStringLiteral("!");
        };
        const ReportRows streamed = books.rows(rows);
        QVERIFY(streamed.isStreamed());
        QCOMPARE(r.pageCount(streamed), r.pageCount(bookRows(rows)));
        QCOMPARE(books.runs, 0); // counting pages reads no row
        const PreparedReport fromMemory = r.prepare(bookRows(rows), callback);
        const PreparedReport fromStatement = r.prepare(streamed, callback);
        QCOMPARE(books.runs, 1);
        QCOMPARE(pageTexts(fromStatement), pageTexts(fromMemory));
        if (rows > 0)
            QVERIFY(fromStatement.textsOf(QStringLiteral("Memo2"))
                        .last()
                        .endsWith(QStringLiteral("%1!").arg(rows)));

        // Printed straight to a PDF, page by page, from a new pass.
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("books.pdf"));
        QString error;
        QVERIFY2(r.exportPdf(streamed, pdf, &error, callback), qPrintable(error));
        QCOMPARE(books.runs, 2);
        const QStringList pages = pdfText(pdf).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), fromMemory.pageCount());
        QVERIFY(pages.last().contains(QStringLiteral("价格合计:")));
        if (rows > 0)
            QVERIFY2(pages.last().contains(QStringLiteral("图书%1!").arg(rows)),
                     qPrintable(pages.last()));
    }

    // A statement that holds fewer rows than counted (another desk deleted some meanwhile)
    // leaves the rows it lacks empty; one that holds more prints the counted ones.
    void streamedRowsOtherThanCounted()
    {
        StreamedBooks books(3);
        QVERIFY(books.ok);
        const Report r = bookList();
        const PreparedReport fewer = r.prepare(books.rows(5));
        QCOMPARE(fewer.textsOf(QStringLiteral("Memo1")),
                 (QStringList{"B0001", "B0002", "B0003", "", ""}));
        const PreparedReport more = r.prepare(books.rows(2));
        QCOMPARE(more.textsOf(QStringLiteral("Memo1")), (QStringList{"B0001", "B0002"}));
        QCOMPARE(more.textsOf(QStringLiteral("Sum1")), r.prepare(bookRows(2)).textsOf("Sum1"));
    }

    void pdfHasOnePagePerPreparedPage()
    {
        const Report r = Report::list(QStringLiteral("读者列表"),
                                      {{QStringLiteral("名称"), QStringLiteral("姓名"), 60}});
        const PreparedReport p = r.prepare(bookRows(100));
        QVERIFY(p.pageCount() > 1);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("readers.pdf"));
        QVERIFY(p.exportPdf(pdf));
        const QStringList pages = pdfText(pdf).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), p.pageCount());
        for (const QString& page : pages)
            QVERIFY2(page.contains(QStringLiteral("姓名")), qPrintable(page));
        QVERIFY(pages.last().contains(QStringLiteral("图书100")));
    }

    // The screen sets objects by name, whatever the case it uses.
    void callbackSetsObjectsByNameIgnoringCase()
    {
        Report r;
        r.setPage(QSizeF(80, 50), QMarginsF(2, 2, 2, 2));
        ReportBand& label = r.band(BandKind::Data, 46);
        label.caption(0, 0, 15, 6, QStringLiteral("编号:"));
        label.memo(QStringLiteral("Memo1"), 15, 0, 40, 6);
        label.memo(QStringLiteral("Memo2"), 15, 6, 40, 6, QStringLiteral("模板"));
        label.memo(QStringLiteral("Memo9"), 15, 12, 40, 6, QStringLiteral("留下"));
        label.barcode(QStringLiteral("Bar1"), 5, 20, 60, 15);
        QStringList seen;
        const PreparedReport p =
            r.prepare(ReportRows::single(), [&](const QString& name, ReportObjectState& s) {
                seen << name;
                if (s.is(QStringLiteral("memo1")))
                    s.text = QStringLiteral("B0007");
                if (s.is(QStringLiteral("MEMO2")))
                    s.visible = false;
                if (s.is(QStringLiteral("bar1")))
                    s.text = QStringLiteral("9787115113115");
            });
        QCOMPARE(p.pageCount(), 1);
        QCOMPARE(p.textsOf(QStringLiteral("Memo1")), QStringList{QStringLiteral("B0007")});
        QVERIFY(p.textsOf(QStringLiteral("Memo2")).isEmpty());
        QCOMPARE(p.textsOf(QStringLiteral("memo9")), QStringList{QStringLiteral("留下")});
        QCOMPARE(p.textsOf(QStringLiteral("BAR1")), QStringList{QStringLiteral("9787115113115")});
        QVERIFY(seen.contains(QStringLiteral("Bar1")));
        QCOMPARE(seen.size(), 5); // once per object of the one label

        // Values set before preparing, by a name in another case, reach the same objects.
        Report set = r;
        set.setValue(QStringLiteral("MEMO1"), QStringLiteral("[不展开]"))
            .setValue(QStringLiteral("bar1"), QStringLiteral("TS0001"));
        const PreparedReport q = set.prepare(ReportRows::single());
        QCOMPARE(q.textsOf(QStringLiteral("Memo1")), QStringList{QStringLiteral("[不展开]")});
        QCOMPARE(q.textsOf(QStringLiteral("Bar1")), QStringList{QStringLiteral("TS0001")});
    }

    // Fields of the current row in value objects, formatted as a librarian reads them.
    void fieldsAreFormatted()
    {
        Report r;
        ReportBand& data = r.band(BandKind::Data, 7);
        data.memo(QStringLiteral("Memo1"), 0, 0, 90, 7,
                  QStringLiteral("[Line#]. [名称] [价格]元 [入库时间] [启用租金功能] [没有]|"));
        ReportRows rows({QStringLiteral("名称"), QStringLiteral("价格"), QStringLiteral("入库时间"),
                         QStringLiteral("启用租金功能")},
                        {{QStringLiteral("红楼梦"), 12.5, QStringLiteral("2023-01-02"), 1},
                         {QStringLiteral("水浒传"), QVariant(), QDate(2023, 2, 3), false}});
        const PreparedReport p = r.prepare(rows);
        QCOMPARE(p.textsOf(QStringLiteral("memo1")),
                 (QStringList{QStringLiteral("1. 红楼梦 12.5元 2023-01-02 是 |"),
                              QStringLiteral("2. 水浒传 元 2023-02-03 否 |")}));
    }

    // Labels several per page: across, then down, then onto the next page.
    void labelsAcrossThenDown()
    {
        Report r;
        r.setPage(QPageSize::A4, QPageLayout::Portrait, QMarginsF(10, 10, 10, 10));
        ReportBand& card = r.band(BandKind::Data, 55);
        card.columns(2, 90);
        card.memo(QStringLiteral("Memo1"), 0, 0, 85, 8, QStringLiteral("[名称]"));
        const int perPage = 2 * int(277 / 55);
        const PreparedReport p = r.prepare(bookRows(perPage + 3));
        QCOMPARE(p.pageCount(), 2);
        QList<QPointF> at;
        for (int i = 0; i < p.pageCount(); ++i)
            for (const PreparedItem& item : p.page(i))
                at << item.rect.topLeft();
        QCOMPARE(at.size(), perPage + 3);
        QCOMPARE(at[0], QPointF(10, 10));
        QCOMPARE(at[1], QPointF(100, 10));
        QCOMPARE(at[2], QPointF(10, 65));
        QCOMPARE(at[perPage], QPointF(10, 10)); // first label of the second page
        QCOMPARE(p.page(1).size(), 3);
    }

    // Library cards: several per page, the library name set by the screen into every card,
    // a barcode of each reader's number.
    void libraryCardsSheet()
    {
        Report r;
        r.setTitle(QStringLiteral("借阅证"));
        ReportBand& card = r.band(BandKind::Data, 60);
        card.columns(2, 95);
        card.frame(0, 0, 90, 56);
        card.memo(QStringLiteral("Memo1"), 2, 2, 86, 9).fontSize(14).bold().align(Qt::AlignCenter);
        card.line(2, 12, 88, 12);
        card.memo(QStringLiteral("Memo2"), 4, 14, 60, 7, QStringLiteral("姓名:[读者姓名]"));
        card.memo(QStringLiteral("Memo3"), 4, 21, 60, 7, QStringLiteral("类别:[类别]"));
        card.barcode(QStringLiteral("Bar1"), 10, 30, 70, 16, QStringLiteral("[读者编号]"));
        card.memo(QStringLiteral("Memo4"), 4, 47, 82, 8).fontSize(8).wrap();
        r.setValue(QStringLiteral("memo4"), QStringLiteral("本证仅限本人使用，遗失请及时挂失。"));
        ReportRows readers(
            {QStringLiteral("读者编号"), QStringLiteral("读者姓名"), QStringLiteral("类别")}, {});
        const QStringList names{
            QStringLiteral("张三"),   QStringLiteral("李四"),  QStringLiteral("王五"),
            QStringLiteral("赵六"),   QStringLiteral("钱七"),  QStringLiteral("孙八"),
            QStringLiteral("周九"),   QStringLiteral("吴十"),  QStringLiteral("郑十一"),
            QStringLiteral("冯十二"), QStringLiteral("陈十三")};
        for (int i = 0; i < names.size(); ++i)
            readers.append({QStringLiteral("R%1").arg(i + 1, 4, 10, QLatin1Char('0')), names[i],
                            QStringLiteral("普通")});
        const PreparedReport p = r.prepare(readers, [](const QString&, ReportObjectState& s) {
            if (s.is(QStringLiteral("MEMO1")))
                s.text = QStringLiteral("东方红图书馆");
        });
        const int perPage = 2 * int(277 / 60);
        QCOMPARE(p.pageCount(), (names.size() + perPage - 1) / perPage);
        QCOMPARE(p.textsOf(QStringLiteral("Memo1")).size(), names.size());
        QCOMPARE(p.textsOf(QStringLiteral("memo1")).count(QStringLiteral("东方红图书馆")),
                 names.size());
        QCOMPARE(p.textsOf(QStringLiteral("Memo2")).last(), QStringLiteral("姓名:陈十三"));
        QCOMPARE(p.textsOf(QStringLiteral("Bar1")).at(4), QStringLiteral("R0005"));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("cards.pdf"));
        QVERIFY(p.exportPdf(pdf));
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("东方红图书馆")) &&
                     text.contains(QStringLiteral("R0011")),
                 qPrintable(text));
        if (!qEnvironmentVariableIsEmpty("TUSHU_CARDS_PNG"))
            p.pageImage(0, 200).save(qEnvironmentVariable("TUSHU_CARDS_PNG"));
    }

    // The preview hook receives the prepared report (screens' tests use it).
    void previewHookReceivesReport()
    {
        int pages = 0;
        setReportPreviewHook([&](const PreparedReport& p) { pages = p.pageCount(); });
        previewReport(nullptr, Report::list(QStringLiteral("x"), {}), bookRows(2));
        setReportPreviewHook({});
        QCOMPARE(pages, 1);
    }
};

TUSHU_TEST(ReportTest)
#include "tst_Report.moc"
