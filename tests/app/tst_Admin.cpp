#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "AppTestSupport.h"
#include "app/AdminRules.h"
#include "app/AdminUt.h"
#include "app/ChangePwdUt.h"
#include "app/LoginRules.h"
#include "app/MainUt.h"
#include "data/LoginState.h"
#include "widgets/ScreenRegistry.h"

#include <QAction>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace AppTest;

namespace {
const QString kSuper = QStringLiteral("超级管理员");

QStringList names(const Database& db)
{
    QStringList out;
    QSqlQuery q = db.query(QStringLiteral("select AdminName from 管理员 order by AdminName"));
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QString password(const Database& db, const QString& name)
{
    return db.scalar(QStringLiteral("select pwd from 管理员 where AdminName = ?"), {name})
        .toString();
}

// The rights of the stored row, as a mask of LoginRules::rightsColumns().
int storedRights(const Database& db, const QString& name)
{
    QSqlQuery q = db.query(QStringLiteral("select * from 管理员 where AdminName = ?"), {name});
    if (!q.next())
        return -1;
    Rights r;
    for (const auto& c : LoginRules::rightsColumns())
        r.*c.field = DbValue::toBool(q.value(QString::fromLatin1(c.column)));
    return mask(r);
}

QList<bool> ticks(const TAdminFm& fm)
{
    QList<bool> out;
    for (const auto& b : AdminRules::rightBoxes())
        out << fm.rightBox(QString::fromLatin1(b.column))->isChecked();
    return out;
}

void tick(TAdminFm& fm, int rightsMask)
{
    for (const auto& c : LoginRules::rightsColumns())
        fm.rightBox(QString::fromLatin1(c.column))->setChecked(rightsMask & bit(c.column));
}

void engines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

// 张三 (password "zs") is logged in; his password screen is about to open.
struct ZhangSanChangesPassword
{
    TestLibrary lib;
    RecordingMessenger messenger;
    ZhangSanChangesPassword()
    {
        if (!lib.ok())
            return;
        putOperator(lib.db(), QStringLiteral("张三"), QStringLiteral("zs"), 0);
        LoginState::instance().OperatorName = QStringLiteral("张三");
    }
};
} // namespace

// The operator accounts screen and its rules.
class AdminTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { LoginState::reset(); }

    void layoutAndStates()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        TAdminFm fm;
        QCOMPARE(fm.windowTitle(), QStringLiteral("系统管理员权限设置"));
        QStringList captions;
        for (QCheckBox* b : fm.rightsGroup()->findChildren<QCheckBox*>())
            captions << b->text();
        QCOMPARE(captions,
                 QStringList({"借阅", "归还", "读者资料管理", "期刊资料管理", "删除数据功能",
                              "图书资料管理", "修改读者资料", "修改期刊资料", "修改图书资料",
                              "管理员设置管理", "系统设置", "添加数据", "修改库存"}));
        QCOMPARE(fm.rightsGroup()->title(), QStringLiteral("权限"));
        QStringList buttons;
        for (QPushButton* b : {fm.addButton(), fm.editButton(), fm.saveButton(), fm.cancelButton(),
                               fm.deleteButton(), fm.exitButton()})
            buttons << b->text();
        QCOMPARE(buttons, QStringList({"添加", "修改", "保存", "取消", "删除", "退出"}));

        // Browsing: inputs locked, 添加/修改/删除 on, 保存/取消 off.
        QCOMPARE(fm.mode(), TAdminFm::Mode::Browsing);
        QCOMPARE(fm.grid()->rowCount(), 1);
        QCOMPARE(fm.nameEdit()->text(), kSuper);
        QVERIFY(fm.nameEdit()->isReadOnly());
        QVERIFY(!fm.rightsGroup()->isEnabled());
        QVERIFY(fm.addButton()->isEnabled() && fm.editButton()->isEnabled() &&
                fm.deleteButton()->isEnabled());
        QVERIFY(!fm.saveButton()->isEnabled() && !fm.cancelButton()->isEnabled());
        // The stored row of the super administrator has every right but qxModifyStock.
        QList<bool> all(13, true);
        all.last() = false;
        QCOMPARE(ticks(fm), all);

