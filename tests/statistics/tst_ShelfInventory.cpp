#include "../circulation/CirculationFixture.h"
#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/SpreadsheetReader.h"
#include "report/ReportPreview.h"
#include "statistics/ShelfInventory.h"
#include "statistics/ShelfInventoryUt.h"
#include "widgets/DataGrid.h"
#include "widgets/ExportToExcel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

// The shelf "一楼" holds five items: four books (B2 lent, no copy on the shelf) and one
// periodical issue; "二楼" holds B6 and B7.
void addShelf(const Database& db)
{
    using Fixture::Item;
    const auto item = [&](const char* table, const char* number, const char* barcode,
                          const char* place, int copies) {
        Item it;
        it.table = QString::fromUtf8(table);
        it.number = QString::fromUtf8(number);
        it.title = it.number + QStringLiteral("名");
        it.barcode = QString::fromUtf8(barcode);
        it.place = QString::fromUtf8(place);
        it.copies = copies;
        Fixture::addItem(db, it);
    };
    item("图书", "B1", "6901", "一楼", 1);
    item("图书", "B2", "6902", "一楼", 0);
    item("图书", "B3", "6903", "一楼", 2);
    item("图书", "B4", "6904", "一楼", 1);
    item("期刊", "Q1", "7701", "一楼", 1);
    item("图书", "B6", "6906", "二楼", 1);
    item("图书", "B7", "6907", "二楼", 1);
    Fixture::Reader r;
    Fixture::addReader(db, r);
    Fixture::Loan loan;
    loan.item = QStringLiteral("B2");
    loan.barcode = QStringLiteral("6902");
    loan.lent = QDate(2026, 2, 1);
    loan.due = QDate(2026, 3, 1);
    Fixture::addLoan(db, loan);
}

QStringList numbers(const Database& db, const ListStatement& s)
{
    QSqlQuery q = db.query(s.sql, s.values);
    QStringList out;
    while (q.next())
        out << q.value(QStringLiteral("类别")).toString() + QLatin1Char(':') +
                   q.value(QStringLiteral("编号")).toString();
    out.sort();
    return out;
}

QStringList gridNumbers(const DataGrid* g)
{
    QStringList out;
    for (int r = 0; r < g->rowCount(); ++r)
        out << g->value(r, QStringLiteral("类别")).toString() + QLatin1Char(':') +
                   g->value(r, QStringLiteral("编号")).toString();
    out.sort();
    return out;
}

int storedScans(const Database& db)
{
    return Fixture::intOf(db, QStringLiteral("select count(*) from 盘点扫描"));
}

// The shelves above in a new library.
struct Shelf : Fixture::FixedDesk
{
    explicit Shelf(int engine) : FixedDesk(engine)
    {
        if (lib.ok())
            addShelf(db());
    }
};

// A scan of a book by its number.
InventoryScan scanBook(const ShelfInventory& rules, int inventory, const char* number)
{
    return rules.scan(inventory, QStringLiteral("图书"), QStringLiteral("编号"),
                      QString::fromUtf8(number));
}

} // namespace

