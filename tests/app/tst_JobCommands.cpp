#include "../common/MarcFixtures.h"
#include "../common/SheetFixtures.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "app/JobCommands.h"
#include "app/Startup.h"
#include "data/Clock.h"
#include "data/SpreadsheetReader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The program itself, as a scheduled job starts it.
Run runTushu(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TUSHU_BINARY), args);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString lines(const QStringList& l)
{
    return l.isEmpty() ? QString() : l.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

// A library of its own connection with de.ini in its folder.
std::unique_ptr<TestLibrary> libraryWithSettings(int engine)
{
    auto lib = std::make_unique<TestLibrary>(TestLibrary::Engine(engine), false, false);
    QString error;
    if (lib->ok() && !lib->writeSettingsFile(&error))
        qWarning("%s", qPrintable(error));
    return lib;
}

QVariantList titles(const QStringList& t)
{
    QVariantList row;
    for (const QString& s : t)
        row << s;
    return row;
}

// Rows 2 to 6: row 3 lacks its 名称, row 4 holds a number the library has already, row 5
// is blank, rows 2 and 6 are good.
QList<QVariantList> bookSheet()
{
    auto book = [](const char* number, const QString& title) {
        return QVariantList{QString::fromUtf8(number),
                            QStringLiteral("n"),
                            title,
                            QString(),
                            QString(),
                            QString(),
                            12,
                            QString(),
                            1};
    };
    return {titles({"编号", "条形码", "名称", "分类", "出版社", "作者", "价格", "ISBN", "数量"}),
            book("CL-1", QStringLiteral("第一本")),
            book("CL-2", QString()),
            book("CL-OLD", QStringLiteral("重复")),
            QVariantList{},
            book("CL-3", QStringLiteral("第三本"))};
}

QList<QVariantList> readerSheet()
{
    return {titles({"读者编号", "读者姓名"}),
            {QStringLiteral("R-1"), QStringLiteral("张三")},
            {QStringLiteral("R-1"), QStringLiteral("李四")},
            {QStringLiteral("R-2"), QStringLiteral("王五")}};
}

int count(const Database& db, const QString& table, const QString& column, const QString& prefix)
{
    return db
        .scalar(QStringLiteral("select count(*) from %1 where %2 like ?").arg(table, column),
                {prefix + QLatin1Char('%')})
        .toInt();
}
} // namespace

