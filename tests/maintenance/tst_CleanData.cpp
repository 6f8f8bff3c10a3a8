#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "maintenance/CleandataRules.h"
#include "maintenance/CleandataUt.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {
const QString kPassword = QStringLiteral("qtm605281947");

int count(const Database& db, const QString& table, const QString& where = {})
{
    return db
        .scalar(QStringLiteral("select count(*) from %1%2")
                    .arg(table, where.isEmpty() ? QString() : QStringLiteral(" where ") + where))
        .toInt();
}

// Loans (one returned, one open), income and log rows on top of the demo library.
void addHistory(const Database& db)
{
    db.transaction([&] {
        const QString loan = QStringLiteral(
            "insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, 类别, 借阅日期, 应还日期, 已还) "
            "values (?, ?, ?, ?, ?, ?, ?, ?)");
        db.execute(loan, {QStringLiteral("R1"), QStringLiteral("张三"), QStringLiteral("B1"),
                          QStringLiteral("书"), QStringLiteral("图书"), QDate(2024, 1, 1),
                          QDate(2024, 2, 1), QStringLiteral("是")});
        db.execute(loan, {QStringLiteral("R1"), QStringLiteral("张三"), QStringLiteral("B2"),
                          QStringLiteral("书二"), QStringLiteral("图书"), QDate(2024, 1, 1),
                          QDate(2024, 2, 1), QStringLiteral("否")});
        db.execute(
            QStringLiteral("insert into 收入 (项目, 时间, 金额) values (?, ?, ?)"),
            {QStringLiteral("充值"), QDate(2024, 1, 1), QVariant::fromValue(Money::fromYuan(10))});
        db.execute(
            QStringLiteral("insert into 管理员日志 (事件, 日期, 管理员, 说明) values (?, ?, ?, ?)"),
            {QStringLiteral("修改库存"), QDateTime(QDate(2024, 1, 1), QTime(8, 0)),
             QStringLiteral("张三"), QStringLiteral("条形码:1")});
    });
}

// Row counts of the seven tables the initialisation touches and of two it never does.
QList<int> counts(const Database& db)
{
    return {count(db, QStringLiteral("图书")),
            count(db, QStringLiteral("期刊")),
            count(db, QStringLiteral("读者库")),
            count(db, QStringLiteral("借出记录")),
            count(db, QStringLiteral("借出记录"), QStringLiteral("已还 = '是'")),
            count(db, QStringLiteral("收入")),
            count(db, QStringLiteral("管理员日志")),
            count(db, QStringLiteral("管理员")),
            count(db, QStringLiteral("系统设置"))};
}
} // namespace

