#include "../common/Code39Reader.h"
#include "../common/PdfText.h"
#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/ListSearch.h"
#include "data/LoginState.h"
#include "readers/ChangeRdStateUt.h"
#include "readers/RdChongZhiUt.h"
#include "readers/RdEditUt.h"
#include "readers/RdSearchUt.h"
#include "readers/ReaderAccount.h"
#include "readers/ReaderRules.h"
#include "report/ReportPreview.h"
#include "widgets/DataGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

const QDateTime kNow(QDate(2026, 3, 5), QTime(9, 30, 15));
const QString kOperator = QStringLiteral("张管理");

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

void addReader(const Database& db, const QString& number, const QString& name,
               const QString& balance = QStringLiteral("0"))
{
    db.execute(QStringLiteral("insert into 读者库 (读者编号, 读者姓名, 性别, 类别, 状态, 卡内金额) "
                              "values (?, ?, ?, ?, ?, ?)"),
               {number, name, QStringLiteral("男"), QStringLiteral("普通"), QStringLiteral("正常"),
                QVariant::fromValue(*Money::parse(balance))});
}

Money balanceOf(const Database& db, const QString& number)
{
    return *Money::fromVariant(
        db.scalar(QStringLiteral("select 卡内金额 from 读者库 where 读者编号 = ?"), {number}));
}

int count(const Database& db, const QString& sql, const QVariantList& values = {})
{
    return db.scalar(sql, values).toInt();
}

struct Library
{
    explicit Library(int engine) : lib(TestLibrary::Engine(engine))
    {
        LoginState::reset();
        LoginState& s = LoginState::instance();
        s.OperatorName = kOperator;
        s.rights.qxadddata = s.rights.qxrdxg = s.rights.qxdel = s.rights.qxrd = true;
        Clock::setNow(kNow);
    }
    ~Library()
    {
        LoginState::reset();
        Clock::setNow({});
    }
    Database& db() { return lib.db(); }
    TestLibrary lib;
    RecordingMessenger messenger;
};

// A second desk on the same library.
struct OtherDesk
{
    explicit OtherDesk(TestLibrary& lib)
        : db(QStringLiteral("other-desk-") + QUuid::createUuid().toString())
    {
        ok = db.open(lib.kind(), lib.connectionString(), &error, lib.dir());
    }
    Database db;
    bool ok = false;
    QString error;
};

QStringList shownNumbers(const DataGrid* grid)
{
    QStringList out;
    for (int r = 0; r < grid->rowCount(); ++r)
        out << grid->value(r, QStringLiteral("读者编号")).toString();
    return out;
}

} // namespace