// `tushu --dir DIR --import-books FILE`, `--import-readers FILE` and `--overdue FILE.xlsx`
// run as the program binary: exit codes, standard output and standard error.
class JobCommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("import books")
            << QStringList{"--dir", "/d", "--import-books", "a.xlsx"} << QString();
        QTest::newRow("import readers first")
            << QStringList{"--import-readers", "a.xls", "--dir", "/d"} << QString();
        QTest::newRow("import marc")
            << QStringList{"--dir", "/d", "--import-marc", "a.mrc"} << QString();
        QTest::newRow("overdue") << QStringList{"--dir", "/d", "--overdue", "o.xlsx"} << QString();
        QTest::newRow("without dir")
            << QStringList{"--overdue", "o.xlsx"} << QStringLiteral("--overdue 需要 --dir.");
        QTest::newRow("without file") << QStringList{"--dir", "/d", "--import-books"}
                                      << QStringLiteral("--import-books 需要一个参数.");
        // A variable a scheduled job left unset gives an empty value: never the window.
        for (const char* option :
             {"--import-books", "--import-readers", "--overdue", "--backup", "--export", "--dir"})
            QTest::addRow("empty %s", option)
                << QStringList{"--dir", "/d", QString::fromLatin1(option), "", "x"}
                << QStringLiteral("%1 的参数是空的.").arg(QLatin1String(option));
        QTest::newRow("blank file") << QStringList{"--dir", "/d", "--import-books", " "}
                                    << QStringLiteral("--import-books 的参数是空的.");
        QTest::newRow("empty second export value")
            << QStringList{"--dir", "/d", "--export", "图书", ""}
            << QStringLiteral("--export 的参数是空的.");
        QTest::newRow("two jobs") << QStringList{"--dir", "/d",       "--import-books",
                                                 "a",     "--backup", "/b"}
                                  << QStringLiteral("--backup 和 --import-books 不能一起使用.");
        QTest::newRow("with init") << QStringList{"--init", "/n", "--overdue", "o.xlsx"}
                                   << QStringLiteral("--init 不能和 --dir、--export、--backup、"
                                                     "--import-books、--import-readers、"
                                                     "--import-marc 或 --overdue 一起使用.");
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QTEST(Startup::parseArguments(args).error, "error");
    }

    void helpListsEveryOption()
    {
        const Run r = runTushu({QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        QCOMPARE(r.out, QString::fromUtf8(Startup::usage()));
        for (const char* option :
             {"--dir", "--init", "--demo", "--server", "--export", "--backup", "--import-books",
              "--import-readers", "--import-marc", "--overdue", "--help"})
            QVERIFY2(r.out.contains(QLatin1String(option)), option);
        // A command line that cannot be used shows the same text on standard error.
        const Run wrong = runTushu({QStringLiteral("--overdue"), QStringLiteral("o.xlsx")});
        QCOMPARE(wrong.exitCode, 2);
        QVERIFY(wrong.out.isEmpty());
        QCOMPARE(wrong.err, QStringLiteral("--overdue 需要 --dir.\n") + r.out);
        // An empty job value exits 2 with the reason instead of opening the window.
        const Run empty = runTushu({QStringLiteral("--dir"), QDir::tempPath(),
                                    QStringLiteral("--import-books"), QString()});
        QCOMPARE(empty.exitCode, 2);
        QVERIFY(empty.err.startsWith(QStringLiteral("--import-books 的参数是空的.\n")));
    }

    void importBooks_data() { addEngines(); }
    void importBooks()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(TestLibrary::Engine(engine));
        auto lib = libraryWithSettings(engine);
        QVERIFY2(lib->ok(), qPrintable(lib->error()));
        lib->db().execute(
            QStringLiteral("insert into 图书 (编号, 名称, 借出次数, 状态) values (?, ?, 0, ?)"),
            {QStringLiteral("CL-OLD"), QStringLiteral("旧书"), QStringLiteral("正常")});
        QTemporaryDir files;
        const QString sheet = files.filePath(QStringLiteral("books.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(sheet, bookSheet()));

        Run r = runTushu({"--dir", lib->dir(), "--import-books", sheet});
        QCOMPARE(r.err, lines({QStringLiteral("行 3: 名称是必有项目"),
                               QStringLiteral("行 4: 编号“CL-OLD”在系统中已存在")}));
        QCOMPARE(r.exitCode, JobExit::RowsRefused);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(count(lib->db(), QStringLiteral("图书"), QStringLiteral("编号"), "CL-"), 3);

        // Only good rows: nothing printed, exit 0.
        const QString good = files.filePath(QStringLiteral("good.xlsx"));
        QList<QVariantList> rows = bookSheet();
        rows[1][0] = QStringLiteral("CL-4");
        rows = {rows[0], rows[1]};
        QVERIFY(SheetFixtures::writeWorkbook(good, rows));
        r = runTushu({"--dir", lib->dir(), "--import-books", good});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, QString());
        QCOMPARE(r.exitCode, JobExit::Done);
        QCOMPARE(count(lib->db(), QStringLiteral("图书"), QStringLiteral("编号"), "CL-"), 4);
    }

    // A supplier's GBK shipment: every record in, silently; again: each refused record
    // listed with its number in the file, exit 3; a file that is no MARC: exit 1.
    void importMarc_data() { addEngines(); }
    void importMarc()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(TestLibrary::Engine(engine));
        auto lib = libraryWithSettings(engine);
        QVERIFY2(lib->ok(), qPrintable(lib->error()));
        QTemporaryDir files;
        const QString path = files.filePath(QStringLiteral("shipment.mrc"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(MarcFixtures::iso2709(MarcFixtures::cnmarcShipment(), "gb18030"));
        file.close();

        Run r = runTushu({"--dir", lib->dir(), "--import-marc", path});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, QString());
        QCOMPARE(r.exitCode, JobExit::Done);
        QCOMPARE(lib->db()
                     .scalar(QStringLiteral("select 名称 from 图书 where 条形码 = ?"),
                             {QStringLiteral("00012347")})
                     .toString(),
                 QStringLiteral("红楼梦"));

        r = runTushu({"--dir", lib->dir(), "--import-marc", path});
        QCOMPARE(r.err, lines({QStringLiteral("记录 1: 编号“00012345”在系统中已存在"),
                               QStringLiteral("记录 2: 编号“00012347”在系统中已存在")}));
        QCOMPARE(r.exitCode, JobExit::RowsRefused);
        QCOMPARE(count(lib->db(), QStringLiteral("图书"), QStringLiteral("编号"), "000123"), 2);

        const QString text = files.filePath(QStringLiteral("notes.txt"));
        QFile notes(text);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("no MARC here\n");
        notes.close();
        r = runTushu({"--dir", lib->dir(), "--import-marc", text});
        QCOMPARE(r.exitCode, JobExit::Failed);
        QVERIFY(!r.err.isEmpty());
    }

    void importReaders_data() { addEngines(); }
    void importReaders()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(TestLibrary::Engine(engine));
        auto lib = libraryWithSettings(engine);
        QVERIFY2(lib->ok(), qPrintable(lib->error()));
        QTemporaryDir files;
        const QString sheet = files.filePath(QStringLiteral("readers.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(sheet, readerSheet()));
        const Run r = runTushu({"--dir", lib->dir(), "--import-readers", sheet});
        QCOMPARE(r.err, lines({QStringLiteral("行 3: 读者编号“R-1”与第2行重复")}));
        QCOMPARE(r.exitCode, JobExit::RowsRefused);
        QCOMPARE(count(lib->db(), QStringLiteral("读者库"), QStringLiteral("读者编号"), "R-"), 2);
        QCOMPARE(lib->db()
                     .scalar(QStringLiteral("select 读者姓名 from 读者库 where 读者编号 = ?"),
                             {QStringLiteral("R-2")})
                     .toString(),
                 QStringLiteral("王五"));
    }

    // Nothing is imported and the reason is given: a file that is no sheet, a sheet that
    // is missing, a folder without a library, a de.ini whose book.mdb is gone.
    void importFailsWithAReason_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("option");
        QTest::newRow("not a sheet") << "garbage"
                                     << "--import-books";
        QTest::newRow("no such file") << "nofile"
                                      << "--import-readers";
        QTest::newRow("no library") << "nolibrary"
                                    << "--import-books";
        QTest::newRow("database file gone") << "nodatabase"
                                            << "--import-readers";
        // A compound file that asks for huge tables, an .xlsx that inflates without end:
        // refused with the reader's message, never an abort.
        QTest::newRow("hostile xls") << "hostile"
                                     << "--import-books";
        QTest::newRow("inflating xlsx") << "inflating"
                                        << "--import-readers";
        QTest::newRow("overdue, no library") << "nolibrary"
                                             << "--overdue";
    }
    void importFailsWithAReason()
    {
        QFETCH(QString, what);
        QFETCH(QString, option);
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QString error;
        QTemporaryDir files;
        QString dir = lib.dir();
        QString expected;
        QString file = files.filePath(QStringLiteral("in.xlsx"));
        if (what == "nolibrary") {
            dir = files.path();
            expected = QStringLiteral("找不到设置文件 %1。\n")
                           .arg(QDir(files.path()).absoluteFilePath(QStringLiteral("de.ini")));
        } else {
            QVERIFY2(lib.writeSettingsFile(&error), qPrintable(error));
        }
        if (what == "nodatabase") {
            lib.db().close();
            QVERIFY(QFile::remove(QDir(lib.dir()).absoluteFilePath(QStringLiteral("book.mdb"))));
        }
        if (what == "garbage" || what == "hostile") {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(what == "hostile" ? SheetFixtures::hostileCompoundFile(16)
                                      : QByteArray("PK\x03\x04 this is no workbook"));
        } else if (what == "inflating") {
            QVERIFY(SheetFixtures::writeInflatingWorkbook(file, SheetFixtures::Inflating::InCell,
                                                          qint64(200) << 20));
        } else if (what != "nofile" && option != "--overdue") {
            QVERIFY(SheetFixtures::writeWorkbook(file, readerSheet()));
        }
        const Run r = runTushu({"--dir", dir, option, file});
        QCOMPARE(r.exitCode, JobExit::Failed);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.endsWith(QLatin1Char('\n')));
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        if (!expected.isEmpty())
            QCOMPARE(r.err, expected);
        if (what == "garbage" || what == "nofile" || what == "hostile" || what == "inflating") {
            // The reader's own message for the operator.
            QVERIFY(!SpreadsheetReader::openFile(file, &error));
            QCOMPARE(r.err, error + QLatin1Char('\n'));
            QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 读者库")).toInt(), 0);
        }
        if (option == "--overdue")
            QVERIFY(!QFile::exists(file));
    }

    // Loans due yesterday and today are overdue, one due tomorrow and one returned are not;
    // the program's clock gives today.
    void overdueList_data() { addEngines(); }
    void overdueList()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(TestLibrary::Engine(engine));
        auto lib = libraryWithSettings(engine);
        QVERIFY2(lib->ok(), qPrintable(lib->error()));
        const QDate today = QDate::currentDate();
        const struct
        {
            const char* number;
            int dueIn;
            const char* returned;
        } loans[] = {{"L-1", -1, "否"}, {"L-2", 0, "否"}, {"L-3", 1, "否"}, {"L-4", -3, "是"}};
        for (const auto& l : loans)
            lib->db().execute(QStringLiteral("insert into 借出记录 (读者编号, 编号, 借阅日期, "
                                             "应还日期, 已还) values (?, ?, ?, ?, ?)"),
                              {QStringLiteral("R-1"), QString::fromUtf8(l.number),
                               today.addDays(-30), today.addDays(l.dueIn),
                               QString::fromUtf8(l.returned)});
        QTemporaryDir files;
        const QString file = files.filePath(QStringLiteral("overdue.xlsx"));
        const Run r = runTushu({"--dir", lib->dir(), "--overdue", file});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, QString());
        QCOMPARE(r.exitCode, JobExit::Done);
        QString error;
        const auto sheet = SpreadsheetReader::openFile(file, &error);
        QVERIFY2(sheet, qPrintable(error));
        int numberColumn = 0;
        for (int c = 1; c <= sheet->columnCount(); ++c)
            if (sheet->cell(1, c) == QStringLiteral("编号"))
                numberColumn = c;
        QVERIFY(numberColumn > 0);
        QStringList numbers;
        for (int row = 2; row <= sheet->rowCount(); ++row)
            numbers << sheet->cell(row, numberColumn);
        numbers.sort();
        QCOMPARE(numbers, (QStringList{"L-1", "L-2"}));

        // In the same process with the clock fixed two days on, L-3 is overdue too.
        Clock::setNow(QDateTime(today.addDays(2), QTime(9, 0)));
        QCOMPARE(runOverdueCommand(lib->dir(), file), JobExit::Done);
        Clock::setNow({});
        QVERIFY(SpreadsheetReader::openFile(file, &error));
        QCOMPARE(SpreadsheetReader::openFile(file, &error)->rowCount(), 4);
    }
};

TUSHU_TEST(JobCommandsTest)
#include "tst_JobCommands.moc"
