#include "../common/MarcFixtures.h"
#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/InMarcDataUt.h"
#include "catalogue/MarcImport.h"
#include "data/LoginState.h"

#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

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
        QVERIFY2(result.failed.value(4).contains(QStringLiteral("重复")),
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
        const MarcImport::Result result = import.run({2});
        QCOMPARE(result.imported(), 1);
        QVERIFY(book(lib.db(), QStringLiteral("00012345")).isEmpty());
        QCOMPARE(book(lib.db(), QStringLiteral("00012347")).value(QStringLiteral("名称")),
                 QStringLiteral("红楼梦"));
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
        auto* table = screen.findChild<QTableWidget*>(QStringLiteral("previewTable"));
        QVERIFY(table);
        QCOMPARE(table->rowCount(), 2);
        QVERIFY(start->isEnabled());
        const int titleColumn =
            int(TInMarcDataFm::previewCaptions().indexOf(QStringLiteral("名称")));
        const int numberColumn =
            int(TInMarcDataFm::previewCaptions().indexOf(QStringLiteral("编号")));
        QCOMPARE(table->item(0, titleColumn)->text(), QStringLiteral("计算机网络"));
        QCOMPARE(table->item(0, numberColumn)->text(), QStringLiteral("00012345"));
        QCOMPARE(table->item(0, 0)->checkState(), Qt::Unchecked); // its ISBN is held
        QVERIFY(table->item(0, 2)->text().contains(QStringLiteral("已有此ISBN")));
        QCOMPARE(table->item(1, 0)->checkState(), Qt::Checked);

        auto* numbering = screen.findChild<QComboBox*>(QStringLiteral("numberingCombo"));
        numbering->setCurrentIndex(2); // 自动增加编号
        QCOMPARE(table->item(1, numberColumn)->text(), QStringLiteral("2"));

        screen.startClick();
        QCOMPARE(messages.lastText(), QStringLiteral("完成! 导入1条记录."));
        QCOMPARE(bookCount(lib.db()), 2);
        QCOMPARE(book(lib.db(), QStringLiteral("2")).value(QStringLiteral("名称")),
                 QStringLiteral("红楼梦"));
        // After the import the preview marks the record as held.
        QVERIFY(table->item(1, 2)->text().contains(QStringLiteral("已有此编号")));
    }
};
TUSHU_TEST(InMarcDataScreenTest)

#include "tst_MarcImport.moc"
