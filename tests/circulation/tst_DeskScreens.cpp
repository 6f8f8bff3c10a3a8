#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "CirculationFixture.h"
#include "circulation/BkBorrowUt.h"
#include "circulation/BkReturnUt.h"
#include "circulation/PosPrtSetUt.h"
#include "data/SettingsFile.h"
#include "widgets/ScreenRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Fixture;

namespace {
template <typename T> T* child(QWidget* screen, const char* name)
{
    T* w = screen->findChild<T*>(QString::fromUtf8(name));
    if (!w)
        qWarning("no widget %s", name);
    return w;
}

// A scanner: the characters, then Enter.
void scan(QLineEdit* edit, const QString& text)
{
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}
} // namespace

class DeskScreensTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerCirculationScreens(); }
    void init()
    {
        fixClock();
        LoginState::reset();
        LoginState& login = LoginState::instance();
        login.settings = plainSettings();
        login.OperatorName = QStringLiteral("甲");
        login.WinA = QStringLiteral("1");
        login.JieChuHouDaYin = QStringLiteral("0");
        login.PosPort = QStringLiteral("LPT1");
    }
    void cleanup()
    {
        for (const QString& c : {Command::Borrow, Command::Return, Command::PosPrinter})
            if (QWidget* w = ScreenRegistry::instance().existing(c))
                delete w;
        Clock::setNow({});
        LoginState::reset();
    }

    // One scan checks the reader, one scan adds each item, "借出" lends them.
    void scanReaderAndItemsThenLend_data()
    {
        QTest::addColumn<bool>("print");
        QTest::newRow("without receipt") << false;
        QTest::newRow("receipt to a missing port") << true;
    }
    void scanReaderAndItemsThenLend()
    {
        QFETCH(bool, print);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addCategory(lib.db(), QStringLiteral("学生"), 14, 3, m("0.2"));
        addReader(lib.db(), Reader());
        for (int i = 1; i <= 2; ++i) {
            Item it;
            it.number = QStringLiteral("B%1").arg(i);
            it.barcode = QStringLiteral("69000%1").arg(i);
            addItem(lib.db(), it);
        }
        QTemporaryDir dir;
        LoginState::instance().JieChuHouDaYin = print ? QStringLiteral("1") : QStringLiteral("0");
        LoginState::instance().PosPort = QDir(dir.path()).filePath(QStringLiteral("no/port"));
        RecordingMessenger messenger;

        auto* screen =
            qobject_cast<TBkBorrowFm*>(ScreenRegistry::instance().open(Command::Borrow, nullptr));
        QVERIFY(screen);
        QVERIFY(QTest::qWaitForWindowExposed(screen));
        QCOMPARE(child<QCheckBox>(screen, "printAfterCheck")->isChecked(), print);
        QVERIFY(!child<QWidget>(screen, "itemArea")->isEnabled());

        scan(screen->readerNumberEdit(), QStringLiteral("R1"));
        QVERIFY2(messenger.shown.isEmpty(), qPrintable(messenger.texts().join('\n')));
        QVERIFY(child<QWidget>(screen, "itemArea")->isEnabled());
        QCOMPARE(child<QLineEdit>(screen, "readerNameEdit")->text(), QStringLiteral("张三"));
        QCOMPARE(child<QLineEdit>(screen, "loanDaysEdit")->text(), QStringLiteral("14"));

        scan(screen->itemEdit(), QStringLiteral("B1"));
        // The text stays selected, so the next scan replaces it.
        QCOMPARE(screen->itemEdit()->selectedText(), QStringLiteral("B1"));
        scan(screen->itemEdit(), QStringLiteral("B2"));
        QVERIFY2(messenger.shown.isEmpty(), qPrintable(messenger.texts().join('\n')));
        auto* list = child<QTableWidget>(screen, "lendingList");
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->item(1, 0)->text(), QStringLiteral("B2"));
        QCOMPARE(list->item(1, 3)->text(), QStringLiteral("图书"));

        QTest::mouseClick(child<QPushButton>(screen, "lendButton"), Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("借阅完毕!")});
        QCOMPARE(intOf(lib.db(), QStringLiteral("select count(*) from 借出记录 where 读者编号 = "
                                                "'R1' and 已还 = '否'")),
                 2);
        QCOMPARE(list->rowCount(), 0);
        QVERIFY(screen->readerNumberEdit()->text().isEmpty());
        QVERIFY(!child<QWidget>(screen, "itemArea")->isEnabled());
    }

    // A failed reader check leaves the item area closed and says why.
    void refusedReaderKeepsItemAreaClosed()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messenger;
        auto* screen =
            qobject_cast<TBkBorrowFm*>(ScreenRegistry::instance().open(Command::Borrow, nullptr));
        QVERIFY(QTest::qWaitForWindowExposed(screen));
        scan(screen->readerNumberEdit(), QStringLiteral("R404"));
        QCOMPARE(messenger.texts(),
                 QStringList{QStringLiteral("没有该编号的读者资料,请检查输入的是否正确!")});
        QVERIFY(!child<QWidget>(screen, "itemArea")->isEnabled());
        QCOMPARE(screen->readerNumberEdit()->selectedText(), QStringLiteral("R404"));
    }

    // Returning: the search shows the fine, "归还" closes the loan; F5 and F6 open the other
    // desk screen once.
    void returnAtTheReturningScreen()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addCategory(lib.db(), QStringLiteral("学生"), 14, 3, m("0.2"));
        Reader r;
        r.open = 1;
        addReader(lib.db(), r);
        addItem(lib.db(), Item());
        Loan l;
        l.lent = today().addDays(-10);
        l.due = today().addDays(-1);
        l.rent = m("0.5");
        addLoan(lib.db(), l);
        lib.db().execute(QStringLiteral("update 系统设置 set 归还焦点读者编号 = ?"), {true});
        LoginState::instance().settings.启用超期罚金 = true;
        RecordingMessenger messenger;

        auto* screen =
            qobject_cast<TBkReturnFm*>(ScreenRegistry::instance().open(Command::Return, nullptr));
        QVERIFY(screen);
        QVERIFY(QTest::qWaitForWindowExposed(screen));
        QVERIFY(!child<QWidget>(screen, "damageGroup")->isVisible());
        QVERIFY(!child<QLineEdit>(screen, "rentEdit")->isVisible()); // rent is off

        QTest::mouseClick(child<QPushButton>(screen, "searchButton"), Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("请输入搜索条件!")});
        messenger.clear();
        scan(screen->readerNumberEdit(), QStringLiteral("R1"));
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("超期罚金是:0.1 元.")});
        QCOMPARE(child<QTableWidget>(screen, "loansTable")->rowCount(), 1);
        QCOMPARE(child<QLineEdit>(screen, "rentalDaysEdit")->text(), QStringLiteral("10"));
        QCOMPARE(child<QLineEdit>(screen, "overdueDaysEdit")->text(), QStringLiteral("1"));
        QCOMPARE(child<QLineEdit>(screen, "placeEdit")->text(), QStringLiteral("二楼书库"));

        child<QCheckBox>(screen, "damageCheck")->setChecked(true);
        QVERIFY(child<QWidget>(screen, "damageGroup")->isVisible());
        child<QComboBox>(screen, "conditionCombo")->setEditText(QStringLiteral("丢失"));
        messenger.clear();
        QTest::mouseClick(child<QPushButton>(screen, "returnButton"), Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("归还完毕!")});
        QCOMPARE(child<QTableWidget>(screen, "loansTable")->rowCount(), 0);
        QVERIFY(child<QLineEdit>(screen, "rentalDaysEdit")->text().isEmpty());
        QCOMPARE(intOf(lib.db(), QStringLiteral("select 数量 from 图书")), 1);
        QCOMPARE(lib.db().scalar(QStringLiteral("select 物品状况 from 借出记录")).toString(),
                 QStringLiteral("丢失"));
        QCOMPARE(moneyOf(lib.db(), QStringLiteral("select 卡内金额 from 读者库")), money("-0.1"));

        // F5 opens lending; F6 there brings the same returning screen forward.
        QTest::keyClick(screen, Qt::Key_F5);
        auto* lending = ScreenRegistry::instance().existing(Command::Borrow);
        QVERIFY(lending);
        QCOMPARE(lending->windowModality(), Qt::NonModal);
        QTest::keyClick(lending, Qt::Key_F6);
        QCOMPARE(ScreenRegistry::instance().existing(Command::Return), screen);
        // Closing one desk screen closes the other.
        QPointer<QWidget> watch(lending);
        screen->close();
        QTRY_VERIFY(!watch || !watch->isVisible());
    }

    // Two open loans of a reader: after the first is returned the second is current, with
    // its own figures.
    void secondLoanBecomesCurrent()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        Reader r;
        r.open = 2;
        addReader(lib.db(), r);
        addItem(lib.db(), Item());
        Loan first;
        first.lent = today().addDays(-3);
        first.due = today().addDays(11);
        first.rent = m("1");
        addLoan(lib.db(), first);
        Loan second = first;
        second.item = QStringLiteral("B2");
        second.lent = today().addDays(-20);
        second.due = today().addDays(-6);
        second.rent = m("0.5");
        addLoan(lib.db(), second);
        LoginState::instance().settings.启用租金功能 = true;
        LoginState::instance().settings.启用超期罚金 = true;
        RecordingMessenger messenger;
        auto* screen =
            qobject_cast<TBkReturnFm*>(ScreenRegistry::instance().open(Command::Return, nullptr));
        QVERIFY(QTest::qWaitForWindowExposed(screen));
        scan(screen->readerNumberEdit(), QStringLiteral("R1"));
        QVERIFY(messenger.shown.isEmpty()); // the first loan is not overdue
        QCOMPARE(child<QLineEdit>(screen, "rentEdit")->text(), QStringLiteral("3"));
        QTest::mouseClick(child<QPushButton>(screen, "returnButton"), Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("归还完毕!")});
        QCOMPARE(child<QTableWidget>(screen, "loansTable")->rowCount(), 1);
        QCOMPARE(child<QLineEdit>(screen, "loanItemNumberEdit")->text(), QStringLiteral("B2"));
        QCOMPARE(child<QLineEdit>(screen, "rentalDaysEdit")->text(), QStringLiteral("20"));
        QCOMPARE(child<QLineEdit>(screen, "rentEdit")->text(), QStringLiteral("10"));
        QCOMPARE(child<QLineEdit>(screen, "overdueDaysEdit")->text(), QStringLiteral("6"));
        QCOMPARE(child<QLineEdit>(screen, "fineEdit")->text(), QStringLiteral("0.6"));
        QCOMPARE(intOf(lib.db(), QStringLiteral("select 未还数量 from 读者库")), 1);
        QCOMPARE(moneyOf(lib.db(), QStringLiteral("select 卡内金额 from 读者库")), money("-3"));
    }

    // "应用" writes both values to de.ini and into the login state; "打印测试" to a port that
    // cannot be opened says "失败!".
    void printerSettings()
    {
        QTemporaryDir dir;
        LoginState::instance().programDir = dir.path();
        LoginState::instance().JieChuHouDaYin = QStringLiteral("1");
        RecordingMessenger messenger;
        auto* screen = ScreenRegistry::instance().open(Command::PosPrinter, nullptr);
        QVERIFY(screen);
        QVERIFY(QTest::qWaitForWindowExposed(screen));
        auto* check = child<QCheckBox>(screen, "printAfterCheck");
        auto* port = child<QComboBox>(screen, "portCombo");
        QVERIFY(check->isChecked());
        QCOMPARE(port->currentText(), QStringLiteral("LPT1"));
        QCOMPARE(port->count(), 12);

        const QString file = QDir(dir.path()).filePath(QStringLiteral("test-page"));
        port->setEditText(QDir(dir.path()).filePath(QStringLiteral("missing/port")));
        QTest::mouseClick(child<QPushButton>(screen, "testButton"), Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("失败!")});
        messenger.clear();
        port->setEditText(file);
        QTest::mouseClick(child<QPushButton>(screen, "testButton"), Qt::LeftButton);
        QVERIFY(messenger.shown.isEmpty());
        QVERIFY(QFileInfo(file).size() > 0);

        check->setChecked(false);
        port->setEditText(QStringLiteral("COM3"));
        QPointer<QWidget> watch(screen);
        QTest::mouseClick(child<QPushButton>(screen, "applyButton"), Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("修改完毕,重启软件后生效!")});
        QTRY_VERIFY(!watch);
        const SettingsFile ini(QDir(dir.path()).filePath(QStringLiteral("de.ini")));
        QCOMPARE(ini.read(QStringLiteral("PosPrt"), QStringLiteral("JieChuHouDaYin"), {}),
                 QStringLiteral("0"));
        QCOMPARE(ini.read(QStringLiteral("PosPrt"), QStringLiteral("PosPort"), {}),
                 QStringLiteral("COM3"));
        QCOMPARE(LoginState::instance().JieChuHouDaYin, QStringLiteral("0"));
        QCOMPARE(LoginState::instance().PosPort, QStringLiteral("COM3"));

        // The next lending screen starts with "借出后打印" unticked.
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QWidget* lending = ScreenRegistry::instance().open(Command::Borrow, nullptr);
        QVERIFY(lending);
        QVERIFY(!child<QCheckBox>(lending, "printAfterCheck")->isChecked());
    }
};

TUSHU_TEST(DeskScreensTest)
#include "tst_DeskScreens.moc"
