#include "../common/SheetFixtures.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/BookImport.h"
#include "circulation/Lending.h"
#include "data/Clock.h"
#include "data/LoginState.h"
#include "data/SpreadsheetReader.h"
#include "readers/ReaderImport.h"

#include <QTemporaryDir>
#include <QTest>

// Books and readers brought in from spreadsheets can be lent at the desk at once.
class ImportAtDeskTest : public QObject
{
    Q_OBJECT
private slots:
    void importedReaderBorrowsImportedBook_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void importedReaderBorrowsImportedBook()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        LoginState::reset();
        LoginState::instance().OperatorName = QStringLiteral("张三");
        Clock::setNow(QDateTime(QDate(2026, 3, 2), QTime(10, 0)));
        TestLibrary lib{TestLibrary::Engine(engine), true};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QString category =
            lib.db().scalar(QStringLiteral("select 类别名 from 读者类别")).toString();
        QVERIFY(!category.isEmpty());
        QTemporaryDir dir;
        const QString readers = dir.filePath(QStringLiteral("readers.xlsx"));
        const QString books = dir.filePath(QStringLiteral("books.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(
            readers,
            {{QStringLiteral("读者编号")},
             {QStringLiteral("IMP1"), QStringLiteral("导入者"), QStringLiteral("女"), category}}));
        QVERIFY(SheetFixtures::writeWorkbook(
            books,
            {{QStringLiteral("编号")},
             {QStringLiteral("IMPB1"), QByteArray("9787115113115"), QStringLiteral("导入的书"),
              QString(), QString(), QString(), 20.5, QByteArray("9787115113115"), 2}}));
        QString error;
        auto sheet = SpreadsheetReader::openFile(readers, &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(SheetImport(lib.db(), ReaderImport::layout()).run(*sheet, false).imported, 1);
        sheet = SpreadsheetReader::openFile(books, &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(SheetImport(lib.db(), BookImport::layout()).run(*sheet, false).imported, 1);

        Lending lending(lib.db());
        const ReaderCheck reader = lending.RdSearch(QStringLiteral("IMP1"));
        QVERIFY2(reader.passed, qPrintable(reader.message));
        lending.setKey(QStringLiteral("条形码"));
        const ItemCheck item = lending.bksearch(QStringLiteral("9787115113115"));
        QVERIFY2(item.added, qPrintable(item.message));
        Clock::setNow({});
        LoginState::reset();
    }
};
TUSHU_TEST(ImportAtDeskTest)

#include "tst_ImportAtDesk.moc"
