#include "../common/RecordingMessenger.h"
#include "../common/SheetFixtures.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/BookImport.h"
#include "catalogue/InExcelDataUt.h"
#include "data/LoginState.h"
#include "data/SpreadsheetReader.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QStringList kTitles{
    QStringLiteral("编号"),     QStringLiteral("条形码"),   QStringLiteral("名称"),
    QStringLiteral("分类"),     QStringLiteral("出版社"),   QStringLiteral("作者"),
    QStringLiteral("价格"),     QStringLiteral("ISBN"),     QStringLiteral("数量"),
    QStringLiteral("存放位置"), QStringLiteral("分类号"),   QStringLiteral("简介"),
    QStringLiteral("二级分类"), QStringLiteral("出版时间"), QStringLiteral("页数"),
    QStringLiteral("译者"),     QStringLiteral("版次"),     QStringLiteral("索书号"),
    QStringLiteral("py"),       QStringLiteral("种次号")};

QVariantList titleRow()
{
    QVariantList row;
    for (const QString& t : kTitles)
        row << t;
    return row;
}

// A sheet row of a book with the given number and title; the rest plain but complete.
QVariantList book(const QVariant& number, const QVariant& title)
{
    return {number, QStringLiteral("n"), title, QString(), QString(), QString(), 12, QString(), 1};
}

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

std::unique_ptr<SpreadsheetReader> sheetOf(const QTemporaryDir& dir,
                                           const QList<QVariantList>& rows)
{
    const QString path = dir.filePath(QStringLiteral("books.xlsx"));
    if (!SheetFixtures::writeWorkbook(path, rows))
        return nullptr;
    QString error;
    auto sheet = SpreadsheetReader::openFile(path, &error);
    if (!sheet)
        qWarning("%s", qPrintable(error));
    return sheet;
}

QStringList numbers(const Database& db)
{
    QStringList out;
    QSqlQuery q = db.query(QStringLiteral("select 编号 from 图书 order by 编号"));
    while (q.next())
        out << q.value(0).toString();
    return out;
}

int bookCount(const Database& db)
{
    return db.scalar(QStringLiteral("select count(*) from 图书")).toInt();
}

// A database rule that refuses one title, as a key or a check the importer knows nothing of.
void refuseTitle(const Database& db, const QString& title)
{
    if (db.engine() == DbEngine::SQLite) {
        db.execute(QStringLiteral("create trigger refuse_title before insert on 图书 when "
                                  "new.名称 = '%1' begin select raise(abort, '拒绝此书'); end")
                       .arg(title));
    } else {
        db.execute(QStringLiteral("create function refuse_title() returns trigger language plpgsql "
                                  "as $$ begin if new.名称 = '%1' then raise exception '拒绝此书'; "
                                  "end if; return new; end $$")
                       .arg(title));
        db.execute(QStringLiteral("create trigger refuse_title before insert on 图书 for each row "
                                  "execute function refuse_title()"));
    }
}
} // namespace

class BookImportTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { LoginState::reset(); }

    void everyValueLandsInItsColumn_data() { addEngines(); }
    void everyValueLandsInItsColumn()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString summary = QStringLiteral("他说\"好\",'妙'\n);-- drop table 图书;");
        const auto sheet = sheetOf(dir, {titleRow(),
                                         {QStringLiteral(" A001 "),
                                          QByteArray("9787115113115"),
                                          QStringLiteral("红楼梦"),
                                          QStringLiteral("文学"),
                                          QStringLiteral("人民文学出版社"),
                                          QStringLiteral("曹雪芹"),
                                          29.8,
                                          9787115113115.0,
                                          3,
                                          QStringLiteral("一楼"),
                                          QStringLiteral("I242"),
                                          summary,
                                          QStringLiteral("小说"),
                                          QDate(2008, 8, 8),
                                          QVariant(),
                                          QStringLiteral("无"),
                                          QStringLiteral("第2版"),
                                          QStringLiteral("I242/5"),
                                          QStringLiteral("HLM"),
                                          5,
                                          QStringLiteral("第21列不读")}});
        QVERIFY(sheet);
        const SheetImport::Result result =
            SheetImport(lib.db(), BookImport::layout()).run(*sheet, false);
        QVERIFY2(result.stored(), qPrintable(result.error));
        QCOMPARE(result.imported, 1);
        QCOMPARE(result.failedRowsText(), QString());

        QSqlQuery q = lib.db().query(QStringLiteral("select * from 图书"));
        QVERIFY(q.next());
        const QSqlRecord r = q.record();
        auto value = [&](const char* c) { return q.value(r.indexOf(QString::fromUtf8(c))); };
        QCOMPARE(value("编号").toString(), QStringLiteral("A001"));
        QCOMPARE(value("条形码").toString(), QStringLiteral("9787115113115"));
        QCOMPARE(value("名称").toString(), QStringLiteral("红楼梦"));
        QCOMPARE(value("分类").toString(), QStringLiteral("文学"));
        QCOMPARE(value("出版社").toString(), QStringLiteral("人民文学出版社"));
        QCOMPARE(value("作者").toString(), QStringLiteral("曹雪芹"));
        QCOMPARE(DbValue::toMoney(value("价格")), *Money::parse(QStringLiteral("29.8")));
        QCOMPARE(value("isbn").toString(), QStringLiteral("9787115113115"));
        QCOMPARE(DbValue::toInt(value("数量")), 3);
        QCOMPARE(value("存放位置").toString(), QStringLiteral("一楼"));
        QCOMPARE(value("分类号").toString(), QStringLiteral("I242"));
        QCOMPARE(value("简介").toString(), summary);
        QCOMPARE(value("二级分类").toString(), QStringLiteral("小说"));
        QCOMPARE(value("出版时间").toString(), QStringLiteral("2008-08-08"));
        QCOMPARE(DbValue::toInt(value("页数")), 0);
        QCOMPARE(value("译者").toString(), QStringLiteral("无"));
        QCOMPARE(value("版次").toString(), QStringLiteral("第2版"));
        QCOMPARE(value("索书号").toString(), QStringLiteral("I242/5"));
        QCOMPARE(value("py").toString(), QStringLiteral("HLM"));
        QCOMPARE(DbValue::toInt(value("zch")), 5);
        QCOMPARE(DbValue::toInt(value("借出次数")), 0);
        QCOMPARE(value("状态").toString(), QStringLiteral("正常"));
        QVERIFY(value("入库时间").isNull());
        QVERIFY(value("登记人").isNull());
        QVERIFY(value("物品级别").isNull());
        QVERIFY(!q.next());
    }

    // Rows that cannot be right are listed; the others go in, whatever comes after them.
    void refusedRowsAreListedAndTheRestImported_data() { addEngines(); }
    void refusedRowsAreListedAndTheRestImported()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("insert into 图书 (编号, 名称) values (?, ?)"),
                         {QStringLiteral("B1"), QStringLiteral("旧书")});
        refuseTitle(lib.db(), QStringLiteral("禁书"));
        QVariantList scientific = book(QStringLiteral("G1"), QStringLiteral("七"));
        scientific[1] = QStringLiteral("9.78712E+12");
        QVariantList noPrice = book(QStringLiteral("F1"), QStringLiteral("六"));
        noPrice[6] = QVariant();
        QVariantList wordCount = book(QStringLiteral("E1"), QStringLiteral("五"));
        wordCount[8] = QStringLiteral("三");
        QTemporaryDir dir;
        const auto sheet = sheetOf(dir, {titleRow(),
                                         book(QStringLiteral("A1"), QStringLiteral("一")),    // 2
                                         book(QStringLiteral("B1"), QStringLiteral("二")),    // 3
                                         book(QStringLiteral("C1"), QStringLiteral("三")),    // 4
                                         book(QStringLiteral("C1"), QStringLiteral("三b")),   // 5
                                         book(QStringLiteral(" "), QStringLiteral("空编号")), // 6
                                         book(QStringLiteral("D1"), QString()),               // 7
                                         wordCount,                                           // 8
                                         {},                                                  // 9
                                         noPrice,                                             // 10
                                         scientific,                                          // 11
                                         book(QStringLiteral("H1"), QStringLiteral("禁书")),  // 12
                                         book(QStringLiteral("I1"), QStringLiteral("九"))});  // 13
        QVERIFY(sheet);
        const SheetImport::Result result =
            SheetImport(lib.db(), BookImport::layout()).run(*sheet, false);
        QVERIFY2(result.stored(), qPrintable(result.error));
        QCOMPARE(result.failedRowsText(), QStringLiteral("3,5,6,7,8,10,11,12,"));
        QVERIFY2(result.failed.value(12).contains(QStringLiteral("拒绝此书")),
                 qPrintable(result.failed.value(12)));
        QCOMPARE(result.imported, 3);
        QCOMPARE(result.blankRows, 1);
        QCOMPARE(numbers(lib.db()), (QStringList{QStringLiteral("A1"), QStringLiteral("B1"),
                                                 QStringLiteral("C1"), QStringLiteral("I1")}));
        QCOMPARE(
            lib.db().scalar(QStringLiteral("select 名称 from 图书 where 编号 = 'C1'")).toString(),
            QStringLiteral("三"));
    }

    // A cancel or a failure halfway (after a batch went in) leaves nothing; a second run
    // then imports everything.
    void stoppedImportLeavesNothing_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("sqlite cancel") << int(TestLibrary::SQLite) << true;
        QTest::newRow("sqlite failure") << int(TestLibrary::SQLite) << false;
        QTest::newRow("postgresql cancel") << int(TestLibrary::PostgreSQL) << true;
        QTest::newRow("postgresql failure") << int(TestLibrary::PostgreSQL) << false;
    }
    void stoppedImportLeavesNothing()
    {
        QFETCH(int, engine);
        QFETCH(bool, cancel);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QList<QVariantList> rows{titleRow()};
        for (int i = 0; i < 700; ++i)
            rows << book(QStringLiteral("N%1").arg(i), QStringLiteral("书%1").arg(i));
        QTemporaryDir dir;
        const auto sheet = sheetOf(dir, rows);
        QVERIFY(sheet);
        SheetImport import(lib.db(), BookImport::layout());
        import.setProgressInterval(0);
        int seenInside = -1;
        const SheetImport::Result stopped = import.run(*sheet, false, [&](int row) {
            if (row < 600)
                return true;
            // The first batches are in, inside the transaction.
            seenInside = lib.db().scalar(QStringLiteral("select count(*) from 图书")).toInt();
            if (!cancel)
                throw DbError(QStringLiteral("连接中断"));
            return false;
        });
        QVERIFY(seenInside > 0);
        QCOMPARE(stopped.cancelled, cancel);
        QCOMPARE(stopped.error, cancel ? QString() : QStringLiteral("连接中断"));
        QCOMPARE(stopped.imported, 0);
        QCOMPARE(bookCount(lib.db()), 0);

        const SheetImport::Result again = import.run(*sheet, false);
        QVERIFY2(again.stored(), qPrintable(again.error));
        QCOMPARE(again.imported, 700);
        QCOMPARE(bookCount(lib.db()), 700);
    }

    void autoNumberUsesRowNumbers_data() { addEngines(); }
    void autoNumberUsesRowNumbers()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const auto sheet =
            sheetOf(dir, {titleRow(), book(QStringLiteral("X"), QStringLiteral("一")),
                          book(QString(), QStringLiteral("二")),
                          book(QStringLiteral("X"), QStringLiteral("三"))});
        QVERIFY(sheet);
        SheetImport import(lib.db(), BookImport::layout());
        const SheetImport::Result first = import.run(*sheet, true);
        QCOMPARE(first.failedRowsText(), QString());
        QCOMPARE(numbers(lib.db()),
                 (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}));
        const SheetImport::Result second = import.run(*sheet, true);
        QVERIFY(second.stored());
        QCOMPARE(second.failedRowsText(), QStringLiteral("2,3,4,"));
        QCOMPARE(bookCount(lib.db()), 3);
    }

    void identityNumbersInScientificNotationFail_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fails");
        QTest::newRow("excel") << QStringLiteral("9.78712E+12") << true;
        QTest::newRow("lower case") << QStringLiteral("1.1e17") << true;
        QTest::newRow("signed exponent") << QStringLiteral("-3E-5") << true;
        QTest::newRow("digits") << QStringLiteral("9787115113115") << false;
        QTest::newRow("word with e") << QStringLiteral("B12E3X") << false;
        QTest::newRow("decimal") << QStringLiteral("12.5") << false;
    }
    void identityNumbersInScientificNotationFail()
    {
        QFETCH(QString, text);
        QFETCH(bool, fails);
        QCOMPARE(SheetImport::isScientific(text), fails);
        QString reason;
        const ImportColumn barcode = BookImport::layout().columns.at(1);
        QCOMPARE(!SheetImport::convert(barcode, text, &reason).has_value(), fails);
        QCOMPARE(reason.isEmpty(), !fails);
        // A title is no identity: the same text is stored as written.
        const ImportColumn title = BookImport::layout().columns.at(2);
        QCOMPARE(SheetImport::convert(title, text, &reason).value_or(QVariant()).toString(), text);
    }
};
TUSHU_TEST(BookImportTest)