class CleanDataTest : public QObject
{
    Q_OBJECT
private slots:
    void layout()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        TCleanDataFm fm;
        QCOMPARE(fm.windowTitle(), QStringLiteral("清理数据"));
        QStringList boxes;
        for (QCheckBox* b : fm.findChildren<QCheckBox*>()) {
            boxes << b->text();
            QVERIFY(!b->isChecked());
        }
        QCOMPARE(boxes,
                 QStringList({"删除图书信息", "删除期刊信息", "删除读者信息", "删除全部借阅记录",
                              "删除资金记录", "删除已还借阅记录", "删除管理员日志"}));
        QCOMPARE(fm.findChild<QGroupBox*>()->title(), QStringLiteral("重要提示:"));
        QCOMPARE(fm.findChild<QGroupBox*>()->findChild<QLabel*>()->text(),
                 QStringLiteral("此步操作将永久性删除数据信息,强烈建议您备份数据后再进行."));
        QCOMPARE(fm.okButton()->text(), QStringLiteral("确定"));
        QCOMPARE(fm.returnButton()->text(), QStringLiteral("返回"));
    }

    // The password is compared exactly; cancelling the box fails the same way.
    void wrongPassword_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("cancelled") << "" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("upper case") << "QTM605281947" << false;
        QTest::newRow("trailing blank") << "qtm605281947 " << false;
        QTest::newRow("prefix") << "qtm60528194" << false;
        QTest::newRow("sql") << "' or ''='" << false;
    }
    void wrongPassword()
    {
        QFETCH(QString, typed);
        QFETCH(bool, cancelled);
        TestLibrary lib{TestLibrary::SQLite, true};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addHistory(lib.db());
        const QList<int> before = counts(lib.db());
        RecordingMessenger messenger;
        messenger.passwordAnswers << (cancelled ? std::nullopt : std::optional<QString>(typed));
        TCleanDataFm fm;
        fm.show();
        for (QCheckBox* b : fm.findChildren<QCheckBox*>())
            b->setChecked(true);
        fm.okButton()->click();
        QCOMPARE(messenger.shown.size(), 2);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("password"));
        QCOMPARE(messenger.shown[0].caption, QStringLiteral("请输入正确的密码"));
        QCOMPARE(messenger.shown[0].text, QStringLiteral("密码:"));
        QCOMPARE(messenger.shown[1].text, QStringLiteral("密码错误!"));
        QCOMPARE(counts(lib.db()), before);
        QVERIFY(fm.isVisible());
    }

    // The ticked deletions in the table's order, each message after all of them are stored;
    // counters and the other tables stay as they were.
    void ticked_data()
    {
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<int>>("emptied"); // positions in counts() that become 0
        QTest::newRow("nothing") << QStringList() << QStringList() << QList<int>();
        QTest::newRow("books") << QStringList{"删除图书信息"} << QStringList{"删除图书数据完毕!"}
                               << QList<int>{0};
        QTest::newRow("both loan boxes")
            << QStringList{"删除已还借阅记录", "删除全部借阅记录"}
            << QStringList{"删除借阅记录数据完毕!", "删除已还借阅记录数据完毕!"}
            << QList<int>{3, 4};
        QTest::newRow("returned loans only")
            << QStringList{"删除已还借阅记录"} << QStringList{"删除已还借阅记录数据完毕!"}
            << QList<int>{4};
        QTest::newRow("all seven")
            << QStringList{"删除管理员日志", "删除资金记录",     "删除读者信息",    "删除期刊信息",
                           "删除图书信息",   "删除全部借阅记录", "删除已还借阅记录"}
            << QStringList{"删除图书数据完毕!",     "删除期刊数据完毕!",
                           "删除读者数据完毕!",     "删除借阅记录数据完毕!",
                           "删除资金记录数据完毕!", "删除已还借阅记录数据完毕!",
                           "删除数据完毕!"}
            << QList<int>{0, 1, 2, 3, 4, 5, 6};
    }
    void ticked()
    {
        QFETCH(QStringList, ticked);
        QFETCH(QStringList, messages);
        QFETCH(QList<int>, emptied);
        TestLibrary lib{TestLibrary::SQLite, true};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addHistory(lib.db());
        const QString unreturnedSum = QStringLiteral("select sum(未还数量) from 读者库");
        const QString shelfSum = QStringLiteral("select sum(数量) from 图书");
        lib.db().execute(QStringLiteral("update 读者库 set 未还数量 = 1"));
        const QVariant unreturned = lib.db().scalar(unreturnedSum);
        const QVariant shelf = lib.db().scalar(shelfSum);
        QList<int> expected = counts(lib.db());
        if (emptied.contains(4) && !emptied.contains(3))
            expected[3] -= expected[4]; // the returned loans are gone, the open ones stay
        for (int i : emptied)
            expected[i] = 0;
        for (int i = 0; i < 7; ++i)
            QVERIFY2(expected[i] > 0 || emptied.contains(i), qPrintable(QString::number(i)));

        RecordingMessenger messenger;
        messenger.passwordAnswers << kPassword;
        TCleanDataFm fm;
        fm.show();
        for (const QString& caption : ticked)
            fm.box(caption)->setChecked(true);
        fm.okButton()->click();
        QCOMPARE(messenger.texts().mid(1), messages);
        QCOMPARE(counts(lib.db()), expected);
        QVERIFY(!fm.isVisible());
        if (!emptied.contains(2))
            QCOMPARE(lib.db().scalar(unreturnedSum), unreturned);
        if (!emptied.contains(0))
            QCOMPARE(lib.db().scalar(shelfSum), shelf);
    }

    // A statement the database refuses rolls back every deletion before it; the error is
    // shown with its own text and the screen stays open.
    void databaseErrorRollsBack_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void databaseErrorRollsBack()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine), true};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addHistory(lib.db());
        const QList<int> before = counts(lib.db());
        // The last deletion, of the log, fails: the table is gone.
        lib.db().execute(QStringLiteral("alter table 管理员日志 rename to 旧日志"));
        RecordingMessenger messenger;
        messenger.passwordAnswers << kPassword;
        TCleanDataFm fm;
        fm.show();
        for (QCheckBox* b : fm.findChildren<QCheckBox*>())
            b->setChecked(true);
        fm.okButton()->click();
        QCOMPARE(messenger.shown.size(), 2);
        QCOMPARE(messenger.shown[1].kind, QStringLiteral("error"));
        QVERIFY(!messenger.shown[1].text.isEmpty());
        QVERIFY(fm.isVisible());
        lib.db().execute(QStringLiteral("alter table 旧日志 rename to 管理员日志"));
        QCOMPARE(counts(lib.db()), before);
    }

    void returnDeletesNothing()
    {
        TestLibrary lib{TestLibrary::SQLite, true};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QList<int> before = counts(lib.db());
        RecordingMessenger messenger;
        TCleanDataFm fm;
        fm.show();
        fm.box(QStringLiteral("删除图书信息"))->setChecked(true);
        fm.returnButton()->click();
        QVERIFY(!fm.isVisible());
        QVERIFY(messenger.shown.isEmpty());
        QCOMPARE(counts(lib.db()), before);
    }
};

TUSHU_TEST(CleanDataTest)
#include "tst_CleanData.moc"
