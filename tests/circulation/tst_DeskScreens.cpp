#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "CirculationFixture.h"
#include "circulation/BkBorrowUt.h"
#include "circulation/BkReturnUt.h"
#include "circulation/PosPrinter.h"
#include "circulation/PosPrtSetUt.h"
#include "data/SettingsFile.h"
#include "widgets/ScreenRegistry.h"

#include <QApplication>
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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Reader R1 of 学生 (14 days, 3 items) and the books B1..Bn with barcodes 690001...
void addReaderAndBooks(const Database& db, int books)
{
    addCategory(db, QStringLiteral("学生"), 14, 3, m("0.2"));
    addReader(db, Reader());
    for (int i = 1; i <= books; ++i) {
        Item it;
        it.number = QStringLiteral("B%1").arg(i);
        it.barcode = QStringLiteral("69000%1").arg(i);
        addItem(db, it);
    }
}

TBkBorrowFm* openLending()
{
    auto* screen =
        qobject_cast<TBkBorrowFm*>(ScreenRegistry::instance().open(Command::Borrow, nullptr));
    if (screen && !QTest::qWaitForWindowExposed(screen))
        qWarning("lending screen not shown");
    return screen;
}

int openLoansOf(const Database& db, const QString& reader)
{
    return intOf(db,
                 QStringLiteral("select count(*) from 借出记录 where 读者编号 = ? and 已还 = ?"),
                 {reader, QStringLiteral("否")});
}