// The screen: choosing a workbook shows its titles and counts, importing shows the
// failed rows, the time and "完成!".
class InExcelDataScreenTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { LoginState::reset(); }

    void importsChosenWorkbook_data() { addEngines(); }
    void importsChosenWorkbook()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("insert into 图书 (编号, 名称) values (?, ?)"),
                         {QStringLiteral("B1"), QStringLiteral("旧书")});
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("books.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(
            path, {titleRow(), book(QStringLiteral("A1"), QStringLiteral("一")),
                   book(QStringLiteral("B1"), QStringLiteral("二")),
                   book(QStringLiteral("C1"), QStringLiteral("三")),
                   book(QStringLiteral("C1"), QStringLiteral("四")),
                   book(QStringLiteral("D1"), QStringLiteral("五"))}));
        RecordingMessenger messages;
        TInExcelDataFm screen;
        screen.show();
        auto* start = screen.findChild<QPushButton*>(QStringLiteral("startButton"));
        auto* fields = screen.findChild<QListWidget*>(QStringLiteral("fieldsList"));
        QVERIFY(start && fields);
        QVERIFY(!start->isEnabled());
        QCOMPARE(fields->count(), 20);
        QCOMPARE(fields->item(7)->text(), QStringLiteral("ISBN"));
        QCOMPARE(fields->item(19)->text(), QStringLiteral("种次号"));
        QCOMPARE(screen.windowTitle(), QStringLiteral("Excel导入"));

        messages.fileAnswers.enqueue(path);
        QTest::mouseClick(screen.findChild<QPushButton*>(QStringLiteral("chooseButton")),
                          Qt::LeftButton);
        auto* titles = screen.findChild<QListWidget*>(QStringLiteral("sheetTitlesList"));
        QCOMPARE(titles->count(), 20);
        QCOMPARE(titles->item(2)->text(), QStringLiteral("名称"));
        QCOMPARE(screen.findChild<QLabel*>(QStringLiteral("rowCountLabel"))->text(),
                 QStringLiteral("5条数据(行数)"));
        QCOMPARE(screen.findChild<QLabel*>(QStringLiteral("columnCountLabel"))->text(),
                 QStringLiteral("20个项目(列数)"));
        QVERIFY(start->isEnabled());

        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("完成!")});
        QCOMPARE(screen.findChild<QPlainTextEdit*>(QStringLiteral("failedRowsEdit"))->toPlainText(),
                 QStringLiteral("3,5,"));
        QVERIFY(screen.findChild<QLabel*>(QStringLiteral("elapsedLabel"))
                    ->text()
                    .startsWith(QStringLiteral("时间:")));
        QCOMPARE(screen.findChild<QProgressBar*>(QStringLiteral("progressBar"))->value(), 6);
        QVERIFY(!start->isEnabled());
        QCOMPARE(numbers(lib.db()), (QStringList{QStringLiteral("A1"), QStringLiteral("B1"),
                                                 QStringLiteral("C1"), QStringLiteral("D1")}));
    }

    void titleRowOnly()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("empty.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(path, {titleRow()}));
        RecordingMessenger messages;
        TInExcelDataFm screen;
        screen.show();
        messages.fileAnswers.enqueue(path);
        screen.chooseClick();
        QCOMPARE(screen.findChild<QLabel*>(QStringLiteral("rowCountLabel"))->text(),
                 QStringLiteral("0条数据(行数)"));
        QCOMPARE(screen.findChild<QLabel*>(QStringLiteral("columnCountLabel"))->text(),
                 QStringLiteral("20个项目(列数)"));
        screen.startClick();
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("完成!")});
        QVERIFY(screen.findChild<QLabel*>(QStringLiteral("elapsedLabel"))
                    ->text()
                    .startsWith(QStringLiteral("时间:")));
        QCOMPARE(bookCount(lib.db()), 0);
    }

    // "退出" while rows go in asks, then rolls everything back and closes.
    void exitDuringImportRollsBack()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QList<QVariantList> rows{titleRow()};
        for (int i = 0; i < 20000; ++i)
            rows << book(QStringLiteral("N%1").arg(i), QStringLiteral("书%1").arg(i));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("many.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(path, rows));
        RecordingMessenger messages;
        messages.confirmAnswers.enqueue(true);
        auto* screen = new TInExcelDataFm;
        QPointer<TInExcelDataFm> alive(screen);
        screen->show();
        messages.fileAnswers.enqueue(path);
        screen->chooseClick();
        // The exit is clicked from inside the import once rows went in, as the operator
        // would between two slices.
        int insertedWhenAsked = 0;
        QTimer poll;
        connect(&poll, &QTimer::timeout, screen, [&] {
            const int inserted = bookCount(lib.db());
            if (inserted == 0)
                return;
            poll.stop();
            insertedWhenAsked = inserted;
            screen->exitClick();
        });
        poll.start(1);
        screen->startClick();
        QVERIFY(insertedWhenAsked > 0);
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown.first().kind, QStringLiteral("confirm"));
        QCOMPARE(bookCount(lib.db()), 0);
        QTRY_VERIFY(alive.isNull());
    }
};
TUSHU_TEST(InExcelDataScreenTest)

#include "tst_BookImport.moc"
