#include "../common/RecordingMessenger.h"
#include "../common/SheetFixtures.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/BookImport.h"
#include "circulation/Lending.h"
#include "data/Clock.h"
#include "data/LoginState.h"
#include "data/SpreadsheetReader.h"
#include "readers/InExcelRdUt.h"
#include "readers/ReaderImport.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
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

// Choosing a file the import screen cannot read: the reader's message, and "开始导入" stays
// disabled (the file chosen before it is not imported under it) until a readable file is
// chosen. Hostile files (a compound file asking for huge tables, an .xlsx that inflates
// without end) are such files: the window goes on.
class ImportScreenFileChoiceTest : public QObject
{
    Q_OBJECT
private slots:
    void unreadableFileDisablesStart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("not a workbook") << QStringLiteral("garbage.xlsx");
        QTest::newRow("hostile xls") << QStringLiteral("hostile.xls");
        QTest::newRow("inflating xlsx") << QStringLiteral("inflating.xlsx");
    }
    void unreadableFileDisablesStart()
    {
        QFETCH(QString, name);
        LoginState::reset();
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("readers.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(
            good, {{QStringLiteral("读者编号")}, {QStringLiteral("R1"), QStringLiteral("甲")}}));
        const QString bad = dir.filePath(name);
        if (name.endsWith(QLatin1String(".xls"))) {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(SheetFixtures::hostileCompoundFile(16));
        } else if (name.startsWith(QLatin1String("inflating"))) {
            QVERIFY(SheetFixtures::writeInflatingWorkbook(bad, SheetFixtures::Inflating::InCell,
                                                          qint64(200) << 20));
        } else {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("PK\x03\x04 no workbook");
        }
        RecordingMessenger messages;
        TInExcelRdFm screen;
        screen.show();
        auto* start = screen.findChild<QPushButton*>(QStringLiteral("startButton"));
        QVERIFY(start);
        messages.fileAnswers << good << bad << good;
        screen.chooseClick();
        QVERIFY(start->isEnabled());
        QCOMPARE(screen.fileName(), good);

        screen.chooseClick();
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown.first().kind, QStringLiteral("error"));
        QString error;
        QVERIFY(!SpreadsheetReader::openFile(bad, &error));
        QCOMPARE(messages.lastText(), error);
        QVERIFY(!start->isEnabled());
        QVERIFY(screen.fileName().isEmpty());
        QVERIFY(screen.findChild<QLabel*>(QStringLiteral("rowCountLabel"))->text().isEmpty());
        screen.startClick(); // nothing to import
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 读者库")).toInt(), 0);

        screen.chooseClick();
        QVERIFY(start->isEnabled());
        QCOMPARE(screen.fileName(), good);
        LoginState::reset();
    }
};
TUSHU_TEST(ImportScreenFileChoiceTest)

#include "tst_ImportAtDesk.moc"