template <typename T> int countOf()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<T*>(w) != nullptr;
    return n;
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

    // The current loan follows the keyboard; a loan that cannot be computed between two good
    // ones empties the figures and "归还" refuses it; the loan closed is the one shown.
    void currentLoanFollowsTheKeyboard()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        Reader r;
        r.open = 3;
        r.balance = m("100");
        addReader(lib.db(), r);
        QList<int> ids;
        const char* rents[] = {"1", "2", "3"};
        for (int i = 0; i < 3; ++i) {
            Item it;
            it.number = QStringLiteral("B%1").arg(i + 1);
            it.barcode = QStringLiteral("69000%1").arg(i + 1);
            addItem(lib.db(), it);
            Loan l;
            l.item = it.number;
            l.barcode = it.barcode;
            l.lent = today().addDays(-(i + 2));
            l.due = today().addDays(10);
            l.rent = m(rents[i]);
            ids << addLoan(lib.db(), l);
        }
        lib.db().execute(QStringLiteral("update 借出记录 set 应还日期 = null where id = ?"),
                         {ids.at(1)});
        LoginState::instance().settings.启用租金功能 = true;
        RecordingMessenger messenger;
        auto* screen =
            qobject_cast<TBkReturnFm*>(ScreenRegistry::instance().open(Command::Return, nullptr));
        QVERIFY(QTest::qWaitForWindowExposed(screen));
        scan(screen->readerNumberEdit(), QStringLiteral("R1"));
        auto* grid = child<QTableWidget>(screen, "loansTable");
        auto* rent = child<QLineEdit>(screen, "rentEdit");
        auto* days = child<QLineEdit>(screen, "rentalDaysEdit");
        auto* item = child<QLineEdit>(screen, "loanItemNumberEdit");
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(rent->text(), QStringLiteral("2")); // 2 days at 1
        QVERIFY(messenger.shown.isEmpty());

        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        const QString conversion =
            QStringLiteral("Could not convert variant of type (Null) into type (Date)");
        QCOMPARE(messenger.texts(), QStringList{conversion});
        QCOMPARE(item->text(), QStringLiteral("B2"));
        QVERIFY(rent->text().isEmpty());
        QVERIFY(days->text().isEmpty());
        messenger.clear();
        QTest::mouseClick(child<QPushButton>(screen, "returnButton"), Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList{conversion});
        QCOMPARE(openLoansOf(lib.db(), QStringLiteral("R1")), 3);

        messenger.clear();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(item->text(), QStringLiteral("B3"));
        QCOMPARE(rent->text(), QStringLiteral("12")); // 4 days at 3
        QTest::keyClick(grid, Qt::Key_Home);
        QCOMPARE(item->text(), QStringLiteral("B1"));
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(item->text(), QStringLiteral("B3"));
        QVERIFY(messenger.shown.isEmpty());
        QTest::mouseClick(child<QPushButton>(screen, "returnButton"), Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("归还完毕!")});
        QCOMPARE(lib.db()
                     .scalar(QStringLiteral("select 已还 from 借出记录 where id = ?"), {ids.at(2)})
                     .toString(),
                 QStringLiteral("是"));
        QCOMPARE(openLoansOf(lib.db(), QStringLiteral("R1")), 2);
        QCOMPARE(moneyOf(lib.db(), QStringLiteral("select 卡内金额 from 读者库")), money("88"));
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(item->text(), QStringLiteral("B1"));
    }

    // A receipt port that does not answer never holds the desk: the loans are stored and
    // "借阅完毕!" is shown, followed by the port's error when it was given up.
    void receiptPortThatDoesNotAnswer_data()
    {
        QTest::addColumn<bool>("reader"); // the FIFO has a reader that never reads
        QTest::newRow("FIFO without reader") << false;
        QTest::newRow("FIFO whose reader does not read") << true;
    }
    void receiptPortThatDoesNotAnswer()
    {
        QFETCH(bool, reader);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addReaderAndBooks(lib.db(), 1);
        QTemporaryDir dir;
        const QString fifo = QDir(dir.path()).filePath(QStringLiteral("lp"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        int readEnd = -1, writeEnd = -1;
        if (reader) {
            // Fill the pipe, so the printer's bytes find no room.
            readEnd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
            writeEnd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            QVERIFY(readEnd >= 0 && writeEnd >= 0);
            const QByteArray block(4096, 'x');
            while (::write(writeEnd, block.constData(), size_t(block.size())) > 0) {
            }
        }
        const int oldTimeout = PosPrinter::writeTimeoutMs();
        PosPrinter::setWriteTimeoutMs(300);
        LoginState::instance().JieChuHouDaYin = QStringLiteral("1");
        LoginState::instance().PosPort = fifo;
        RecordingMessenger messenger;
        TBkBorrowFm* screen = openLending();
        QVERIFY(screen);
        scan(screen->readerNumberEdit(), QStringLiteral("R1"));
        scan(screen->itemEdit(), QStringLiteral("B1"));
        QTest::mouseClick(child<QPushButton>(screen, "lendButton"), Qt::LeftButton);
        PosPrinter::setWriteTimeoutMs(oldTimeout);
        QCOMPARE(messenger.shown.value(0).text, QStringLiteral("借阅完毕!"));
        QCOMPARE(messenger.shown.size(), reader ? 2 : 1);
        if (reader)
            QVERIFY(messenger.shown.at(1).text.contains(fifo));
        QCOMPARE(openLoansOf(lib.db(), QStringLiteral("R1")), 1);
        for (int fd : {readEnd, writeEnd})
            if (fd >= 0)
                ::close(fd);
    }

    // The port and the switch applied in the printer settings reach a lending screen that is
    // already open: its next receipt goes to the new port.
    void printerSettingsReachAnOpenLendingScreen()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addReaderAndBooks(lib.db(), 1);
        QTemporaryDir dir;
        LoginState::instance().programDir = dir.path();
        const QString oldPort = QDir(dir.path()).filePath(QStringLiteral("old-port"));
        const QString newPort = QDir(dir.path()).filePath(QStringLiteral("new-port"));
        LoginState::instance().PosPort = oldPort;
        RecordingMessenger messenger;
        TBkBorrowFm* lending = openLending();
        QVERIFY(lending);
        auto* printAfter = child<QCheckBox>(lending, "printAfterCheck");
        QVERIFY(!printAfter->isChecked());

        QWidget* settings = ScreenRegistry::instance().open(Command::PosPrinter, nullptr);
        QVERIFY(settings);
        child<QCheckBox>(settings, "printAfterCheck")->setChecked(true);
        child<QComboBox>(settings, "portCombo")->setEditText(newPort);
        child<QPushButton>(settings, "applyButton")->click();
        QVERIFY(printAfter->isChecked());

        messenger.clear();
        scan(lending->readerNumberEdit(), QStringLiteral("R1"));
        scan(lending->itemEdit(), QStringLiteral("B1"));
        child<QPushButton>(lending, "lendButton")->click();
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("借阅完毕!")});
        QVERIFY(QFileInfo(newPort).size() > 0);
        QVERIFY(!QFileInfo::exists(oldPort));
    }

    // F5 and F6 between the desk screens, whichever opened first: one screen of each, the
    // front one usable with the focus where the next scan goes, nothing the operator had
    // entered lost (no show handler ran again), and a modal lending screen never blocking
    // the returning screen.
    void f5AndF6BetweenTheDeskScreens_data()
    {
        QTest::addColumn<QString>("first");
        QTest::newRow("lending first") << "lending";
        QTest::newRow("returning first") << "returning";
        QTest::newRow("returning, then lending from the main window") << "both";
    }
    void f5AndF6BetweenTheDeskScreens()
    {
        QFETCH(QString, first);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addReaderAndBooks(lib.db(), 1);
        Loan l;
        l.lent = today();
        l.due = today().addDays(14);
        addLoan(lib.db(), l);
        RecordingMessenger messenger;
        ScreenRegistry& screens = ScreenRegistry::instance();

        TBkBorrowFm* lending = nullptr;
        TBkReturnFm* returning = nullptr;
        if (first == QStringLiteral("lending")) {
            lending = openLending();
            QVERIFY(lending);
            QCOMPARE(lending->windowModality(), Qt::ApplicationModal);
            scan(lending->readerNumberEdit(), QStringLiteral("R1"));
            QTest::keyClick(lending, Qt::Key_F6);
            returning = qobject_cast<TBkReturnFm*>(screens.existing(Command::Return));
            QVERIFY(returning);
            // A child window of the modal lending screen, so not blocked by it.
            QCOMPARE(returning->parentWidget(), lending);
        } else {
            returning = qobject_cast<TBkReturnFm*>(screens.open(Command::Return, nullptr));
            QVERIFY(QTest::qWaitForWindowExposed(returning));
            if (first == QStringLiteral("both")) {
                lending = openLending();
            } else {
                QTest::keyClick(returning, Qt::Key_F5);
                lending = qobject_cast<TBkBorrowFm*>(screens.existing(Command::Borrow));
            }
            QVERIFY(lending);
            QCOMPARE(lending->windowModality(), Qt::NonModal);
            scan(lending->readerNumberEdit(), QStringLiteral("R1"));
            QTest::keyClick(lending, Qt::Key_F6);
        }
        QCOMPARE(screens.existing(Command::Return), returning);
        QVERIFY(returning->isVisible());
        QCOMPARE(returning->focusWidget(), returning->itemNumberEdit());
        scan(returning->itemNumberEdit(), QStringLiteral("B1"));
        auto* grid = child<QTableWidget>(returning, "loansTable");
        QCOMPARE(grid->rowCount(), 1);

        QTest::keyClick(returning, Qt::Key_F5);
        QCOMPARE(screens.existing(Command::Borrow), lending);
        QVERIFY(lending->isVisible());
        // The reader passed before, so the next scan is an item.
        QCOMPARE(lending->readerNumberEdit()->text(), QStringLiteral("R1"));
        QCOMPARE(lending->focusWidget(), lending->itemEdit());
        QTest::keyClick(lending, Qt::Key_F6);
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(countOf<TBkBorrowFm>(), 1);
        QCOMPARE(countOf<TBkReturnFm>(), 1);
        QVERIFY2(messenger.shown.isEmpty(), qPrintable(messenger.texts().join('\n')));
    }

    // "取消" in the lending list removes the highlighted row, never one that only holds the
    // keyboard focus.
    void removeTheHighlightedRow_data()
    {
        QTest::addColumn<int>("selected"); // -1: none highlighted
        QTest::addColumn<int>("current");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("first highlighted, focus on second") << 0 << 1 << QStringList{"B2"};
        QTest::newRow("second highlighted") << 1 << 1 << QStringList{"B1"};
        QTest::newRow("none highlighted, focus on first") << -1 << 0 << QStringList{"B1", "B2"};
    }
    void removeTheHighlightedRow()
    {
        QFETCH(int, selected);
        QFETCH(int, current);
        QFETCH(QStringList, left);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addReaderAndBooks(lib.db(), 2);
        RecordingMessenger messenger;
        TBkBorrowFm* screen = openLending();
        QVERIFY(screen);
        scan(screen->readerNumberEdit(), QStringLiteral("R1"));
        scan(screen->itemEdit(), QStringLiteral("B1"));
        scan(screen->itemEdit(), QStringLiteral("B2"));
        auto* list = child<QTableWidget>(screen, "lendingList");
        QCOMPARE(list->rowCount(), 2);
        QItemSelectionModel* selection = list->selectionModel();
        selection->clearSelection();
        selection->setCurrentIndex(list->model()->index(current, 0), QItemSelectionModel::NoUpdate);
        if (selected >= 0)
            selection->select(list->model()->index(selected, 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        child<QPushButton>(screen, "removeButton")->click();
        QStringList numbers;
        for (int row = 0; row < list->rowCount(); ++row)
            numbers << list->item(row, 0)->text();
        QCOMPARE(numbers, left);
        QCOMPARE(screen->lending().list().size(), left.size());
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
