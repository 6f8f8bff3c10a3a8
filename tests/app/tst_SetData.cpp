#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "app/SetDataUt.h"
#include "app/Startup.h"
#include "data/ConnectionString.h"
#include "data/LoginState.h"
#include "data/SettingsFile.h"
#include "data/TextCodec.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kRestart = QStringLiteral("软件重启后生效!");

QString env(const char* name, const char* fallback)
{
    const QByteArray v = qgetenv(name);
    return QString::fromLocal8Bit(v.isEmpty() ? QByteArray(fallback) : v);
}

// A program folder with the given de.ini, made the login state's for one test.
struct Folder
{
    QTemporaryDir dir;
    explicit Folder(const QString& ini = {}, const QString& kind = QStringLiteral("a"))
    {
        if (!ini.isNull()) {
            QFile f(path());
            f.open(QIODevice::WriteOnly);
            f.write(TextCodec::toGbk(ini));
        }
        LoginState::reset();
        LoginState::instance().programDir = dir.path();
        LoginState::instance().DbKind = kind;
    }
    QString path() const { return QDir(dir.path()).absoluteFilePath(QStringLiteral("de.ini")); }
    QString read(const char* key) const
    {
        return SettingsFile(path()).read(QStringLiteral("part1"), QString::fromLatin1(key),
                                         QStringLiteral("<missing>"));
    }
    QByteArray bytes() const
    {
        QFile f(path());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
};

void fillServer(TSetDataFm& fm, const QString& server, const QString& database)
{
    fm.serverBox()->setEditText(server);
    fm.databaseEdit()->setText(database);
    fm.userEdit()->setText(env("TUSHU_PG_USER", "postgres"));
    fm.passwordEdit()->setText(env("TUSHU_PG_PASSWORD", ""));
    fm.providerBox()->setCurrentText(QStringLiteral("PostgreSQL"));
}

QString pgServer()
{
    return env("TUSHU_PG_HOST", "127.0.0.1") + QLatin1Char(',') + env("TUSHU_PG_PORT", "5432");
}
} // namespace

class SetDataTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { LoginState::reset(); }

    void firstState_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("access");
        QTest::addColumn<bool>("server");
        QTest::addColumn<bool>("saveEnabled");
        QTest::addColumn<bool>("groupVisible");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QString>("provider");
        const QStringList zeros{"0", "0", "0", "0"};
        QTest::newRow("no de.ini")
            << QString() << "a" << true << false << true << false << zeros << "PostgreSQL";
        QTest::newRow("server without cs")
            << "[part1]\r\nabc=s\r\n"
            << "s" << false << true << false << true << zeros << "PostgreSQL";
        QTest::newRow("stored server inputs")
            << "[part1]\r\nabc=s\r\nServerName=db.local\r\nDataBaseName=书库\r\nUserName=lib\r\n"
               "PassWord=pw\r\ncs=Provider=PostgreSQL;Data Source=db.local\r\n"
            << "s" << false << true << false << true << QStringList{"db.local", "书库", "lib", "pw"}
            << "PostgreSQL";
        // A library kept on SQL Server is offered PostgreSQL, the one server engine.
        QTest::newRow("stored sql server string")
            << "[part1]\r\nabc=s\r\nServerName=db.local\r\ncs=Provider=SQLOLEDB.1;Data "
               "Source=db.local\r\n"
            << "s" << false << true << false << true << QStringList{"db.local", "0", "0", "0"}
            << "PostgreSQL";
        QTest::newRow("unknown kind")
            << "[part1]\r\nabc=x\r\n"
            << "x" << false << false << false << true << zeros << "PostgreSQL";
    }
    void firstState()
    {
        QFETCH(QString, ini);
        QFETCH(QString, kind);
        Folder folder(ini, kind);
        TSetDataFm fm;
        fm.show();
        QCOMPARE(fm.windowTitle(), QStringLiteral("数据库设置"));
        QTEST(fm.accessRadio()->isChecked(), "access");
        QTEST(fm.serverRadio()->isChecked(), "server");
        QTEST(fm.saveButton()->isEnabled(), "saveEnabled");
        QTEST(fm.serverGroup()->isVisible(), "groupVisible");
        QTEST(QStringList({fm.serverBox()->currentText(), fm.databaseEdit()->text(),
                           fm.userEdit()->text(), fm.passwordEdit()->text()}),
              "inputs");
        QTEST(fm.providerBox()->currentText(), "provider");
        QCOMPARE(fm.passwordEdit()->echoMode(), QLineEdit::Password);
        // Choosing by hand switches the group and the save button.
        fm.serverRadio()->click();
        QVERIFY(fm.serverGroup()->isVisible() && fm.serverGroup()->isEnabled());
        QVERIFY(!fm.saveButton()->isEnabled());
        fm.accessRadio()->click();
        QVERIFY(!fm.serverGroup()->isVisible() && !fm.serverGroup()->isEnabled());
        QVERIFY(fm.saveButton()->isEnabled());
    }

    void connectionString_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain values")
            << "PostgreSQL"
            << "pw"
            << "srv"
            << "Provider=PostgreSQL;Password=pw;Persist Security Info=True;User ID=sa;"
               "Initial Catalog=book;Data Source=srv;";
        QTest::newRow("postgresql")
            << "PostgreSQL"
            << ""
            << "h,5432"
            << "Provider=PostgreSQL;Password=;Persist Security Info=True;User ID=sa;"
               "Initial Catalog=book;Data Source=h,5432;";
        QTest::newRow("semicolon and quote in the password")
            << "PostgreSQL"
            << "a;\"b"
            << "srv"
            << "Provider=PostgreSQL;Password=\"a;\"\"b\";Persist Security Info=True;User ID=sa;"
               "Initial Catalog=book;Data Source=srv;";
    }
    void connectionString()
    {
        QFETCH(QString, provider);
        QFETCH(QString, password);
        QFETCH(QString, server);
        QFETCH(QString, expected);
        const QString cs = SetDataRules::connectionString(
            {server, QStringLiteral("book"), QStringLiteral("sa"), password, provider});
        QCOMPARE(cs, expected);
        // Each value reads back as typed.
        const ConnectionString parsed(cs);
        QCOMPARE(parsed.value(QStringLiteral("Password")), password);
        QCOMPARE(parsed.value(QStringLiteral("Data Source")), server);
        QCOMPARE(parsed.value(QStringLiteral("Provider")), provider);
    }

    // A failed test, then the corrected server tested on the same screen; a change after the
    // success takes the save button away until the next test; the saved string opens.
    void testTwiceThenSave()
    {
        TUSHU_REQUIRE_ENGINE(TestLibrary::PostgreSQL);
        Folder folder(QStringLiteral("[part1]\r\nabc=a\r\ncs=0\r\n"), QStringLiteral("a"));
        RecordingMessenger messenger;
        TSetDataFm fm;
        fm.show();
        fm.serverRadio()->click();
        fillServer(fm, QStringLiteral("127.0.0.1,1"), QStringLiteral("postgres"));
        QTest::mouseClick(fm.testButton(), Qt::LeftButton);
        QCOMPARE(messenger.texts().size(), 2);
        QCOMPARE(messenger.texts()[0],
                 SetDataRules::connectionString({QStringLiteral("127.0.0.1,1"),
                                                 QStringLiteral("postgres"), fm.userEdit()->text(),
                                                 fm.passwordEdit()->text(),
                                                 QStringLiteral("PostgreSQL")}));
        QCOMPARE(messenger.lastText(), QStringLiteral("连接失败"));
        QVERIFY(!fm.saveButton()->isEnabled());

        messenger.clear();
        fm.serverBox()->setEditText(pgServer());
        QTest::mouseClick(fm.testButton(), Qt::LeftButton);
        QCOMPARE(messenger.lastText(), QStringLiteral("连接成功!"));
        QVERIFY(fm.saveButton()->isEnabled());
        QVERIFY(fm.rules().testConnection().isOpen());
        // The same inputs again: still a success.
        QTest::mouseClick(fm.testButton(), Qt::LeftButton);
        QCOMPARE(messenger.lastText(), QStringLiteral("连接成功!"));

        fm.databaseEdit()->setText(QStringLiteral("template1"));
        QVERIFY(!fm.saveButton()->isEnabled());
        QVERIFY(!fm.rules().testConnection().isOpen());
        QTest::mouseClick(fm.testButton(), Qt::LeftButton);
        QCOMPARE(messenger.lastText(), QStringLiteral("连接成功!"));
        QVERIFY(fm.saveButton()->isEnabled());
        const QString tested = fm.rules().testedString();

        messenger.clear();
        fm.serverBox()->setEditText(QStringLiteral("  ") + pgServer());
        fm.serverBox()->setEditText(pgServer() + QStringLiteral("  "));
        QVERIFY(!fm.saveButton()->isEnabled());
        fm.serverBox()->setEditText(pgServer());
        QTest::mouseClick(fm.testButton(), Qt::LeftButton);
        QVERIFY(fm.saveButton()->isEnabled());
        QTest::mouseClick(fm.saveButton(), Qt::LeftButton);
        QCOMPARE(messenger.lastText(), kRestart);
        QVERIFY(!fm.isVisible());
        QCOMPARE(folder.read("abc"), QStringLiteral("s"));
        QCOMPARE(folder.read("cs"), tested);
        QCOMPARE(folder.read("ServerName"), pgServer());
        QCOMPARE(folder.read("DataBaseName"), QStringLiteral("template1"));

        Database check(QStringLiteral("setdata-check"));
        QString error;
        QVERIFY2(check.open(QStringLiteral("s"), folder.read("cs"), &error), qPrintable(error));
    }

    // Choosing Access and saving without a valid test keeps the server string; the inputs
    // are stored trimmed.
    void accessSaveKeepsServerString_data()
    {
        QTest::addColumn<bool>("testedThenChanged");
        QTest::newRow("no test") << false;
        QTest::newRow("test outdated by a change") << true;
    }
    void accessSaveKeepsServerString()
    {
        QFETCH(bool, testedThenChanged);
        if (testedThenChanged)
            TUSHU_REQUIRE_ENGINE(TestLibrary::PostgreSQL);
        const QString cs = QStringLiteral("Provider=PostgreSQL;Data Source=old;Initial Catalog=b");
        Folder folder(QStringLiteral("[part1]\r\nabc=s\r\ncs=") + cs + QStringLiteral("\r\n"),
                      QStringLiteral("s"));
        RecordingMessenger messenger;
        TSetDataFm fm;
        fm.show();
        if (testedThenChanged) {
            fillServer(fm, pgServer(), QStringLiteral("postgres"));
            fm.testButton()->click();
            QCOMPARE(messenger.lastText(), QStringLiteral("连接成功!"));
            fm.userEdit()->setText(QStringLiteral("  someone  "));
        } else {
            fm.userEdit()->setText(QStringLiteral("  someone  "));
        }
        fm.accessRadio()->click();
        QVERIFY(fm.saveButton()->isEnabled());
        fm.saveButton()->click();
        QCOMPARE(messenger.lastText(), kRestart);
        QCOMPARE(folder.read("abc"), QStringLiteral("a"));
        QCOMPARE(folder.read("cs"), cs);
        QCOMPARE(folder.read("UserName"), QStringLiteral("someone"));
    }

    void exitWritesNothing()
    {
        Folder folder(QStringLiteral("[part1]\r\nabc=s\r\n"), QStringLiteral("s"));
        const QByteArray before = folder.bytes();
        RecordingMessenger messenger;
        TSetDataFm fm;
        fm.show();
        fm.accessRadio()->click();
        fm.exitButton()->click();
        QCOMPARE(messenger.texts(), QStringList({kRestart}));
        QVERIFY(!fm.isVisible());
        QCOMPARE(folder.bytes(), before);
    }

    void failedWriteIsReported()
    {
        Folder folder;
        LoginState::instance().programDir = QStringLiteral("/nonexistent-folder");
        RecordingMessenger messenger;
        TSetDataFm fm;
        fm.show();
        fm.saveButton()->click();
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("error"));
        QVERIFY(!messenger.shown[0].text.isEmpty());
        QVERIFY(fm.isVisible());
    }

    void accessibleNames()
    {
        Folder folder;
        TSetDataFm fm;
        QCOMPARE(fm.serverBox()->accessibleName(), QStringLiteral("服务器名/ip地址:"));
        QCOMPARE(fm.databaseEdit()->accessibleName(), QStringLiteral("数据库名:"));
        QCOMPARE(fm.userEdit()->accessibleName(), QStringLiteral("用户名:"));
        QCOMPARE(fm.passwordEdit()->accessibleName(), QStringLiteral("密码:"));
        QCOMPARE(fm.providerBox()->accessibleName(), QStringLiteral("提供程序:"));
        for (QPushButton* b : {fm.testButton(), fm.saveButton(), fm.exitButton()})
            QCOMPARE(b->accessibleName(), b->text());
        QCOMPARE(fm.accessRadio()->accessibleName(), fm.accessRadio()->text());
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("init");
        QTest::addColumn<bool>("demo");
        QTest::addColumn<QString>("exportTable");
        QTest::addColumn<QString>("exportFile");
        QTest::addColumn<bool>("ok");
        QTest::newRow("nothing") << QStringList() << ""
                                 << "" << false << ""
                                 << "" << true;
        QTest::newRow("dir") << QStringList{"--dir", "/d"} << "/d"
                             << "" << false << ""
                             << "" << true;
        QTest::newRow("init demo") << QStringList{"--init", "/n", "--demo"} << ""
                                   << "/n" << true << ""
                                   << "" << true;
        QTest::newRow("export") << QStringList{"--dir", "/d", "--export", "图书", "a.xlsx"} << "/d"
                                << "" << false << "图书"
                                << "a.xlsx" << true;
        QTest::newRow("Qt option passes")
            << QStringList{"-platform", "offscreen", "--dir", "/d"} << "/d"
            << "" << false << ""
            << "" << true;
        QTest::newRow("export without dir") << QStringList{"--export", "图书", "a.xlsx"} << ""
                                            << "" << false << "图书"
                                            << "a.xlsx" << false;
        QTest::newRow("dir without value") << QStringList{"--dir"} << ""
                                           << "" << false << ""
                                           << "" << false;
        QTest::newRow("demo without init") << QStringList{"--demo"} << ""
                                           << "" << true << ""
                                           << "" << false;
        QTest::newRow("stray word") << QStringList{"book.mdb"} << ""
                                    << "" << false << ""
                                    << "" << false;
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        const Startup::Options o = Startup::parseArguments(args);
        QTEST(o.error.isEmpty(), "ok");
        QTEST(o.dir, "dir");
        QTEST(o.initDir, "init");
        QTEST(o.demo, "demo");
        QTEST(o.exportTable, "exportTable");
        QTEST(o.exportFile, "exportFile");
    }
};

TUSHU_TEST(SetDataTest)
#include "tst_SetData.moc"
