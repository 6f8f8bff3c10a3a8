#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/LoginState.h"
#include "readers/RdAddUt.h"
#include "readers/RdEditUt.h"
#include "readers/ReaderRules.h"
#include "widgets/ScreenRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>

namespace {

const QDateTime kNow(QDate(2026, 3, 5), QTime(9, 30, 15));
const QString kOperator = QStringLiteral("张管理");

// Each test runs as kOperator at the fixed time kNow.
void startAtDesk()
{
    LoginState::reset();
    LoginState::instance().OperatorName = kOperator;
    Clock::setNow(kNow);
}

void leaveDesk()
{
    LoginState::reset();
    Clock::setNow({});
}

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

ReaderFields reader(const QString& number, const QString& name)
{
    ReaderFields f = ReaderRules::defaults();
    f.number = number;
    f.name = name;
    return f;
}

int count(const Database& db, const QString& sql, const QVariantList& values = {})
{
    return db.scalar(sql, values).toInt();
}

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
} // namespace

class ReaderRegistrationTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { startAtDesk(); }
    void cleanup() { leaveDesk(); }

    void registersWithDefaultsAndFee_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("fee");
        for (int e : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const QByteArray tag = e == TestLibrary::SQLite ? "sqlite" : "postgresql";
            QTest::newRow(tag + " no fee") << e << QStringLiteral("0");
            QTest::newRow(tag + " fee 10") << e << QStringLiteral("10");
            QTest::newRow(tag + " fee 0.0125") << e << QStringLiteral("0.0125");
        }
    }
    void registersWithDefaultsAndFee()
    {
        QFETCH(int, engine);
        QFETCH(QString, fee);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Money amount = *Money::parse(fee);
        LoginState::instance().settings.开户费 = amount;
        RecordingMessenger messages;
        ReaderRules rules(lib.db());

        const RuleResult saved =
            rules.registerReader(reader(QStringLiteral(" R9001 "), QStringLiteral("王小明")));
        QCOMPARE(saved.status, RuleResult::Done);
        QCOMPARE(saved.messages, QStringList{QStringLiteral("保存完毕")});
        QVERIFY(messages.shown.isEmpty());

        QSqlQuery q = lib.db().query(QStringLiteral("select * from 读者库 where 读者编号 = ?"),
                                     {QStringLiteral("R9001")});
        QVERIFY(q.next());
        const QSqlRecord r = q.record();
        auto value = [&](const char* c) { return q.value(r.indexOf(QString::fromUtf8(c))); };
        QCOMPARE(value("读者姓名").toString(), QStringLiteral("王小明"));
        QCOMPARE(value("性别").toString(), QStringLiteral("男"));
        QCOMPARE(value("类别").toString(), QStringLiteral("普通"));
        QCOMPARE(DbValue::toDate(value("有效期")), QDate(2500, 1, 1));
        QCOMPARE(value("状态").toString(), QStringLiteral("正常"));
        QCOMPARE(value("密码").toString(), QString::fromUtf8(kDefaultPassword));
        QCOMPARE(DbValue::toInt(value("未还数量")), 0);
        QCOMPARE(DbValue::toInt(value("累计借阅次数")), 0);
        QCOMPARE(DbValue::toMoney(value("卡内金额")), Money());
        QCOMPARE(value("登记人").toString(), kOperator);
        QCOMPARE(DbValue::toDateTime(value("登记日期")), kNow);
        QCOMPARE(value("py").toString(), QStringLiteral("WXM"));
        // The initials of the name as typed: a leading blank pairs 20 CD, F5 D0, A1 C3
        // (all outside the table) and drops the last byte.
        QCOMPARE(ReaderRules::pinyin(QStringLiteral(" 王小明")), QStringLiteral("   "));
        QCOMPARE(value("TmpA").toString(), QStringLiteral("2026-03-05 09:30:15+A"));

        const int rows = count(lib.db(), QStringLiteral("select count(*) from 收入"));
        QCOMPARE(rows, amount.isZero() ? 0 : 1);
        if (amount.isZero())
            return;
        q = lib.db().query(
            QStringLiteral("select 项目, 时间, 读者编号, 读者姓名, 金额, 管理员 from 收入"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("开户费"));
        QCOMPARE(DbValue::toDate(q.value(1)), kNow.date());
        QCOMPARE(q.value(2).toString(), QStringLiteral("R9001"));
        QCOMPARE(q.value(3).toString(), QStringLiteral("王小明"));
        QCOMPARE(DbValue::toMoney(q.value(4)), amount);
        QCOMPARE(q.value(5).toString(), kOperator);
        // The fee is income only: the balance stays untouched.
        QCOMPARE(DbValue::toMoney(lib.db().scalar(
                     QStringLiteral("select 卡内金额 from 读者库 where 读者编号 = ?"),
                     {QStringLiteral("R9001")})),
                 Money());
    }

    void refusedRegistrationWritesNothing_data() { addEngines(); }
    void refusedRegistrationWritesNothing()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        LoginState::instance().settings.开户费 = Money::fromYuan(10);
        RecordingMessenger messages;
        ReaderRules rules(lib.db());
        QVERIFY(rules.registerReader(reader(QStringLiteral("R1"), QStringLiteral("张三"))).done());

        // A number that exists is refused by the database's key: no second reader, no fee.
        const RuleResult twice =
            rules.registerReader(reader(QStringLiteral("R1 "), QStringLiteral("李四")));
        QCOMPARE(twice.status, RuleResult::Failed);
        QCOMPARE(twice.messages.size(), 1);
        QVERIFY(!twice.messages.first().isEmpty());
        QCOMPARE(count(lib.db(), QStringLiteral("select count(*) from 读者库")), 1);
        QCOMPARE(lib.db().scalar(QStringLiteral("select 读者姓名 from 读者库")).toString(),
                 QStringLiteral("张三"));
        QCOMPARE(count(lib.db(), QStringLiteral("select count(*) from 收入")), 1);

        // When the fee row cannot be written, the reader is not registered either.
        lib.db().execute(QStringLiteral("drop table 收入"));
        const RuleResult noFee =
            rules.registerReader(reader(QStringLiteral("R2"), QStringLiteral("王五")));
        QCOMPARE(noFee.status, RuleResult::Failed);
        QCOMPARE(noFee.messages.size(), 1);
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(count(lib.db(), QStringLiteral("select count(*) from 读者库 where 读者编号 = ?"),
                       {QStringLiteral("R2")}),
                 0);
    }

    void mandatoryFields_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("category");
        QTest::newRow("no number") << QString() << QStringLiteral("张三") << QStringLiteral("普通");
        QTest::newRow("blank number")
            << QStringLiteral("  ") << QStringLiteral("张三") << QStringLiteral("普通");
        QTest::newRow("no name") << QStringLiteral("R1") << QString() << QStringLiteral("普通");
        QTest::newRow("no category") << QStringLiteral("R1") << QStringLiteral("张三") << QString();
    }
    void mandatoryFields()
    {
        QFETCH(QString, number);
        QFETCH(QString, name);
        QFETCH(QString, category);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        ReaderFields f = reader(number, name);
        f.category = category;
        const RuleResult refused = ReaderRules(lib.db()).registerReader(f);
        QCOMPARE(refused.status, RuleResult::Refused);
        QCOMPARE(refused.messages, QStringList{QStringLiteral("字体加重的项目必须填写!")});
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(count(lib.db(), QStringLiteral("select count(*) from 读者库")), 0);
    }

    void classAndFacultyFollowSettings_data()
    {
        QTest::addColumn<bool>("showClass");
        QTest::addColumn<bool>("showFaculty");
        QTest::newRow("both shown") << true << true;
        QTest::newRow("class hidden") << false << true;
        QTest::newRow("faculty hidden") << true << false;
        QTest::newRow("both hidden") << false << false;
    }
    void classAndFacultyFollowSettings()
    {
        QFETCH(bool, showClass);
        QFETCH(bool, showFaculty);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        LoginState::instance().settings.显示班级 = showClass;
        LoginState::instance().settings.显示院系 = showFaculty;
        RecordingMessenger messages;

        TRdAddFm form;
        QCOMPARE(!form.findChild<QComboBox*>(QStringLiteral("classBox"))->isHidden(), showClass);
        QCOMPARE(!form.findChild<QComboBox*>(QStringLiteral("facultyBox"))->isHidden(),
                 showFaculty);
        int hiddenLabels = 0;
        for (QLabel* l : form.findChildren<QLabel*>())
            hiddenLabels += l->isHidden() ? 1 : 0;
        QCOMPARE(hiddenLabels, int(!showClass) + int(!showFaculty));

        ReaderFields f = reader(QStringLiteral("R1"), QStringLiteral("张三"));
        f.className = QStringLiteral("三年二班");
        f.faculty = QStringLiteral("数学系");
        QVERIFY(ReaderRules(lib.db()).registerReader(f).done());
        QSqlQuery q = lib.db().query(QStringLiteral("select 班级, 院系 from 读者库"));
        QVERIFY(q.next());
        QCOMPARE(DbValue::toText(q.value(0)), showClass ? f.className : QString());
        QCOMPARE(DbValue::toText(q.value(1)), showFaculty ? f.faculty : QString());

        TRdEditFm edit(QStringLiteral("R1"));
        QCOMPARE(!edit.findChild<QLineEdit*>(QStringLiteral("classEdit"))->isHidden(), showClass);
        QCOMPARE(!edit.findChild<QLineEdit*>(QStringLiteral("facultyEdit"))->isHidden(),
                 showFaculty);
    }

    void addReaderCommandOpensRegistration()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        registerReaderScreens();
        QWidget* w = ScreenRegistry::instance().open(Command::AddReader, nullptr);
        QVERIFY(qobject_cast<TRdAddFm*>(w));
        QCOMPARE(w->windowTitle(), QStringLiteral("读者添加"));
        w->close();
    }

    void registrationScreen()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(
            QStringLiteral(
                "insert into 读者类别 (类别名, 借阅天数, 借阅数量限制, 租金) values (?, ?, ?, ?)"),
            {QStringLiteral("学生"), 14, 3, QVariant::fromValue(Money())});
        RecordingMessenger messages;
        TRdAddFm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("读者添加"));
        auto* number = form.findChild<QLineEdit*>(QStringLiteral("readerNumberEdit"));
        auto* name = form.findChild<QLineEdit*>(QStringLiteral("readerNameEdit"));
        auto* pinyin = form.findChild<QLineEdit*>(QStringLiteral("pinyinEdit"));
        auto* category = form.findChild<QComboBox*>(QStringLiteral("categoryBox"));
        auto* clear = form.findChild<QCheckBox*>(QStringLiteral("clearAfterSaveCheck"));
        auto* save = form.findChild<QPushButton*>(QStringLiteral("saveButton"));
        QVERIFY(number && name && pinyin && category && clear && save);
        QVERIFY(clear->isChecked());
        QCOMPARE(category->currentText(), QStringLiteral("普通"));
        QCOMPARE(category->count(), 2);
        QCOMPARE(form.findChild<QDateEdit*>(QStringLiteral("validUntilEdit"))->date(),
                 QDate(2500, 1, 1));
        QCOMPARE(form.findChild<QComboBox*>(QStringLiteral("genderBox"))->currentText(),
                 QStringLiteral("男"));

        name->setText(QStringLiteral("王小"));
        QCOMPARE(pinyin->text(), QStringLiteral("WX"));
        name->setText(QStringLiteral("王小明"));
        QCOMPARE(pinyin->text(), QStringLiteral("WXM"));
        QVERIFY(pinyin->isReadOnly());

        // Kept fields: a second save tries the same number again and is refused.
        number->setText(QStringLiteral("R7"));
        category->setCurrentText(QStringLiteral("学生"));
        clear->setChecked(false);
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(messages.lastText(), QStringLiteral("保存完毕"));
        QCOMPARE(number->text(), QStringLiteral("R7"));
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(messages.shown.last().kind, QStringLiteral("error"));
        QCOMPARE(count(lib.db(), QStringLiteral("select count(*) from 读者库")), 1);
        QCOMPARE(lib.db().scalar(QStringLiteral("select 类别 from 读者库")).toString(),
                 QStringLiteral("学生"));

        // Ticked: the fields return to their defaults after the save.
        clear->setChecked(true);
        number->setText(QStringLiteral("R8"));
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(messages.lastText(), QStringLiteral("保存完毕"));
        QCOMPARE(number->text(), QString());
        QCOMPARE(name->text(), QString());
        QCOMPARE(pinyin->text(), QString());
        QCOMPARE(category->currentText(), QStringLiteral("普通"));
    }
};
TUSHU_TEST(ReaderRegistrationTest)

