#include "../common/RecordingMessenger.h"
#include "../common/TestMain.h"
#include "AppTestSupport.h"
#include "app/MainRules.h"
#include "app/MainUt.h"
#include "data/LoginState.h"
#include "widgets/ScreenRegistry.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using namespace AppTest;

namespace {
// Every command but the inventory check gets a plain stand-in screen, so that the rights
// alone decide; the inventory check stays without a screen.
const QStringList& screenCommands()
{
    using namespace Command;
    static const QStringList commands = {Borrow,
                                         Return,
                                         Renew,
                                         AddBook,
                                         AddReader,
                                         AddPeriodical,
                                         ChangePassword,
                                         BookManagement,
                                         ReaderManagement,
                                         PeriodicalManagement,
                                         AdminLog,
                                         AdminAccounts,
                                         Command::LibrarySettings,
                                         Initialise,
                                         Backup,
                                         DatabaseSettings,
                                         ReaderCategories,
                                         ItemLevels,
                                         Categories,
                                         SecondCategories,
                                         Publishers,
                                         Departments,
                                         Places,
                                         Papers,
                                         SecretLevels,
                                         Currencies,
                                         LoanSearch,
                                         OverdueLoans,
                                         CategoryStatistics,
                                         AccessionList,
                                         BookChart,
                                         PeriodicalChart,
                                         ReaderChart,
                                         IncomeStatistics,
                                         Reservations,
                                         PosPrinter,
                                         ImportBooks,
                                         ImportMarc,
                                         ImportReaders};
    return commands;
}

void registerStandIns()
{
    for (const QString& c : screenCommands())
        ScreenRegistry::instance().add(c, [c](QWidget* parent) {
            auto* w = new QWidget(parent);
            w->setObjectName(c);
            return w;
        });
}

void closeScreens()
{
    for (const QString& c : screenCommands())
        delete ScreenRegistry::instance().existing(c);
}

QStringList settingsEntries()
{
    return {"adminAccountsAction", "librarySettingsAction",  "initialiseAction",
            "backupAction",        "databaseSettingsAction", "readerCategoriesAction",
            "itemLevelsAction",    "categoriesAction",       "secondCategoriesAction",
            "publishersAction",    "departmentsAction",      "placesAction",
            "papersAction",        "secretLevelsAction",     "currenciesAction",
            "settingsMenuAction",  "settingsButton"};
}
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerStandIns(); }
    void init()
    {
        LoginState::reset();
        LoginState& s = LoginState::instance();
        s.softname = QStringLiteral("阳光图书馆");
        s.tel = QStringLiteral("电话 123");
        s.company = QStringLiteral("阳光公司");
        s.DbKind = QStringLiteral("a");
        s.rights = rights(kAll);
    }
    void cleanup() { closeScreens(); }

    void menusInOrder()
    {
        TMainFm main;
        QStringList menus;
        QStringList entries;
        for (QAction* m : main.menuBar()->actions()) {
            menus << m->text();
            for (QAction* a : m->menu()->actions())
                entries << (a->isSeparator() ? QStringLiteral("----")
                                             : a->text() + (a->isVisible() ? "" : " (hidden)"));
        }
        QCOMPARE(menus, QStringList({"基本操作", "系统设置", "查询和统计", "工具", "帮助"}));
        const QStringList expected = {"借    阅",
                                      "归    还",
                                      "续    借",
                                      "添加图书",
                                      "添加读者",
                                      "添加期刊",
                                      "修改密码",
                                      "----",
                                      "图书管理",
                                      "读者管理",
                                      "期刊管理",
                                      "管理员日志",
                                      "退    出",
                                      "系统管理员设置",
                                      "图书馆信息设置",
                                      "系 统 初 始 化",
                                      "压 缩 数 据 库 (hidden)",
                                      "备 份 数 据 库",
                                      "数 据 库 设 置",
                                      "网络数据库路径 (hidden)",
                                      "----",
                                      "读者类别设置",
                                      "物品级别设置",
                                      "图书分类设置",
                                      "二级分类设置",
                                      "出版社名设置",
                                      "单位/部门名",
                                      "存放位置",
                                      "证件名设置",
                                      "密级设置",
                                      "币种名设置",
                                      "IC  卡  设  置 (hidden)",
                                      "借阅记录查询",
                                      "逾期借阅记录",
                                      "分 类 统 计",
                                      "入库信息统计",
                                      "图书借阅统计",
                                      "期刊借阅统计",
                                      "读者借阅统计",
                                      "资金统计",
                                      "数据盘点",
                                      "扫描盘点",
                                      "预定信息",
                                      "记事本",
                                      "计算器",
                                      "打印机",
                                      "Pos小票打印机",
                                      "Excel导入图书数据",
                                      "MARC数据导入",
                                      "Excel导入读者数据",
                                      "在线升级 (hidden)",
                                      "使用帮助",
                                      "关    于"};
        QCOMPARE(entries, expected);
        QCOMPARE(main.action("borrowAction")->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(main.action("returnAction")->shortcut(), QKeySequence(Qt::Key_F6));

        QStringList buttons;
        auto* bar = main.findChild<QToolBar*>(QStringLiteral("mainToolBar"));
        for (QAction* a : bar->actions()) {
            buttons << a->text();
            QVERIFY(!a->icon().isNull());
            QCOMPARE(bar->widgetForAction(a)->accessibleName(), a->text());
        }
        QCOMPARE(buttons, QStringList({"借阅[F5]", "归还[F6]", "图书管理", "读者管理", "设置",
                                       "帮助", "退出"}));
    }

    void titleAndStatusBar()
    {
        TMainFm main;
        main.show();
        QCOMPARE(main.windowTitle(), QStringLiteral("阳光图书馆"));
        QStringList panels;
        for (const char* name : {"softnamePanel", "telPanel", "companyPanel"})
            panels << main.statusBar()->findChild<QLabel*>(name)->text();
        QCOMPARE(panels, QStringList({"阳光图书馆", "电话 123", "阳光公司"}));
    }

    // Which entries each missing right disables; the two inventory screens are not
    // registered here and are disabled whatever the rights (like their neighbours, they need
    // none).
    void rightsDisableEntries_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QStringList>("disabled");
        QTest::newRow("every right") << "" << QStringList();
        QTest::newRow("qxborrow") << "qxborrow"
                                  << QStringList{"borrowAction", "renewAction", "borrowButton"};
        QTest::newRow("qxreturn") << "qxreturn" << QStringList{"returnAction", "returnButton"};
        QTest::newRow("qxadddata")
            << "qxadddata"
            << QStringList{"addBookAction", "addReaderAction", "addPeriodicalAction"};
        QTest::newRow("qxbk") << "qxbk"
                              << QStringList{"bookManagementAction", "bookManagementButton"};
        QTest::newRow("qxrd") << "qxrd"
                              << QStringList{"readerManagementAction", "readerManagementButton"};
        QTest::newRow("qxqk") << "qxqk" << QStringList{"periodicalManagementAction"};
        QTest::newRow("qxsysset") << "qxsysset" << settingsEntries();
        // Tested when chosen, or not the main window's business.
        QTest::newRow("qxadmin") << "qxadmin" << QStringList();
        QTest::newRow("qxModifyStock") << "qxModifyStock" << QStringList();
        QTest::newRow("qxdel") << "qxdel" << QStringList();
    }
    void rightsDisableEntries()
    {
        QFETCH(QString, missing);
        QFETCH(QStringList, disabled);
        disabled << "inventoryAction"
                 << "shelfInventoryAction";
        if (!missing.isEmpty())
            LoginState::instance().rights = rights(kAll & ~bit(qPrintable(missing)));
        TMainFm main;
        main.show();
        QStringList actual;
        for (QAction* a : main.findChildren<QAction*>()) {
            if (a->objectName().isEmpty() || a->isSeparator() || !a->isVisible())
                continue;
            if (!a->isEnabled())
                actual << a->objectName();
        }
        actual.sort();
        disabled.sort();
        QCOMPARE(actual, disabled);
    }

    void hiddenEntriesDoNothing()
    {
        TMainFm main;
        main.show();
        for (const char* name :
             {"compactAction", "networkPathAction", "icCardAction", "upgradeAction"}) {
            QAction* a = main.action(QString::fromLatin1(name));
            QVERIFY(a);
            QVERIFY(!a->isVisible());
            QVERIFY(!a->isEnabled());
        }
    }

    void shortcutFollowsRight_data()
    {
        QTest::addColumn<bool>("allowed");
        QTest::newRow("with qxborrow") << true;
        QTest::newRow("without qxborrow") << false;
    }
    void shortcutFollowsRight()
    {
        QFETCH(bool, allowed);
        if (!allowed)
            LoginState::instance().rights.qxborrow = false;
        TMainFm main;
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, Qt::Key_F5);
        QCOMPARE(ScreenRegistry::instance().existing(Command::Borrow) != nullptr, allowed);
        // The lending screen is modal; once it is gone F6 reaches the window again.
        delete ScreenRegistry::instance().existing(Command::Borrow);
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, Qt::Key_F6);
        QVERIFY(ScreenRegistry::instance().existing(Command::Return));
    }

    void administratorCommandsTestTheRight_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("command");
        QTest::newRow("accounts") << "adminAccountsAction" << Command::AdminAccounts;
        QTest::newRow("log") << "adminLogAction" << Command::AdminLog;
    }
    void administratorCommandsTestTheRight()
    {
        QFETCH(QString, action);
        QFETCH(QString, command);
        RecordingMessenger messenger;
        LoginState::instance().rights.qxadmin = false;
        TMainFm main;
        main.show();
        QVERIFY(main.action(action)->isEnabled());
        main.action(action)->trigger();
        QCOMPARE(messenger.texts(), QStringList({QStringLiteral("没有权限!")}));
        QVERIFY(!ScreenRegistry::instance().existing(command));

        LoginState::instance().rights.qxadmin = true;
        messenger.clear();
        main.action(action)->trigger();
        QVERIFY(messenger.shown.isEmpty());
        QVERIFY(ScreenRegistry::instance().existing(command));
    }

    void exitAsks_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("answer");
        for (const char* how : {"menu", "button", "window"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1, No").arg(how))) << how << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, Yes").arg(how))) << how << true;
        }
    }
    void exitAsks()
    {
        QFETCH(QString, how);
        QFETCH(bool, answer);
        RecordingMessenger messenger;
        messenger.confirmAnswers.enqueue(answer);
        TMainFm main;
        main.show();
        if (how == QLatin1String("menu"))
            main.action("exitAction")->trigger();
        else if (how == QLatin1String("button"))
            main.action("exitButton")->trigger();
        else
            main.close();
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("confirm"));
        QCOMPARE(messenger.shown[0].text, QStringLiteral("确认要退出吗?"));
        QCOMPARE(messenger.shown[0].caption, QStringLiteral("请确认"));
        QCOMPARE(main.isVisible(), !answer);
    }

    void backupByKind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("screen");
        QTest::newRow("access") << "a" << QStringList() << true;
        QTest::newRow("server") << "s" << QStringList{"请使用sqlserver企业管理器备份!"} << false;
    }
    void backupByKind()
    {
        QFETCH(QString, kind);
        RecordingMessenger messenger;
        LoginState::instance().DbKind = kind;
        TMainFm main;
        main.show();
        main.action("backupAction")->trigger();
        QTEST(messenger.texts(), "messages");
        QTEST(ScreenRegistry::instance().existing(Command::Backup) != nullptr, "screen");
    }

    void helpOpensFilesThatExist_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<bool>("guide");
        QTest::newRow("none") << QStringList() << false;
        QTest::newRow("doc only") << QStringList{"帮助.doc"} << false;
        QTest::newRow("both") << QStringList{"help.chm", "帮助.doc"} << false;
        QTest::newRow("guide only") << QStringList() << true;
        QTest::newRow("both and guide") << QStringList{"help.chm", "帮助.doc"} << true;
    }
    void helpOpensFilesThatExist()
    {
        QFETCH(QStringList, present);
        QFETCH(bool, guide);
        QTemporaryDir dir;
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QStringList expected;
        for (const QString& f : present) {
            QFile file(f);
            QVERIFY(file.open(QIODevice::WriteOnly));
            expected << QDir(dir.path()).absoluteFilePath(f);
        }
        // The guide is looked for beside the program, not in the working directory.
        const QDir programDir(QCoreApplication::applicationDirPath());
        const QString guideIndex = programDir.absoluteFilePath(QStringLiteral("guide/index.html"));
        QVERIFY(!QFileInfo::exists(guideIndex));
        const auto removeGuide =
            qScopeGuard([&] { QDir(programDir.filePath("guide")).removeRecursively(); });
        if (guide) {
            QVERIFY(programDir.mkpath(QStringLiteral("guide")));
            QFile index(guideIndex);
            QVERIFY(index.open(QIODevice::WriteOnly));
            expected << guideIndex;
        }
        RecordingMessenger messenger;
        TMainFm main;
        main.action("helpAction")->trigger();
        QCOMPARE(messenger.opened, expected);
        messenger.opened.clear();
        main.action("helpButton")->trigger();
        QCOMPARE(messenger.opened, expected);
        QDir::setCurrent(before);
    }

    // Beside the program in the build folder, or under share/doc/tushu when installed.
    void guideIndexBesideTheProgram_data()
    {
        QTest::addColumn<QString>("guideFolder");
        QTest::addColumn<QString>("found");
        QTest::newRow("none") << QString() << QString();
        QTest::newRow("build folder") << "bin/guide"
                                      << "bin/guide/index.html";
        QTest::newRow("installed") << "share/doc/tushu/guide"
                                   << "share/doc/tushu/guide/index.html";
    }
    void guideIndexBesideTheProgram()
    {
        QFETCH(QString, guideFolder);
        QFETCH(QString, found);
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkpath(QStringLiteral("bin")));
        if (!guideFolder.isEmpty()) {
            QVERIFY(root.mkpath(guideFolder));
            QFile index(root.filePath(guideFolder + QStringLiteral("/index.html")));
            QVERIFY(index.open(QIODevice::WriteOnly));
        }
        QCOMPARE(MainRules::guideIndex(root.filePath(QStringLiteral("bin"))),
                 found.isEmpty() ? QString() : root.filePath(found));
    }

    void toolsStartDesktopPrograms()
    {
        RecordingMessenger messenger;
        TMainFm main;
        main.action("notepadAction")->trigger();
        main.action("calculatorAction")->trigger();
        QCOMPARE(messenger.started, QStringList({MainRules::textEditors().first().name,
                                                 MainRules::calculators().first().name}));
    }

    void backgroundPicture()
    {
        QTemporaryDir dir;
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QImage gif(4, 4, QImage::Format_RGB32);
        gif.fill(Qt::blue);
        QVERIFY(gif.save(QStringLiteral("beijing.gif.png"), "PNG"));
        // A picture file under the first name that is not a picture: the second one wins.
        QFile::rename(QStringLiteral("beijing.gif.png"), QStringLiteral("beijing.gif"));
        QImage jpg(20, 10, QImage::Format_RGB32);
        jpg.fill(Qt::red);
        QVERIFY(jpg.save(QStringLiteral("beijing.jpg"), "JPG"));
        TMainFm main;
        main.resize(800, 600);
        main.show();
        QDir::setCurrent(before);
        QCOMPARE(main.pictureLabel()->pixmap().size(), QSize(20, 10));
        const QRect area = main.pictureLabel()->geometry();
        const int toolBar = main.findChild<QToolBar*>(QStringLiteral("mainToolBar"))->height();
        auto expect = [&] {
            return QRect(0, 0, main.width(),
                         main.height() - main.menuBar()->height() - toolBar -
                             main.statusBar()->height() - 55);
        };
        QCOMPARE(area, expect());
        main.resize(900, 650);
        QCOMPARE(main.pictureLabel()->geometry(), expect());
    }

    void aboutBox_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("databaseLine");
        QTest::newRow("access") << "a"
                                << "当前数据库是:Access";
        QTest::newRow("server") << "s"
                                << "当前数据库是PostgreSQL";
        QTest::newRow("other") << "x"
                               << "";
    }
    void aboutBox()
    {
        QFETCH(QString, kind);
        QFETCH(QString, databaseLine);
        LoginState& s = LoginState::instance();
        s.DbKind = kind;
        s.Memo = QStringLiteral("说明");
        s.web = QStringLiteral("https://example.org");
        TAboutFm about;
        QCOMPARE(about.windowTitle(), QStringLiteral("关于"));
        QStringList lines;
        for (QLabel* l : about.findChildren<QLabel*>())
            lines << l->text();
        QStringList expected = {s.softname, s.Memo, s.tel, s.web, s.company};
        if (!databaseLine.isEmpty())
            expected << databaseLine;
        QCOMPARE(lines, expected);
    }
};

TUSHU_TEST(MainWindowTest)
#include "tst_MainWindow.moc"
