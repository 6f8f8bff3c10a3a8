#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "../common/SheetFixtures.h"
#include "data/Clock.h"
#include "data/ExcelExport.h"
#include "data/Schema.h"
#include "data/SpreadsheetReader.h"
#include "data/TableExport.h"
#include "widgets/ExportToExcel.h"

#include <QDir>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList rowTexts(const SpreadsheetReader& r, int row)
{
    QStringList out;
    for (int c = 1; c <= r.columnCount(); ++c)
        out << r.cell(row, c);
    return out;
}

std::unique_ptr<SpreadsheetReader> readBack(const QString& path)
{
    QString error;
    auto r = SpreadsheetReader::openFile(path, &error);
    if (!r)
        qWarning("%s", qPrintable(error));
    return r;
}

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

// Two books and a reader whose values cover every kind of cell.
void addRows(Database& db)
{
    db.transaction([&] {
        const QString sql = QStringLiteral(
            "insert into 图书 (编号, 名称, 价格, 数量, 入库时间, 预定到期时间, isbn, 附件) "
            "values (?, ?, ?, ?, ?, ?, ?, ?)");
        db.execute(sql, {QStringLiteral("B0001"), QStringLiteral("say \"hi\", then go"),
                         QVariant::fromValue(*Money::parse(QStringLiteral("29.8"))), 3,
                         QDate(2008, 8, 8), QDateTime(QDate(2024, 3, 5), QTime(14, 30)),
                         QStringLiteral("9787115113115"), QVariant()});
        db.execute(sql, {QStringLiteral("B0002"), QStringLiteral("红楼梦（上册）"),
                         QVariant::fromValue(*Money::parse(QStringLiteral("0.1234"))), 0,
                         QVariant(), QDateTime(QDate(2024, 12, 31), QTime(0, 0)),
                         QStringLiteral("0012"), QStringLiteral("光盘")});
        db.execute(
            QStringLiteral("insert into 读者库 (读者编号, 读者姓名, 证件号码, 卡内金额, 有效期) "
                           "values (?, ?, ?, ?, ?)"),
            {QStringLiteral("R0001"), QStringLiteral("张三"), QStringLiteral("110101199001011234"),
             QVariant::fromValue(*Money::parse(QStringLiteral("-3.5"))), QDate(2500, 1, 1)});
    });
}

// A library of its own on the given engine, holding the rows of addRows unless empty is
// asked for, and a temporary folder for the workbooks.
struct ExportFixture
{
    explicit ExportFixture(int engine, bool empty = false)
        : lib(TestLibrary::Engine(engine), false, false)
    {
        if (lib.ok() && !empty)
            addRows(lib.db());
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    TestLibrary lib;
    QTemporaryDir dir;
};

QString money = QStringLiteral("0.00##");
QString date = QStringLiteral("yyyy-mm-dd");
QString dateTime = QStringLiteral("yyyy-mm-dd hh:mm:ss");
} // namespace

class ExcelExportTest : public QObject
{
    Q_OBJECT
private slots:
    // What goes out comes back: every value as its text, and in the file every cell with
    // its type (a number, a date with its format, a text, an empty cell for NULL).
    void keepsValuesAndTypes_data() { addEngines(); }
    void keepsValuesAndTypes()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        ExportFixture f(engine);
        TestLibrary& lib = f.lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QString path = f.path(QStringLiteral("books.xlsx"));
        QSqlQuery q =
            lib.db().query(QStringLiteral("select 编号, 名称, 价格, 数量, 入库时间, 预定到期时间, "
                                          "isbn, 附件 from 图书 order by 编号"));
        ExcelExport exporter(path);
        QVERIFY2(exporter.write(q, 0, 7), qPrintable(exporter.errorText()));
        QCOMPARE(exporter.rowsWritten(), 2);