        fm.addClick();
        QCOMPARE(fm.mode(), TAdminFm::Mode::Adding);
        QVERIFY(!fm.nameEdit()->isReadOnly());
        QVERIFY(fm.rightsGroup()->isEnabled());
        QVERIFY(!fm.grid()->isEnabled());
        QVERIFY(!fm.addButton()->isEnabled() && !fm.editButton()->isEnabled() &&
                !fm.deleteButton()->isEnabled());
        QVERIFY(fm.saveButton()->isEnabled() && fm.cancelButton()->isEnabled());
        QCOMPARE(fm.nameEdit()->text(), QString());
        QCOMPARE(ticks(fm), QList<bool>(13, false));
    }

    void addThenCancelLeavesNoRow()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messenger;
        TAdminFm fm;
        fm.addClick();
        fm.nameEdit()->setText(QStringLiteral("张三"));
        tick(fm, kAll);
        fm.cancelClick();
        QCOMPARE(fm.mode(), TAdminFm::Mode::Browsing);
        QCOMPARE(names(lib.db()), QStringList{kSuper});
        QCOMPARE(fm.grid()->rowCount(), 1);
        QCOMPARE(fm.nameEdit()->text(), kSuper);
        QVERIFY(messenger.shown.isEmpty());
    }

    // A new operator: trimmed name, the default password, qxwp and qxwpxg No, the ticked
    // rights; the login then gives exactly those rights.
    void addOperator_data() { engines(); }
    void addOperator()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messenger;
        TAdminFm fm;
        fm.addClick();
        fm.nameEdit()->setText(QStringLiteral("  张三 "));
        const int rights = kAll & ~bit("qxborrow") & ~bit("qxadmin");
        tick(fm, rights);
        fm.saveClick();
        QVERIFY2(messenger.shown.isEmpty(), qPrintable(messenger.lastText()));
        QCOMPARE(fm.mode(), TAdminFm::Mode::Browsing);
        QCOMPARE(names(lib.db()), QStringList({QStringLiteral("张三"), kSuper}));
        QCOMPARE(password(lib.db(), QStringLiteral("张三")), QStringLiteral("1234"));
        QCOMPARE(storedRights(lib.db(), QStringLiteral("张三")), rights);
        QCOMPARE(lib.db()
                     .scalar(QStringLiteral("select count(*) from 管理员 where AdminName = ? and "
                                            "(qxwp = ? or qxwpxg = ?)"),
                             {QStringLiteral("张三"), true, true})
                     .toInt(),
                 0);
        // The saved operator is the current one.
        QCOMPARE(fm.nameEdit()->text(), QStringLiteral("张三"));

        LoginState state;
        QVERIFY(LoginRules(lib.db(), state).login(QStringLiteral("张三"), QStringLiteral("1234")));
        QCOMPARE(mask(state.rights), rights);
        QVERIFY(!state.rights.qxborrow);
    }

    void blankNameIsRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("   ");
    }
    void blankNameIsRefused()
    {
        QFETCH(QString, typed);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messenger;
        TAdminFm fm;
        fm.addClick();
        fm.nameEdit()->setText(typed);
        fm.saveClick();
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("用户名必须填写！")});
        QCOMPARE(fm.mode(), TAdminFm::Mode::Adding);
        QCOMPARE(names(lib.db()), QStringList{kSuper});
    }

    void renameInPlace_data() { engines(); }
    void renameInPlace()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        putOperator(lib.db(), QStringLiteral("张三"), QStringLiteral("zs"), bit("qxborrow"));
        RecordingMessenger messenger;
        TAdminFm fm;
        QVERIFY(fm.selectOperator(QStringLiteral("张三")));
        QCOMPARE(ticks(fm).first(), true);
        fm.editClick();
        QCOMPARE(fm.mode(), TAdminFm::Mode::Editing);
        QVERIFY(!fm.nameEdit()->isReadOnly());
        fm.nameEdit()->setText(QStringLiteral("李四 "));
        tick(fm, bit("qxreturn") | bit("qxModifyStock"));
        fm.saveClick();
        QVERIFY2(messenger.shown.isEmpty(), qPrintable(messenger.lastText()));
        QCOMPARE(names(lib.db()), QStringList({QStringLiteral("李四"), kSuper}));
        // The same row: its password stays.
        QCOMPARE(password(lib.db(), QStringLiteral("李四")), QStringLiteral("zs"));
        QCOMPARE(storedRights(lib.db(), QStringLiteral("李四")),
                 bit("qxreturn") | bit("qxModifyStock"));
        QCOMPARE(fm.nameEdit()->text(), QStringLiteral("李四"));
    }

    // The name is unique in the schema: the database refuses, its message is shown and the
    // screen stays in editing with nothing changed.
    void renameOntoAnExistingName_data() { engines(); }
    void renameOntoAnExistingName()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        putOperator(lib.db(), QStringLiteral("张三"), QStringLiteral("zs"), bit("qxborrow"));
        putOperator(lib.db(), QStringLiteral("李四"), QStringLiteral("ls"), bit("qxreturn"));
        RecordingMessenger messenger;
        TAdminFm fm;
        QVERIFY(fm.selectOperator(QStringLiteral("张三")));
        fm.editClick();
        fm.nameEdit()->setText(QStringLiteral("李四"));
        fm.saveClick();
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("error"));
        QVERIFY(!messenger.shown[0].text.isEmpty());
        QCOMPARE(fm.mode(), TAdminFm::Mode::Editing);
        QCOMPARE(names(lib.db()),
                 QStringList({QStringLiteral("张三"), QStringLiteral("李四"), kSuper}));
        QCOMPARE(password(lib.db(), QStringLiteral("张三")), QStringLiteral("zs"));
        QCOMPARE(storedRights(lib.db(), QStringLiteral("李四")), bit("qxreturn"));

        // A duplicate new operator is refused the same way.
        fm.cancelClick();
        messenger.clear();
        fm.addClick();
        fm.nameEdit()->setText(QStringLiteral("李四"));
        fm.saveClick();
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("error"));
        QCOMPARE(fm.mode(), TAdminFm::Mode::Adding);
        QCOMPARE(names(lib.db()).size(), 3);
    }

    void superAdministratorKeepsNameAndRow()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messenger;
        TAdminFm fm;
        QVERIFY(fm.selectOperator(kSuper));
        fm.deleteClick();
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("超级管理员 不能删除！")});
        QCOMPARE(names(lib.db()), QStringList{kSuper});

        // In the screen the name stays locked; the rights can change.
        messenger.clear();
        fm.editClick();
        QCOMPARE(fm.mode(), TAdminFm::Mode::Editing);
        QVERIFY(fm.nameEdit()->isReadOnly());
        QVERIFY(fm.rightsGroup()->isEnabled());
        tick(fm, bit("qxadmin"));
        fm.saveClick();
        QVERIFY(messenger.shown.isEmpty());
        QCOMPARE(storedRights(lib.db(), kSuper), bit("qxadmin"));

        // The rules refuse a rename and a delete whatever the screen lets through, and
        // leave the showing to the screen.
        const AdminRules rules(lib.db());
        messenger.clear();
        const RuleResult renamed = rules.change(kSuper, QStringLiteral("管理员"), Rights());
        QCOMPARE(renamed.status, RuleResult::Refused);
        QCOMPARE(renamed.messages, QStringList{QStringLiteral("超级管理员 不能改名！")});
        for (const RuleResult& removed : {AdminRules::removeCheck(kSuper), rules.remove(kSuper)}) {
            QCOMPARE(removed.status, RuleResult::Refused);
            QCOMPARE(removed.messages, QStringList{QStringLiteral("超级管理员 不能删除！")});
        }
        QVERIFY(messenger.shown.isEmpty());
        QCOMPARE(names(lib.db()), QStringList{kSuper});
        // Blanks around the name are no rename.
        QVERIFY(rules.change(kSuper, kSuper + QStringLiteral(" "), Rights()).done());
        QCOMPARE(names(lib.db()), QStringList{kSuper});
    }

    // What the rules return for each request, without showing anything: the question before
    // a delete, a duplicate name as the database's error, a row gone meanwhile as refused.
    void rulesReturnWhatHappened_data() { engines(); }
    void rulesReturnWhatHappened()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messenger;
        const AdminRules rules(lib.db());

        const RuleResult added = rules.add(QStringLiteral(" 张三"), rights(bit("qxborrow")));
        QCOMPARE(added.status, RuleResult::Done);
        QVERIFY(added.messages.isEmpty());
        QCOMPARE(storedRights(lib.db(), QStringLiteral("张三")), bit("qxborrow"));

        const RuleResult blank = rules.add(QStringLiteral("  "), Rights());
        QCOMPARE(blank.status, RuleResult::Refused);
        QCOMPARE(blank.messages, QStringList{QStringLiteral("用户名必须填写！")});

        const RuleResult twice = rules.add(QStringLiteral("张三"), Rights());
        QCOMPARE(twice.status, RuleResult::Failed);
        QCOMPARE(twice.messages.size(), 1);
        QVERIFY(!twice.messages.first().isEmpty());

        const RuleResult asked = AdminRules::removeCheck(QStringLiteral("张三"));
        QCOMPARE(asked.status, RuleResult::Confirm);
        QCOMPARE(asked.question, QStringLiteral("您是否要删除\" 张三\""));
        QCOMPARE(asked.caption, QStringLiteral("确认"));
        QVERIFY(asked.messages.isEmpty());
        QCOMPARE(names(lib.db()).size(), 2); // the check deletes nothing

        QCOMPARE(rules.remove(QStringLiteral("张三")).status, RuleResult::Done);
        QCOMPARE(names(lib.db()), QStringList{kSuper});
        for (const RuleResult& gone :
             {rules.remove(QStringLiteral("张三")),
              rules.change(QStringLiteral("张三"), QStringLiteral("李四"), Rights())}) {
            QCOMPARE(gone.status, RuleResult::Refused);
            QCOMPARE(gone.messages, QStringList{QStringLiteral("用户\"张三\"已不存在！")});
        }
        QCOMPARE(names(lib.db()), QStringList{kSuper});
        QVERIFY2(messenger.shown.isEmpty(), qPrintable(messenger.lastText()));
    }

    // Only 保存 writes: the grid is locked while editing, and cancelling drops the changes.
    void editingStoresNothingUntilSaved()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        putOperator(lib.db(), QStringLiteral("张三"), QStringLiteral("zs"), bit("qxborrow"));
        RecordingMessenger messenger;
        TAdminFm fm;
        QVERIFY(fm.selectOperator(QStringLiteral("张三")));
        fm.editClick();
        fm.nameEdit()->setText(QStringLiteral("王五"));
        tick(fm, kAll);
        QVERIFY(!fm.grid()->isEnabled());
        // Even a selection moved by program shows nothing else and stores nothing.
        fm.grid()->setCurrentCell(fm.grid()->currentRow() == 0 ? 1 : 0, 0);
        QCOMPARE(fm.nameEdit()->text(), QStringLiteral("王五"));
        QCOMPARE(names(lib.db()), QStringList({QStringLiteral("张三"), kSuper}));
        QCOMPARE(storedRights(lib.db(), QStringLiteral("张三")), bit("qxborrow"));
        fm.cancelClick();
        QCOMPARE(fm.mode(), TAdminFm::Mode::Browsing);
        QCOMPARE(fm.nameEdit()->text(), QStringLiteral("张三"));
        QCOMPARE(ticks(fm).first(), true);
        QCOMPARE(names(lib.db()), QStringList({QStringLiteral("张三"), kSuper}));
        QCOMPARE(storedRights(lib.db(), QStringLiteral("张三")), bit("qxborrow"));
        QVERIFY(messenger.shown.isEmpty());
    }

    void deleteAsks()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        putOperator(lib.db(), QStringLiteral("张三"), QStringLiteral("zs"), 0);
        RecordingMessenger messenger;
        messenger.confirmAnswers << false << true;
        TAdminFm fm;
        QVERIFY(fm.selectOperator(QStringLiteral("张三")));
        fm.deleteClick();
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("confirm"));
        QCOMPARE(messenger.shown[0].text, QStringLiteral("您是否要删除\" 张三\""));
        QCOMPARE(messenger.shown[0].caption, QStringLiteral("确认"));
        QCOMPARE(names(lib.db()).size(), 2);
        fm.deleteClick();
        QCOMPARE(names(lib.db()), QStringList{kSuper});
        QCOMPARE(fm.grid()->rowCount(), 1);
    }

    // The row renamed or deleted at another desk since the screen read it: 0 rows updated
    // is reported as the row having gone, and nothing else changes.
    void renameOfAGoneRowIsReported()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        putOperator(lib.db(), QStringLiteral("张三"), QStringLiteral("zs"), 0);
        RecordingMessenger messenger;
        TAdminFm fm;
        QVERIFY(fm.selectOperator(QStringLiteral("张三")));
        fm.editClick();
        lib.db().execute(QStringLiteral("update 管理员 set AdminName = ? where AdminName = ?"),
                         {QStringLiteral("张三丰"), QStringLiteral("张三")});
        fm.nameEdit()->setText(QStringLiteral("李四"));
        fm.saveClick();
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("用户\"张三\"已不存在！")});
        QCOMPARE(fm.mode(), TAdminFm::Mode::Editing);
        QCOMPARE(names(lib.db()), QStringList({QStringLiteral("张三丰"), kSuper}));
    }
};

