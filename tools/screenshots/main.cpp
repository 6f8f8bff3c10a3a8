// Takes the pictures of the operators' guide: builds the demo library with its history on a
// fixed day, logs in as the super administrator, opens each screen off screen at a fixed
// size, does what the guide's page describes (a scan, a search) and saves the window as PNG.
//
//   tushu_screenshots OUTDIR [GUIDEDIR]
//
// With GUIDEDIR, every picture its pages name (src="images/NAME.png") must be one this tool
// takes and must be present in GUIDEDIR/images; otherwise the names are listed and the exit
// code is 1.
#include "../../tests/common/RecordingMessenger.h"
#include "app/DemoHistory.h"
#include "app/LoginRules.h"
#include "app/LoginUt.h"
#include "app/MainUt.h"
#include "app/ProgramSetup.h"
#include "data/Clock.h"
#include "data/LibraryInit.h"
#include "data/LoginState.h"
#include "data/SettingsFile.h"
#include "readers/RdChongZhiUt.h"
#include "widgets/Commands.h"
#include "widgets/ScreenRegistry.h"
#include "widgets/Translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {
// The demo's day: every date on the pictures follows from it.
const QDateTime kDemoNow(QDate(2026, 3, 16), QTime(10, 0));
const QSize kLarge(1024, 640);

void say(const QString& text, FILE* to = stdout)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), to);
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// Types into an input and presses Enter, as a scanner does.
void scan(QWidget* screen, const char* objectName, const QString& text)
{
    auto* edit = screen->findChild<QLineEdit*>(QLatin1String(objectName));
    if (!edit)
        return;
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    settle();
}

void press(QWidget* screen, const QString& caption)
{
    for (QAbstractButton* b : screen->findChildren<QAbstractButton*>()) {
        if (b->text().remove(QLatin1Char('&')).remove(QLatin1Char(' ')) == caption &&
            b->isVisible() && b->isEnabled()) {
            b->click();
            settle();
            return;
        }
    }
}

QString firstValue(const QString& sql, const QVariantList& values = {})
{
    return DbValue::toText(Database::shared().scalar(sql, values));
}

// A reader with an overdue loan, and that loan's item.
std::pair<QString, QString> overdueLoan()
{
    QSqlQuery q = Database::shared().query(
        QStringLiteral("select 读者编号, 编号 from 借出记录 where 已还 = ? and 应还日期 < ? "
                       "order by 应还日期 desc"),
        {QStringLiteral("否"), kDemoNow.date()});
    if (!q.next())
        return {};
    return {DbValue::toText(q.value(0)), DbValue::toText(q.value(1))};
}

struct Shot
{
    QString file;    // NAME.png in the guide's images
    QString command; // the main window's command that opens the screen
    QSize size;      // invalid: the screen's own size
    std::function<void(QWidget*)> prepare;
    // For a screen that another screen opens on its selected row: makes it instead.
    std::function<QWidget*(QWidget* parent)> make = {};
};

