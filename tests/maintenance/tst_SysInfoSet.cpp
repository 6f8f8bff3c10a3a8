#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/LoginState.h"
#include "data/Schema.h"
#include "data/SettingsFile.h"
#include "maintenance/SysInfoSetRules.h"
#include "maintenance/SysInfoSetUt.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlRecord>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kRestart = QStringLiteral("新的设置重启软件后生效!");

// Every column of the settings rows, one text per row, for "nothing stored" checks.
QStringList settingsRows(const Database& db)
{
    QStringList rows;
    QSqlQuery q = db.query(QStringLiteral("select * from 系统设置"));
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < q.record().count(); ++i)
            values << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

QVariant setting(const Database& db, const char* column)
{
    return db.scalar(QStringLiteral("select %1 from 系统设置").arg(QString::fromUtf8(column)));
}

// The program folder (for de.ini) of one test, holding a de.ini with BcCc as given.
struct ProgramFolder
{
    QTemporaryDir dir;
    explicit ProgramFolder(const QString& bcCc = QStringLiteral("0"))
    {
        LoginState::instance().programDir = dir.path();
        LoginState::instance().BcCc = bcCc;
        SettingsFile(ini()).write(QStringLiteral("part1"), QStringLiteral("BcCc"), bcCc);
    }
    QString ini() const { return QDir(dir.path()).absoluteFilePath(QStringLiteral("de.ini")); }
    QString bcCc() const
    {
        return SettingsFile(ini()).read(QStringLiteral("part1"), QStringLiteral("BcCc"), {});
    }
};
} // namespace

class SysInfoSetTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { LoginState::reset(); }

    void opensWithTheRow()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(
            QStringLiteral("update 系统设置 set 图书馆名 = ?, 地址 = ?, 超期每日罚金 = ?, "
                           "押金倍数 = ?, 开户费 = ?, 显示班级 = ?, WebNotice = ?"),
            {QStringLiteral("阳光图书馆"), QStringLiteral("北京"),
             QVariant::fromValue(*Money::parse(QStringLiteral("0.15"))), 2.5,
             QVariant::fromValue(*Money::parse(QStringLiteral("10"))), true,
             QStringLiteral("开馆时间\n周一至周五")});
        ProgramFolder folder(QStringLiteral("1"));
        TSysInfoSetFm fm;
        QCOMPARE(fm.windowTitle(), QStringLiteral("系统设置"));
        QCOMPARE(fm.edit(QStringLiteral("图书馆名"))->text(), QStringLiteral("阳光图书馆"));
        QCOMPARE(fm.edit(QStringLiteral("地址"))->text(), QStringLiteral("北京"));
        QCOMPARE(fm.edit(QStringLiteral("超期日罚金"))->text(), QStringLiteral("0.15"));
        QCOMPARE(fm.edit(QStringLiteral("押金倍数"))->text(), QStringLiteral("2.5"));
        QCOMPARE(fm.edit(QStringLiteral("开户费"))->text(), QStringLiteral("10"));
        QVERIFY(fm.tick(QStringLiteral("显示班级"))->isChecked());
        QVERIFY(!fm.tick(QStringLiteral("显示院系"))->isChecked());
        // The new library's row: fines on, loan limit on, reservations on.
        QVERIFY(fm.tick(QStringLiteral("启用超期罚金"))->isChecked());
        QVERIFY(fm.tick(QStringLiteral("启用预定功能"))->isChecked());
        QCOMPARE(fm.webNoticeEdit()->toPlainText(), QStringLiteral("开馆时间\n周一至周五"));
        QVERIFY(fm.cardTextEdit()->toPlainText().startsWith(QStringLiteral("1. 本证只限本人使用")));
        QCOMPARE(fm.pages()->tabText(0), QStringLiteral("借阅证背面文字"));
        QCOMPARE(fm.pages()->tabText(1), QStringLiteral("网站公告"));
        QCOMPARE(fm.pages()->tabText(2), QStringLiteral("催还通知文字"));
        QCOMPARE(fm.noticeTextEdit()->toPlainText(), Schema::kDefaultOverdueNoticeText);
        QVERIFY(fm.barcodeHintCheck()->isChecked());
        QCOMPARE(fm.barcodeHintCheck()->text(), QStringLiteral("图书录入时-条码重复提示"));
        for (const char* t :
             {"借出时打印清单", "借阅数量限制功能", "启用超期罚金", "启用读者租金",
              "启用读者有效期", "启用租金功能", "显示院系", "显示班级", "启用预定功能"})
            QVERIFY2(fm.tick(QString::fromUtf8(t)), t);
    }

    // Of the yes columns the last in the order 条形码, 图书编号, 读者编号 (returning) and
    // 编号, 条形码 (lending) is chosen; saving leaves only the choice at yes.
    void focusChoices_data()
    {
        QTest::addColumn<QList<bool>>("returning"); // 条形码, 图书编号, 读者编号
        QTest::addColumn<QList<bool>>("lending");   // 编号, 条形码
        QTest::addColumn<QString>("returnChoice");
        QTest::addColumn<QString>("lendChoice");
        QTest::newRow("one each") << QList<bool>{false, true, false} << QList<bool>{true, false}
                                  << "图书编号"
                                  << "编号";
        QTest::newRow("barcode and book number")
            << QList<bool>{true, true, false} << QList<bool>{true, true} << "图书编号"
            << "条形码";
        QTest::newRow("all three")
            << QList<bool>{true, true, true} << QList<bool>{false, true} << "读者编号"
            << "条形码";
        QTest::newRow("none") << QList<bool>{false, false, false} << QList<bool>{false, false} << ""
                              << "";
    }
    void focusChoices()
    {
        QFETCH(QList<bool>, returning);
        QFETCH(QList<bool>, lending);
        QFETCH(QString, returnChoice);
        QFETCH(QString, lendChoice);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(
            QStringLiteral("update 系统设置 set 归还焦点条形码 = ?, 归还焦点图书编号 = ?, "
                           "归还焦点读者编号 = ?, 借阅焦点编号 = ?, 借阅焦点条形码 = ?"),
            {returning[0], returning[1], returning[2], lending[0], lending[1]});
        ProgramFolder folder;
        RecordingMessenger messenger;
        TSysInfoSetFm fm;
        for (const char* c : {"图书编号", "读者编号", "条形码"})
            QCOMPARE(fm.returnFocus(QString::fromUtf8(c))->isChecked(),
                     returnChoice == QString::fromUtf8(c));
        for (const char* c : {"编号", "条形码"})
            QCOMPARE(fm.lendFocus(QString::fromUtf8(c))->isChecked(),
                     lendChoice == QString::fromUtf8(c));
        fm.saveClick();
        QCOMPARE(messenger.texts(), QStringList{kRestart});
        QCOMPARE(DbValue::toBool(setting(lib.db(), "归还焦点条形码")), returnChoice == "条形码");
        QCOMPARE(DbValue::toBool(setting(lib.db(), "归还焦点图书编号")),
                 returnChoice == "图书编号");
        QCOMPARE(DbValue::toBool(setting(lib.db(), "归还焦点读者编号")),
                 returnChoice == "读者编号");
        QCOMPARE(DbValue::toBool(setting(lib.db(), "借阅焦点编号")), lendChoice == "编号");
        QCOMPARE(DbValue::toBool(setting(lib.db(), "借阅焦点条形码")), lendChoice == "条形码");
    }

    // Every input reaches its column; two saves leave one row; de.ini gets BcCc; the
    // columns the screen does not edit keep their values.
    void savesTheOneRow_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void savesTheOneRow()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("update 系统设置 set 启用押金功能 = ?, 赔损金额倍数 = ?"),
                         {true, 3.0});
        ProgramFolder folder;
        RecordingMessenger messenger;
        for (int round = 0; round < 2; ++round) {
            TSysInfoSetFm fm;
            fm.show();
            fm.edit(QStringLiteral("图书馆名"))
                ->setText(QStringLiteral("第%1馆 \"O'K\"").arg(round));
            fm.edit(QStringLiteral("负责人"))->setText(QStringLiteral("王老师"));
            fm.edit(QStringLiteral("超期日罚金"))->setText(QStringLiteral(" 0.2 "));
            fm.edit(QStringLiteral("押金倍数"))->setText(QStringLiteral("1.5"));
            fm.edit(QStringLiteral("开户费"))->setText(QStringLiteral("0"));
            fm.returnFocus(QStringLiteral("条形码"))->setChecked(true);
            fm.lendFocus(QStringLiteral("编号"))->setChecked(true);
            fm.tick(QStringLiteral("启用租金功能"))->setChecked(true);
            fm.tick(QStringLiteral("启用超期罚金"))->setChecked(false);
            fm.cardTextEdit()->setPlainText(QStringLiteral("背面\n第二行"));
            fm.noticeTextEdit()->setPlainText(QStringLiteral("请尽快归还"));
            fm.barcodeHintCheck()->setChecked(round == 0);
            fm.saveButton()->click();
            QCOMPARE(messenger.lastText(), kRestart);
            QVERIFY(!fm.isVisible());
            QCOMPARE(folder.bcCc(), round == 0 ? QStringLiteral("1") : QStringLiteral("0"));
        }
        const Database& db = lib.db();
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from 系统设置")).toInt(), 1);
        QCOMPARE(setting(db, "图书馆名").toString(), QStringLiteral("第1馆 \"O'K\""));
        QCOMPARE(setting(db, "负责人").toString(), QStringLiteral("王老师"));
        QCOMPARE(DbValue::toMoney(setting(db, "超期每日罚金")).toString(), QStringLiteral("0.2"));
        QCOMPARE(setting(db, "押金倍数").toDouble(), 1.5);
        QCOMPARE(DbValue::toMoney(setting(db, "开户费")).toString(), QStringLiteral("0"));
        QVERIFY(DbValue::toBool(setting(db, "启用租金功能")));
        QVERIFY(!DbValue::toBool(setting(db, "启用超期罚金")));
        QVERIFY(DbValue::toBool(setting(db, "归还焦点条形码")));
        QVERIFY(!DbValue::toBool(setting(db, "归还焦点图书编号")));
        QVERIFY(DbValue::toBool(setting(db, "借阅焦点编号")));
        QVERIFY(!DbValue::toBool(setting(db, "借阅焦点条形码")));
        QCOMPARE(setting(db, "借阅证背面文字").toString(), QStringLiteral("背面\n第二行"));
        QCOMPARE(setting(db, "催还通知文字").toString(), QStringLiteral("请尽快归还"));
        QVERIFY(DbValue::toBool(setting(db, "启用押金功能")));
        QCOMPARE(setting(db, "赔损金额倍数").toDouble(), 3.0);
        // The login state keeps what it read at start until the next run.
        QCOMPARE(LoginState::instance().BcCc, QStringLiteral("0"));
    }

    // An empty or malformed number is refused with its message and the focus in its input;
    // nothing is stored, de.ini included.
    void numbersAreChecked_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty 开户费") << "开户费"
                                      << ""
                                      << "开户费必须填写, \" 0 \" 代表不收取.";
        QTest::newRow("blank 开户费") << "开户费"
                                      << "  "
                                      << "开户费必须填写, \" 0 \" 代表不收取.";
        QTest::newRow("text 开户费") << "开户费"
                                     << "十元"
                                     << "开户费必须填写不小于0的数字!";
        QTest::newRow("empty 超期日罚金") << "超期日罚金"
                                          << ""
                                          << "超期日罚金必须填写, \" 0 \" 代表不收取.";
        QTest::newRow("text 超期日罚金") << "超期日罚金"
                                         << "0.2元"
                                         << "超期日罚金必须填写不小于0的数字!";
        QTest::newRow("negative 超期日罚金") << "超期日罚金"
                                             << "-1"
                                             << "超期日罚金必须填写不小于0的数字!";
        QTest::newRow("five decimals") << "超期日罚金"
                                       << "0.12345"
                                       << "超期日罚金必须填写不小于0的数字!";
        QTest::newRow("empty 押金倍数") << "押金倍数"
                                        << ""
                                        << "押金倍数必须填写.";
        QTest::newRow("text 押金倍数") << "押金倍数"
                                       << "两倍"
                                       << "押金倍数必须填写不小于0的数字!";
    }
    void numbersAreChecked()
    {
        QFETCH(QString, caption);
        QFETCH(QString, text);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        ProgramFolder folder;
        const QStringList before = settingsRows(lib.db());
        RecordingMessenger messenger;
        TSysInfoSetFm fm;
        fm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fm));
        fm.activateWindow();
        fm.edit(QStringLiteral("图书馆名"))->setText(QStringLiteral("改了"));
        fm.barcodeHintCheck()->setChecked(true);
        fm.edit(caption)->setText(text);
        fm.saveClick();
        QFETCH(QString, message);
        QCOMPARE(messenger.texts(), QStringList{message});
        QVERIFY(fm.isVisible());
        QCOMPARE(QApplication::focusWidget(), fm.edit(caption));
        QCOMPARE(settingsRows(lib.db()), before);
        QCOMPARE(folder.bcCc(), QStringLiteral("0"));
    }

    void cancelStoresNothing()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        ProgramFolder folder;
        const QStringList before = settingsRows(lib.db());
        RecordingMessenger messenger;
        TSysInfoSetFm fm;
        fm.show();
        fm.edit(QStringLiteral("图书馆名"))->setText(QStringLiteral("改了"));
        fm.barcodeHintCheck()->setChecked(true);
        fm.cancelButton()->click();
        QVERIFY(!fm.isVisible());
        QVERIFY(messenger.shown.isEmpty());
        QCOMPARE(settingsRows(lib.db()), before);
        QCOMPARE(folder.bcCc(), QStringLiteral("0"));
    }

    // An empty table: the screen starts a new row and "保存" creates it, once.
    void emptyTableGetsItsRow()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("delete from 系统设置"));
        ProgramFolder folder;
        RecordingMessenger messenger;
        for (int round = 0; round < 2; ++round) {
            TSysInfoSetFm fm;
            if (round == 0)
                QCOMPARE(fm.edit(QStringLiteral("开户费"))->text(), QString());
            fm.edit(QStringLiteral("超期日罚金"))->setText(QStringLiteral("0.1"));
            fm.edit(QStringLiteral("押金倍数"))->setText(QStringLiteral("1"));
            fm.edit(QStringLiteral("开户费"))->setText(QStringLiteral("5"));
            fm.saveClick();
            QCOMPARE(messenger.lastText(), kRestart);
        }
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 系统设置")).toInt(), 1);
        QCOMPARE(DbValue::toMoney(setting(lib.db(), "开户费")).toString(), QStringLiteral("5"));
        // The columns the screen does not edit take their defaults.
        QCOMPARE(DbValue::toBool(setting(lib.db(), "启用押金功能")), false);
    }

    // A screen that could not read the row never writes it: its inputs are empty, and
    // "保存" over them once blanked the library's name, switches and texts.
    void failedReadNeverWrites_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void failedReadNeverWrites()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("update 系统设置 set 图书馆名 = ?"),
                         {QStringLiteral("阳光图书馆")});
        ProgramFolder folder;
        const QStringList before = settingsRows(lib.db());
        RecordingMessenger messenger;
        // The read fails as with a locked file or a lost connection; the table is back by
        // the time the operator presses "保存".
        lib.db().execute(QStringLiteral("alter table 系统设置 rename to 系统设置_away"));
        TSysInfoSetFm fm;
        lib.db().execute(QStringLiteral("alter table 系统设置_away rename to 系统设置"));
        fm.show();
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("error"));
        QVERIFY(!fm.saveButton()->isEnabled());
        // What an operator facing empty inputs types to get past the checks.
        fm.edit(QStringLiteral("超期日罚金"))->setText(QStringLiteral("0.1"));
        fm.edit(QStringLiteral("押金倍数"))->setText(QStringLiteral("1"));
        fm.edit(QStringLiteral("开户费"))->setText(QStringLiteral("5"));
        QTest::mouseClick(fm.saveButton(), Qt::LeftButton);
        fm.saveClick();
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(settingsRows(lib.db()), before);
        QCOMPARE(folder.bcCc(), QStringLiteral("0"));
    }

    // The row is stored before de.ini is written; a de.ini that cannot be written is
    // reported instead of the success text.
    void failedSettingsFileWriteIsReported()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        LoginState::instance().programDir = QStringLiteral("/nonexistent-tushu-folder");
        RecordingMessenger messenger;
        TSysInfoSetFm fm;
        fm.show();
        fm.edit(QStringLiteral("图书馆名"))->setText(QStringLiteral("新馆名"));
        fm.saveClick();
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("error"));
        QVERIFY(messenger.shown[0].text.contains(QStringLiteral("de.ini")));
        QVERIFY(!messenger.texts().contains(kRestart));
        QVERIFY(fm.isVisible());
        QCOMPARE(setting(lib.db(), "图书馆名").toString(), QStringLiteral("新馆名"));
    }
};

TUSHU_TEST(SysInfoSetTest)
#include "tst_SysInfoSet.moc"