// The password change screen.
class ChangePwdTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { LoginState::reset(); }

    void layout()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        LoginState::instance().OperatorName = kSuper;
        TChangePwdFm fm;
        QCOMPARE(fm.windowTitle(), QStringLiteral("修改密码"));
        QCOMPARE(fm.operatorLabel()->text(), kSuper);
        for (QLineEdit* e : {fm.oldEdit(), fm.newEdit(), fm.confirmEdit()}) {
            QCOMPARE(e->echoMode(), QLineEdit::Password);
            QVERIFY(e->text().isEmpty());
        }
        QCOMPARE(fm.oldEdit()->accessibleName(), QStringLiteral("旧密码:"));
        QCOMPARE(fm.newEdit()->accessibleName(), QStringLiteral("新密码:"));
        QCOMPARE(fm.confirmEdit()->accessibleName(), QStringLiteral("确认新密码:"));
        QCOMPARE(fm.saveButton()->text(), QStringLiteral("保存"));
        QCOMPARE(fm.closeButton()->text(), QStringLiteral("关闭"));
    }

    // The old password is a bound value: SQL text in it matches nothing.
    void injectionAsOldPassword_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("old");
        const std::pair<const char*, TestLibrary::Engine> engines[] = {
            {"sqlite", TestLibrary::SQLite}, {"postgresql", TestLibrary::PostgreSQL}};
        for (const auto& [name, engine] : engines) {
            QTest::newRow(qPrintable(QStringLiteral("%1, double quotes").arg(name)))
                << int(engine) << QStringLiteral("\" or \"\"=\"");
            QTest::newRow(qPrintable(QStringLiteral("%1, single quotes").arg(name)))
                << int(engine) << QStringLiteral("' or ''='");
        }
    }
    void injectionAsOldPassword()
    {
        QFETCH(int, engine);
        QFETCH(QString, old);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        putOperator(lib.db(), QStringLiteral("张三"), QStringLiteral("zs"), 0);
        LoginState::instance().OperatorName = QStringLiteral("张三");
        RecordingMessenger messenger;
        TChangePwdFm fm;
        fm.show();
        fm.oldEdit()->setText(old);
        fm.newEdit()->setText(QStringLiteral("new"));
        fm.confirmEdit()->setText(QStringLiteral("new"));
        fm.saveClick();
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("旧密码输入错误！")});
        QVERIFY(fm.isVisible());
        QCOMPARE(password(lib.db(), QStringLiteral("张三")), QStringLiteral("zs"));
        QCOMPARE(password(lib.db(), kSuper), QStringLiteral("1234"));
    }

    // Two operators with the same password: only the logged-in one changes.
    void onlyTheLoggedInOperatorChanges_data() { engines(); }
    void onlyTheLoggedInOperatorChanges()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        putOperator(lib.db(), QStringLiteral("张三"), QStringLiteral("1234"), 0);
        LoginState::instance().OperatorName = QStringLiteral("张三");
        RecordingMessenger messenger;
        TChangePwdFm fm;
        fm.show();
        fm.oldEdit()->setText(QStringLiteral("1234"));
        fm.newEdit()->setText(QStringLiteral("秘密'\"1"));
        fm.confirmEdit()->setText(QStringLiteral("秘密'\"1"));
        fm.saveClick();
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("修改成功！")});
        QVERIFY(!fm.isVisible());
        QCOMPARE(password(lib.db(), QStringLiteral("张三")), QStringLiteral("秘密'\"1"));
        QCOMPARE(password(lib.db(), kSuper), QStringLiteral("1234"));
        LoginState state;
        QVERIFY(
            LoginRules(lib.db(), state).login(QStringLiteral("张三"), QStringLiteral("秘密'\"1")));
    }

    // Enter moves on to the next input; only Enter in the confirmation saves. Enter after the
    // old password alone once stored an empty password.
    void enterKey_data()
    {
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("focusAfter");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("stored");
        QTest::newRow("old password") << 0 << 1 << QStringList() << "zs";
        QTest::newRow("new password") << 1 << 2 << QStringList() << "zs";
        QTest::newRow("confirmation") << 2 << -1 << QStringList{"修改成功！"} << "秘密";
    }
    void enterKey()
    {
        QFETCH(int, input);
        QFETCH(int, focusAfter);
        QFETCH(QStringList, messages);
        QFETCH(QString, stored);
        ZhangSanChangesPassword s;
        QVERIFY2(s.lib.ok(), qPrintable(s.lib.error()));
        TChangePwdFm fm;
        fm.show();
        fm.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&fm));
        QLineEdit* const inputs[] = {fm.oldEdit(), fm.newEdit(), fm.confirmEdit()};
        // What was typed up to this input; the inputs after it are still empty.
        const QString typed[] = {QStringLiteral("zs"), QStringLiteral("秘密"),
                                 QStringLiteral("秘密")};
        for (int i = 0; i <= input; ++i)
            inputs[i]->setText(typed[i]);
        inputs[input]->setFocus();
        QTest::keyClick(inputs[input], Qt::Key_Return);
        QCOMPARE(s.messenger.texts(), messages);
        QCOMPARE(password(s.lib.db(), QStringLiteral("张三")), stored);
        if (focusAfter >= 0) {
            QVERIFY(fm.isVisible());
            QVERIFY(inputs[focusAfter]->hasFocus());
        } else {
            QVERIFY(!fm.isVisible());
        }
    }

    void checksInOrder_data()
    {
        QTest::addColumn<QString>("old");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored");
        QTest::newRow("wrong old, mismatch too") << "zz"
                                                 << "a"
                                                 << "b"
                                                 << "旧密码输入错误！"
                                                 << "zs";
        QTest::newRow("old of another letter case") << "ZS"
                                                    << "a"
                                                    << "a"
                                                    << "旧密码输入错误！"
                                                    << "zs";
        QTest::newRow("mismatch") << "zs"
                                  << "a"
                                  << "a "
                                  << "两次输入的新密码不一致！"
                                  << "zs";
        QTest::newRow("empty new password") << "zs"
                                            << ""
                                            << ""
                                            << "修改成功！"
                                            << "";
    }
    void checksInOrder()
    {
        QFETCH(QString, old);
        QFETCH(QString, newPassword);
        QFETCH(QString, confirmation);
        QFETCH(QString, stored);
        ZhangSanChangesPassword s;
        QVERIFY2(s.lib.ok(), qPrintable(s.lib.error()));
        TChangePwdFm fm;
        fm.oldEdit()->setText(old);
        fm.newEdit()->setText(newPassword);
        fm.confirmEdit()->setText(confirmation);
        fm.saveClick();
        QTEST(s.messenger.lastText(), "message");
        QCOMPARE(s.messenger.shown.size(), 1);
        QCOMPARE(password(s.lib.db(), QStringLiteral("张三")), stored);
        // No message shows a password.
        for (const QString& p : {old, newPassword, confirmation})
            if (!p.trimmed().isEmpty())
                QVERIFY(!s.messenger.lastText().contains(p));
    }
};