class ReaderEditingTest : public QObject
{
    Q_OBJECT
    static QLineEdit* line(QWidget* w, const char* name)
    {
        return w->findChild<QLineEdit*>(QString::fromLatin1(name));
    }

private slots:
    void init() { startAtDesk(); }
    void cleanup() { leaveDesk(); }

    void keepsCountersChangedMeanwhile_data() { addEngines(); }
    void keepsCountersChangedMeanwhile()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        QVERIFY(ReaderRules(lib.db())
                    .registerReader(reader(QStringLiteral("R1"), QStringLiteral("张三")))
                    .done());
        OtherDesk desk(lib);
        QVERIFY2(desk.ok, qPrintable(desk.error));

        TRdEditFm form(QStringLiteral("R1"));
        QVERIFY(form.loaded());
        QCOMPARE(line(&form, "readerNameEdit")->text(), QStringLiteral("张三"));
        QCOMPARE(line(&form, "balanceEdit")->text(), QStringLiteral("0"));

        // The desk lends and tops up while the screen is open.
        desk.db.execute(
            QStringLiteral(
                "update 读者库 set 未还数量 = 未还数量 + 1, 累计借阅次数 = "
                "累计借阅次数 + 1, 卡内金额 = 卡内金额 + ?, 状态 = ? where 读者编号 = ?"),
            {QVariant::fromValue(Money::fromUnits(52500)), QStringLiteral("停用"),
             QStringLiteral("R1")});

