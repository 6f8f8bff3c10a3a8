#include "../common/MarcFixtures.h"
#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/InMarcDataUt.h"
#include "catalogue/MarcImport.h"
#include "data/LoginState.h"
#include "marc/MarcWriter.h"

#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

// The columns of one stored book, by name, as text.
QHash<QString, QString> book(const Database& db, const QString& number)
{
    QHash<QString, QString> out;
    QSqlQuery q = db.query(QStringLiteral("select 编号,名称,条形码,索书号,分类号,zch,数量,作者,"
                                          "译者,价格,isbn,出版社,出版时间,页数,py,简介,版次,"
                                          "状态,借出次数 from 图书 where 编号 = ?"),
                           {number});
    if (!q.next())
        return out;
    const QSqlRecord r = q.record();
    for (int i = 0; i < r.count(); ++i)
        out.insert(r.fieldName(i), DbValue::toText(q.value(i)));
    return out;
}

int bookCount(const Database& db)
{
    return db.scalar(QStringLiteral("select count(*) from 图书")).toInt();
}

void addBook(const Database& db, const QString& number, const QString& isbn,
             const QString& classNumber, int zch)
{
    db.execute(
        QStringLiteral("insert into 图书 (编号,名称,isbn,分类号,zch,数量,价格,借出次数,状态) "
                       "values (?,?,?,?,?,1,0,0,?)"),
        {number, QStringLiteral("馆藏"), isbn, classNumber, zch, QStringLiteral("正常")});
}

MarcImportOptions options(MarcNumbering numbering)
{
    MarcImportOptions o;
    o.numbering = numbering;
    return o;
}

const QString kWithoutHoldings = QStringLiteral("00000nam0 2200000   450 \n"
                                                "001 cn-1\n"
                                                "100    $a 20060101d2006    em y0chiy50      ea\n"
                                                "200 1  $a 数据结构 $f 严蔚敏编著\n"
                                                "690    $a TP311.12\n"
                                                "\n"
                                                "00000nam0 2200000   450 \n"
                                                "001 cn-2\n"
                                                "100    $a 20060101d2006    em y0chiy50      ea\n"
                                                "200 1  $a 算法导论\n"
                                                "690    $a TP311.12\n"
                                                "\n"
                                                "00000nam0 2200000   450 \n"
                                                "001 cn-3\n"
                                                "100    $a 20060101d2006    em y0chiy50      ea\n"
                                                "200 1  $a 编译原理\n"
                                                "690    $a TP314\n"
                                                "905    $b C3 $d TP314 $e 4\n"
                                                "\n"
                                                "00000nam0 2200000   450 \n"
                                                "001 cn-4\n"
                                                "100    $a 20060101d2006    em y0chiy50      ea\n"
                                                "200 1  $a 操作系统\n"
                                                "690    $a TP314\n"
                                                "\n");