QList<Shot> shots()
{
    const auto pressing = [](const QString& caption) {
        return [caption](QWidget* w) { press(w, caption); };
    };
    // A period screen: from that many days before the demo's day up to it, then the button.
    const auto since = [](int days, const QString& caption) {
        return [days, caption](QWidget* w) {
            const QList<QDateEdit*> dates = w->findChildren<QDateEdit*>();
            if (!dates.isEmpty())
                dates.first()->setDate(kDemoNow.date().addDays(-days));
            press(w, caption);
        };
    };
    return {
        {"borrow", Command::Borrow, kLarge,
         [](QWidget* w) {
             scan(w, "readerNumberEdit", QStringLiteral("R0003"));
             scan(w, "itemEdit",
                  firstValue(QStringLiteral("select 编号 from 图书 where 数量 > 1 "
                                            "and 预定状况 is null order by 编号")));
         }},
        {"return", Command::Return, kLarge,
         [](QWidget* w) { scan(w, "readerNumberEdit", overdueLoan().first); }},
        {"renew",
         Command::Renew,
         {},
         [](QWidget* w) {
             const auto [reader, item] = overdueLoan();
             if (auto* e = w->findChild<QLineEdit*>(QStringLiteral("readerNumberEdit")))
                 e->setText(reader);
             if (auto* e = w->findChild<QLineEdit*>(QStringLiteral("itemNumberEdit")))
                 e->setText(item);
             press(w, QStringLiteral("确定"));
         }},
        {"reservations", Command::Reservations, kLarge, {}},
        {"loan-search", Command::LoanSearch, kLarge, pressing(QStringLiteral("查询"))},
        {"overdue", Command::OverdueLoans, kLarge, {}},
        {"books", Command::BookManagement, kLarge, pressing(QStringLiteral("查询"))},
        {"add-book", Command::AddBook, kLarge, {}},
        {"periodicals", Command::PeriodicalManagement, kLarge, pressing(QStringLiteral("查询"))},
        {"add-periodical", Command::AddPeriodical, kLarge, {}},
        {"readers", Command::ReaderManagement, kLarge, pressing(QStringLiteral("查询"))},
        {"add-reader", Command::AddReader, kLarge, {}},
        {"top-up",
         {},
         {},
         [](QWidget* w) {
             if (auto* e = w->findChild<QLineEdit*>(QStringLiteral("amountEdit")))
                 e->setText(QStringLiteral("50"));
         },
         [](QWidget* parent) -> QWidget* {
             const QString number = QStringLiteral("R0001");
             return new TRdChongZhiFm(
                 number,
                 firstValue(QStringLiteral("select 读者姓名 from 读者库 where 读者编号 = ?"),
                            {number}),
                 firstValue(QStringLiteral("select 性别 from 读者库 where 读者编号 = ?"), {number}),
                 parent);
         }},
        {"import-books", Command::ImportBooks, kLarge, {}},
        {"import-readers", Command::ImportReaders, kLarge, {}},
        {"book-chart", Command::BookChart, kLarge, {}},
        {"reader-chart", Command::ReaderChart, kLarge, {}},
        {"category-statistics", Command::CategoryStatistics, kLarge,
         pressing(QStringLiteral("统计"))},
        {"income-statistics", Command::IncomeStatistics, kLarge,
         since(DemoHistory::kDays, QStringLiteral("统计"))},
        {"inventory", Command::Inventory, kLarge, since(30, QStringLiteral("查询"))},
        {"accession-list", Command::AccessionList, kLarge, since(240, QStringLiteral("统计"))},
        {"shelf-inventory", Command::ShelfInventory, kLarge, {}},
        {"admin-accounts", Command::AdminAccounts, {}, {}},
        {"admin-log", Command::AdminLog, kLarge, {}},
        {"change-password", Command::ChangePassword, {}, {}},
        {"library-settings", Command::LibrarySettings, {}, {}},
        {"reader-categories", Command::ReaderCategories, {}, {}},
        {"pos-printer", Command::PosPrinter, {}, {}},
        {"backup", Command::Backup, {}, {}},
        {"database-settings", Command::DatabaseSettings, {}, {}},
    };
}

bool save(QWidget* w, const QDir& out, const QString& name, QStringList* taken)
{
    const QString file = out.filePath(name + QStringLiteral(".png"));
    if (!w->grab().save(file)) {
        say(QStringLiteral("无法保存 %1").arg(file), stderr);
        return false;
    }
    *taken << name + QStringLiteral(".png");
    say(file);
    return true;
}

// The message the desk would show, as its box looks.
bool saveMessage(const QString& text, const QDir& out, const QString& name, QStringList* taken)
{
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok);
    box.show();
    settle();
    return save(&box, out, name, taken);
}

// A screen that waits for a person inside its opening would stop the run: any other modal
// window is closed.
void closeStrayDialogs(const QWidget* const* current)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [current] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != *current)
            modal->close();
    });
    timer->start(200);
}

bool openLibrary(const QString& dir)
{
    QString error;
    if (!LibraryInit::create(dir, true, {}, &error, DemoHistory::add)) {
        say(error, stderr);
        return false;
    }
    QDir::setCurrent(dir);
    LoginState& state = LoginState::instance();
    state.programDir = dir;
    state.readSettingsFile(SettingsFile(LoginRules::settingsFilePath(state)));
    if (!LoginRules::openConnection(Database::shared(), state, &error)) {
        say(error, stderr);
        return false;
    }
    if (!LoginRules(Database::shared(), state)
             .login(QString::fromUtf8(kSuperAdministrator), QString::fromUtf8(kDefaultPassword))) {
        say(QStringLiteral("无法以超级管理员登录"), stderr);
        return false;
    }
    return true;
}

