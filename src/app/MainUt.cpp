#include "MainUt.h"

#include "FormHelpers.h"
#include "MainRules.h"
#include "data/Database.h"
#include "data/LoginState.h"
#include "widgets/Messenger.h"
#include "widgets/ScreenRegistry.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTemporaryFile>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

// One menu entry or tool button. A null caption is a separator line.
struct TMainFm::Entry
{
    const char* caption;
    const char* objectName = nullptr;
    QString command;                      // the screen it opens, or empty
    void (TMainFm::*handler)() = nullptr; // the window's own action instead of a screen
    QKeySequence shortcut = {};
    bool hidden = false; // kept in the menu but never shown and without action
};

namespace {
using E = TMainFm;

// Starts the first program of the list that is installed; nothing happens when none is.
void startFirst(const QList<MainRules::Program>& programs)
{
    for (const MainRules::Program& p : programs) {
        QStringList arguments;
        if (p.wantsFile) {
            QTemporaryFile file(QDir::temp().absoluteFilePath(QStringLiteral("tushu-XXXXXX.txt")));
            file.setAutoRemove(false);
            if (!file.open())
                continue;
            arguments << file.fileName();
        }
        if (Messenger::instance().startProgram(p.name, arguments))
            return;
    }
}
} // namespace

TMainFm::TMainFm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TMainFm"));
    setAccessibleName(QStringLiteral("图书管理系统"));
    buildMenus();
    buildToolBar();
    buildStatusBar();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("backgroundArea"));
    picture_ = new QLabel(central);
    picture_->setObjectName(QStringLiteral("backgroundPicture"));
    picture_->setScaledContents(true);
    setCentralWidget(central);
    resize(1024, 700);
}

QAction* TMainFm::makeAction(const Entry& e)
{
    auto* a = new QAction(QString::fromUtf8(e.caption), this);
    a->setObjectName(QString::fromLatin1(e.objectName));
    if (!e.shortcut.isEmpty())
        a->setShortcut(e.shortcut);
    actions_.insert(a->objectName(), a);
    if (e.hidden) {
        a->setVisible(false);
        a->setEnabled(false);
        return a;
    }
    if (!e.command.isEmpty())
        commands_.insert(a, e.command);
    if (e.handler)
        connect(a, &QAction::triggered, this, e.handler);
    else
        connect(a, &QAction::triggered, this, [this, cmd = e.command] { runCommand(cmd); });
    return a;
}