class ReaderManagementTest : public QObject
{
    Q_OBJECT
private slots:
    void searchFindsExactTextsOnly_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QStringList>("found");
        for (int e : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* n = e == TestLibrary::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s quotes exact", n)
                << e << QStringLiteral("O'Brien\"") << true << QStringList{"R2"};
            QTest::addRow("%s or exact", n)
                << e << QStringLiteral("x\" or \"1\"=\"1") << true << QStringList{"R3"};
            QTest::addRow("%s or contains", n)
                << e << QStringLiteral("\" or \"1\"=\"1") << false << QStringList{"R3"};
            QTest::addRow("%s 小 contains", n)
                << e << QStringLiteral("小") << false << QStringList{"R1", "R4"};
            QTest::addRow("%s 小 exact", n)
                << e << QStringLiteral("小") << true << QStringList{"R4"};
        }
    }
    void searchFindsExactTextsOnly()
    {
        QFETCH(int, engine);
        QFETCH(QString, text);
        QFETCH(bool, exact);
        QFETCH(QStringList, found);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("R1"), QStringLiteral("王小明"));
        addReader(l.db(), QStringLiteral("R2"), QStringLiteral("O'Brien\""));
        addReader(l.db(), QStringLiteral("R3"), QStringLiteral("x\" or \"1\"=\"1"));
        addReader(l.db(), QStringLiteral("R4"), QStringLiteral("小"));
        TRdSearchFm screen;
        screen.show();
        QCOMPARE(screen.grid()->rowCount(), 4);
        QCOMPARE(screen.grid()->footerText(QStringLiteral("读者编号")), QStringLiteral("4"));
        screen.findChild<QComboBox*>(QStringLiteral("columnBox"))
            ->setCurrentText(QStringLiteral("读者姓名"));
        screen.findChild<QLineEdit*>(QStringLiteral("valueEdit"))->setText(text);
        screen
            .findChild<QRadioButton*>(exact ? QStringLiteral("exactButton")
                                            : QStringLiteral("containsButton"))
            ->setChecked(true);
        screen.findChild<QAction*>(QStringLiteral("searchAction"))->trigger();
        QStringList shown = shownNumbers(screen.grid());
        shown.sort();
        QCOMPARE(shown, found);
        QVERIFY(l.messenger.shown.isEmpty());
    }

    void typedColumnOutsideTheSchemaIsRefused_data() { addEngines(); }
    void typedColumnOutsideTheSchemaIsRefused()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("R1"), QStringLiteral("王小明"));
        TRdSearchFm screen;
        screen.show();
        const QString typed = QStringLiteral("读者编号 or 1=1");
        screen.findChild<QComboBox*>(QStringLiteral("columnBox"))->setCurrentText(typed);
        screen.findChild<QLineEdit*>(QStringLiteral("valueEdit"))->setText(QStringLiteral("x"));
        QVERIFY(!screen.search());
        QCOMPARE(l.messenger.lastText(), ListSearch::unknownColumn(typed));
        QCOMPARE(screen.grid()->rowCount(), 1);
        screen.findChild<QLineEdit*>(QStringLiteral("valueEdit"))->clear();
        QVERIFY(!screen.search());
        QCOMPARE(l.messenger.lastText(), QStringLiteral("请填写好查询条件!"));
    }

    void classAndFacultyFollowTheSettings_data() { addEngines(); }
    void classAndFacultyFollowTheSettings()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        LoginState::instance().settings.显示班级 = true;
        LoginState::instance().settings.显示院系 = false;
        LoginState::instance().rights.qxdel = false;
        TRdSearchFm screen;
        screen.show();
        QVERIFY(screen.grid()->isColumnShown(QStringLiteral("班级")));
        QVERIFY(!screen.grid()->isColumnShown(QStringLiteral("院系")));
        QVERIFY(!screen.findChild<QAction*>(QStringLiteral("deleteAction"))->isEnabled());
        // An empty library offers no top-up.
        QVERIFY(!screen.findChild<QAction*>(QStringLiteral("topUpAction"))->isEnabled());
    }

    void deleteAsksByNameAndRefusesOpenLoans_data() { addEngines(); }
    void deleteAsksByNameAndRefusesOpenLoans()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("R1"), QStringLiteral("甲"));
        addReader(l.db(), QStringLiteral("R2"), QStringLiteral("乙"));
        addReader(l.db(), QStringLiteral("R3"), QStringLiteral("丙"));
        l.db().execute(
            QStringLiteral("insert into 借出记录 (读者编号, 编号, 已还) values (?, ?, ?)"),
            {QStringLiteral("R2"), QStringLiteral("B1"), QStringLiteral("否")});
        l.db().execute(
            QStringLiteral("insert into 借出记录 (读者编号, 编号, 已还) values (?, ?, ?)"),
            {QStringLiteral("R3"), QStringLiteral("B1"), QStringLiteral("是")});
        TRdSearchFm screen;
        screen.show();
        auto* grid = screen.grid();
        // Sorted by name descending the current row moves; the one asked about is deleted.
        grid->view()->sortByColumn(grid->model()->fieldIndex(QStringLiteral("读者编号")),
                                   Qt::DescendingOrder);
        grid->setCurrentRow(1);
        QCOMPARE(grid->currentValue(QStringLiteral("读者编号")).toString(), QStringLiteral("R2"));
        screen.findChild<QAction*>(QStringLiteral("deleteAction"))->trigger();
        QCOMPARE(l.messenger.shown.first().text, QStringLiteral("您是否要删除\" 乙\""));
        QCOMPARE(l.messenger.lastText(), ReaderText::hasOpenLoans(QStringLiteral("R2"), 1));
        QCOMPARE(count(l.db(), QStringLiteral("select count(*) from 读者库")), 3);

        l.messenger.clear();
        grid->setCurrentRow(0);
        QCOMPARE(grid->currentValue(QStringLiteral("读者编号")).toString(), QStringLiteral("R3"));
        screen.findChild<QAction*>(QStringLiteral("deleteAction"))->trigger();
        QCOMPARE(l.messenger.texts(), QStringList{QStringLiteral("您是否要删除\" 丙\"")});
        QCOMPARE(count(l.db(), QStringLiteral("select count(*) from 读者库 where 读者编号 = 'R3'")),
                 0);
        QCOMPARE(grid->rowCount(), 2);

        l.messenger.confirmAnswers.enqueue(false);
        grid->setCurrentRow(0);
        screen.findChild<QAction*>(QStringLiteral("deleteAction"))->trigger();
        QCOMPARE(count(l.db(), QStringLiteral("select count(*) from 读者库")), 2);
    }

    void statusChangeWritesItsLogRow_data() { addEngines(); }
    void statusChangeWritesItsLogRow()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("1001"), QStringLiteral("张三"));
        TChangeRdStateFm screen(QStringLiteral("1001"), QStringLiteral("张三"),
                                QStringLiteral("男"), QStringLiteral("正常"));
        auto* box = screen.findChild<QComboBox*>(QStringLiteral("statusBox"));
        QCOMPARE(box->currentText(), QStringLiteral("正常"));
        box->setCurrentText(QStringLiteral("停用"));
        screen.findChild<QPushButton*>(QStringLiteral("saveButton"))->click();
        QVERIFY(l.messenger.shown.isEmpty());
        QCOMPARE(l.db().scalar(QStringLiteral("select 状态 from 读者库")).toString(),
                 QStringLiteral("停用"));
        QSqlQuery q =
            l.db().query(QStringLiteral("select 事件, 日期, 管理员, 说明 from 管理员日志"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("修改状态"));
        QCOMPARE(DbValue::toDateTime(q.value(1)), kNow);
        QCOMPARE(q.value(2).toString(), kOperator);
        QCOMPARE(q.value(3).toString(), QStringLiteral("读者编号:1001,姓名:张三,状态改为:[停用],"));
        QVERIFY(!q.next());
    }

    // After a status change or a top-up the list stays sorted as it was and on that reader,
    // showing the new status or balance.
    void listKeepsReaderAndSortAfterAChange_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("topUp");
        QTest::addColumn<bool>("filtered"); // a header filter that must survive the change
        for (int e : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* name = e == TestLibrary::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s, status", name) << e << false << false;
            QTest::addRow("%s, top-up", name) << e << true << false;
            QTest::addRow("%s, status, filtered", name) << e << false << true;
            QTest::addRow("%s, top-up, filtered", name) << e << true << true;
        }
    }
    void listKeepsReaderAndSortAfterAChange()
    {
        QFETCH(int, engine);
        QFETCH(bool, topUp);
        QFETCH(bool, filtered);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        for (const char* n : {"R1", "R2", "R3"})
            addReader(l.db(), QString::fromLatin1(n), QStringLiteral("读者") + QLatin1String(n),
                      QStringLiteral("10"));
        TRdSearchFm screen;
        screen.show();
        DataGrid* grid = screen.grid();
        const int numberColumn = grid->model()->fieldIndex(QStringLiteral("读者编号"));
        grid->view()->sortByColumn(numberColumn, Qt::DescendingOrder);
        if (filtered)
            grid->setValueFilter(QStringLiteral("读者编号"), QVariant(QStringLiteral("R2")));
        grid->setCurrentRow(filtered ? 0 : 1);
        QCOMPARE(grid->currentValue(QStringLiteral("读者编号")).toString(), QStringLiteral("R2"));
        if (topUp) {
            screen.findChild<QAction*>(QStringLiteral("topUpAction"))->trigger();
            auto* fm = screen.findChild<TRdChongZhiFm*>();
            QVERIFY(fm);
            fm->findChild<QLineEdit*>(QStringLiteral("amountEdit"))->setText(QStringLiteral("20"));
            fm->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        } else {
            screen.findChild<QAction*>(QStringLiteral("changeStateAction"))->trigger();
            auto* fm = screen.findChild<TChangeRdStateFm*>();
            QVERIFY(fm);
            fm->findChild<QComboBox*>(QStringLiteral("statusBox"))
                ->setCurrentText(QStringLiteral("停用"));
            fm->findChild<QPushButton*>(QStringLiteral("saveButton"))->click();
        }
        QStringList order;
        for (int r = 0; r < grid->rowCount(); ++r)
            order << grid->value(r, QStringLiteral("读者编号")).toString();
        QCOMPARE(order, filtered ? QStringList({"R2"}) : QStringList({"R3", "R2", "R1"}));
        QCOMPARE(grid->view()->horizontalHeader()->sortIndicatorSection(), numberColumn);
        QCOMPARE(grid->view()->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(grid->currentValue(QStringLiteral("读者编号")).toString(), QStringLiteral("R2"));
        if (topUp)
            QCOMPARE(Money::fromVariant(grid->currentValue(QStringLiteral("卡内金额")))->toString(),
                     QStringLiteral("30"));
        else
            QCOMPARE(grid->currentValue(QStringLiteral("状态")).toString(), QStringLiteral("停用"));
    }

    void statusChangeWithoutLogRowIsNotStored_data() { addEngines(); }
    void statusChangeWithoutLogRowIsNotStored()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("1001"), QStringLiteral("张三"));
        l.db().execute(QStringLiteral("drop table 管理员日志"));
        ReaderAccount rules(l.db());
        const ReaderResult r = rules.changeStatus(QStringLiteral("1001"), QStringLiteral("张三"),
                                                  QStringLiteral("停用"), QString());
        QVERIFY(!r.ok);
        QVERIFY(!r.message.isEmpty());
        QCOMPARE(l.db().scalar(QStringLiteral("select 状态 from 读者库")).toString(),
                 QStringLiteral("正常"));
        const ReaderResult gone = rules.changeStatus(QStringLiteral("9"), QStringLiteral("无"),
                                                     QStringLiteral("停用"), QString());
        QCOMPARE(gone.message, ReaderText::gone(QStringLiteral("9")));
    }

    void topUpAmounts_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("amount"); // empty: refused
        QTest::newRow("zero decimals") << QStringLiteral("0.00") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("point") << QStringLiteral(".") << QString();
        QTest::newRow("two points") << QStringLiteral("1.2.3") << QString();
        QTest::newRow("minus") << QStringLiteral("-5") << QString();
        QTest::newRow("five decimals") << QStringLiteral("1.00001") << QString();
        QTest::newRow("whole") << QStringLiteral("50") << QStringLiteral("50");
        QTest::newRow("cents") << QStringLiteral(" 0.1 ") << QStringLiteral("0.1");
        QTest::newRow("point first") << QStringLiteral(".5") << QStringLiteral("0.5");
    }
    void topUpAmounts()
    {
        QFETCH(QString, typed);
        QFETCH(QString, amount);
        const std::optional<Money> m = ReaderAccount::topUpAmount(typed);
        QCOMPARE(m.has_value(), !amount.isEmpty());
        if (m)
            QCOMPARE(m->toString(), amount);
    }

    void topUpAndRefund_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refund");
        QTest::addColumn<QString>("balance");
        QTest::addColumn<QString>("income");
        for (int e : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* n = e == TestLibrary::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s top-up 30", n) << e << QStringLiteral("30") << false
                                             << QStringLiteral("50") << QStringLiteral("30");
            QTest::addRow("%s refund 50", n) << e << QStringLiteral("50") << true
                                             << QStringLiteral("-30") << QStringLiteral("-50");
            QTest::addRow("%s cents", n) << e << QStringLiteral("0.1") << false
                                         << QStringLiteral("20.1") << QStringLiteral("0.1");
        }
    }
    void topUpAndRefund()
    {
        QFETCH(int, engine);
        QFETCH(QString, typed);
        QFETCH(bool, refund);
        QFETCH(QString, balance);
        QFETCH(QString, income);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("R1"), QStringLiteral("王小明"), QStringLiteral("20"));
        TRdChongZhiFm screen(QStringLiteral("R1"), QStringLiteral("王小明"), QStringLiteral("男"));
        QCOMPARE(screen.findChild<QLineEdit*>(QStringLiteral("balanceEdit"))->text(),
                 QStringLiteral("20"));
        auto* amount = screen.findChild<QLineEdit*>(QStringLiteral("amountEdit"));
        QCOMPARE(amount->text(), QStringLiteral("0"));
        amount->setText(typed);
        screen.findChild<QCheckBox*>(QStringLiteral("refundBox"))->setChecked(refund);
        screen.findChild<QPlainTextEdit*>(QStringLiteral("remarkEdit"))
            ->setPlainText(QStringLiteral("现金"));
        screen.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCOMPARE(l.messenger.texts(), QStringList{QStringLiteral("充值成功!")});
        QCOMPARE(balanceOf(l.db(), QStringLiteral("R1")).toString(), balance);
        QSqlQuery q = l.db().query(
            QStringLiteral("select 项目, 时间, 读者编号, 读者姓名, 金额, 管理员, 备注 from 收入"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("充值"));
        QCOMPARE(DbValue::toDate(q.value(1)), kNow.date());
        QCOMPARE(q.value(2).toString(), QStringLiteral("R1"));
        QCOMPARE(q.value(3).toString(), QStringLiteral("王小明"));
        QCOMPARE(Money::fromVariant(q.value(4))->toString(), income);
        QCOMPARE(q.value(5).toString(), kOperator);
        QCOMPARE(q.value(6).toString(), QStringLiteral("现金"));
        QVERIFY(!q.next());
    }

    void topUpRefusesZero_data() { addEngines(); }
    void topUpRefusesZero()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("R1"), QStringLiteral("王小明"), QStringLiteral("20"));
        TRdChongZhiFm screen(QStringLiteral("R1"), QStringLiteral("王小明"), QStringLiteral("男"));
        auto* amount = screen.findChild<QLineEdit*>(QStringLiteral("amountEdit"));
        amount->setText(QStringLiteral("0.00"));
        screen.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCOMPARE(l.messenger.texts(), QStringList{QStringLiteral("不能充0元!")});
        QCOMPARE(amount->selectedText(), QStringLiteral("0.00"));
        QCOMPARE(count(l.db(), QStringLiteral("select count(*) from 收入")), 0);
        QCOMPARE(balanceOf(l.db(), QStringLiteral("R1")).toString(), QStringLiteral("20"));
    }

    // Another desk changed the balance after the list was read: the top-up adds to it.
    void topUpAddsToTheCurrentBalance_data() { addEngines(); }
    void topUpAddsToTheCurrentBalance()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("R1"), QStringLiteral("王小明"), QStringLiteral("20"));
        l.db().execute(QStringLiteral("update 读者库 set 卡内金额 = null"));
        TRdChongZhiFm screen(QStringLiteral("R1"), QStringLiteral("王小明"), QStringLiteral("男"));
        OtherDesk other(l.lib);
        QVERIFY2(other.ok, qPrintable(other.error));
        other.db.execute(QStringLiteral("update 读者库 set 卡内金额 = 7.5"));
        screen.findChild<QLineEdit*>(QStringLiteral("amountEdit"))->setText(QStringLiteral("50"));
        screen.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCOMPARE(balanceOf(l.db(), QStringLiteral("R1")).toString(), QStringLiteral("57.5"));
    }

    // A failing income row leaves the balance; the retry of a refund keeps the typed text.
    void failedTopUpLeavesTheBalance_data() { addEngines(); }
    void failedTopUpLeavesTheBalance()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("R1"), QStringLiteral("王小明"), QStringLiteral("20"));
        l.db().execute(QStringLiteral("alter table 收入 rename to 收入旧"));
        TRdChongZhiFm screen(QStringLiteral("R1"), QStringLiteral("王小明"), QStringLiteral("男"));
        auto* amount = screen.findChild<QLineEdit*>(QStringLiteral("amountEdit"));
        amount->setText(QStringLiteral("50"));
        screen.findChild<QCheckBox*>(QStringLiteral("refundBox"))->setChecked(true);
        screen.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCOMPARE(l.messenger.shown.size(), 1);
        QCOMPARE(l.messenger.shown.first().kind, QStringLiteral("error"));
        QVERIFY(!l.messenger.texts().contains(QStringLiteral("充值成功!")));
        QCOMPARE(balanceOf(l.db(), QStringLiteral("R1")).toString(), QStringLiteral("20"));
        QCOMPARE(amount->text(), QStringLiteral("50"));

        l.db().execute(QStringLiteral("alter table 收入旧 rename to 收入"));
        l.messenger.clear();
        screen.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCOMPARE(l.messenger.texts(), QStringList{QStringLiteral("充值成功!")});
        QCOMPARE(balanceOf(l.db(), QStringLiteral("R1")).toString(), QStringLiteral("-30"));
        QCOMPARE(
            Money::fromVariant(l.db().scalar(QStringLiteral("select 金额 from 收入")))->toString(),
            QStringLiteral("-50"));
    }

    void topUpOfAReaderGone_data() { addEngines(); }
    void topUpOfAReaderGone()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        ReaderAccount rules(l.db());
        const ReaderResult r = rules.topUp(QStringLiteral("R9"), QStringLiteral("无"),
                                           QStringLiteral("50"), false, QString());
        QVERIFY(!r.ok);
        QCOMPARE(r.message, ReaderText::gone(QStringLiteral("R9")));
        QCOMPARE(count(l.db(), QStringLiteral("select count(*) from 收入")), 0);
    }

    // An edit of the phone number leaves dates the pickers cannot show, the blank's own
    // moment 1900-01-01 00:00, and empty ones, as they are.
    void editKeepsDatesBefore1900_data() { addEngines(); }
    void editKeepsDatesBefore1900()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        addReader(l.db(), QStringLiteral("R1"), QStringLiteral("王小明"));
        addReader(l.db(), QStringLiteral("R2"), QStringLiteral("李四"));
        addReader(l.db(), QStringLiteral("R3"), QStringLiteral("赵六"));
        const QDateTime registered(QDate(1899, 5, 1), QTime(10, 0));
        const QDateTime onTheBlank(QDate(1900, 1, 1), QTime(0, 0));
        l.db().execute(
            QStringLiteral("update 读者库 set 登记日期 = ?, 有效期 = ? where 读者编号 = ?"),
            {registered, QDate(1890, 1, 1), QStringLiteral("R1")});
        l.db().execute(QStringLiteral("update 读者库 set 登记日期 = null, 有效期 = null where "
                                      "读者编号 = ?"),
                       {QStringLiteral("R2")});
        l.db().execute(QStringLiteral("update 读者库 set 登记日期 = ? where 读者编号 = ?"),
                       {onTheBlank, QStringLiteral("R3")});
        for (const QString number :
             {QStringLiteral("R1"), QStringLiteral("R2"), QStringLiteral("R3")}) {
            TRdEditFm edit(number);
            QVERIFY(edit.loaded());
            edit.findChild<QLineEdit*>(QStringLiteral("phoneEdit"))->setText(QStringLiteral("123"));
            edit.saveClick();
        }
        QVERIFY(l.messenger.shown.isEmpty());
        QSqlQuery q = l.db().query(QStringLiteral(
            "select 读者编号, 登记日期, 有效期, 联系电话 from 读者库 order by 读者编号"));
        QVERIFY(q.next());
        QCOMPARE(DbValue::toDateTime(q.value(1)), registered);
        QCOMPARE(DbValue::toDate(q.value(2)), QDate(1890, 1, 1));
        QCOMPARE(q.value(3).toString(), QStringLiteral("123"));
        QVERIFY(q.next());
        QVERIFY(q.value(1).isNull());
        QVERIFY(q.value(2).isNull());
        QCOMPARE(q.value(3).toString(), QStringLiteral("123"));
        QVERIFY(q.next());
        QCOMPARE(DbValue::dateTimeOrNull(q.value(1)), onTheBlank);
        QCOMPARE(q.value(3).toString(), QStringLiteral("123"));
    }

    // "借阅证" prints a card for each reader listed: read back from the PDF, the bars carry
    // the reader's number, and the card shows the library, the name, the category and the
    // back text.
    void libraryCardsCarryTheListedReaders_data() { addEngines(); }
    void libraryCardsCarryTheListedReaders()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Library l(engine);
        QVERIFY2(l.lib.ok(), qPrintable(l.lib.error()));
        LoginState::instance().settings.图书馆名 = QStringLiteral("东方红图书馆");
        LoginState::instance().settings.显示班级 = true;
        const QString back = QStringLiteral("遗失请及时挂失");
        l.db().execute(QStringLiteral("update 系统设置 set 借阅证背面文字 = ?"), {back});
        const QString klass = QStringLiteral("三年二班");
        struct Card
        {
            QString number, name, category, klass;
        };
        const QList<Card> readers{
            {QStringLiteral("R2026-001"), QStringLiteral("张三"), QStringLiteral("学生"), klass},
            {QStringLiteral("R2026-002"), QStringLiteral("李四"), QStringLiteral("教师"), klass},
            {QStringLiteral("T17"), QStringLiteral("王五"), QStringLiteral("普通"), klass},
            {QStringLiteral("X-5.2"), QStringLiteral("赵六"), QStringLiteral("学生"), klass},
            {QStringLiteral("R2026-999"), QStringLiteral("钱七"), QStringLiteral("研究生"),
             QStringLiteral("四年一班")},
        };
        for (const Card& c : readers) {
            addReader(l.db(), c.number, c.name);
            l.db().execute(
                QStringLiteral("update 读者库 set 类别 = ?, 班级 = ? where 读者编号 = ?"),
                {c.category, c.klass, c.number});
        }

        TRdSearchFm screen;
        screen.show();
        screen.findChild<QComboBox*>(QStringLiteral("columnBox"))
            ->setCurrentText(QStringLiteral("班级"));
        screen.findChild<QLineEdit*>(QStringLiteral("valueEdit"))->setText(klass);
        screen.findChild<QRadioButton*>(QStringLiteral("exactButton"))->setChecked(true);
        screen.findChild<QAction*>(QStringLiteral("searchAction"))->trigger();
        QCOMPARE(screen.grid()->rowCount(), 4);

        PreparedReport printed;
        setReportPreviewHook([&](const PreparedReport& p) { printed = p; });
        screen.findChild<QAction*>(QStringLiteral("cardsAction"))->trigger();
        setReportPreviewHook({});
        QVERIFY(l.messenger.shown.isEmpty());
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("cards.pdf"));
        QString error;
        QVERIFY2(printed.exportPdf(pdf, &error), qPrintable(error));

        QStringList numbers;
        const QList<QImage> pages = pdfPages(pdf, 400, &error);
        QVERIFY2(!pages.isEmpty(), qPrintable(error));
        for (const QImage& page : pages)
            numbers << code39Texts(page);
        numbers.sort();
        QCOMPARE(numbers, (QStringList{"R2026-001", "R2026-002", "T17", "X-5.2"}));

        const QString text = pdfText(pdf);
        QCOMPARE(text.count(QStringLiteral("东方红图书馆")), 4);
        QCOMPARE(text.count(back), 4);
        for (const Card& c : readers) {
            const bool listed = c.klass == klass;
            QCOMPARE(text.contains(QStringLiteral("姓名:") + c.name), listed);
            QCOMPARE(text.contains(c.number), listed);
            if (listed)
                QVERIFY2(text.contains(QStringLiteral("类别:") + c.category), qPrintable(text));
        }
        QVERIFY(!text.contains(QStringLiteral("研究生")));
    }
};

TUSHU_TEST(ReaderManagementTest)
#include "tst_ReaderAccount.moc"