// The picture names the guide's pages use.
QSet<QString> namedInGuide(const QDir& guide)
{
    static const QRegularExpression picture(QStringLiteral("src=\"images/([^\"]+\\.png)\""));
    QSet<QString> names;
    QDirIterator it(guide.path(), {QStringLiteral("*.html")}, QDir::Files);
    while (it.hasNext()) {
        QFile page(it.next());
        if (!page.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(page.readAll());
        for (const QRegularExpressionMatch& m : picture.globalMatch(text))
            names.insert(m.captured(1));
    }
    return names;
}

bool checkGuide(const QDir& guide, const QStringList& taken)
{
    bool ok = true;
    const QSet<QString> names = namedInGuide(guide);
    for (const QString& name : names) {
        if (!taken.contains(name)) {
            say(QStringLiteral("指南用到的图片 %1 不是本工具拍的").arg(name), stderr);
            ok = false;
        }
        if (!QFileInfo::exists(guide.filePath(QStringLiteral("images/") + name))) {
            say(QStringLiteral("指南缺少图片 images/%1").arg(name), stderr);
            ok = false;
        }
    }
    if (names.isEmpty()) {
        say(QStringLiteral("在 %1 中没有找到任何图片").arg(guide.path()), stderr);
        ok = false;
    }
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("图书管理系统"));
    QApplication::setApplicationDisplayName(QStringLiteral("图书管理系统"));
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.size() > 2) {
        say(QStringLiteral("用法: tushu_screenshots 输出目录 [指南目录]"), stderr);
        return 2;
    }
    const QDir out(QDir(args[0]).absolutePath());
    if (!out.exists() && !QDir().mkpath(out.path())) {
        say(QStringLiteral("无法创建目录 %1").arg(out.path()), stderr);
        return 1;
    }
    const QString guide = args.size() > 1 ? QDir(args[1]).absolutePath() : QString();
    ProgramSetup::loadChineseFont();
    installChineseTranslations();
    Clock::setNow(kDemoNow);
    QTemporaryDir library;
    if (!library.isValid() || !openLibrary(library.path()))
        return 1;
    ProgramSetup::registerAllScreens();
    RecordingMessenger messenger;
    QWidget* current = nullptr;
    closeStrayDialogs(&current);

    QStringList taken;
    bool ok = true;
    {
        TLoginFm login;
        current = &login;
        login.show();
        settle();
        ok &= save(&login, out, QStringLiteral("login"), &taken);
    }
    TMainFm desk;
    desk.resize(kLarge);
    desk.show();
    settle();
    ok &= save(&desk, out, QStringLiteral("desk"), &taken);

    for (const Shot& shot : shots()) {
        messenger.clear();
        QWidget* screen =
            shot.make ? shot.make(&desk) : ScreenRegistry::instance().open(shot.command, &desk);
        if (shot.make && screen) {
            screen->setAttribute(Qt::WA_DeleteOnClose);
            screen->setWindowFlag(Qt::Window);
            screen->show();
        }
        if (!screen) {
            say(QStringLiteral("没有打开 %1 的屏幕").arg(shot.file), stderr);
            ok = false;
            continue;
        }
        current = screen;
        screen->showNormal();
        screen->resize(shot.size.isValid() ? shot.size : screen->sizeHint());
        settle();
        if (shot.prepare)
            shot.prepare(screen);
        settle();
        ok &= save(screen, out, shot.file, &taken);
        // The returning screen's fine message: its own picture.
        if (shot.command == Command::Return)
            for (const RecordingMessenger::Shown& s : std::as_const(messenger.shown))
                if (s.text.startsWith(QStringLiteral("超期罚金是:")))
                    ok &= saveMessage(s.text, out, QStringLiteral("return-fine"), &taken);
        current = nullptr;
        screen->close();
        settle();
    }
    Database::shared().close();
    if (!guide.isEmpty())
        ok &= checkGuide(QDir(guide), taken);
    return ok ? 0 : 1;
}
