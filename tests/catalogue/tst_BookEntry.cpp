#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/BookEntry.h"
#include "data/Clock.h"
#include "data/LoginState.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {

void addPublisher(const Database& db, const QString& name, const QString& isbn)
{
    db.execute(QStringLiteral("insert into 出版社名 (出版社名, ISBN, 出版地) values (?, ?, ?)"),
               {name, isbn, QStringLiteral("北京")});
}

void addBook(const Database& db, const QString& number, const QString& cls, const QVariant& zch,
             const QString& barcode = QStringLiteral("n"))
{
    db.execute(
        QStringLiteral(
            "insert into 图书 (编号, 名称, 条形码, 分类号, zch, 数量) values (?, ?, ?, ?, ?, 1)"),
        {number, QStringLiteral("书") + number, barcode, cls, zch});
}

BookRecord sampleRecord(const QString& number)
{
    BookRecord r = BookEntry::initialRecord();
    r.编号 = number;
    r.名称 = QStringLiteral("数据库原理");
    r.py = BookEntry::pinyin(r.名称);
    r.条形码 = QStringLiteral(" 9787115113115 ");
    r.分类号 = QStringLiteral("TP3");
    r.索书号 = QStringLiteral("TP3/1");
    r.zch = QStringLiteral("1");
    r.数量 = QStringLiteral("3");
    r.价格 = QStringLiteral("25.5");
    r.出版时间 = QDate(2003, 5, 1);
    r.作者 = QStringLiteral("  作者甲 ");
    r.电子文档 = QStringLiteral(" /docs/a.pdf");
    return r;
}

QSqlRecord bookRow(const Database& db, const QString& number)
{
    QSqlQuery q = db.query(QStringLiteral("select * from 图书 where 编号 = ?"), {number});
    return q.next() ? q.record() : QSqlRecord();
}

} // namespace

class BookEntryTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        LoginState::reset();
        LoginState::instance().OperatorName = QStringLiteral("张三");
        Clock::setNow(QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53)));
    }
    void cleanup() { Clock::setNow({}); }

    void publisherKeys()
    {
        QCOMPARE(BookEntry::publisherKeys(QStringLiteral("9787115113115")),
                 (QStringList{QStringLiteral("7-11"), QStringLiteral("7-115"),
                              QStringLiteral("7-1151"), QStringLiteral("7-11511"),
                              QStringLiteral("7-115113"), QStringLiteral("7-1151131")}));
        QCOMPARE(BookEntry::publisherKeys(QStringLiteral("n")),
                 QStringList(6, QStringLiteral("7-")));
    }

    void publisherLookup_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("barcode");
        QTest::addColumn<QStringList>("prefixes"); // publishers added as 社<prefix>
        QTest::addColumn<QString>("isbn");         // empty: no match
        QTest::newRow("shortest of 7-11 and 7-115 wins")
            << int(TestLibrary::SQLite) << QStringLiteral("9787115113115")
            << QStringList{QStringLiteral("7-115"), QStringLiteral("7-11")}
            << QStringLiteral("7-11");
        QTest::newRow("three-digit publisher code")
            << int(TestLibrary::SQLite) << QStringLiteral("9787115113115")
            << QStringList{QStringLiteral("7-115")} << QStringLiteral("7-115");
        QTest::newRow("seven-digit publisher code")
            << int(TestLibrary::SQLite) << QStringLiteral("9787123456789")
            << QStringList{QStringLiteral("7-1234567")} << QStringLiteral("7-1234567");
        QTest::newRow("eight digits are never tried")
            << int(TestLibrary::SQLite) << QStringLiteral("9787123456789")
            << QStringList{QStringLiteral("7-12345678")} << QString();
        QTest::newRow("first four characters not examined")
            << int(TestLibrary::SQLite) << QStringLiteral("0000302123456")
            << QStringList{QStringLiteral("7-302")} << QStringLiteral("7-302");
        QTest::newRow("no publisher with the prefix")
            << int(TestLibrary::SQLite) << QStringLiteral("9787302123456")
            << QStringList{QStringLiteral("7-115")} << QString();
        QTest::newRow("initial barcode n matches nothing")
            << int(TestLibrary::SQLite) << QStringLiteral("n")
            << QStringList{QStringLiteral("7-11")} << QString();
        QTest::newRow("initial barcode n matches a bare 7-")
            << int(TestLibrary::SQLite) << QStringLiteral("n") << QStringList{QStringLiteral("7-")}
            << QStringLiteral("7-");
        QTest::newRow("postgresql: shortest of 7-11 and 7-115 wins")
            << int(TestLibrary::PostgreSQL) << QStringLiteral("9787115113115")
            << QStringList{QStringLiteral("7-11"), QStringLiteral("7-115")}
            << QStringLiteral("7-11");
    }
    void publisherLookup()
    {
        QFETCH(int, engine);
        QFETCH(QString, barcode);
        QFETCH(QStringList, prefixes);
        QFETCH(QString, isbn);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("delete from 出版社名"));
        for (const QString& p : prefixes)
            addPublisher(lib.db(), QStringLiteral("社") + p, p);
        const auto match = BookEntry(lib.db()).BarCodeFindPub(barcode);
        QCOMPARE(match.has_value(), !isbn.isEmpty());
        if (match) {
            QCOMPARE(match->isbn, isbn);
            QCOMPARE(match->出版社名, QStringLiteral("社") + isbn);
        }
    }

    void callNumber_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QVariantList>("zchs"); // 种次号 of the books of class TP3
        QTest::addColumn<QString>("callNumber");
        QTest::addColumn<QString>("zch");
        const QVariant null(QMetaType::fromType<int>());
        QVariantList upTo12;
        for (int i = 1; i <= 12; ++i)
            upTo12 << i;
        QVariantList withNull = upTo12;
        withNull.insert(5, null);
        withNull << null;
        for (int engine : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* e = engine == TestLibrary::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s: no books", e)
                << engine << QVariantList() << QStringLiteral("TP3/1") << QStringLiteral("1");
            QTest::addRow("%s: books up to 12", e)
                << engine << upTo12 << QStringLiteral("TP3/13") << QStringLiteral("13");
            QTest::addRow("%s: unnumbered books among them", e)
                << engine << withNull << QStringLiteral("TP3/13") << QStringLiteral("13");
            QTest::addRow("%s: only unnumbered books", e)
                << engine << QVariantList{null, null} << QStringLiteral("TP3/1")
                << QStringLiteral("1");
            QTest::addRow("%s: 种次号 0", e)
                << engine << QVariantList{0} << QStringLiteral("TP3/1") << QStringLiteral("1");
            QTest::addRow("%s: numeric order, not text order", e)
                << engine << QVariantList{9, 100, 20} << QStringLiteral("TP3/101")
                << QStringLiteral("101");
        }
    }
    void callNumber()
    {
        QFETCH(int, engine);
        QFETCH(QVariantList, zchs);
        QFETCH(QString, callNumber);
        QFETCH(QString, zch);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        int n = 0;
        for (const QVariant& z : zchs)
            addBook(lib.db(), QStringLiteral("B%1").arg(++n), QStringLiteral("TP3"), z);
        // Books of other classes do not count.
        addBook(lib.db(), QStringLiteral("X1"), QStringLiteral("TP31"), 500);
        addBook(lib.db(), QStringLiteral("X2"), QStringLiteral("I2"), 600);
        const auto next = BookEntry(lib.db()).callNumber(QStringLiteral("TP3"));
        QVERIFY(next.has_value());
        QCOMPARE(next->索书号, callNumber);
        QCOMPARE(next->zch, zch);
        // The class number is taken as typed: with blanks around it no book has it.
        const auto typed = BookEntry(lib.db()).callNumber(QStringLiteral(" TP3 "));
        QVERIFY(typed.has_value());
        QCOMPARE(typed->索书号, QStringLiteral(" TP3 /1"));
        QVERIFY(!BookEntry(lib.db()).callNumber(QString()).has_value());
    }

    void autoNumbering_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("numbers");  // after 确定, then after each save
        QTest::addColumn<QString>("afterRestart"); // first save after the screen is shown again
        QTest::newRow("prefix A, start 001")
            << true << QStringLiteral("A") << QStringLiteral("001")
            << QStringList{QStringLiteral("A001"), QStringLiteral("A002"), QStringLiteral("A003")}
            << QStringLiteral("A002");
        QTest::newRow("start 1 grows past its width")
            << true << QString() << QStringLiteral("1")
            << QStringList{QStringLiteral("1"),  QStringLiteral("2"), QStringLiteral("3"),
                           QStringLiteral("4"),  QStringLiteral("5"), QStringLiteral("6"),
                           QStringLiteral("7"),  QStringLiteral("8"), QStringLiteral("9"),
                           QStringLiteral("10"), QStringLiteral("11")}
            << QStringLiteral("2");
        QTest::newRow("start 098 carries into the hundreds")
            << true << QStringLiteral(" TS ") << QStringLiteral(" 098 ")
            << QStringList{QStringLiteral("TS098"), QStringLiteral("TS099"),
                           QStringLiteral("TS100"), QStringLiteral("TS101")}
            << QStringLiteral("TS002");
        QTest::newRow("ticked without 确定: counter 1, no prefix, no zeros")
            << false << QStringLiteral("A") << QStringLiteral("001")
            << QStringList{QString(), QStringLiteral("2"), QStringLiteral("3")}
            << QStringLiteral("2");
    }
    void autoNumbering()
    {
        QFETCH(bool, confirmed);
        QFETCH(QString, prefix);
        QFETCH(QString, start);
        QFETCH(QStringList, numbers);
        QFETCH(QString, afterRestart);
        AutoNumbering numbering;
        QString error;
        if (confirmed) {
            const auto first = numbering.confirm(start, prefix, &error);
            QVERIFY2(first.has_value(), qPrintable(error));
            QCOMPARE(*first, numbers.first());
        }
        for (int i = 1; i < numbers.size(); ++i)
            QCOMPARE(numbering.advance(), numbers[i]);
        // Showing the screen again restarts the counter but keeps prefix and width.
        numbering.restart();
        QCOMPARE(numbering.advance(), afterRestart);
    }

    void autoNumberingRefusesNonInteger_data()
    {
        QTest::addColumn<QString>("start");
        QTest::newRow("decimal") << QStringLiteral("1.5");
        QTest::newRow("empty") << QString();
        QTest::newRow("dot") << QStringLiteral(".");
        QTest::newRow("too large") << QStringLiteral("99999999999");
    }
    void autoNumberingRefusesNonInteger()
    {
        QFETCH(QString, start);
        AutoNumbering numbering;
        QString error;
        QVERIFY(numbering.confirm(QStringLiteral("7"), QStringLiteral("A"), &error));
        QVERIFY(!numbering.confirm(start, QStringLiteral("B"), &error));
        QCOMPARE(error, QStringLiteral("'%1' is not a valid integer value").arg(start));
        QCOMPARE(numbering.advance(), QStringLiteral("A8"));
    }

    void requiredFields_data()
    {
        QTest::addColumn<QString>("field");
        for (const char* f : {"编号", "名称", "条形码", "数量", "物品级别", "价格"})
            QTest::newRow(f) << QString::fromUtf8(f);
    }
    void requiredFields()
    {
        QFETCH(QString, field);
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        BookRecord r = sampleRecord(QStringLiteral("B1"));
        QString* target = field == QStringLiteral("编号")       ? &r.编号
                          : field == QStringLiteral("名称")     ? &r.名称
                          : field == QStringLiteral("条形码")   ? &r.条形码
                          : field == QStringLiteral("数量")     ? &r.数量
                          : field == QStringLiteral("物品级别") ? &r.物品级别
                                                                : &r.价格;
        target->clear();
        const auto result = BookEntry(lib.db()).save(r);
        QCOMPARE(int(result.status), int(BookEntry::SaveStatus::MissingField));
        QCOMPARE(result.message, QStringLiteral("字体加重的项目必须填写完整!"));
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 图书")).toInt(), 0);
        // Blanks pass the test (it does not trim).
        *target = QStringLiteral("  ");
        if (field != QStringLiteral("数量"))
            QCOMPARE(int(BookEntry(lib.db()).save(r).status), int(BookEntry::SaveStatus::Saved));
    }

    void savedRow_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void savedRow()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        BookRecord r = sampleRecord(QStringLiteral(" B1 "));
        r.物品级别 = QStringLiteral("   ");
        r.版次 = QStringLiteral("   ");
        r.来源 = QStringLiteral("购买");
        r.捐赠人 = QStringLiteral("李四");
        const auto result = BookEntry(lib.db()).save(r);
        QCOMPARE(result.message, QStringLiteral("保存完毕,请继续录入下一条!"));
        const QSqlRecord row = bookRow(lib.db(), QStringLiteral("B1"));
        QVERIFY(!row.isEmpty());
        QCOMPARE(row.value(QStringLiteral("名称")).toString(), QStringLiteral("数据库原理"));
        QCOMPARE(row.value(QStringLiteral("条形码")).toString(), QStringLiteral("9787115113115"));
        QCOMPARE(row.value(QStringLiteral("作者")).toString(), QStringLiteral("作者甲"));
        QCOMPARE(row.value(QStringLiteral("索书号")).toString(), QStringLiteral("TP3/1"));
        QCOMPARE(DbValue::toInt(row.value(QStringLiteral("zch"))), 1);
        QCOMPARE(DbValue::toInt(row.value(QStringLiteral("数量"))), 3);
        QCOMPARE(DbValue::toMoney(row.value(QStringLiteral("价格"))).toString(),
                 QStringLiteral("25.5"));
        QCOMPARE(row.value(QStringLiteral("物品级别")).toString(), QStringLiteral("普通"));
        QCOMPARE(row.value(QStringLiteral("版次")).toString(), QString());
        QCOMPARE(row.value(QStringLiteral("币种")).toString(), QStringLiteral("人民币"));
        QCOMPARE(row.value(QStringLiteral("出版时间")).toString(), QStringLiteral("2003-05-01"));
        QCOMPARE(row.value(QStringLiteral("py")).toString(), QStringLiteral("SJKYL"));
        QCOMPARE(row.value(QStringLiteral("图片地址")).toString(), QStringLiteral(" /docs/a.pdf"));
        QCOMPARE(row.value(QStringLiteral("绝对地址")).toString(), QStringLiteral(" /docs/a.pdf"));
        QCOMPARE(DbValue::toInt(row.value(QStringLiteral("页数"))), 0);
        QCOMPARE(DbValue::toInt(row.value(QStringLiteral("借出次数"))), 0);
        QCOMPARE(DbValue::toDate(row.value(QStringLiteral("入库时间"))), QDate(2026, 3, 14));
        QCOMPARE(row.value(QStringLiteral("状态")).toString(), QStringLiteral("正常"));
        QCOMPARE(row.value(QStringLiteral("来源")).toString(), QStringLiteral("购买"));
        QVERIFY(row.isNull(QStringLiteral("捐赠人")));
        QCOMPARE(row.value(QStringLiteral("登记人")).toString(), QStringLiteral("张三"));
        QCOMPARE(row.value(QStringLiteral("TmpA")).toString(),
                 QStringLiteral("2026-03-14 09:26:53+A"));
        QVERIFY(row.isNull(QStringLiteral("预定状况")));
    }

    void donorOnlyForDonations_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("donor");
        QTest::addColumn<QVariant>("stored");
        const QVariant null(QMetaType::fromType<QString>());
        QTest::newRow("donation") << QStringLiteral("捐赠") << QStringLiteral(" 李四 ")
                                  << QVariant(QStringLiteral("李四"));
        QTest::newRow("donation, blank donor")
            << QStringLiteral(" 捐赠 ") << QStringLiteral("  ") << null;
        QTest::newRow("purchase") << QStringLiteral("购买") << QStringLiteral("李四") << null;
        QTest::newRow("other source") << QStringLiteral("交换") << QStringLiteral("李四") << null;
    }
    void donorOnlyForDonations()
    {
        QFETCH(QString, source);
        QFETCH(QString, donor);
        QFETCH(QVariant, stored);
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        BookRecord r = sampleRecord(QStringLiteral("B1"));
        r.来源 = source;
        r.捐赠人 = donor;
        QCOMPARE(int(BookEntry(lib.db()).save(r).status), int(BookEntry::SaveStatus::Saved));
        const QSqlRecord row = bookRow(lib.db(), QStringLiteral("B1"));
        QCOMPARE(row.isNull(QStringLiteral("捐赠人")), stored.isNull());
        if (!stored.isNull())
            QCOMPARE(row.value(QStringLiteral("捐赠人")).toString(), stored.toString());
    }

    void refusedRows_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("expected"); // part of the message; empty: the database's own
        for (int engine : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* e = engine == TestLibrary::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s: duplicate 编号", e)
                << engine << QStringLiteral("1") << QStringLiteral("0") << QString();
            QTest::addRow("%s: price 1.2.3", e)
                << engine << QStringLiteral("1.2.3") << QStringLiteral("0")
                << QStringLiteral("'1.2.3' is not a valid currency value");
            QTest::addRow("%s: pages 12页", e)
                << engine << QStringLiteral("1") << QStringLiteral("12页")
                << QStringLiteral("'12页' is not a valid integer value");
        }
    }
    void refusedRows()
    {
        QFETCH(int, engine);
        QFETCH(QString, price);
        QFETCH(QString, pages);
        QFETCH(QString, expected);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addBook(lib.db(), QStringLiteral("B1"), QStringLiteral("I2"), 1);
        BookRecord r =
            sampleRecord(expected.isEmpty() ? QStringLiteral("B1") : QStringLiteral("B2"));
        r.价格 = price;
        r.页数 = pages;
        const auto result = BookEntry(lib.db()).save(r);
        QCOMPARE(int(result.status), int(BookEntry::SaveStatus::Refused));
        QVERIFY(!result.message.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(result.message, expected);
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 图书")).toInt(), 1);
        QCOMPARE(lib.db().scalar(QStringLiteral("select 名称 from 图书")).toString(),
                 QStringLiteral("书B1"));
    }

    void withoutTmpAColumn()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("alter table 图书 drop column TmpA"));
        QCOMPARE(int(BookEntry(lib.db()).save(sampleRecord(QStringLiteral("B1"))).status),
                 int(BookEntry::SaveStatus::Saved));
        QVERIFY(!bookRow(lib.db(), QStringLiteral("B1")).isEmpty());
    }

    void duplicateBarcodeHint_data()
    {
        QTest::addColumn<QString>("bccc");
        QTest::addColumn<QString>("barcode");
        QTest::addColumn<bool>("hint");
        QTest::newRow("on, barcode exists")
            << QStringLiteral("1") << QStringLiteral(" 9787115113115 ") << true;
        QTest::newRow("on, new barcode")
            << QStringLiteral("1") << QStringLiteral("9787302000000") << false;
        QTest::newRow("off, barcode exists")
            << QStringLiteral("0") << QStringLiteral("9787115113115") << false;
        QTest::newRow("unset, barcode exists")
            << QString() << QStringLiteral("9787115113115") << false;
    }
    void duplicateBarcodeHint()
    {
        QFETCH(QString, bccc);
        QFETCH(QString, barcode);
        QFETCH(bool, hint);
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addBook(lib.db(), QStringLiteral("B1"), QStringLiteral("I2"), 1,
                QStringLiteral("9787115113115"));
        LoginState::instance().BcCc = bccc;
        const auto text = BookEntry(lib.db()).duplicateBarcodeHint(barcode);
        QCOMPARE(text.has_value(), hint);
        if (hint)
            QCOMPARE(*text, QStringLiteral("提示:数据库中已经有该条码!"));
    }

    void listsFromTheirTables()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addPublisher(lib.db(), QStringLiteral("清华大学出版社"), QStringLiteral("7-302"));
        lib.db().execute(
            QStringLiteral("insert into 物品级别 (名称, 租金, 可借数量) values (?, 0, 1)"),
            {QStringLiteral("珍本")});
        const BookEntryLists l = BookEntry(lib.db()).loadLists();
        QCOMPARE(l.出版社,
                 (QStringList{QStringLiteral("人民邮电出版社"), QStringLiteral("清华大学出版社")}));
        QCOMPARE(l.物品级别, (QStringList{QStringLiteral("普通"), QStringLiteral("珍本")}));
        QCOMPARE(l.附件, (QStringList{QStringLiteral("无"), QStringLiteral("光盘"),
                                      QStringLiteral("磁带")}));
        QCOMPARE(l.分类, QStringList{QStringLiteral("综合")});
        QCOMPARE(l.二级分类, QStringList{QStringLiteral("综合")});
        QCOMPARE(l.存放位置, QStringList{QStringLiteral("书库")});
        QCOMPARE(l.币种, QStringList{QStringLiteral("人民币")});
        QCOMPARE(l.密级, QStringList{QStringLiteral("公开")});
    }
};

TUSHU_TEST(BookEntryTest)
#include "tst_BookEntry.moc"