class ShelfInventoryTest : public QObject
{
    Q_OBJECT
private slots:
    // Scans of B1 by number, B3 by barcode, the issue Q1, B6 of the other shelf and the lent
    // B2; B1 twice and an unknown barcode.
    void threeLists_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QStringList>("missing");
        QTest::addColumn<QStringList>("misplaced");
        for (int engine : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* name = engine == TestLibrary::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s one place", name) << engine << QStringLiteral("一楼")
                                                << QStringList{"图书:B4"} << QStringList{"图书:B6"};
            // Every place: B7 of the other shelf is missing too, and nothing is misplaced.
            QTest::addRow("%s every place", name)
                << engine << QString() << QStringList{"图书:B4", "图书:B7"} << QStringList{};
        }
    }
    void threeLists()
    {
        QFETCH(int, engine);
        QFETCH(QString, place);
        QFETCH(QStringList, missing);
        QFETCH(QStringList, misplaced);
        TUSHU_REQUIRE_ENGINE(engine);
        Shelf s(engine);
        QVERIFY2(s.lib.ok(), qPrintable(s.lib.error()));
        const ShelfInventory rules(s.db());
        const InventoryRun run = rules.start(place, QStringLiteral("甲"));
        const QString book = QStringLiteral("图书");
        const QString number = QStringLiteral("编号");
        const QString barcode = QStringLiteral("条形码");

        InventoryScan scan = rules.scan(run.id, book, number, QStringLiteral("B1"));
        QVERIFY(scan.found && scan.counted);
        QCOMPARE(scan.名称, QStringLiteral("B1名"));
        QCOMPARE(scan.scanned, 1);
        scan = rules.scan(run.id, book, number, QStringLiteral("B1"));
        QVERIFY(scan.found);
        QVERIFY(!scan.counted);
        QCOMPARE(scan.scanned, 1);
        QCOMPARE(rules.scan(run.id, book, barcode, QStringLiteral("6903")).编号,
                 QStringLiteral("B3"));
        QVERIFY(rules.scan(run.id, QStringLiteral("期刊"), number, QStringLiteral("Q1")).counted);
        QVERIFY(rules.scan(run.id, book, barcode, QStringLiteral("6906")).counted);
        QVERIFY(rules.scan(run.id, book, number, QStringLiteral("B2")).counted);
        // A periodical's number is not a book's: nothing stored.
        scan = rules.scan(run.id, book, number, QStringLiteral("Q1"));
        QVERIFY(!scan.found);
        QCOMPARE(scan.message, QStringLiteral("没有找到该图书的数据,请重新输入."));
        QVERIFY(!rules.scan(run.id, book, barcode, QStringLiteral("0000")).found);
        QCOMPARE(rules.scannedCount(run.id), 5);
        QCOMPARE(storedScans(s.db()), 5);

        rules.finish(run.id);
        QCOMPARE(numbers(s.db(), rules.missing(run)), missing);
        QCOMPARE(numbers(s.db(), rules.misplaced(run)), misplaced);
        QCOMPARE(numbers(s.db(), rules.onLoan(run)), QStringList{"图书:B2"});
        QSqlQuery q = s.db().query(rules.onLoan(run).sql, rules.onLoan(run).values);
        QVERIFY(q.next());
        QCOMPARE(q.value(QStringLiteral("读者编号")).toString(), QStringLiteral("R1"));
        QCOMPARE(DbValue::dateText(q.value(QStringLiteral("应还日期"))),
                 QStringLiteral("2026-03-01"));
    }

    // The issues of a periodical share one barcode: each scan of it counts one more issue,
    // those of the inventory's place first, until every one is counted; none is left on
    // the missing list by a scan that said it was counted already.
    void sharedBarcode_data() { addEngines(); }
    void sharedBarcode()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Shelf s(engine);
        QVERIFY2(s.lib.ok(), qPrintable(s.lib.error()));
        for (const auto& [number, place] :
             {std::pair{"Q4", "二楼"}, {"Q3", "一楼"}, {"Q2", "一楼"}}) {
            Fixture::Item issue;
            issue.table = QStringLiteral("期刊");
            issue.number = QString::fromUtf8(number);
            issue.title = QStringLiteral("读者文摘");
            issue.barcode = QStringLiteral("7788");
            issue.place = QString::fromUtf8(place);
            Fixture::addItem(s.db(), issue);
        }
        const ShelfInventory rules(s.db());
        const InventoryRun run = rules.start(QStringLiteral("一楼"), {});
        const auto scanIssue = [&] {
            return rules.scan(run.id, QStringLiteral("期刊"), QStringLiteral("条形码"),
                              QStringLiteral("7788"));
        };
        QStringList counted;
        QList<int> left;
        for (int i = 0; i < 3; ++i) {
            const InventoryScan scan = scanIssue();
            QVERIFY(scan.found && scan.counted);
            counted << scan.编号;
            left << scan.uncounted;
        }
        QCOMPARE(counted, (QStringList{"Q2", "Q3", "Q4"}));
        QCOMPARE(left, (QList<int>{2, 1, 0}));
        const InventoryScan again = scanIssue();
        QVERIFY(again.found);
        QVERIFY(!again.counted);
        QCOMPARE(again.scanned, 3);
        QCOMPARE(numbers(s.db(), rules.missing(run)),
                 (QStringList{"图书:B1", "图书:B3", "图书:B4", "期刊:Q1"}));
        QCOMPARE(numbers(s.db(), rules.misplaced(run)), QStringList{"期刊:Q4"});

        // A scan by number takes that issue only.
        const InventoryRun byNumber = rules.start(QStringLiteral("一楼"), {});
        const InventoryScan q3 = rules.scan(byNumber.id, QStringLiteral("期刊"),
                                            QStringLiteral("编号"), QStringLiteral("Q3"));
        QVERIFY(q3.counted);
        QCOMPARE(q3.编号, QStringLiteral("Q3"));
        QCOMPARE(q3.uncounted, 0);
    }

    // The inventory's id is the row its own insert made, even when a larger id is there
    // already (a row stored with its id, as another desk's insert of the same moment).
    void startTakesItsOwnId_data() { addEngines(); }
    void startTakesItsOwnId()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Shelf s(engine);
        QVERIFY2(s.lib.ok(), qPrintable(s.lib.error()));
        s.db().execute(QStringLiteral("insert into 盘点 (id, 存放位置, 开始时间, 管理员) values "
                                      "(1000, ?, ?, ?)"),
                       {QStringLiteral("二楼"), Fixture::fixedNow(), QStringLiteral("乙")});
        const ShelfInventory rules(s.db());
        const InventoryRun run = rules.start(QStringLiteral("一楼"), QStringLiteral("甲"));
        QCOMPARE(s.db()
                     .scalar(QStringLiteral("select 管理员 from 盘点 where id = ?"), {run.id})
                     .toString(),
                 QStringLiteral("甲"));
        const InventoryRun second = rules.start(QString(), QStringLiteral("丙"));
        QVERIFY(second.id != run.id);
        QCOMPARE(s.db()
                     .scalar(QStringLiteral("select 管理员 from 盘点 where id = ?"), {second.id})
                     .toString(),
                 QStringLiteral("丙"));
    }

    // A scan in another inventory counts there, not here.
    void inventoriesApart_data() { addEngines(); }
    void inventoriesApart()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Shelf s(engine);
        QVERIFY2(s.lib.ok(), qPrintable(s.lib.error()));
        const ShelfInventory rules(s.db());
        const InventoryRun first = rules.start(QStringLiteral("一楼"), {});
        scanBook(rules, first.id, "B4");
        rules.finish(first.id);
        const InventoryRun second = rules.start(QStringLiteral("一楼"), {});
        QVERIFY(scanBook(rules, second.id, "B4").counted);
        QCOMPARE(rules.scannedCount(second.id), 1);
        QCOMPARE(numbers(s.db(), rules.missing(first)),
                 (QStringList{"图书:B1", "图书:B3", "期刊:Q1"}));
    }

    // The scans are stored as they are made: a new connection (a restart) finds the
    // unfinished inventory with them, and a finished one is not offered again.
    void resumesAfterRestart_data() { addEngines(); }
    void resumesAfterRestart()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Shelf s(engine);
        QVERIFY2(s.lib.ok(), qPrintable(s.lib.error()));
        int id = 0;
        {
            const ShelfInventory rules(s.db());
            QVERIFY(!rules.unfinished());
            id = rules.start(QStringLiteral("一楼"), QStringLiteral("甲")).id;
            scanBook(rules, id, "B1");
            scanBook(rules, id, "B3");
        }
        s.db().close();
        QString error;
        QVERIFY2(s.db().open(s.lib.kind(), s.lib.connectionString(), &error, s.lib.dir()),
                 qPrintable(error));
        const ShelfInventory rules(s.db());
        const std::optional<InventoryRun> run = rules.unfinished();
        QVERIFY(run);
        QCOMPARE(run->id, id);
        QCOMPARE(run->place, QStringLiteral("一楼"));
        QCOMPARE(run->scanned, 2);
        QCOMPARE(run->started, Fixture::fixedNow());
        QCOMPARE(ShelfInventory::resumeQuestion(*run),
                 QStringLiteral("有一次未完成的盘点(一楼, 2026-03-02 10:00开始, 已扫描2件), "
                                "是否继续?"));
        QVERIFY(!scanBook(rules, id, "B3").counted);
        rules.scan(id, QStringLiteral("期刊"), QStringLiteral("条形码"), QStringLiteral("7701"));
        QCOMPARE(numbers(s.db(), rules.missing(*run)), QStringList{"图书:B4"});
        rules.finish(id);
        QVERIFY(!rules.unfinished());
    }

    // The screen: an unknown barcode beeps and is not stored, Enter leaves the field empty
    // for the next scan, "完成" fills the three tabs; each prints and exports.
    void screen_data() { addEngines(); }
    void screen()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Shelf s(engine);
        QVERIFY2(s.lib.ok(), qPrintable(s.lib.error()));
        TShelfInventoryFm fm;
        fm.show();
        QCOMPARE(fm.windowTitle(), QStringLiteral("扫描盘点"));
        QVERIFY(!fm.scanEdit()->isEnabled());
        QVERIFY(s.messenger.shown.isEmpty()); // nothing to resume
        QCOMPARE(fm.placeBox()->itemText(0), QStringLiteral("全部"));
        QCOMPARE(fm.placeBox()->itemText(1), QStringLiteral("书库"));
        fm.placeBox()->setCurrentText(QStringLiteral("一楼"));
        QCOMPARE(fm.placeBox()->currentText(), QStringLiteral("一楼"));
        fm.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
        QVERIFY(fm.run());
        QVERIFY(fm.scanEdit()->isEnabled());
        const auto scan = [&](const char* text) {
            QTest::keyClicks(fm.scanEdit(), QString::fromUtf8(text));
            QTest::keyClick(fm.scanEdit(), Qt::Key_Return);
        };
        scan("ZZZ");
        QCOMPARE(s.messenger.beeps, 1);
        QCOMPARE(storedScans(s.db()), 0);
        QVERIFY(fm.scanEdit()->text().isEmpty());
        for (const char* n : {"B1", "B1", "B3", "B6", "B2"})
            scan(n);
        QCOMPARE(s.messenger.beeps, 1);
        QCOMPARE(fm.countLabel()->text(), QStringLiteral("已扫描: 4"));
        QVERIFY(s.messenger.shown.isEmpty());

        fm.findChild<QPushButton*>(QStringLiteral("finishButton"))->click();
        QVERIFY(fm.lists()->isEnabled());
        QCOMPARE(fm.lists()->tabText(0), QStringLiteral("缺失"));
        // Q1 was not scanned here: the books tab was chosen throughout.
        QCOMPARE(gridNumbers(fm.listGrid(0)), (QStringList{"图书:B4", "期刊:Q1"}));
        QCOMPARE(gridNumbers(fm.listGrid(1)), QStringList{"图书:B6"});
        QCOMPARE(gridNumbers(fm.listGrid(2)), QStringList{"图书:B2"});
        QVERIFY(!ShelfInventory(s.db()).unfinished());

        QStringList printed;
        setReportPreviewHook([&](const PreparedReport& p) { printed = p.textsOf("Memo2"); });
        fm.findChild<QPushButton*>(QStringLiteral("printButton0"))->click();
        setReportPreviewHook({});
        printed.sort();
        QCOMPARE(printed, (QStringList{"B4", "Q1"}));

        QTemporaryDir out;
        setExcelExportFolder(out.path());
        fm.findChild<QPushButton*>(QStringLiteral("exportButton2"))->click();
        setExcelExportFolder({});
        QCOMPARE(s.messenger.opened.size(), 1);
        QString error;
        const auto sheet = SpreadsheetReader::openFile(s.messenger.opened.first(), &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->rowCount(), 2);
        QCOMPARE(sheet->cell(2, 2), QStringLiteral("B2"));
    }

    // Opened again over an unfinished inventory, the screen offers to go on with it; declined,
    // that inventory is closed and a new one can start.
    void screenResumes_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("resume");
        QTest::newRow("sqlite resume") << int(TestLibrary::SQLite) << true;
        QTest::newRow("sqlite decline") << int(TestLibrary::SQLite) << false;
        QTest::newRow("postgresql resume") << int(TestLibrary::PostgreSQL) << true;
    }
    void screenResumes()
    {
        QFETCH(int, engine);
        QFETCH(bool, resume);
        TUSHU_REQUIRE_ENGINE(engine);
        Shelf s(engine);
        QVERIFY2(s.lib.ok(), qPrintable(s.lib.error()));
        {
            TShelfInventoryFm fm;
            fm.show();
            fm.placeBox()->setCurrentText(QStringLiteral("二楼"));
            fm.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
            QTest::keyClicks(fm.scanEdit(), QStringLiteral("B6"));
            QTest::keyClick(fm.scanEdit(), Qt::Key_Return);
        }
        s.messenger.confirmAnswers << resume;
        TShelfInventoryFm fm;
        fm.show();
        QCOMPARE(s.messenger.shown.size(), 1);
        QCOMPARE(s.messenger.shown.first().kind, QStringLiteral("confirm"));
        QVERIFY(s.messenger.lastText().contains(QStringLiteral("已扫描1件")));
        QCOMPARE(bool(fm.run()), resume);
        QCOMPARE(fm.scanEdit()->isEnabled(), resume);
        if (resume) {
            QCOMPARE(fm.placeBox()->currentText(), QStringLiteral("二楼"));
            QCOMPARE(fm.countLabel()->text(), QStringLiteral("已扫描: 1"));
        } else {
            QVERIFY(!ShelfInventory(s.db()).unfinished());
        }
    }
};

TUSHU_TEST(ShelfInventoryTest)
#include "tst_ShelfInventory.moc"