void TMainFm::buildMenus()
{
    using namespace Command;
    const auto menu = [this](const char* title, const char* objectName,
                             std::initializer_list<Entry> entries) {
        QMenu* m = menuBar()->addMenu(QString::fromUtf8(title));
        m->setObjectName(QString::fromLatin1(objectName));
        m->menuAction()->setObjectName(QString::fromLatin1(objectName) + QStringLiteral("Action"));
        for (const Entry& e : entries) {
            if (e.caption)
                m->addAction(makeAction(e));
            else
                m->addSeparator();
        }
        return m;
    };

    menu("基本操作", "basicMenu",
         {{"借    阅", "borrowAction", Borrow, nullptr, QKeySequence(Qt::Key_F5)},
          {"归    还", "returnAction", Return, nullptr, QKeySequence(Qt::Key_F6)},
          {"续    借", "renewAction", Renew},
          {"添加图书", "addBookAction", AddBook},
          {"添加读者", "addReaderAction", AddReader},
          {"添加期刊", "addPeriodicalAction", AddPeriodical},
          {"修改密码", "changePasswordAction", ChangePassword},
          {nullptr},
          {"图书管理", "bookManagementAction", BookManagement},
          {"读者管理", "readerManagementAction", ReaderManagement},
          {"期刊管理", "periodicalManagementAction", PeriodicalManagement},
          {"管理员日志", "adminLogAction", AdminLog},
          {"退    出", "exitAction", {}, &E::requestExit}});

    settingsMenu_ = menu("系统设置", "settingsMenu",
                         {{"系统管理员设置", "adminAccountsAction", AdminAccounts},
                          {"图书馆信息设置", "librarySettingsAction", Command::LibrarySettings},
                          {"系 统 初 始 化", "initialiseAction", Initialise},
                          {"压 缩 数 据 库", "compactAction", {}, nullptr, {}, true},
                          {"备 份 数 据 库", "backupAction", Backup, &E::backup},
                          {"数 据 库 设 置", "databaseSettingsAction", DatabaseSettings},
                          {"网络数据库路径", "networkPathAction", {}, nullptr, {}, true},
                          {nullptr},
                          {"读者类别设置", "readerCategoriesAction", ReaderCategories},
                          {"物品级别设置", "itemLevelsAction", ItemLevels},
                          {"图书分类设置", "categoriesAction", Categories},
                          {"二级分类设置", "secondCategoriesAction", SecondCategories},
                          {"出版社名设置", "publishersAction", Publishers},
                          {"单位/部门名", "departmentsAction", Departments},
                          {"存放位置", "placesAction", Places},
                          {"证件名设置", "papersAction", Papers},
                          {"密级设置", "secretLevelsAction", SecretLevels},
                          {"币种名设置", "currenciesAction", Currencies},
                          {"IC  卡  设  置", "icCardAction", {}, nullptr, {}, true}});

    menu("查询和统计", "queryMenu",
         {{"借阅记录查询", "loanSearchAction", LoanSearch},
          {"逾期借阅记录", "overdueLoansAction", OverdueLoans},
          {"分 类 统 计", "categoryStatisticsAction", CategoryStatistics},
          {"入库信息统计", "accessionListAction", AccessionList},
          {"图书借阅统计", "bookChartAction", BookChart},
          {"期刊借阅统计", "periodicalChartAction", PeriodicalChart},
          {"读者借阅统计", "readerChartAction", ReaderChart},
          {"资金统计", "incomeStatisticsAction", IncomeStatistics},
          {"数据盘点", "inventoryAction", Inventory},
          {"扫描盘点", "shelfInventoryAction", ShelfInventory},
          {"预定信息", "reservationsAction", Reservations}});

    menu("工具", "toolsMenu",
         {{"记事本", "notepadAction", {}, &E::openTextEditor},
          {"计算器", "calculatorAction", {}, &E::openCalculator},
          {"打印机", "printerAction", {}, &E::choosePrinter},
          {"Pos小票打印机", "posPrinterAction", PosPrinter},
          {"Excel导入图书数据", "importBooksAction", ImportBooks},
          {"MARC数据导入", "importMarcAction", ImportMarc},
          {"Excel导入读者数据", "importReadersAction", ImportReaders}});

    menu("帮助", "helpMenu",
         {{"在线升级", "upgradeAction", {}, nullptr, {}, true},
          {"使用帮助", "helpAction", {}, &E::openHelp},
          {"关    于", "aboutAction", {}, &E::showAbout}});
}

void TMainFm::buildToolBar()
{
    toolBar_ = addToolBar(QStringLiteral("工具栏"));
    toolBar_->setObjectName(QStringLiteral("mainToolBar"));
    toolBar_->setMovable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setIconSize(QSize(32, 32));

    struct Button
    {
        Entry entry;
        QStyle::StandardPixmap icon;
    };
    const Button buttons[] = {
        {{"借阅[F5]", "borrowButton", Command::Borrow}, QStyle::SP_ArrowForward},
        {{"归还[F6]", "returnButton", Command::Return}, QStyle::SP_ArrowBack},
        {{"图书管理", "bookManagementButton", Command::BookManagement},
         QStyle::SP_FileDialogDetailedView},
        {{"读者管理", "readerManagementButton", Command::ReaderManagement}, QStyle::SP_DirHomeIcon},
        {{"设置", "settingsButton", Command::LibrarySettings}, QStyle::SP_FileDialogListView},
        {{"帮助", "helpButton", {}, &E::openHelp}, QStyle::SP_DialogHelpButton},
        {{"退出", "exitButton", {}, &E::requestExit}, QStyle::SP_DialogCloseButton},
    };
    for (const Button& b : buttons) {
        QAction* a = makeAction(b.entry);
        a->setIcon(style()->standardIcon(b.icon));
        toolBar_->addAction(a);
        if (QWidget* w = toolBar_->widgetForAction(a))
            FormHelpers::name(w, b.entry.objectName, a->text());
    }
}

void TMainFm::buildStatusBar()
{
    const char* names[] = {"softnamePanel", "telPanel", "companyPanel"};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(this);
        panels_[i]->setObjectName(QString::fromLatin1(names[i]));
        panels_[i]->setFrameShape(QFrame::StyledPanel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        statusBar()->addWidget(panels_[i], 1);
    }
}

