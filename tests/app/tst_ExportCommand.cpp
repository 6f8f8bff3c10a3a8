#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "app/ExportCommand.h"
#include "data/SpreadsheetReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// `tushu --dir DIR --export TABLE FILE.xlsx` as the command line runs it: the exit code and
// the workbook.
class ExportCommandTest : public QObject
{
    Q_OBJECT
private slots:
    void exportsATableOrRefuses_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("books") << QStringLiteral("图书") << 0;
        QTest::newRow("readers, other case") << QStringLiteral("读者库 ") << 0;
        QTest::newRow("not in the schema") << QStringLiteral("sqlite_master") << 1;
        QTest::newRow("a statement") << QStringLiteral("图书 where 1=1") << 1;
    }
    void exportsATableOrRefuses()
    {
        QFETCH(QString, table);
        QFETCH(int, exitCode);
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QString error;
        QVERIFY2(lib.writeSettingsFile(&error), qPrintable(error));
        QTemporaryDir out;
        const QString file = out.filePath(QStringLiteral("out.xlsx"));
        QCOMPARE(runExportCommand(lib.dir(), table, file), exitCode);
        if (exitCode != 0) {
            QVERIFY(!QFile::exists(file));
            return;
        }
        const auto reader = SpreadsheetReader::openFile(file, &error);
        QVERIFY2(reader, qPrintable(error));
        const int rows =
            lib.db().scalar(QStringLiteral("select count(*) from %1").arg(table.trimmed())).toInt();
        QVERIFY(rows > 0);
        QCOMPARE(reader->rowCount(), rows + 1);
    }

    void missingLibraryFails()
    {
        QTemporaryDir empty;
        const QString file = empty.filePath(QStringLiteral("out.xlsx"));
        QCOMPARE(runExportCommand(empty.path(), QStringLiteral("图书"), file), 1);
        QVERIFY(!QFile::exists(file));
    }
};

TUSHU_TEST(ExportCommandTest)
#include "tst_ExportCommand.moc"