        const auto r = readBack(path);
        QVERIFY(r);
        QCOMPARE(r->rowCount(), 3);
        QCOMPARE(rowTexts(*r, 1).join(QLatin1Char('|')),
                 QStringLiteral("编号|名称|价格|数量|入库时间|预定到期时间|isbn|附件"));
        QCOMPARE(rowTexts(*r, 2),
                 (QStringList{QStringLiteral("B0001"), QStringLiteral("say \"hi\", then go"),
                              QStringLiteral("29.8"), QStringLiteral("3"),
                              QStringLiteral("2008-08-08"), QStringLiteral("2024-03-05 14:30:00"),
                              QStringLiteral("9787115113115"), QString()}));
        QCOMPARE(rowTexts(*r, 3),
                 (QStringList{QStringLiteral("B0002"), QStringLiteral("红楼梦（上册）"),
                              QStringLiteral("0.1234"), QStringLiteral("0"), QString(),
                              QStringLiteral("2024-12-31"), QStringLiteral("0012"),
                              QStringLiteral("光盘")}));

        const SheetFixtures::RawSheet raw = SheetFixtures::readRawSheet(path);
        QVERIFY2(raw.error.isEmpty(), qPrintable(raw.error));
        QCOMPARE(raw.cells.value(QStringLiteral("B2")).type, QStringLiteral("inlineStr"));
        QCOMPARE(raw.cells.value(QStringLiteral("C2")).type, QString());
        QCOMPARE(raw.cells.value(QStringLiteral("C2")).format, money);
        QCOMPARE(raw.cells.value(QStringLiteral("C2")).value.toDouble(), 29.8);
        QCOMPARE(raw.cells.value(QStringLiteral("D2")).type, QString());
        QCOMPARE(raw.cells.value(QStringLiteral("D2")).value, QStringLiteral("3"));
        QCOMPARE(raw.cells.value(QStringLiteral("E2")).format, date);
        QCOMPARE(raw.cells.value(QStringLiteral("E2")).value, QStringLiteral("39668"));
        QCOMPARE(raw.cells.value(QStringLiteral("F2")).format, dateTime);
        QCOMPARE(raw.cells.value(QStringLiteral("F3")).format, date); // midnight: no time shown
        // isbn is a text column: its digits stay text, leading zeros kept.
        QCOMPARE(raw.cells.value(QStringLiteral("G2")).type, QStringLiteral("inlineStr"));
        QVERIFY(!raw.cells.contains(QStringLiteral("H2")));
        QVERIFY(!raw.cells.contains(QStringLiteral("E3")));
        // The header is text in every column; widths fit the widest content.
        QCOMPARE(raw.cells.value(QStringLiteral("C1")).type, QStringLiteral("inlineStr"));
        QVERIFY(raw.widths.value(2) >=
                ExcelExport::displayWidth(QStringLiteral("say \"hi\", then go")));
        QVERIFY(raw.widths.value(6) >= 19);
        QVERIFY(raw.widths.value(4) < raw.widths.value(2));

