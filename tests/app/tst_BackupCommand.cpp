#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "app/BackupCommand.h"
#include "app/LoginRules.h"
#include "app/Startup.h"
#include "data/LibraryInit.h"
#include "data/LoginState.h"
#include "maintenance/SysInfoSetUt.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {
int loansIn(const QString& file)
{
    const QString name = QStringLiteral("backup-read-") + QUuid::createUuid().toString();
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("select count(*) from 借出记录")) && q.next())
                n = q.value(0).toInt();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return n;
}
} // namespace

// `tushu --dir DIR --backup FOLDER` as a scheduled job runs it: the exit code and the file.
class BackupCommandTest : public QObject
{
    Q_OBJECT
private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("backup");
        QTest::addColumn<bool>("ok");
        QTest::newRow("backup") << QStringList{"--dir", "/d", "--backup", "/b"} << "/b" << true;
        QTest::newRow("backup first")
            << QStringList{"--backup", "/b", "--dir", "/d"} << "/b" << true;
        QTest::newRow("without dir") << QStringList{"--backup", "/b"} << "/b" << false;
        QTest::newRow("without folder") << QStringList{"--dir", "/d", "--backup"} << "" << false;
        QTest::newRow("with export")
            << QStringList{"--dir", "/d", "--backup", "/b", "--export", "图书", "a.xlsx"} << "/b"
            << false;
        QTest::newRow("with init")
            << QStringList{"--init", "/n", "--backup", "/b"} << "/b" << false;
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        const Startup::Options o = Startup::parseArguments(args);
        QTEST(o.error.isEmpty(), "ok");
        QTEST(o.backupFolder, "backup");
    }

    void writesTheBackup()
    {
        QTemporaryDir library;
        QString error;
        QVERIFY2(LibraryInit::create(library.path(), true, {}, &error), qPrintable(error));
        QTemporaryDir target;
        QCOMPARE(runBackupCommand(library.path(), target.path()), 0);
        const QString file = QDir(target.path()).absoluteFilePath(QStringLiteral("book.mdb"));
        QVERIFY(QFile::exists(file));
        QVERIFY(loansIn(file) >= 0);
        // Again over the first one.
        QCOMPARE(runBackupCommand(library.path(), target.path()), 0);
        QCOMPARE(QDir(target.path()).entryList(QDir::Files), QStringList{"book.mdb"});
    }

    void failsWithAReason_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("no library") << "none";
        QTest::newRow("the library's own folder") << "own";
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("server database") << "server";
    }
    void failsWithAReason()
    {
        QFETCH(QString, what);
        QTemporaryDir library;
        QString error;
        if (what == "server") {
            QVERIFY(LibraryInit::writeSettingsFile(
                QDir(library.path()).absoluteFilePath(QStringLiteral("de.ini")),
                QStringLiteral("s"), QStringLiteral("Provider=PostgreSQL;Data Source=nowhere"),
                &error));
        } else if (what != "none") {
            QVERIFY2(LibraryInit::create(library.path(), false, {}, &error), qPrintable(error));
        }
        QTemporaryDir other;
        const QString folder = what == "own"       ? library.path()
                               : what == "missing" ? other.path() + QStringLiteral("/无")
                                                   : other.path();
        QCOMPARE(runBackupCommand(library.path(), folder), 1);
        QVERIFY(QDir(other.path()).isEmpty());
    }
};

// The settings screen and the login after it: a refused save leaves the row so that the
// next login works; a stored fine is what the next login reads.
class SettingsLoginTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { LoginState::reset(); }

    void emptyFineRefusedAndTheNextLoginWorks()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir program;
        LoginState::instance().programDir = program.path();
        RecordingMessenger messenger;
        {
            TSysInfoSetFm fm;
            fm.edit(QStringLiteral("超期日罚金"))->clear();
            fm.saveClick();
            QCOMPARE(messenger.texts(),
                     QStringList{QStringLiteral("超期日罚金必须填写, \" 0 \" 代表不收取.")});
        }
        LoginState state;
        QVERIFY(LoginRules(lib.db(), state)
                    .login(QStringLiteral("超级管理员"), QStringLiteral("1234")));
        QCOMPARE(state.settings.超期每日罚金.toString(), QStringLiteral("0.1"));

        messenger.clear();
        {
            TSysInfoSetFm fm;
            fm.edit(QStringLiteral("超期日罚金"))->setText(QStringLiteral("0.2"));
            fm.saveClick();
            QCOMPARE(messenger.texts(), QStringList{QStringLiteral("新的设置重启软件后生效!")});
        }
        LoginState next;
        QVERIFY(
            LoginRules(lib.db(), next).login(QStringLiteral("超级管理员"), QStringLiteral("1234")));
        QCOMPARE(next.settings.超期每日罚金, *Money::parse(QStringLiteral("0.2")));
    }
};

TUSHU_TEST(BackupCommandTest)
TUSHU_TEST(SettingsLoginTest)
#include "tst_BackupCommand.moc"
