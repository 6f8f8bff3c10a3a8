#include "../common/RecordingMessenger.h"
#include "../common/SheetFixtures.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/BookImport.h"
#include "catalogue/InExcelDataUt.h"
#include "data/FileSystemKind.h"
#include "data/LoginState.h"
#include "data/SpreadsheetReader.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
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
#include <QThread>
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

    // A cancel or a failure while the rows are checked, or inside the final transaction
    // after rows went in, leaves nothing; a second run then imports everything.
    void stoppedImportLeavesNothing_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("whileWriting");
        // A file on a shared folder is held by the desk alone: the import borrows its
        // connection, and must leave it as it found it.
        QTest::addColumn<bool>("sharedFolder");
        for (int engine : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* name = engine == TestLibrary::SQLite ? "sqlite" : "postgresql";
            for (bool shared : {false, true}) {
                if (shared && engine != TestLibrary::SQLite)
                    continue;
                for (bool cancel : {true, false})
                    for (bool writing : {false, true})
                        QTest::addRow("%s%s %s %s", name, shared ? " shared folder" : "",
                                      cancel ? "cancel" : "failure",
                                      writing ? "while writing" : "while checking")
                            << engine << cancel << writing << shared;
            }
        }
    }
    void stoppedImportLeavesNothing()
    {
        QFETCH(int, engine);
        QFETCH(bool, cancel);
        QFETCH(bool, whileWriting);
        QFETCH(bool, sharedFolder);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        if (sharedFolder) {
            const QString file = QDir(lib.dir()).absoluteFilePath(QStringLiteral("book.mdb"));
            FileSystemKind::setCheck([](const QString&) { return true; });
            QString error;
            const bool reopened = lib.db().openSqlite(file, false, &error);
            FileSystemKind::setCheck({});
            QVERIFY2(reopened, qPrintable(error));
            QVERIFY(lib.db().holdsFileAlone());
        }
        QList<QVariantList> rows{titleRow()};
        for (int i = 0; i < 1500; ++i)
            rows << book(QStringLiteral("N%1").arg(i), QStringLiteral("书%1").arg(i));
        QTemporaryDir dir;
        const auto sheet = sheetOf(dir, rows);
        QVERIFY(sheet);
        SheetImport import(lib.db(), BookImport::layout());
        import.setProgressInterval(0);
        int writingAt = 0;
        const SheetImport::Result stopped =
            import.run(*sheet, false, [&](SheetImport::Phase phase, int row) {
                if (phase == SheetImport::Phase::Writing)
                    writingAt = row;
                const bool now = whileWriting ? phase == SheetImport::Phase::Writing : row >= 600;
                if (!now)
                    return true;
                if (!cancel)
                    throw DbError(QStringLiteral("连接中断"));
                return false;
            });
        // Stopped after the first slice of rows went into the table, inside the transaction.
        QCOMPARE(writingAt > 0, whileWriting);
        QVERIFY(writingAt < 1501);
        QCOMPARE(stopped.cancelled, cancel);
        QCOMPARE(stopped.error, cancel ? QString() : QStringLiteral("连接中断"));
        QVERIFY(!stopped.outcomeUnknown);
        QCOMPARE(stopped.imported, 0);
        QCOMPARE(bookCount(lib.db()), 0);
        if (sharedFolder) // nothing of the import stays on the desk's connection
            QCOMPARE(
                lib.db().scalar(QStringLiteral("select count(*) from sqlite_temp_master")).toInt(),
                0);

        const SheetImport::Result again = import.run(*sheet, false);
        QVERIFY2(again.stored(), qPrintable(again.error));
        QCOMPARE(again.imported, 1500);
        QCOMPARE(bookCount(lib.db()), 1500);
    }

    // The first row with a number is refused by the database: a later good row with the
    // same number goes in, and one after that is the repeat of the stored row.
    void numberCountsOnceItsRowIsStored_data() { addEngines(); }
    void numberCountsOnceItsRowIsStored()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        refuseTitle(lib.db(), QStringLiteral("禁书"));
        QTemporaryDir dir;
        const auto sheet =
            sheetOf(dir, {titleRow(), book(QStringLiteral("A1"), QStringLiteral("禁书")), // 2
                          book(QStringLiteral("B1"), QStringLiteral("一")),               // 3
                          book(QStringLiteral("A1"), QString()),                          // 4
                          book(QStringLiteral("A1"), QStringLiteral("二")),               // 5
                          book(QStringLiteral("A1"), QStringLiteral("三")),               // 6
                          book(QStringLiteral("B1"), QStringLiteral("四"))});             // 7
        QVERIFY(sheet);
        const SheetImport::Result result =
            SheetImport(lib.db(), BookImport::layout()).run(*sheet, false);
        QVERIFY2(result.stored(), qPrintable(result.error));
        QCOMPARE(result.failedRowsText(), QStringLiteral("2,4,6,7,"));
        QVERIFY2(result.failed.value(2).contains(QStringLiteral("拒绝此书")),
                 qPrintable(result.failed.value(2)));
        QCOMPARE(result.failed.value(6), QStringLiteral("编号“A1”与第5行重复"));
        QCOMPARE(result.failed.value(7), QStringLiteral("编号“B1”与第3行重复"));
        QCOMPARE(result.imported, 2);
        QCOMPARE(
            lib.db().scalar(QStringLiteral("select 名称 from 图书 where 编号 = 'A1'")).toString(),
            QStringLiteral("二"));
        QCOMPARE(bookCount(lib.db()), 2);
    }

    // The COMMIT itself fails (a rule the database checks only then): the import reads back
    // what it wrote and says truly that nothing is stored.
    void failedCommitIsReadBack_data() { addEngines(); }
    void failedCommitIsReadBack()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        if (db.engine() == DbEngine::SQLite) {
            db.execute(QStringLiteral("create table guard_parent (id integer primary key)"));
            db.execute(QStringLiteral("create table guard_child (parent integer references "
                                      "guard_parent(id) deferrable initially deferred)"));
            db.execute(QStringLiteral("create trigger guard after insert on 图书 when new.名称 = "
                                      "'坏' begin insert into guard_child values (42); end"));
        } else {
            db.execute(QStringLiteral("create function guard() returns trigger language plpgsql "
                                      "as $$ begin raise exception '提交时拒绝'; end $$"));
            db.execute(QStringLiteral("create constraint trigger guard after insert on 图书 "
                                      "deferrable initially deferred for each row when (new.名称 "
                                      "= '坏') execute function guard()"));
        }
        QTemporaryDir dir;
        const auto sheet =
            sheetOf(dir, {titleRow(), book(QStringLiteral("A1"), QStringLiteral("好")),
                          book(QStringLiteral("A2"), QStringLiteral("坏"))});
        QVERIFY(sheet);
        const SheetImport::Result result = SheetImport(db, BookImport::layout()).run(*sheet, false);
        QVERIFY(!result.stored());
        QVERIFY(!result.outcomeUnknown);
        QVERIFY2(!result.error.isEmpty(), qPrintable(result.error));
        QCOMPARE(bookCount(db), 0);
    }
    // The server ends the import's session while its COMMIT is under way: once it can
    // reconnect the import reads back and says nothing was stored; when it cannot, it says
    // the outcome is unknown, never "nothing imported".
    void commitThatLostItsSession_data()
    {
        QTest::addColumn<bool>("serverStaysAway");
        QTest::newRow("read back") << false;
        QTest::newRow("cannot read back") << true;
    }
    void commitThatLostItsSession()
    {
        QFETCH(bool, serverStaysAway);
        TUSHU_REQUIRE_ENGINE(TestLibrary::PostgreSQL);
        TestLibrary lib{TestLibrary::PostgreSQL};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        Database admin(QStringLiteral("import-admin"));
        QString error;
        QVERIFY2(admin.open(QStringLiteral("s"),
                            TestLibrary::postgresConnectionString(QStringLiteral("postgres")),
                            &error),
                 qPrintable(error));
        const QString refuse =
            QStringLiteral("alter database %1 allow_connections %2").arg(lib.serverDatabase());
        QTemporaryDir dir;
        const auto sheet =
            sheetOf(dir, {titleRow(), book(QStringLiteral("A1"), QStringLiteral("一")),
                          book(QStringLiteral("A2"), QStringLiteral("二"))});
        QVERIFY(sheet);
        bool dropped = false;
        Database::setBeforeCommitHook([&](const Database& d) {
            if (std::exchange(dropped, true))
                return;
            if (serverStaysAway)
                admin.execute(refuse.arg(QStringLiteral("false")));
            if (!TestLibrary::dropSession(d, &error))
                qWarning("%s", qPrintable(error));
        });
        const SheetImport::Result result =
            SheetImport(lib.db(), BookImport::layout()).run(*sheet, false);
        Database::setBeforeCommitHook({});
        admin.execute(refuse.arg(QStringLiteral("true")));
        QVERIFY(!result.stored());
        QCOMPARE(result.outcomeUnknown, serverStaysAway);
        QVERIFY2(result.error.contains(serverStaysAway ? QStringLiteral("无法确认")
                                                       : QStringLiteral("没有保存")),
                 qPrintable(result.error));
        QCOMPARE(bookCount(lib.db()), 0);
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

    // A whole number in a number cell keeps its digits while a spreadsheet program and a
    // double hold them all; from 16 digits on they may not be the typed ones, and the row
    // is refused with what to do. Text cells are never judged so.
    void longNumbersInNumberCells_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<bool>("fails");
        QTest::newRow("short") << QStringLiteral("4567") << true << false;
        QTest::newRow("isbn") << QStringLiteral("9787111213826") << true << false;
        QTest::newRow("15 digits") << QStringLiteral("123456789012345") << true << false;
        QTest::newRow("16 digits") << QStringLiteral("1234567890123450") << true << true;
        QTest::newRow("id card") << QStringLiteral("110101199001011008") << true << true;
        QTest::newRow("2^53") << QStringLiteral("9007199254740992") << true << true;
        QTest::newRow("negative") << QStringLiteral("-1101011990010110") << true << true;
        QTest::newRow("decimal") << QStringLiteral("1234567890.12345") << true << false;
        QTest::newRow("id card as text") << QStringLiteral("110101199001011234") << false << false;
    }
    void longNumbersInNumberCells()
    {
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(bool, fails);
        for (const ImportColumn& column : BookImport::layout().columns) {
            QString reason;
            const auto value = SheetImport::convert(column, text, &reason, isNumber);
            if (column.kind == ImportColumn::Kind::Identity) {
                QCOMPARE(!value.has_value(), fails);
                if (fails)
                    QVERIFY2(reason.contains(QStringLiteral("设为文本格式")), qPrintable(reason));
                else
                    QCOMPARE(value->toString(), text);
            } else if (column.kind == ImportColumn::Kind::Text) {
                QCOMPARE(value.value_or(QVariant()).toString(), text);
            }
        }
    }

    // A number cell's amount is rounded to the four decimals an amount keeps; typed text
    // must be an amount as it stands.
    void pricesFromNumberCellsAndText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<QString>("stored"); // empty: the row fails
        QTest::newRow("formula noise")
            << QStringLiteral("0.30000000000000004") << true << QStringLiteral("0.3");
        QTest::newRow("five decimals")
            << QStringLiteral("12.34567") << true << QStringLiteral("12.3457");
        QTest::newRow("negative noise")
            << QStringLiteral("-2.9999999999999996") << true << QStringLiteral("-3");
        QTest::newRow("whole") << QStringLiteral("25") << true << QStringLiteral("25");
        QTest::newRow("typed noise") << QStringLiteral("0.30000000000000004") << false << QString();
        QTest::newRow("typed") << QStringLiteral("29.8") << false << QStringLiteral("29.8");
        QTest::newRow("typed word") << QStringLiteral("abc") << false << QString();
        QTest::newRow("huge number") << QStringLiteral("1e300") << true << QString();
    }
    void pricesFromNumberCellsAndText()
    {
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(QString, stored);
        const ImportColumn price = BookImport::layout().columns.at(6);
        QString reason;
        const auto value = SheetImport::convert(price, text, &reason, isNumber);
        QCOMPARE(value.has_value(), !stored.isEmpty());
        if (value)
            QCOMPARE(value->value<Money>().toString(), stored);
        else
            QVERIFY(!reason.isEmpty());
    }

    // The same through a workbook: number cells as a spreadsheet program writes them.
    void numberCellsOfAWorkbook_data() { addEngines(); }
    void numberCellsOfAWorkbook()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QVariantList exact = book(4567, QStringLiteral("数字编号"));
        exact[7] = 9787111213826.0;
        exact[6] = 0.1 * 3;
        QVariantList lost = book(QStringLiteral("L1"), QStringLiteral("长条形码"));
        lost[1] = QByteArray("1.10101199001011E+17");
        QVariantList typed = book(QStringLiteral("T1"), QStringLiteral("文本条形码"));
        typed[1] = QStringLiteral("110101199001011234");
        QTemporaryDir dir;
        const auto sheet = sheetOf(dir, {titleRow(), exact, lost, typed});
        QVERIFY(sheet);
        const SheetImport::Result result =
            SheetImport(lib.db(), BookImport::layout()).run(*sheet, false);
        QVERIFY2(result.stored(), qPrintable(result.error));
        QCOMPARE(result.failedRowsText(), QStringLiteral("3,"));
        QVERIFY2(result.failed.value(3).startsWith(QStringLiteral("条形码")),
                 qPrintable(result.failed.value(3)));
        QCOMPARE(numbers(lib.db()), (QStringList{QStringLiteral("4567"), QStringLiteral("T1")}));
        QSqlQuery q = lib.db().query(QStringLiteral("select isbn, 价格 from 图书 where 编号 = ?"),
                                     {QStringLiteral("4567")});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("9787111213826"));
        QCOMPARE(DbValue::toMoney(q.value(1)).toString(), QStringLiteral("0.3"));
        QCOMPARE(
            lib.db().scalar(QStringLiteral("select 条形码 from 图书 where 编号 = 'T1'")).toString(),
            QStringLiteral("110101199001011234"));
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

    // "退出" while the import runs asks, then stops it, leaves nothing and closes. While
    // the question is open the library is not locked: another desk's write goes through.
    // An answer that comes after the rows were stored is told so.
    void exitDuringImportRollsBack_data()
    {
        QTest::addColumn<bool>("answerLate");
        QTest::newRow("answered at once") << false;
        QTest::newRow("answered after the import was stored") << true;
    }
    void exitDuringImportRollsBack()
    {
        QFETCH(bool, answerLate);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QList<QVariantList> rows{titleRow()};
        for (int i = 0; i < 20000; ++i)
            rows << book(QStringLiteral("N%1").arg(i), QStringLiteral("书%1").arg(i));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("many.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(path, rows));
        struct DeskWritesWhileAsked : RecordingMessenger
        {
            QString library;
            bool late = false;
            QString deskError = QStringLiteral("no question");
            bool confirm(QWidget* w, const QString& text, const QString& caption) override
            {
                Database desk(QStringLiteral("other-desk"));
                deskError.clear();
                try {
                    if (!desk.openSqlite(library, false, &deskError))
                        return RecordingMessenger::confirm(w, text, caption);
                    desk.transaction([&] {
                        desk.execute(QStringLiteral("insert into 分类 (名称) values (?)"),
                                     {QStringLiteral("问话时写入")});
                    });
                    // The operator thinks it over until the import is done.
                    QElapsedTimer waited;
                    waited.start();
                    while (late && waited.elapsed() < 60000 &&
                           desk.scalar(QStringLiteral("select count(*) from 图书")).toInt() == 0)
                        QThread::msleep(20);
                } catch (const DbError& e) {
                    deskError = e.message();
                }
                return RecordingMessenger::confirm(w, text, caption);
            }
        } messages;
        messages.library = QDir(lib.dir()).absoluteFilePath(QStringLiteral("book.mdb"));
        messages.late = answerLate;
        messages.confirmAnswers.enqueue(true);
        auto* screen = new TInExcelDataFm;
        QPointer<TInExcelDataFm> alive(screen);
        screen->show();
        messages.fileAnswers.enqueue(path);
        screen->chooseClick();
        // The exit is clicked once the rows are being worked on, as the operator would.
        auto* bar = screen->findChild<QProgressBar*>(QStringLiteral("progressBar"));
        bool asked = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, screen, [&] {
            if (bar->maximum() < 20000)
                return;
            poll.stop();
            asked = true;
            screen->exitClick();
        });
        poll.start(1);
        screen->startClick();
        QVERIFY(asked);
        QCOMPARE(messages.shown.size(), answerLate ? 2 : 1);
        QCOMPARE(messages.shown.first().kind, QStringLiteral("confirm"));
        if (answerLate)
            QCOMPARE(messages.lastText(), QStringLiteral("中止之前导入已经完成,数据已导入."));
        QCOMPARE(messages.deskError, QString());
        QCOMPARE(lib.db()
                     .scalar(QStringLiteral("select count(*) from 分类 where 名称 = ?"),
                             {QStringLiteral("问话时写入")})
                     .toInt(),
                 1);
        QCOMPARE(bookCount(lib.db()), answerLate ? 20000 : 0);
        QTRY_VERIFY(alive.isNull());
    }
};
TUSHU_TEST(InExcelDataScreenTest)

#include "tst_BookImport.moc"