        // An 18-digit reader number keeps every digit; the balance is a number, the date a date.
        QSqlQuery readers = lib.db().query(
            QStringLiteral("select 读者编号, 证件号码, 卡内金额, 有效期 from 读者库"));
        QVERIFY2(ExcelExport(path).write(readers, 0, 3), "readers");
        const auto rr = readBack(path);
        QVERIFY(rr);
        QCOMPARE(rowTexts(*rr, 2),
                 (QStringList{QStringLiteral("R0001"), QStringLiteral("110101199001011234"),
                              QStringLiteral("-3.5"), QStringLiteral("2500-01-01")}));
        const SheetFixtures::RawSheet rawReaders = SheetFixtures::readRawSheet(path);
        QCOMPARE(rawReaders.cells.value(QStringLiteral("B2")).type, QStringLiteral("inlineStr"));
        QCOMPARE(rawReaders.cells.value(QStringLiteral("C2")).format, money);
        QCOMPARE(rawReaders.cells.value(QStringLiteral("D2")).format, date);
    }

    // Columns that belong to no table: aggregates, and dates that SQLite hands over as
    // text. Their cells take the type of their values.
    void aggregatesAndComputedColumns_data() { addEngines(); }
    void aggregatesAndComputedColumns()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        ExportFixture f(engine);
        TestLibrary& lib = f.lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QString path = f.path(QStringLiteral("sums.xlsx"));
        QSqlQuery q =
            lib.db().query(QStringLiteral("select 数量 + 1 as 数量加一, count(*) as 记录数, "
                                          "sum(价格) as 总价格, max(入库时间) as 最近 "
                                          "from 图书 group by 数量 order by 数量"));
        ExcelExport exporter(path);
        QVERIFY2(exporter.write(q, 0, 3), qPrintable(exporter.errorText()));
        const auto r = readBack(path);
        QVERIFY(r);
        QCOMPARE(rowTexts(*r, 1).join(QLatin1Char('|')),
                 QStringLiteral("数量加一|记录数|总价格|最近"));
        QCOMPARE(rowTexts(*r, 2), (QStringList{QStringLiteral("1"), QStringLiteral("1"),
                                               QStringLiteral("0.1234"), QString()}));
        QCOMPARE(rowTexts(*r, 3),
                 (QStringList{QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("29.8"),
                              QStringLiteral("2008-08-08")}));
        const SheetFixtures::RawSheet raw = SheetFixtures::readRawSheet(path);
        for (const char* ref : {"A3", "B3", "C3"})
            QVERIFY2(raw.cells.value(QLatin1String(ref)).type.isEmpty(), ref); // numbers
        // A computed column is a date only when its values are dates by type: PostgreSQL
        // hands max() of a date over as a date, SQLite as text, which stays text.
        if (engine == TestLibrary::PostgreSQL)
            QCOMPARE(raw.cells.value(QStringLiteral("D3")).format, date);
        else
            QVERIFY(!raw.cells.value(QStringLiteral("D3")).type.isEmpty());
    }

    // A query already read to its end, run without bound values, exports again on every
    // engine (a bare re-execution fails on PostgreSQL).
    void rereadsStatementWithoutValues_data() { addEngines(); }
    void rereadsStatementWithoutValues()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        ExportFixture f(engine);
        QVERIFY2(f.lib.ok(), qPrintable(f.lib.error()));
        QSqlQuery q = f.lib.db().query(QStringLiteral("select 编号, 名称 from 图书 order by 编号"));
        int read = 0;
        while (q.next())
            ++read;
        QVERIFY(read > 0);
        ExcelExport exporter(f.path(QStringLiteral("again.xlsx")));
        QVERIFY2(exporter.write(q, 0, 1), qPrintable(exporter.errorText()));
        QCOMPARE(exporter.rowsWritten(), qint64(read));
    }

    void emptyResultGivesHeaderOnly_data() { addEngines(); }
    void emptyResultGivesHeaderOnly()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        ExportFixture f(engine, true);
        TestLibrary& lib = f.lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QString path = f.path(QStringLiteral("none.xlsx"));
        QSqlQuery q =
            lib.db().query(QStringLiteral("select 编号, 名称, 价格 from 图书 where 编号 = ?"),
                           {QStringLiteral("nothing")});
        ExcelExport exporter(path);
        QVERIFY2(exporter.write(q, 1, 2), qPrintable(exporter.errorText()));
        QCOMPARE(exporter.rowsWritten(), 0);
        const auto r = readBack(path);
        QVERIFY(r);
        QCOMPARE(r->rowCount(), 1);
        QCOMPARE(rowTexts(*r, 1), (QStringList{QStringLiteral("名称"), QStringLiteral("价格")}));
    }

    // A list screen's query has usually been read to fill the grid before the export.
    void queryAlreadyReadIsRunAgain()
    {
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const int books = lib.db().scalar(QStringLiteral("select count(*) from 图书")).toInt();
        QSqlQuery q = lib.db().query(QStringLiteral("select 编号 from 图书 where 数量 >= ?"), {0});
        while (q.next()) {
        }
        QTemporaryDir dir;
        ExcelExport exporter(dir.filePath(QStringLiteral("again.xlsx")));
        QVERIFY2(exporter.write(q, 0, 0), qPrintable(exporter.errorText()));
        QCOMPARE(exporter.rowsWritten(), qint64(books));
    }

    void cancelAndFailureLeaveNoFile_data()
    {
        QTest::addColumn<int>("cancelAt"); // rows written when progress says stop; -1 never
        QTest::addColumn<bool>("badFolder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("cancel while writing") << 500 << false << QStringLiteral("导出已取消");
        QTest::newRow("cancel at the end") << 600 << false << QStringLiteral("导出已取消");
        QTest::newRow("folder missing") << -1 << true << QStringLiteral("无法保存 Excel 文件");
    }
    void cancelAndFailureLeaveNoFile()
    {
        QFETCH(int, cancelAt);
        QFETCH(bool, badFolder);
        QFETCH(QString, expected);
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString path = badFolder ? dir.filePath(QStringLiteral("no/such/folder/x.xlsx"))
                                       : dir.filePath(QStringLiteral("x.xlsx"));
        QSqlQuery q =
            lib.db().query(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 "
                                          "from n where i < 600) select i from n"));
        ExcelExport exporter(path);
        QList<qint64> calls;
        exporter.setProgress([&](qint64 rows) {
            calls << rows;
            return rows != cancelAt;
        });
        QVERIFY(!exporter.write(q, 0, 0));
        QVERIFY2(exporter.errorText().contains(expected), qPrintable(exporter.errorText()));
        QCOMPARE(exporter.wasCancelled(), !badFolder);
        QVERIFY(!QFile::exists(path));
        if (badFolder) {
            QVERIFY(calls.isEmpty()); // refused before any row is read
        } else {
            QCOMPARE(calls.first(), 500);
            QCOMPARE(calls.last(), qint64(cancelAt));
        }
    }

    void refusesColumnsOutsideTheResult()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cols.xlsx"));
        QSqlQuery q = lib.db().query(QStringLiteral("select 编号, 名称 from 图书"));
        ExcelExport exporter(path);
        QVERIFY(!exporter.write(q, 1, 2));
        QVERIFY(!exporter.errorText().isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    void displayWidth_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::newRow("ascii") << QStringLiteral("abc 12") << 6;
        QTest::newRow("chinese") << QStringLiteral("红楼梦") << 6;
        QTest::newRow("mixed") << QStringLiteral("第2版") << 5;
        QTest::newRow("full-width punctuation") << QStringLiteral("（上）") << 6;
        QTest::newRow("hangul") << QStringLiteral("한국") << 4;
        QTest::newRow("beyond the basic plane") << QStringLiteral("𠀀a") << 3;
        QTest::newRow("accented latin") << QStringLiteral("Café") << 4;
    }
    void displayWidth()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QCOMPARE(ExcelExport::displayWidth(text), width);
    }

    // The screens' export: the workbook lands in the export folder and opens with the
    // desktop; when nothing opens it the operator is told where it is.
    void screenExportOpensOrTellsWhere_data()
    {
        QTest::addColumn<bool>("desktopCanOpen");
        QTest::newRow("opened") << true;
        QTest::newRow("nothing opens it") << false;
    }
    void screenExportOpensOrTellsWhere()
    {
        QFETCH(bool, desktopCanOpen);
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        setExcelExportFolder(dir.path());
        Clock::setNow(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
        RecordingMessenger messenger;
        messenger.desktopCanOpen = desktopCanOpen;
        QSqlQuery q = lib.db().query(QStringLiteral("select 编号, 名称 from 图书 order by 编号"));
        const bool ok = ExportToExcel(q, 0, 1);
        // A second export in the same second gets a file of its own.
        QSqlQuery again = lib.db().query(QStringLiteral("select 编号 from 图书"));
        const bool okAgain = ExportToExcel(again, 0, 0);
        Clock::setNow({});
        setExcelExportFolder({});
        QVERIFY(ok);
        QVERIFY(okAgain);
        const QString first =
            QDir(dir.path()).absoluteFilePath(QStringLiteral("导出_20240506_070809.xlsx"));
        const QString second =
            QDir(dir.path()).absoluteFilePath(QStringLiteral("导出_20240506_070809_2.xlsx"));
        QCOMPARE(messenger.opened, (QStringList{first, second}));
        const auto r = readBack(first);
        QVERIFY(r);
        QCOMPARE(r->rowCount(),
                 1 + lib.db().scalar(QStringLiteral("select count(*) from 图书")).toInt());
        if (desktopCanOpen) {
            QVERIFY(messenger.shown.isEmpty());
        } else {
            QCOMPARE(messenger.shown.size(), 2);
            QCOMPARE(messenger.shown.first().kind, QStringLiteral("information"));
            QVERIFY2(messenger.shown.first().text.contains(first),
                     qPrintable(messenger.shown.first().text));
        }
    }

    void screenExportShowsFailure()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        setExcelExportFolder(dir.filePath(QStringLiteral("gone")));
        RecordingMessenger messenger;
        QSqlQuery q = lib.db().query(QStringLiteral("select 编号 from 图书"));
        const bool ok = ExportToExcel(q, 0, 0);
        setExcelExportFolder({});
        QVERIFY(!ok);
        QVERIFY(messenger.opened.isEmpty());
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown.first().kind, QStringLiteral("error"));
        QVERIFY2(messenger.shown.first().text.contains(QStringLiteral("gone")),
                 qPrintable(messenger.shown.first().text));
    }

    // `tushu --dir DIR --export TABLE FILE`: the library named by DIR/de.ini, any table of
    // the schema and nothing else.
    void tableExportOfALibrary_data() { addEngines(); }
    void tableExportOfALibrary()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QString error;
        QVERIFY2(lib.writeSettingsFile(&error), qPrintable(error));
        QTemporaryDir out;
        const QString file = out.filePath(QStringLiteral("图书.xlsx"));
        const TableExport::Result result =
            TableExport::run(lib.dir(), QStringLiteral("图书"), file);
        QVERIFY2(result.ok, qPrintable(result.message));
        const int books = lib.db().scalar(QStringLiteral("select count(*) from 图书")).toInt();
        QCOMPARE(result.rows, qint64(books));
        QVERIFY2(result.message.contains(QDir::toNativeSeparators(file)),
                 qPrintable(result.message));
        const auto r = readBack(file);
        QVERIFY(r);
        QCOMPARE(r->rowCount(), books + 1);
        const TableDef* table = Schema::table(QStringLiteral("图书"));
        QCOMPARE(r->columnCount(), table->columns.size());
        for (int c = 0; c < table->columns.size(); ++c)
            QCOMPARE(r->cell(1, c + 1), table->columns.at(c).name);
        // The first book as the database has it.
        QSqlQuery first =
            lib.db().query(QStringLiteral("select 编号, 名称, 价格 from 图书 order by 编号"));
        QVERIFY(first.next());
        bool found = false;
        for (int row = 2; row <= r->rowCount() && !found; ++row) {
            if (r->cell(row, 1) != first.value(0).toString())
                continue;
            found = true;
            QCOMPARE(r->cell(row, 2), first.value(1).toString());
            QCOMPARE(r->cell(row, 13), DbValue::toMoney(first.value(2)).toString());
        }
        QVERIFY(found);
    }

    void tableExportRefuses_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("withSettings");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not a table")
            << QStringLiteral("sqlite_master") << true << QStringLiteral("不是");
        QTest::newRow("statement")
            << QStringLiteral("图书; drop table 图书") << true << QStringLiteral("不是");
        QTest::newRow("no de.ini") << QStringLiteral("读者库") << false << QStringLiteral("de.ini");
    }
    void tableExportRefuses()
    {
        QFETCH(QString, table);
        QFETCH(bool, withSettings);
        QFETCH(QString, expected);
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QString error;
        if (withSettings)
            QVERIFY(lib.writeSettingsFile(&error));
        QTemporaryDir out;
        const QString file = out.filePath(QStringLiteral("x.xlsx"));
        const TableExport::Result result = TableExport::run(lib.dir(), table, file);
        QVERIFY(!result.ok);
        QVERIFY2(result.message.contains(expected), qPrintable(result.message));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 图书")).toInt() > 0, true);
    }
};

TUSHU_TEST(ExcelExportTest)
#include "tst_ExcelExport.moc"
