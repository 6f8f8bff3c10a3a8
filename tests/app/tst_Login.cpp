#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "AppTestSupport.h"
#include "app/LoginRules.h"
#include "app/LoginUt.h"
#include "app/SetDataUt.h"
#include "data/LoginState.h"
#include "data/SettingsFile.h"
#include "data/TextCodec.h"
#include "widgets/ScreenRegistry.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace AppTest;

namespace {
const QString kSuper = QStringLiteral("超级管理员");
const QString kNoConnection = QStringLiteral("数据库连接失败,请选择数据库.");

QString nullError(const char* type)
{
    return DbValue::conversionError(QString::fromLatin1(type));
}

void closeSettingsScreen()
{
    if (QWidget* w = ScreenRegistry::instance().existing(Command::DatabaseSettings))
        delete w;
}
void engines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}
} // namespace

class LoginTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        closeSettingsScreen();
        Database::shared().close();
        LoginState::reset();
    }

    // de.ini values that reach the login state beyond the settings file's own tests.
    void settingsFileIntoState_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("printAfter");
        QTest::addColumn<QString>("winA");
        QTest::newRow("kind a ignores cs")
            << "[part1]\r\nabc=a\r\ncsaccess=Data Source=book.mdb\r\ncs=Provider=PostgreSQL\r\n"
            << "a"
            << "Data Source=book.mdb"
            << "LPT1"
            << "0"
            << "0";
        QTest::newRow("upper-case S is not the server kind")
            << "[PART1]\r\nABC=S\r\nCSACCESS=x\r\nCS=y\r\n"
            << "S"
            << "x"
            << "LPT1"
            << "0"
            << "0";
        QTest::newRow("server kind takes cs")
            << "[part1]\r\nabc=s\r\ncsaccess=x\r\ncs=Provider=PostgreSQL;Data Source=h\r\n"
            << "s"
            << "Provider=PostgreSQL;Data Source=h"
            << "LPT1"
            << "0"
            << "0";
        QTest::newRow("port and switches kept as text")
            << "[PosPrt]\r\nposport=COM3\r\nJIECHUHOUDAYIN=1\r\n[part1]\r\nwina=yes\r\n"
            << "a"
            << "0"
            << "COM3"
            << "1"
            << "yes";
        QTest::newRow("port 0 is LPT1") << "[posprt]\r\nPosPort=0\r\n"
                                        << "a"
                                        << "0"
                                        << "LPT1"
                                        << "0"
                                        << "0";
    }
    void settingsFileIntoState()
    {
        QFETCH(QString, ini);
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).absoluteFilePath(QStringLiteral("de.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(TextCodec::toGbk(ini));
        f.close();
        LoginState state;
        state.readSettingsFile(SettingsFile(path));
        QTEST(state.DbKind, "kind");
        QTEST(state.ConnectionString, "connection");
        QTEST(state.PosPort, "port");
        QTEST(state.JieChuHouDaYin, "printAfter");
        QTEST(state.WinA, "winA");
    }

    void missingLibrary()
    {
        QTemporaryDir dir;
        LoginState state;
        state.DbKind = QStringLiteral("a");
        const QString text = LoginRules::missingLibraryMessage(state, dir.path());
        QVERIFY(text.contains(QDir(dir.path()).absoluteFilePath(QStringLiteral("book.mdb"))));
        QVERIFY(text.contains(QStringLiteral("tushu --init DIR --demo")));
        state.DbKind = QStringLiteral("s"); // a server needs no file
        QVERIFY(LoginRules::missingLibraryMessage(state, dir.path()).isEmpty());
        QFile f(QDir(dir.path()).absoluteFilePath(QStringLiteral("book.mdb")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        state.DbKind = QStringLiteral("a");
        QVERIFY(LoginRules::missingLibraryMessage(state, dir.path()).isEmpty());
    }

    void login_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("rowName"); // operator row to store (empty: none)
        QTest::addColumn<QString>("rowPassword");
        QTest::addColumn<int>("rowRights");
        QTest::addColumn<QString>("nullAdminColumn"); // of the stored row
        QTest::addColumn<QString>("nullSetting");     // column of 系统设置, "*" empties it
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("settingsRead");
        QTest::addColumn<QString>("operatorName");
        QTest::addColumn<int>("rights");

        const int noStock = kAll & ~bit("qxModifyStock");
        const int clerk = bit("qxbk") | bit("qxborrow") | bit("qxModifyStock");
        for (int engine : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* e = engine == TestLibrary::SQLite ? "sqlite" : "postgresql";
            auto row = [&](const char* name) {
                return &QTest::newRow(qPrintable(
                    QStringLiteral("%1: %2").arg(QString::fromLatin1(e), QString::fromUtf8(name))));
            };
            *row("super administrator")
                << engine << ""
                << "" << 0 << ""
                << "" << kSuper << "1234" << true << "" << true << kSuper << noStock;
            *row("wrong password") << engine << ""
                                   << "" << 0 << ""
                                   << "" << kSuper << "9999" << false << "" << true << "" << 0;
            *row("super administrator with every right off")
                << engine << kSuper << "1234" << 0 << ""
                << "" << kSuper << "1234" << true << "" << true << kSuper << noStock;
            *row("super administrator's stock right follows the row")
                << engine << kSuper << "1234" << bit("qxModifyStock") << ""
                << "" << kSuper << "1234" << true << "" << true << kSuper << kAll;
            *row("operator's own rights") << engine << "张三"
                                          << "abc" << clerk << ""
                                          << ""
                                          << "张三"
                                          << "abc" << true << "" << true << "张三" << clerk;
            *row("stored name with a blank, super administrator once trimmed")
                << engine << "超级管理员 "
                << "x" << 0 << ""
                << ""
                << "超级管理员 "
                << "x" << true << "" << true << kSuper << noStock;
            *row("typed name goes in with its blank") << engine << "张三"
                                                      << "abc" << clerk << ""
                                                      << ""
                                                      << "张三 "
                                                      << "abc" << false << "" << true << "" << 0;
            *row("quote in the name") << engine << ""
                                      << "" << 0 << ""
                                      << ""
                                      << "超级管理员' or '1'='1"
                                      << "x' or '1'='1" << false << "" << true << "" << 0;
            *row("double quote in the name") << engine << ""
                                             << "" << 0 << ""
                                             << ""
                                             << "超级管理员\" or \"\"=\""
                                             << "\" or \"\"=\"" << false << "" << true << "" << 0;
            *row("NULL right") << engine << "张三"
                               << "abc" << clerk << "qxborrow"
                               << ""
                               << "张三"
                               << "abc" << false << nullError("Boolean") << true << "" << 0;
            *row("NULL switch in the settings") << engine << ""
                                                << "" << 0 << ""
                                                << "启用超期罚金" << kSuper << "1234" << false
                                                << nullError("Boolean") << false << "" << 0;
            *row("NULL money in the settings") << engine << ""
                                               << "" << 0 << ""
                                               << "开户费" << kSuper << "1234" << false
                                               << nullError("Currency") << false << "" << 0;
            *row("no settings row")
                << engine << ""
                << "" << 0 << ""
                << "*" << kSuper << "1234" << false << nullError("Boolean") << false << "" << 0;
        }
    }
    void login()
    {
        QFETCH(int, engine);
        QFETCH(QString, rowName);
        QFETCH(QString, rowPassword);
        QFETCH(int, rowRights);
        QFETCH(QString, nullAdminColumn);
        QFETCH(QString, nullSetting);
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(bool, loggedIn);
        QFETCH(QString, error);
        QFETCH(bool, settingsRead);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        db.execute(QStringLiteral("update 系统设置 set 图书馆名 = ?, 开户费 = ?"),
                   {QStringLiteral("阳光图书馆"),
                    QVariant::fromValue(*Money::parse(QStringLiteral("12.5")))});
        if (!rowName.isEmpty())
            putOperator(db, rowName, rowPassword, rowRights);
        if (!nullAdminColumn.isEmpty()) {
            allowNull(db, QStringLiteral("管理员"), nullAdminColumn);
            db.execute(QStringLiteral("update 管理员 set %1 = null where AdminName = ?")
                           .arg(nullAdminColumn),
                       {rowName});
        }
        if (nullSetting == QLatin1String("*"))
            db.execute(QStringLiteral("delete from 系统设置"));
        else if (!nullSetting.isEmpty()) {
            allowNull(db, QStringLiteral("系统设置"), nullSetting);
            db.execute(QStringLiteral("update 系统设置 set %1 = null").arg(nullSetting));
        }

        LoginState state;
        const LoginRules rules(db, state);
        QString thrown;
        bool result = false;
        try {
            result = rules.login(name, password);
        } catch (const DbError& e) {
            thrown = e.message();
        }
        QCOMPARE(thrown, error);
        QCOMPARE(result, loggedIn);
        QCOMPARE(state.settings.图书馆名, settingsRead ? QStringLiteral("阳光图书馆") : QString());
        QCOMPARE(state.settings.开户费.toString(),
                 settingsRead ? QStringLiteral("12.5") : QStringLiteral("0"));
        QTEST(state.OperatorName, "operatorName");
        QTEST(mask(state.rights), "rights");
    }

    void settingsCopied()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("update 系统设置 set 启用租金功能 = ?, 启用读者租金 = ?, "
                                        "启用读者有效期 = ?, 启用超期罚金 = ?, "
                                        "借阅数量限制功能 = ?, 超期每日罚金 = ?, 显示班级 = ?, "
                                        "显示院系 = ?, 启用预定功能 = ?"),
                         {true, true, false, false, true,
                          QVariant::fromValue(*Money::parse(QStringLiteral("0.15"))), true, false,
                          false});
        LoginState state;
        LoginRules(lib.db(), state).readLibrarySettings();
        const LibrarySettings& s = state.settings;
        QCOMPARE(QList<bool>({s.启用租金功能, s.启用读者租金, s.启用读者有效期, s.启用超期罚金,
                              s.借阅数量限制功能, s.显示班级, s.显示院系, s.启用预定功能}),
                 QList<bool>({true, true, false, false, true, true, false, false}));
        QCOMPARE(s.超期每日罚金.toString(), QStringLiteral("0.15"));
    }

    // The screen on each engine: connection opened from the state, names and default
    // password filled, a wrong password refused, the right one accepted.
    void loginScreen_data() { engines(); }
    void loginScreen()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        putOperator(lib.db(), QStringLiteral("李四"), QStringLiteral("li"), bit("qxrd"));
        LoginState& state = LoginState::instance();
        state.DbKind = lib.kind();
        state.ConnectionString = lib.connectionString();
        state.softname = QStringLiteral("阳光图书馆");
        RecordingMessenger messenger;

        TLoginFm fm;
        QCOMPARE(fm.windowTitle(), QStringLiteral("系统登录"));
        QCOMPARE(fm.findChild<QLabel*>(QStringLiteral("headingLabel"))->text(), state.softname);
        QVERIFY(fm.prepare());
        QVERIFY(Database::shared().isOpen());
        QCOMPARE(Database::shared().engine(),
                 engine == TestLibrary::SQLite ? DbEngine::SQLite : DbEngine::PostgreSQL);
        QStringList names;
        for (int i = 0; i < fm.nameBox()->count(); ++i)
            names << fm.nameBox()->itemText(i);
        names.sort();
        QCOMPARE(names, QStringList({QStringLiteral("李四"), kSuper}));
        QCOMPARE(fm.nameBox()->currentText(), fm.nameBox()->itemText(0));
        QCOMPARE(fm.passwordEdit()->text(), QStringLiteral("1234"));
        QVERIFY(messenger.shown.isEmpty());

        fm.show();
        QVERIFY(QTest::qWaitForWindowActive(&fm));
        fm.nameBox()->setEditText(QStringLiteral("李四"));
        fm.passwordEdit()->setText(QStringLiteral("wrong"));
        fm.okButton()->setFocus();
        QTest::mouseClick(fm.okButton(), Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList({QStringLiteral("密码不正确!")}));
        QVERIFY(fm.isVisible());
        QVERIFY(fm.passwordEdit()->hasFocus());
        QCOMPARE(fm.passwordEdit()->selectedText(), QStringLiteral("wrong"));
        QCOMPARE(mask(state.rights), 0);

        // Enter presses the default button.
        fm.passwordEdit()->setText(QStringLiteral("li"));
        QTest::keyClick(fm.passwordEdit(), Qt::Key_Return);
        QCOMPARE(fm.result(), int(QDialog::Accepted));
        QVERIFY(!fm.isVisible());
        QCOMPARE(state.OperatorName, QStringLiteral("李四"));
        QCOMPARE(mask(state.rights), bit("qxrd"));
    }

    void defaultPasswordOnlyWhileSuperAdministratorHasIt()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        // Another operator is listed first; the prefill only looks at the super administrator.
        lib.db().execute(QStringLiteral("delete from 管理员"));
        putOperator(lib.db(), QStringLiteral("王五"), QStringLiteral("1234"), 0);
        putOperator(lib.db(), kSuper, QStringLiteral("5678"), kAll);
        LoginState& state = LoginState::instance();
        state.DbKind = lib.kind();
        state.ConnectionString = lib.connectionString();
        RecordingMessenger messenger;
        TLoginFm fm;
        QVERIFY(fm.prepare());
        QCOMPARE(fm.nameBox()->currentText(), QStringLiteral("王五"));
        QCOMPARE(fm.passwordEdit()->text(), QString());
    }

    // A server database made without the key on the operators' names gets it at start;
    // while a name is held twice the start says so, naming it.
    void duplicateOperatorNamesAreToldAtStart_data() { engines(); }
    void duplicateOperatorNamesAreToldAtStart()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("drop index ux_管理员_AdminName"));
        putOperator(lib.db(), QStringLiteral("王五"), QStringLiteral("a"), 0);
        lib.db().execute(
            QStringLiteral("insert into 管理员 (AdminName, pwd) values ('王五', 'b')"));
        LoginState& state = LoginState::instance();
        state.DbKind = lib.kind();
        state.ConnectionString = lib.connectionString();
        // What a start shows before the operator logs in.
        const auto shownAtStart = [] {
            RecordingMessenger messenger;
            TLoginFm fm;
            return fm.prepare() ? messenger.texts() : QStringList{QStringLiteral("(not ready)")};
        };
        const QStringList told = shownAtStart();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().contains(QStringLiteral("重名的管理员: 王五")),
                 qPrintable(told.first()));
        lib.db().execute(QStringLiteral("delete from 管理员 where pwd = 'b'"));
        QCOMPARE(shownAtStart(), QStringList());
        QVERIFY_THROWS_EXCEPTION(
            DbError, lib.db().execute(QStringLiteral("insert into 管理员 (AdminName, pwd) "
                                                     "values ('王五', 'c')")));
    }

    void noOperatorsGiveConversionError()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("delete from 管理员"));
        LoginState& state = LoginState::instance();
        state.DbKind = lib.kind();
        state.ConnectionString = lib.connectionString();
        RecordingMessenger messenger;
        TLoginFm fm;
        fm.prepare();
        QCOMPARE(messenger.texts(), QStringList({nullError("String")}));
        QCOMPARE(fm.nameBox()->count(), 0);
        fm.passwordEdit()->setText(QStringLiteral("1234"));
        fm.okClicked();
        QCOMPARE(messenger.lastText(), QStringLiteral("密码不正确!"));
    }

    // A connection that cannot be opened: the message, then the database settings screen;
    // the list stays empty and a login attempt reports the missing connection.
    void failedConnection_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("no csaccess") << "a"
                                     << "0" << QStringList{kNoConnection};
        QTest::newRow("missing file")
            << "a"
            << "Data Source=/nonexistent/book.mdb" << QStringList{kNoConnection};
        QTest::newRow("unknown kind")
            << "x"
            << "Data Source=book.mdb"
            << QStringList{
                   QStringLiteral("数据库类型\"x\"无效,只能是 a (Access) 或 s (PostgreSQL)."),
                   kNoConnection};
        // A library kept on SQL Server: one message that says what to do, no driver error.
        QTest::newRow("sql server provider")
            << "s"
            << "Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
               "Initial Catalog=book;Data Source=db.local;"
            << QStringList{
                   QStringLiteral("服务器数据库(abc=s)只使用PostgreSQL(Provider=PostgreSQL),"
                                  "连接字符串的提供程序是\"SQLOLEDB.1\".\n"
                                  "把图书馆搬到PostgreSQL的方法见README.md的\"Moving a library to "
                                  "PostgreSQL\"一节.")};
        QTest::newRow("no provider")
            << "s"
            << "Data Source=db.local;Initial Catalog=book"
            << QStringList{
                   QStringLiteral("服务器数据库(abc=s)只使用PostgreSQL(Provider=PostgreSQL),"
                                  "连接字符串没有指明提供程序.\n"
                                  "把图书馆搬到PostgreSQL的方法见README.md的\"Moving a library to "
                                  "PostgreSQL\"一节.")};
    }
    void failedConnection()
    {
        QFETCH(QString, kind);
        QFETCH(QString, connection);
        registerAppScreens();
        QTemporaryDir dir;
        LoginState& state = LoginState::instance();
        state.DbKind = kind;
        state.ConnectionString = connection;
        state.programDir = dir.path();
        RecordingMessenger messenger;
        TLoginFm fm;
        QVERIFY(!fm.prepare());
        QTEST(messenger.texts(), "messages");
        QVERIFY(qobject_cast<TSetDataFm*>(
            ScreenRegistry::instance().existing(Command::DatabaseSettings)));
        QCOMPARE(fm.nameBox()->count(), 0);
        messenger.clear();
        fm.okClicked();
        QCOMPARE(messenger.texts(), QStringList({QStringLiteral("数据库没有连接.")}));
        QCOMPARE(fm.result(), int(QDialog::Rejected));
    }

    void accessibleNames()
    {
        TLoginFm fm;
        QCOMPARE(fm.nameBox()->accessibleName(), QStringLiteral("用户名(U):"));
        QCOMPARE(fm.passwordEdit()->accessibleName(), QStringLiteral("密  码(P):"));
        QCOMPARE(fm.passwordEdit()->echoMode(), QLineEdit::Password);
        QCOMPARE(fm.okButton()->accessibleName(), QStringLiteral("确定"));
        QCOMPARE(fm.cancelButton()->accessibleName(), QStringLiteral("取消"));
        QVERIFY(fm.okButton()->isDefault());
        QTest::mouseClick(fm.cancelButton(), Qt::LeftButton);
        QCOMPARE(fm.result(), int(QDialog::Rejected));
    }
};

TUSHU_TEST(LoginTest)
#include "tst_Login.moc"