// The administration entries of the main window open their screens.
class AdministrationEntriesTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { LoginState::reset(); }

    void entriesOpenTheirScreens()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir program;
        LoginState& state = LoginState::instance();
        state.programDir = program.path();
        state.DbKind = QStringLiteral("a");
        state.OperatorName = kSuper;
        state.rights = rights(kAll);
        registerAppScreens();
        registerMaintenanceScreens();
        RecordingMessenger messenger;
        TMainFm main;
        main.show();
        const std::pair<const char*, const char*> entries[] = {
            {"adminAccountsAction", "TAdminFm"},  {"changePasswordAction", "TChangePwdFm"},
            {"adminLogAction", "TAdminLogFm"},    {"librarySettingsAction", "TSysInfoSetFm"},
            {"settingsButton", "TSysInfoSetFm"},  {"backupAction", "TBackUpAccessFm"},
            {"initialiseAction", "TCleanDataFm"},
        };
        for (const auto& [action, screen] : entries) {
            QAction* a = main.action(QString::fromLatin1(action));
            QVERIFY2(a && a->isEnabled(), action);
            a->trigger();
            QWidget* w = QApplication::activeModalWidget();
            QVERIFY2(w, action);
            QCOMPARE(w->objectName(), QString::fromLatin1(screen));
            delete w;
        }
        QVERIFY2(messenger.shown.isEmpty(), qPrintable(messenger.lastText()));
    }
};

TUSHU_TEST(AdminTest)
TUSHU_TEST(AdministrationEntriesTest)
TUSHU_TEST(ChangePwdTest)
#include "tst_Admin.moc"