QAction* TMainFm::action(const QString& objectName) const
{
    return actions_.value(objectName);
}

void TMainFm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    const LoginState& state = LoginState::instance();
    loadPicture();
    setWindowTitle(state.softname);
    panels_[0]->setText(state.softname);
    panels_[1]->setText(state.tel);
    panels_[2]->setText(state.company);
    placePicture();
    applyRights();
}

void TMainFm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placePicture();
}

void TMainFm::loadPicture()
{
    QPixmap picture;
    for (const QString& name : MainRules::backgroundPictures()) {
        QPixmap loaded;
        if (loaded.load(QDir::current().absoluteFilePath(name)))
            picture = loaded;
    }
    picture_->setPixmap(picture);
}

void TMainFm::placePicture()
{
    if (!picture_ || !toolBar_)
        return;
    const int clientHeight = height() - (menuBar()->isVisible() ? menuBar()->height() : 0);
    picture_->setGeometry(
        MainRules::pictureArea(width(), clientHeight, toolBar_->height(), statusBar()->height()));
}

void TMainFm::applyRights()
{
    const LoginState& state = LoginState::instance();
    const ScreenRegistry& registry = ScreenRegistry::instance();
    for (auto it = commands_.cbegin(); it != commands_.cend(); ++it) {
        const QString& command = it.value();
        // A server database needs no backup screen: the entry only says how to back it up.
        const bool hasScreen = registry.has(command) || (command == Command::Backup &&
                                                         MainRules::backupRefused(state.DbKind));
        it.key()->setEnabled(MainRules::commandEnabled(command, state.rights, hasScreen));
    }
    settingsMenu_->menuAction()->setEnabled(state.rights.qxsysset);
}

void TMainFm::runCommand(const QString& command)
{
    if (bool Rights::*right = MainRules::testedRight(command)) {
        if (!(LoginState::instance().rights.*right)) {
            Messenger::instance().information(this, MainRules::kNoRight);
            return;
        }
    }
    try {
        ScreenRegistry::instance().open(command, this);
    } catch (const std::exception& e) {
        const auto* db = dynamic_cast<const DbError*>(&e);
        Messenger::instance().error(this, db ? db->message() : QString::fromLocal8Bit(e.what()));
    }
}

void TMainFm::backup()
{
    if (MainRules::backupRefused(LoginState::instance().DbKind)) {
        Messenger::instance().information(this, MainRules::kServerBackup);
        return;
    }
    runCommand(Command::Backup);
}

void TMainFm::openTextEditor()
{
    startFirst(MainRules::textEditors());
}

void TMainFm::openCalculator()
{
    startFirst(MainRules::calculators());
}

void TMainFm::openHelp()
{
    for (const QString& name : MainRules::helpFiles()) {
        const QString path = QDir::current().absoluteFilePath(name);
        if (QFileInfo::exists(path))
            Messenger::instance().openWithDesktop(path);
    }
    const QString guide = MainRules::guideIndex(QCoreApplication::applicationDirPath());
    if (!guide.isEmpty())
        Messenger::instance().openWithDesktop(guide);
}

void TMainFm::choosePrinter()
{
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.exec();
}

void TMainFm::showAbout()
{
    TAboutFm about(this);
    about.exec();
}

void TMainFm::requestExit()
{
    close();
}

void TMainFm::closeEvent(QCloseEvent* event)
{
    if (Messenger::instance().confirm(this, MainRules::kExitQuestion, MainRules::kExitCaption))
        event->accept();
    else
        event->ignore();
}

TAboutFm::TAboutFm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TAboutFm"));
    setWindowTitle(QStringLiteral("关于"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 20, 30, 16);
    const QStringList lines = MainRules::aboutLines(LoginState::instance());
    for (int i = 0; i < lines.size(); ++i) {
        auto* label = new QLabel(lines[i], this);
        label->setObjectName(QStringLiteral("aboutLine%1").arg(i));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (i == 0) {
            QFont f = label->font();
            f.setBold(true);
            f.setPointSizeF(f.pointSizeF() * 1.4);
            label->setFont(f);
        }
        layout->addWidget(label);
    }
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    FormHelpers::name(ok, "okButton", ok->text());
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    layout->addSpacing(10);
    layout->addLayout(row);
}