// A shipment of n CNMARC records (UTF-8), barcodes M0000001..., every third without 种次号.
QByteArray shipment(int n, MarcSyntax syntax = MarcSyntax::Iso2709)
{
    MarcWriter writer(MarcFormat::Cnmarc, syntax, QDate(2026, 12, 11));
    QString error;
    for (int i = 1; i <= n; ++i) {
        const QString number = QStringLiteral("M%1").arg(i, 7, 10, QLatin1Char('0'));
        MarcColumns book{
            {QStringLiteral("编号"), number},
            {QStringLiteral("条形码"), number},
            {QStringLiteral("名称"), QStringLiteral("网络原理第%1卷").arg(i)},
            {QStringLiteral("isbn"), QStringLiteral("9787115%1").arg(i, 6, 10, QLatin1Char('0'))},
            {QStringLiteral("分类号"), QStringLiteral("TP%1").arg(i % 7)}};
        if (i % 3 != 0)
            book.insert(QStringLiteral("zch"), QString::number(i));
        if (!writer.add(book, &error))
            qWarning("%s", qPrintable(error));
    }
    return writer.finish();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class MarcImportTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { LoginState::reset(); }

    // A supplier's GBK shipment goes in with the barcodes, class numbers and 种次号 of its
    // holdings; pinyin initials are made as book entry makes them.
    void shipmentImportsAsTheFileGivesIt_data() { addEngines(); }
    void shipmentImportsAsTheFileGivesIt()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QByteArray data = MarcFixtures::iso2709(MarcFixtures::cnmarcShipment(), "gb18030");
        QVERIFY(!data.isEmpty());
        MarcImport import(lib.db(), options(MarcNumbering::Barcode));
        QString error;
        QVERIFY2(import.loadData(data, &error), qPrintable(error));
        QCOMPARE(import.records().size(), size_t(2));
        const MarcImport::Result result = import.run();
        QVERIFY2(result.stored(), qPrintable(result.import.error));
        QCOMPARE(result.imported(), 2);
        QVERIFY(result.failed.isEmpty());
        const QHash<QString, QString> first = book(lib.db(), QStringLiteral("00012345"));
        QCOMPARE(first.value(QStringLiteral("名称")), QStringLiteral("计算机网络"));
        QCOMPARE(first.value(QStringLiteral("条形码")), QStringLiteral("00012345"));
        QCOMPARE(first.value(QStringLiteral("分类号")), QStringLiteral("TP393.0"));
        QCOMPARE(first.value(QStringLiteral("zch")), QStringLiteral("12"));
        QCOMPARE(first.value(QStringLiteral("索书号")), QStringLiteral("TP393.0/12"));
        QCOMPARE(first.value(QStringLiteral("数量")), QStringLiteral("2"));
        QCOMPARE(first.value(QStringLiteral("价格")), QStringLiteral("35"));
        QCOMPARE(first.value(QStringLiteral("isbn")), QStringLiteral("978-7-115-11311-5"));
        QCOMPARE(first.value(QStringLiteral("作者")), QStringLiteral("谢希仁编著"));
        QCOMPARE(first.value(QStringLiteral("译者")), QStringLiteral("张三译"));
        QCOMPARE(first.value(QStringLiteral("出版社")), QStringLiteral("电子工业出版社"));
        QCOMPARE(first.value(QStringLiteral("出版时间")), QStringLiteral("2004"));
        QCOMPARE(first.value(QStringLiteral("页数")), QStringLiteral("235"));
        QCOMPARE(first.value(QStringLiteral("版次")), QStringLiteral("第2版"));
        QCOMPARE(first.value(QStringLiteral("py")), QStringLiteral("JSJWL"));
        QCOMPARE(first.value(QStringLiteral("状态")), QStringLiteral("正常"));
        QCOMPARE(first.value(QStringLiteral("借出次数")), QStringLiteral("0"));
        const QHash<QString, QString> second = book(lib.db(), QStringLiteral("00012347"));
        QCOMPARE(second.value(QStringLiteral("名称")), QStringLiteral("红楼梦"));
        QCOMPARE(second.value(QStringLiteral("价格")), QStringLiteral("59.7"));
        QCOMPARE(second.value(QStringLiteral("索书号")), QStringLiteral("I242.4/3"));
        QCOMPARE(second.value(QStringLiteral("py")), QStringLiteral("HLM"));
    }

    // Without holdings the 种次号 continues the library's and the file's numbering of the
    // class, and the call number is made from it, as book entry does.
    void missingCallNumbersAreMade_data() { addEngines(); }
    void missingCallNumbersAreMade()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addBook(lib.db(), QStringLiteral("OLD1"), QString(), QStringLiteral("TP311.12"), 12);
        MarcImport import(lib.db(), options(MarcNumbering::ControlNumber));
        QString error;
        QVERIFY2(import.loadData(MarcFixtures::iso2709(kWithoutHoldings, "utf-8"), &error),
                 qPrintable(error));
        const MarcImport::Result result = import.run();
        QVERIFY2(result.stored(), qPrintable(result.import.error));
        QCOMPARE(result.imported(), 4);
        const QStringList expected{QStringLiteral("cn-1=TP311.12/13"),
                                   QStringLiteral("cn-2=TP311.12/14"),
                                   QStringLiteral("cn-3=TP314/4"), QStringLiteral("cn-4=TP314/5")};
        QStringList got;
        for (const char* n : {"cn-1", "cn-2", "cn-3", "cn-4"}) {
            const auto b = book(lib.db(), QString::fromLatin1(n));
            got << QString::fromLatin1(n) + QLatin1Char('=') + b.value(QStringLiteral("索书号"));
            QCOMPARE(b.value(QStringLiteral("索书号")).section(QLatin1Char('/'), 1),
                     b.value(QStringLiteral("zch")));
            QCOMPARE(b.value(QStringLiteral("数量")), QStringLiteral("1"));
            QCOMPARE(b.value(QStringLiteral("价格")), QStringLiteral("0"));
        }
        QCOMPARE(got, expected);
    }

    void numberingIsTheOperatorsChoice_data()
    {
        QTest::addColumn<int>("numbering");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("barcode") << int(MarcNumbering::Barcode)
                                 << QStringList{QStringLiteral("00012345"),
                                                QStringLiteral("00012347")};
        QTest::newRow("control number")
            << int(MarcNumbering::ControlNumber)
            << QStringList{QStringLiteral("012004002367"), QStringLiteral("012004002368")};
        QTest::newRow("auto") << int(MarcNumbering::Auto)
                              << QStringList{QStringLiteral("1"), QStringLiteral("2")};
    }
    void numberingIsTheOperatorsChoice()
    {
        QFETCH(int, numbering);
        QFETCH(QStringList, numbers);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        MarcImport import(lib.db(), options(MarcNumbering(numbering)));
        QString error;
        QVERIFY(import.loadData(MarcFixtures::iso2709(MarcFixtures::cnmarcShipment(), "gb18030"),
                                &error));
        QCOMPARE(import.run().imported(), 2);
        QSqlQuery q = lib.db().query(QStringLiteral("select 编号 from 图书 order by 编号"));
        QStringList got;
        while (q.next())
            got << q.value(0).toString();
        QCOMPARE(got, numbers);
    }

    // The preview marks what the library holds; the import refuses held numbers, numbers
    // twice in the file and unreadable records, each with its reason, and takes the rest.
    void duplicatesAndRefusedRecordsAreListed_data() { addEngines(); }
    void duplicatesAndRefusedRecordsAreListed()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addBook(lib.db(), QStringLiteral("00012347"), QString(), QString(), 1);
        addBook(lib.db(), QStringLiteral("OTHER"), QStringLiteral("9787115113115"), QString(), 1);
        QByteArray data = MarcFixtures::iso2709(MarcFixtures::cnmarcShipment(), "gb18030");
        QVERIFY(!data.isEmpty());
        // Record 3 lies about its length; record 4 repeats record 1's barcode.
        QByteArray liar = data.left(data.indexOf('\x1D') + 1);
        liar.replace(0, 5, "99999");
        data += liar.left(40) + QByteArray(1, '\x1D') + data.left(data.indexOf('\x1D') + 1);
        MarcImport import(lib.db(), options(MarcNumbering::Barcode));
        QString error;
        QVERIFY2(import.loadData(data, &error), qPrintable(error));
        const std::vector<MarcImportRecord>& records = import.records();
        QCOMPARE(records.size(), size_t(4));
        QVERIFY(records[0].isbnHeld); // held as 9787115113115, given as 978-7-115-11311-5
        QVERIFY(!records[0].numberHeld);
        QVERIFY(records[1].numberHeld);
        QVERIFY(!records[1].isbnHeld);
        QVERIFY(!records[2].refusal.isEmpty());
        const MarcImport::Result result = import.run();
        QVERIFY2(result.stored(), qPrintable(result.import.error));
        QCOMPARE(result.imported(), 1);
        QCOMPARE(result.failed.keys(), (QList<int>{2, 3, 4}));
        QVERIFY2(result.failed.value(2).contains(QStringLiteral("已存在")),
                 qPrintable(result.failed.value(2)));
        QVERIFY(result.failed.value(3).contains(QStringLiteral("超出了文件")));
        // The repeat names the record that had the barcode first.
        QVERIFY2(result.failed.value(4).contains(QStringLiteral("与第1行重复")),
                 qPrintable(result.failed.value(4)));
        QCOMPARE(bookCount(lib.db()), 3);
    }

    void onlyChosenRecordsAreImported()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        MarcImport import(lib.db(), options(MarcNumbering::Barcode));
        QString error;
        QVERIFY(import.loadData(MarcFixtures::iso2709(MarcFixtures::cnmarcShipment(), "gb18030"),
                                &error));
        const MarcImport::Result result = import.run([](int number) { return number == 2; });
        QCOMPARE(result.imported(), 1);
        QVERIFY(book(lib.db(), QStringLiteral("00012345")).isEmpty());
        QCOMPARE(book(lib.db(), QStringLiteral("00012347")).value(QStringLiteral("名称")),
                 QStringLiteral("红楼梦"));
    }

    // The preview reads any window of a long file again: each record with its own columns,
    // the 种次号 made for it at load included, and nothing past the last.
    void windowsOfTheFileAreReadAgain_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expected");
        QTest::newRow("start") << 1 << 10 << 10;
        QTest::newRow("middle") << 250 << 100 << 100;
        QTest::newRow("end") << 590 << 50 << 11;
        QTest::newRow("past the end") << 601 << 10 << 0;
    }
    void windowsOfTheFileAreReadAgain()
    {
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(int, expected);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shipment.mrc"));
        QVERIFY(writeFile(path, shipment(600)));
        MarcImport import(lib.db(), options(MarcNumbering::Barcode));
        QString error;
        QVERIFY2(import.load(path, &error), qPrintable(error));
        QCOMPARE(import.recordCount(), 600);
        const std::vector<MarcImportRecord> window = import.records(first, count);
        QCOMPARE(int(window.size()), expected);
        // The 种次号 a record lacks continues its class above every one the file gives.
        QHash<QString, int> highest;
        for (int i = 1; i <= 600; ++i)
            if (i % 3 != 0)
                highest[QStringLiteral("TP%1").arg(i % 7)] = i;
        QHash<QString, int> made = highest;
        QHash<int, int> zchOf;
        for (int i = 3; i <= 600; i += 3)
            zchOf[i] = ++made[QStringLiteral("TP%1").arg(i % 7)];
        for (int i = 0; i < int(window.size()); ++i) {
            const MarcImportRecord& r = window[size_t(i)];
            const int n = first + i;
            QCOMPARE(r.number, n);
            QCOMPARE(r.columns.value(QStringLiteral("编号")),
                     QStringLiteral("M%1").arg(n, 7, 10, QLatin1Char('0')));
            QCOMPARE(r.columns.value(QStringLiteral("名称")),
                     QStringLiteral("网络原理第%1卷").arg(n));
            QCOMPARE(r.columns.value(QStringLiteral("zch")).toInt(), n % 3 ? n : zchOf.value(n));
        }
    }

    // A file changed between the preview and the import is refused as a whole: nothing of
    // the new file goes in under the preview of the old one.
    void fileChangedAfterLoadIsRefused()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shipment.mrc"));
        QVERIFY(writeFile(path, shipment(20)));
        MarcImport import(lib.db(), options(MarcNumbering::Barcode));
        QString error;
        QVERIFY2(import.load(path, &error), qPrintable(error));
        const QByteArray other = MarcFixtures::iso2709(MarcFixtures::cnmarcShipment(), "gb18030");
        QVERIFY(writeFile(path, other + shipment(20)));
        const MarcImport::Result result = import.run();
        QVERIFY(!result.stored());
        QCOMPARE(result.import.error, MarcImport::changedFileText());
        QCOMPARE(result.imported(), 0);
        QCOMPARE(bookCount(lib.db()), 0);
    }

    // A MARCXML file is read as a stream too; one that breaks off after some records is
    // refused as a whole with the place it broke.
    void brokenMarcXmlIsRefusedAsAWhole()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QByteArray xml = shipment(2000, MarcSyntax::MarcXml);
        QVERIFY(!xml.isEmpty());
        MarcImport whole(lib.db(), options(MarcNumbering::Barcode));
        QString error;
        QVERIFY2(whole.loadData(xml, &error), qPrintable(error));
        QCOMPARE(whole.recordCount(), 2000);
        QCOMPARE(whole.records(1500, 1).at(0).columns.value(QStringLiteral("名称")),
                 QStringLiteral("网络原理第1500卷"));
        MarcImport broken(lib.db(), options(MarcNumbering::Barcode));
        QVERIFY(!broken.loadData(xml.left(xml.size() / 2), &error));
        QVERIFY2(error.contains(QStringLiteral("损坏")), qPrintable(error));
        QCOMPARE(broken.recordCount(), 0);
    }
};
TUSHU_TEST(MarcImportTest)

class InMarcDataScreenTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { LoginState::reset(); }

    // The preview lists every record, leaves the held ones unticked and marks them; the
    // import takes the ticked ones; changing the numbering reads the file again.
    void previewMarksHeldAndImportsTicked()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addBook(lib.db(), QStringLiteral("OTHER"), QStringLiteral("9787115113115"), QString(), 1);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shipment.mrc"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(MarcFixtures::iso2709(MarcFixtures::cnmarcShipment(), "gb18030"));
        file.close();
        RecordingMessenger messages;
        TInMarcDataFm screen;
        screen.show();
        for (QWidget* w : screen.findChildren<QWidget*>()) {
            if (auto* b = qobject_cast<QPushButton*>(w))
                QCOMPARE(b->accessibleName(), b->text());
        }
        auto* start = screen.findChild<QPushButton*>(QStringLiteral("startButton"));
        QVERIFY(start && !start->isEnabled());
        messages.fileAnswers.enqueue(path);
        screen.chooseClick();
        auto* table = screen.findChild<QTableView*>(QStringLiteral("previewTable"));
        QVERIFY(table && table->model());
        const QAbstractItemModel& model = *table->model();
        auto text = [&](int row, int column) { return model.index(row, column).data().toString(); };
        auto tick = [&](int row) { return model.index(row, 0).data(Qt::CheckStateRole).toInt(); };
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(start->isEnabled());
        const int titleColumn =
            int(TInMarcDataFm::previewCaptions().indexOf(QStringLiteral("名称")));
        const int numberColumn =
            int(TInMarcDataFm::previewCaptions().indexOf(QStringLiteral("编号")));
        QCOMPARE(text(0, titleColumn), QStringLiteral("计算机网络"));
        QCOMPARE(text(0, numberColumn), QStringLiteral("00012345"));
        QCOMPARE(tick(0), int(Qt::Unchecked)); // its ISBN is held
        QVERIFY(text(0, 2).contains(QStringLiteral("已有此ISBN")));
        QCOMPARE(tick(1), int(Qt::Checked));

        auto* numbering = screen.findChild<QComboBox*>(QStringLiteral("numberingCombo"));
        numbering->setCurrentIndex(2); // 自动增加编号
        QCOMPARE(text(1, numberColumn), QStringLiteral("2"));

        screen.startClick();
        QCOMPARE(messages.lastText(), QStringLiteral("完成! 导入1条记录."));
        QCOMPARE(bookCount(lib.db()), 2);
        QCOMPARE(book(lib.db(), QStringLiteral("2")).value(QStringLiteral("名称")),
                 QStringLiteral("红楼梦"));
        // After the import the preview marks the record as held.
        QVERIFY(text(1, 2).contains(QStringLiteral("已有此编号")));
    }

    // A long import moves the progress bar while the window goes on, and ends with the
    // result: the work runs beside the window, not in it.
    void importShowsProgressAndResult()
    {
        // Enough records for the bar, which moves five times a second, to show a step.
        constexpr int kRecords = 20000;
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shipment.mrc"));
        QVERIFY(writeFile(path, shipment(kRecords)));
        RecordingMessenger messages;
        auto* screen = new TInMarcDataFm;
        screen->show();
        messages.fileAnswers.enqueue(path);
        screen->chooseClick();
        QCOMPARE(screen->preview()->rowCount(), kRecords);
        auto* bar = screen->findChild<QProgressBar*>(QStringLiteral("progressBar"));
        QVERIFY(bar);
        QCOMPARE(bar->accessibleName(), QStringLiteral("进度"));
        QList<int> values; // while the import's range is set
        connect(bar, &QProgressBar::valueChanged, bar, [&](int v) {
            if (bar->maximum() == kRecords)
                values << v;
        });
        int timerTicks = 0;
        QTimer events;
        connect(&events, &QTimer::timeout, [&] { ++timerTicks; });
        events.start(20);
        screen->startClick();
        events.stop();
        QCOMPARE(messages.lastText(), QStringLiteral("完成! 导入%1条记录.").arg(kRecords));
        QCOMPARE(bookCount(lib.db()), kRecords);
        QVERIFY(values.contains(kRecords));
        QVERIFY2(std::any_of(values.cbegin(), values.cend(),
                             [&](int v) { return v > 0 && v < kRecords; }),
                 "the bar moved before the end");
        QVERIFY2(timerTicks > 0, "the window's events went on during the import");
        delete screen;
    }

    // "退出" during the import asks the spreadsheet import's question; yes stops it with
    // nothing stored and closes the window, no lets it finish.
    void stopDuringImportAsksFirst_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("stored");
        QTest::newRow("stop") << true << 0;
        QTest::newRow("go on") << false << 5000;
    }
    void stopDuringImportAsksFirst()
    {
        QFETCH(bool, answer);
        QFETCH(int, stored);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shipment.mrc"));
        QVERIFY(writeFile(path, shipment(5000)));
        RecordingMessenger messages;
        QPointer<TInMarcDataFm> screen = new TInMarcDataFm;
        screen->show();
        messages.fileAnswers.enqueue(path);
        screen->chooseClick();
        messages.confirmAnswers.enqueue(answer);
        // Pressed as soon as the import has started, while its records are still checked.
        QTimer::singleShot(0, screen, [&] {
            QVERIFY(screen->busy());
            screen->findChild<QPushButton*>(QStringLiteral("exitButton"))->click();
        });
        screen->startClick();
        const QStringList texts = messages.texts();
        QVERIFY(texts.contains(QStringLiteral("正在导入,确认要中止导入并退出吗?")));
        QCOMPARE(bookCount(lib.db()), stored);
        if (answer) {
            QVERIFY(screen->lastResult().import.cancelled);
            QVERIFY(!texts.contains(QStringLiteral("完成! 导入5000条记录.")));
            QTRY_VERIFY(screen.isNull()); // closed once the import rolled back
        } else {
            QCOMPARE(messages.lastText(), QStringLiteral("完成! 导入5000条记录."));
            QVERIFY(!screen.isNull() && screen->isVisible());
            delete screen;
        }
    }
};
TUSHU_TEST(InMarcDataScreenTest)

#include "tst_MarcImport.moc"