        line(&form, "readerNameEdit")->setText(QStringLiteral("李四"));
        QCOMPARE(line(&form, "pinyinEdit")->text(), QStringLiteral("LS"));
        line(&form, "phoneEdit")->setText(QStringLiteral(" 12345 "));
        form.show();
        form.saveClick();
        QCOMPARE(messages.texts(), QStringList());
        QVERIFY(!form.isVisible());

        QSqlQuery q =
            lib.db().query(QStringLiteral("select 读者姓名, py, 联系电话, 未还数量, 累计借阅次数, "
                                          "卡内金额, 状态 from 读者库 where 读者编号 = ?"),
                           {QStringLiteral("R1")});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("李四"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("LS"));
        QCOMPARE(q.value(2).toString(), QStringLiteral("12345"));
        QCOMPARE(DbValue::toInt(q.value(3)), 1);
        QCOMPARE(DbValue::toInt(q.value(4)), 1);
        QCOMPARE(DbValue::toMoney(q.value(5)), Money::fromUnits(52500));
        QCOMPARE(q.value(6).toString(), QStringLiteral("停用"));
    }

    void closingWithoutSaveWritesNothing_data()
    {
        QTest::addColumn<bool>("byFrame");
        QTest::newRow("window frame") << true;
        QTest::newRow("取消") << false;
    }
    void closingWithoutSaveWritesNothing()
    {
        QFETCH(bool, byFrame);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        QVERIFY(ReaderRules(lib.db())
                    .registerReader(reader(QStringLiteral("R1"), QStringLiteral("张三")))
                    .done());
        auto* form = new TRdEditFm(QStringLiteral("R1"));
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->show();
        line(form, "readerNameEdit")->setText(QStringLiteral("李四"));
        line(form, "readerNumberEdit")->setText(QStringLiteral("R2"));
        if (byFrame)
            form->close();
        else
            QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                              Qt::LeftButton);
        QCOMPARE(lib.db()
                     .scalar(QStringLiteral("select 读者姓名 from 读者库 where 读者编号 = ?"),
                             {QStringLiteral("R1")})
                     .toString(),
                 QStringLiteral("张三"));
        QCOMPARE(count(lib.db(), QStringLiteral("select count(*) from 读者库")), 1);
    }

    void numberChangeAndRefusals()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        ReaderRules rules(lib.db());
        QVERIFY(rules.registerReader(reader(QStringLiteral("R1"), QStringLiteral("张三"))).done());
        QVERIFY(rules.registerReader(reader(QStringLiteral("R2"), QStringLiteral("李四"))).done());
        QVERIFY(messages.shown.isEmpty());

        // Another reader's number is refused by the key; the screen stays open.
        TRdEditFm form(QStringLiteral("R1"));
        form.show();
        line(&form, "readerNumberEdit")->setText(QStringLiteral("R2"));
        form.saveClick();
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown.first().kind, QStringLiteral("error"));
        QVERIFY(form.isVisible());

        // An empty number is refused before anything is written.
        line(&form, "readerNumberEdit")->setText(QStringLiteral("  "));
        form.saveClick();
        QCOMPARE(messages.lastText(), QStringLiteral("字体加重的项目必须填写!"));

        // A new number is written to the row as it was loaded.
        line(&form, "readerNumberEdit")->setText(QStringLiteral("R3"));
        form.saveClick();
        QVERIFY(!form.isVisible());
        QCOMPARE(lib.db()
                     .scalar(QStringLiteral("select 读者姓名 from 读者库 where 读者编号 = ?"),
                             {QStringLiteral("R3")})
                     .toString(),
                 QStringLiteral("张三"));
        QCOMPARE(count(lib.db(), QStringLiteral("select count(*) from 读者库")), 2);

        // A reader deleted while the screen was open is reported, not recreated.
        TRdEditFm gone(QStringLiteral("R2"));
        lib.db().execute(QStringLiteral("delete from 读者库 where 读者编号 = ?"),
                         {QStringLiteral("R2")});
        line(&gone, "readerNameEdit")->setText(QStringLiteral("王五"));
        gone.saveClick();
        QCOMPARE(messages.lastText(), QStringLiteral("读者\"R2\"已不存在!"));
        QCOMPARE(count(lib.db(), QStringLiteral("select count(*) from 读者库")), 1);

        TRdEditFm missing(QStringLiteral("R9"));
        QVERIFY(!missing.loaded());
        QCOMPARE(messages.lastText(), QStringLiteral("读者\"R9\"已不存在!"));
    }

    void hiddenClassKeepsStoredValue()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        LoginState::instance().settings.显示班级 = true;
        ReaderFields f = reader(QStringLiteral("R1"), QStringLiteral("张三"));
        f.className = QStringLiteral("一班");
        QVERIFY(ReaderRules(lib.db()).registerReader(f).done());
        LoginState::instance().settings.显示班级 = false;
        TRdEditFm form(QStringLiteral("R1"));
        line(&form, "classEdit")->setText(QStringLiteral("二班"));
        line(&form, "addressEdit")->setText(QStringLiteral("北京路1号"));
        form.saveClick();
        QSqlQuery q = lib.db().query(QStringLiteral("select 班级, 住址, 登记日期 from 读者库"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("一班"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("北京路1号"));
        QCOMPARE(DbValue::toDateTime(q.value(2)), kNow);
    }
};
TUSHU_TEST(ReaderEditingTest)

#include "tst_Readers.moc"
