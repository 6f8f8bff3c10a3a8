#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "dictionaries/DictionaryRules.h"
#include "dictionaries/DictionaryUt.h"
#include "widgets/ScreenRegistry.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

const DictionaryTable& describe(const QString& table)
{
    for (const DictionaryTable* t : Dictionaries::all())
        if (t->table == table)
            return *t;
    qFatal("no editor for %s", qPrintable(table));
}

// Leaves exactly the named rows in the table (other columns at their defaults).
void fillTable(const Database& db, const DictionaryTable& t, const QStringList& names)
{
    db.execute(QStringLiteral("delete from %1").arg(t.table));
    for (const QString& n : names)
        db.execute(QStringLiteral("insert into %1 (%2) values (?)").arg(t.table, t.nameColumn()),
                   {n});
}

int countNamed(const Database& db, const DictionaryTable& t, const QString& name)
{
    return db
        .scalar(QStringLiteral("select count(*) from %1 where %2 = ?").arg(t.table, t.nameColumn()),
                {name})
        .toInt();
}

// The first row whose first column holds name, as the editor reads it.
DictionaryRow rowNamed(const DictionaryRules& rules, const QString& name)
{
    for (const DictionaryRow& row : rules.rows())
        if (row.name() == name)
            return row;
    return {};
}

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}
} // namespace

class DictionaryRulesTest : public QObject
{
    Q_OBJECT
private slots:
    void deletionRule_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("deleted");

        const QString keepOne = QStringLiteral("至少留有一个！！");
        for (const DictionaryTable* t : Dictionaries::all()) {
            if (!t->keepsLastRow())
                continue;
            const QByteArray tag = t->table.toUtf8();
            QTest::newRow(tag + " last row")
                << t->table << QStringList{QStringLiteral("甲")} << QStringLiteral("甲") << true
                << QStringList{keepOne} << false;
            QTest::newRow(tag + " yes")
                << t->table << QStringList{QStringLiteral("甲"), QStringLiteral("乙")}
                << QStringLiteral("乙") << true
                << QStringList{QStringLiteral("您是否要删除\" 乙\"")} << true;
        }
        QTest::newRow("answer no keeps the row")
            << QStringLiteral("出版社名") << QStringList{QStringLiteral("甲"), QStringLiteral("乙")}
            << QStringLiteral("甲") << false << QStringList{QStringLiteral("您是否要删除\" 甲\"")}
            << false;
        QTest::newRow("reader category 普通")
            << QStringLiteral("读者类别")
            << QStringList{QStringLiteral("普通"), QStringLiteral("学生")} << QStringLiteral("普通")
            << true << QStringList{QStringLiteral("(普通)不能删除！")} << false;
        QTest::newRow("item level 普通")
            << QStringLiteral("物品级别")
            << QStringList{QStringLiteral("普通"), QStringLiteral("贵重")} << QStringLiteral("普通")
            << true << QStringList{QStringLiteral("\"普通\"类型必须保留!")} << false;
        QTest::newRow("reader category single other row")
            << QStringLiteral("读者类别") << QStringList{QStringLiteral("学生")}
            << QStringLiteral("学生") << true
            << QStringList{QStringLiteral("您是否要删除\" 学生\"")} << true;
        QTest::newRow("item level single other row")
            << QStringLiteral("物品级别") << QStringList{QStringLiteral("贵重")}
            << QStringLiteral("贵重") << true
            << QStringList{QStringLiteral("您是否要删除\" 贵重\"")} << true;
        QTest::newRow("普通 is only protected by exact name")
            << QStringLiteral("物品级别")
            << QStringList{QStringLiteral("普通"), QStringLiteral("普通 ")}
            << QStringLiteral("普通 ") << true
            << QStringList{QStringLiteral("您是否要删除\" 普通 \"")} << true;
    }
    void deletionRule()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, rows);
        QFETCH(QString, target);
        QFETCH(bool, answer);
        QFETCH(QStringList, texts);
        QFETCH(bool, deleted);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const DictionaryTable& t = describe(table);
        fillTable(lib.db(), t, rows);
        RecordingMessenger messages;
        DictionaryRules rules(lib.db(), t);
        // texts is the question asked, or the refusal shown instead of it.
        const DictionaryRow row = rowNamed(rules, target);
        const RuleResult check = rules.removeCheck(row);
        const bool asks = check.status == RuleResult::Confirm;
        QCOMPARE(asks ? QStringList{check.question} : check.messages, texts);
        if (asks) {
            QCOMPARE(check.caption, QStringLiteral("确认"));
            QVERIFY(check.messages.isEmpty());
        } else {
            QCOMPARE(check.status, RuleResult::Refused);
        }
        QCOMPARE(countNamed(lib.db(), t, target), 1); // the check deletes nothing
        // The screen deletes after Yes; the delete itself keeps to the rule whatever the
        // screen lets through.
        if (!asks || answer) {
            const RuleResult removed = rules.remove(row);
            QCOMPARE(removed.done(), deleted);
            QCOMPARE(removed.messages, deleted ? QStringList() : check.messages);
        }
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(countNamed(lib.db(), t, target), deleted ? 0 : 1);
        const int total =
            lib.db().scalar(QStringLiteral("select count(*) from %1").arg(t.table)).toInt();
        QCOMPARE(total, int(rows.size()) - (deleted ? 1 : 0));
    }

    // A row deleted by another desk between the check and the answer is not an error, and
    // the last row survives even when the other rows went meanwhile.
    void lastRowKeptWhenOthersVanish()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const DictionaryTable& t = Dictionaries::PlaceUt();
        fillTable(lib.db(), t, {QStringLiteral("甲"), QStringLiteral("乙")});
        DictionaryRules rules(lib.db(), t);
        const DictionaryRow first = rowNamed(rules, QStringLiteral("甲"));
        QCOMPARE(rules.removeCheck(first).status, RuleResult::Confirm);
        // The question is where the operator hesitates: the other row goes then.
        lib.db().execute(QStringLiteral("delete from 存放位置 where 存放位置名 = ?"),
                         {QStringLiteral("乙")});
        const RuleResult removed = rules.remove(first);
        QCOMPARE(removed.status, RuleResult::Refused);
        QCOMPARE(removed.messages, QStringList{QStringLiteral("至少留有一个！！")});
        QCOMPARE(countNamed(lib.db(), t, QStringLiteral("甲")), 1);

        // A row another desk deleted meanwhile is nothing to report.
        fillTable(lib.db(), t, {QStringLiteral("甲"), QStringLiteral("乙")});
        QCOMPARE(rules.removeCheck(first).status, RuleResult::Confirm);
        lib.db().execute(QStringLiteral("delete from 存放位置 where 存放位置名 = ?"),
                         {QStringLiteral("甲")});
        const RuleResult vanished = rules.remove(first);
        QCOMPARE(vanished.status, RuleResult::Nothing);
        QVERIFY(vanished.messages.isEmpty());
        QCOMPARE(countNamed(lib.db(), t, QStringLiteral("乙")), 1);
    }

    void protectedNames_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("original");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");
        QTest::newRow("item level 普通 renamed")
            << QStringLiteral("物品级别") << QStringLiteral("普通")
            << QStringList{QStringLiteral("一般"), QStringLiteral("0"), QStringLiteral("0")}
            << QStringLiteral("\"普通\"类型必须保留!");
        QTest::newRow("reader category 普通 renamed")
            << QStringLiteral("读者类别") << QStringLiteral("普通")
            << QStringList{QStringLiteral("一般"), QStringLiteral("30"), QStringLiteral("5"),
                           QStringLiteral("0")}
            << QStringLiteral("(普通)不能改名！");
        QTest::newRow("item level 普通 rent and limit changed")
            << QStringLiteral("物品级别") << QStringLiteral("普通")
            << QStringList{QStringLiteral("普通"), QStringLiteral("0.25"), QStringLiteral("3")}
            << QString();
        QTest::newRow("reader category 普通 rules changed")
            << QStringLiteral("读者类别") << QStringLiteral("普通")
            << QStringList{QStringLiteral("普通"), QStringLiteral("14"), QStringLiteral("2"),
                           QStringLiteral("0.1")}
            << QString();
        QTest::newRow("other item level renamed")
            << QStringLiteral("物品级别") << QStringLiteral("贵重")
            << QStringList{QStringLiteral("珍贵"), QStringLiteral("1"), QStringLiteral("1")}
            << QString();
        QTest::newRow("renamed onto an existing name")
            << QStringLiteral("物品级别") << QStringLiteral("贵重")
            << QStringList{QStringLiteral("普通"), QStringLiteral("1"), QStringLiteral("1")}
            << QStringLiteral("\"普通\"已经存在！");
    }
    void protectedNames()
    {
        QFETCH(QString, table);
        QFETCH(QString, original);
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const DictionaryTable& t = describe(table);
        lib.db().execute(
            QStringLiteral("insert into %1 (%2) values (?)").arg(t.table, t.nameColumn()),
            {QStringLiteral("贵重")});
        RecordingMessenger messages;
        DictionaryRules rules(lib.db(), t);
        QCOMPARE(rules.nameLocked(original), original == QStringLiteral("普通"));
        const QList<DictionaryRow> before = rules.rows();
        const RuleResult result = rules.change(rowNamed(rules, original), fields);
        const bool written = result.done();
        QCOMPARE(written, message.isEmpty());
        if (!written)
            QCOMPARE(result.status, RuleResult::Refused);
        QCOMPARE(result.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(messages.shown.isEmpty());
        if (!written) {
            QCOMPARE(rules.rows(), before);
            return;
        }
        QCOMPARE(countNamed(lib.db(), t, fields.first()), 1);
        for (const DictionaryRow& row : rules.rows())
            if (row.name() == fields.first())
                QCOMPARE(rules.fieldTexts(row), fields);
        if (fields.first() != original)
            QCOMPARE(countNamed(lib.db(), t, original), 0);
    }

    void savedFieldsChecked_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");
        const QString rd = QStringLiteral("读者类别");
        const QString lv = QStringLiteral("物品级别");
        auto list = [](std::initializer_list<const char*> l) {
            QStringList out;
            for (const char* s : l)
                out << QString::fromUtf8(s);
            return out;
        };
        QTest::newRow("empty name")
            << QStringLiteral("分类") << list({""}) << QStringLiteral("请填写完整！");
        QTest::newRow("blank name")
            << QStringLiteral("分类") << list({"  "}) << QStringLiteral("请填写完整！");
        QTest::newRow("empty name before numbers")
            << rd << list({"", "x", "", ""}) << QStringLiteral("请填写完整！");
        QTest::newRow("loan days empty") << rd << list({"学生", "", "5", "0"})
                                         << QStringLiteral("借阅天数必须填写不小于0的数字！");
        QTest::newRow("loan days letters") << rd << list({"学生", "三十", "5", "0"})
                                           << QStringLiteral("借阅天数必须填写不小于0的数字！");
        QTest::newRow("loan limit fraction") << rd << list({"学生", "30", "2.5", "0"})
                                             << QStringLiteral("数量限制必须填写不小于0的数字！");
        QTest::newRow("reader rent letters") << rd << list({"学生", "30", "5", "abc"})
                                             << QStringLiteral("租金必须填写不小于0的数字！");
        QTest::newRow("reader rent empty")
            << rd << list({"学生", "30", "5", ""}) << QStringLiteral("租金必须填写不小于0的数字！");
        QTest::newRow("level rent five decimals")
            << lv << list({"贵重", "0.12345", "1"})
            << QStringLiteral("租金(元)必须填写不小于0的数字！");
        QTest::newRow("level rent negative")
            << lv << list({"贵重", "-1", "1"}) << QStringLiteral("租金(元)必须填写不小于0的数字！");
        QTest::newRow("level limit empty")
            << lv << list({"贵重", "1", ""}) << QStringLiteral("可借数量必须填写不小于0的数字！");
        QTest::newRow("level limit negative")
            << lv << list({"贵重", "1", "-2"}) << QStringLiteral("可借数量必须填写不小于0的数字！");
        QTest::newRow("duplicate name") << QStringLiteral("币种") << list({" 人民币 "})
                                        << QStringLiteral("\"人民币\"已经存在！");
        QTest::newRow("publisher without ISBN is fine")
            << QStringLiteral("出版社名") << list({"新华", ""}) << QString();
        QTest::newRow("numbers with blanks around")
            << rd << list({"学生", " 30 ", "5", " 0.5 "}) << QString();
    }
    void savedFieldsChecked()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const DictionaryTable& t = describe(table);
        RecordingMessenger messages;
        DictionaryRules rules(lib.db(), t);
        const int before = int(rules.rows().size());
        const RuleResult added = rules.add(fields);
        QCOMPARE(added.status, message.isEmpty() ? RuleResult::Done : RuleResult::Refused);
        QCOMPARE(added.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(int(rules.rows().size()), before + (message.isEmpty() ? 1 : 0));
        // The same check guards a change of an existing row.
        if (!message.isEmpty() && fields.first().trimmed() != QStringLiteral("人民币")) {
            const DictionaryRow first = rules.rows().first();
            const QList<DictionaryRow> rowsBefore = rules.rows();
            const RuleResult changed = rules.change(first, fields);
            QCOMPARE(changed.status, RuleResult::Refused);
            QCOMPARE(changed.messages.size(), 1);
            QCOMPARE(rules.rows(), rowsBefore);
        }
    }

    void addAndChangeRoundTrip_data() { addEngines(); }
    void addAndChangeRoundTrip()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        const Database& db = lib.db();

        DictionaryRules readers(db, Dictionaries::RdKindUt());
        QVERIFY(readers
                    .add({QStringLiteral(" 教师 "), QStringLiteral("60"), QStringLiteral("10"),
                          QStringLiteral("0.0125")})
                    .done());
        QSqlQuery q = db.query(
            QStringLiteral("select 借阅天数, 借阅数量限制, 租金 from 读者类别 where 类别名 = ?"),
            {QStringLiteral("教师")});
        QVERIFY(q.next());
        QCOMPARE(DbValue::toInt(q.value(0)), 60);
        QCOMPARE(DbValue::toInt(q.value(1)), 10);
        QCOMPARE(DbValue::toMoney(q.value(2)), Money::fromUnits(125));

        QVERIFY(readers
                    .change(rowNamed(readers, QStringLiteral("教师")),
                            {QStringLiteral("教工"), QStringLiteral("45"), QStringLiteral("8"),
                             QStringLiteral("1.25")})
                    .done());
        QCOMPARE(countNamed(db, Dictionaries::RdKindUt(), QStringLiteral("教师")), 0);
        QStringList shown;
        for (const DictionaryRow& row : readers.rows())
            if (row.name() == QStringLiteral("教工"))
                shown = row.texts;
        QCOMPARE(shown, (QStringList{QStringLiteral("教工"), QStringLiteral("45"),
                                     QStringLiteral("8"), QStringLiteral("1.25")}));

        // The publisher screen writes name and ISBN and leaves the place as it was.
        DictionaryRules pubs(db, Dictionaries::PubUt());
        db.execute(QStringLiteral("insert into 出版社名 (出版社名, ISBN, 出版地) values (?, ?, ?)"),
                   {QStringLiteral("科学出版社"), QStringLiteral("7-03"), QStringLiteral("北京")});
        QVERIFY(pubs.change(rowNamed(pubs, QStringLiteral("科学出版社")),
                            {QStringLiteral("科学出版社"), QStringLiteral("7-030")})
                    .done());
        q = db.query(QStringLiteral("select ISBN, 出版地 from 出版社名 where 出版社名 = ?"),
                     {QStringLiteral("科学出版社")});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("7-030"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("北京"));
        QCOMPARE(pubs.gridColumns(),
                 (QStringList{QStringLiteral("ISBN"), QStringLiteral("出版社名"),
                              QStringLiteral("出版地")}));

        // A row another desk deleted meanwhile cannot be changed.
        const DictionaryRow staff = rowNamed(readers, QStringLiteral("教工"));
        db.execute(QStringLiteral("delete from 读者类别 where 类别名 = ?"),
                   {QStringLiteral("教工")});
        const RuleResult gone = readers.change(staff, {QStringLiteral("教工"), QStringLiteral("1"),
                                                       QStringLiteral("1"), QStringLiteral("0")});
        QCOMPARE(gone.status, RuleResult::Refused);
        QCOMPARE(gone.messages, QStringList{QStringLiteral("\"教工\"已不存在！")});
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(countNamed(db, Dictionaries::RdKindUt(), QStringLiteral("教工")), 0);
    }

    void deleteOnEngine_data() { addEngines(); }
    void deleteOnEngine()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        DictionaryRules secrets(lib.db(), Dictionaries::SecretLevelUt());
        QVERIFY(secrets.add({QStringLiteral("秘密")}).done());
        const DictionaryRow secret = rowNamed(secrets, QStringLiteral("秘密"));
        QCOMPARE(secrets.removeCheck(secret).question, QStringLiteral("您是否要删除\" 秘密\""));
        QVERIFY(secrets.remove(secret).done());
        // The last row: refused by the check and by the delete's own condition.
        const DictionaryRow open = rowNamed(secrets, QStringLiteral("公开"));
        for (const RuleResult& kept : {secrets.removeCheck(open), secrets.remove(open)}) {
            QCOMPARE(kept.status, RuleResult::Refused);
            QCOMPARE(kept.messages, QStringList{QStringLiteral("至少留有一个！！")});
        }
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(secrets.rows(), QList<DictionaryRow>{open});
    }

    // Rows that share a name (a publisher under two ISBN prefixes, rows stored before names
    // were checked, rows equal in every column) are deleted and changed one at a time.
    void rowsOfOneName_data() { addEngines(); }
    void rowsOfOneName()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        RecordingMessenger messages;
        auto column = [&](const QString& sql, const QVariantList& values) {
            QStringList out;
            QSqlQuery q = db.query(sql, values);
            while (q.next())
                out << DbValue::toText(q.value(0));
            return out;
        };
        const QString a = QStringLiteral("甲");

        // Two rows equal in every column are two rows: one of them goes, one stays.
        const DictionaryTable& places = Dictionaries::PlaceUt();
        DictionaryRules placeRules(db, places);
        fillTable(db, places, {a, a});
        const DictionaryRow twin = rowNamed(placeRules, a);
        QCOMPARE(placeRules.removeCheck(twin).question, QStringLiteral("您是否要删除\" 甲\""));
        QVERIFY(placeRules.remove(twin).done());
        QCOMPARE(countNamed(db, places, a), 1);
        QCOMPARE(placeRules.removeCheck(twin).messages,
                 QStringList{QStringLiteral("至少留有一个！！")});
        QCOMPARE(placeRules.remove(twin).status, RuleResult::Refused);
        QCOMPARE(countNamed(db, places, a), 1);
        fillTable(db, places, {a, a});
        QVERIFY(placeRules.change(twin, {QStringLiteral("乙")}).done());
        QCOMPARE(countNamed(db, places, a), 1);
        QCOMPARE(countNamed(db, places, QStringLiteral("乙")), 1);

        // Two reader categories of one name with their own rules; the amounts are ones a
        // double does not hold exactly.
        const QString student = QStringLiteral("学生");
        const QString insertKind = QStringLiteral(
            "insert into 读者类别 (类别名, 借阅天数, 借阅数量限制, 租金) values (?, ?, ?, ?)");
        db.execute(insertKind, {student, 30, 5, QVariant::fromValue(*Money::parse("99999.9999"))});
        db.execute(insertKind, {student, 60, 2, QVariant::fromValue(*Money::parse("0.0001"))});
        DictionaryRules kinds(db, Dictionaries::RdKindUt());
        auto kindWithDays = [&](const QString& days) {
            for (const DictionaryRow& row : kinds.rows())
                if (row.name() == student && row.texts.value(1) == days)
                    return row;
            return DictionaryRow{};
        };
        const QString daysOfStudents =
            QStringLiteral("select 借阅天数 from 读者类别 where 类别名 = ? order by 借阅天数");
        const DictionaryRow sixty = kindWithDays(QStringLiteral("60"));
        QCOMPARE(sixty.texts.value(3), QStringLiteral("0.0001"));
        QVERIFY(kinds
                    .change(sixty, {student, QStringLiteral("45"), QStringLiteral("2"),
                                    QStringLiteral("0.0001")})
                    .done());
        QCOMPARE(column(daysOfStudents, {student}), (QStringList{"30", "45"}));
        QCOMPARE(kindWithDays(QStringLiteral("30")).texts,
                 (QStringList{student, "30", "5", "99999.9999"}));
        QVERIFY(kinds.remove(kindWithDays(QStringLiteral("30"))).done());
        QCOMPARE(column(daysOfStudents, {student}), QStringList{"45"});
        // A row another desk changed since it was read is not overwritten.
        const DictionaryRow stale = kindWithDays(QStringLiteral("45"));
        db.execute(QStringLiteral("update 读者类别 set 借阅天数 = 50 where 类别名 = ?"), {student});
        const RuleResult lost = kinds.change(
            stale, {student, QStringLiteral("7"), QStringLiteral("1"), QStringLiteral("0")});
        QCOMPARE(lost.status, RuleResult::Refused);
        QCOMPARE(lost.messages, QStringList{QStringLiteral("\"学生\"已不存在！")});
        QCOMPARE(column(daysOfStudents, {student}), QStringList{"50"});

        // One publisher under several ISBN prefixes; the same name and prefix twice is refused.
        const QString pub = QStringLiteral("人民邮电出版社");
        db.execute(QStringLiteral("insert into 出版社名 (出版社名, ISBN) values (?, ?)"),
                   {pub, QStringLiteral("7-5006")});
        DictionaryRules pubs(db, Dictionaries::PubUt());
        QVERIFY(pubs.add({pub, QStringLiteral("7-5115")}).done());
        const RuleResult twice = pubs.add({pub, QStringLiteral("7-115")});
        QCOMPARE(twice.messages, QStringList{QStringLiteral("\"人民邮电出版社\"已经存在！")});
        auto pubWithIsbn = [&](const QString& isbn) {
            for (const DictionaryRow& row : pubs.rows())
                if (row.name() == pub && row.texts.value(1) == isbn)
                    return row;
            return DictionaryRow{};
        };
        const QString pubRows = QStringLiteral(
            "select ISBN || '/' || coalesce(出版地, '') from 出版社名 where 出版社名 = ? "
            "order by ISBN");
        QVERIFY(pubs.change(pubWithIsbn(QStringLiteral("7-5006")), {pub, QStringLiteral("7-5007")})
                    .done());
        QCOMPARE(column(pubRows, {pub}), (QStringList{"7-115/北京", "7-5007/", "7-5115/"}));
        const RuleResult onto =
            pubs.change(pubWithIsbn(QStringLiteral("7-5007")), {pub, QStringLiteral("7-115")});
        QCOMPARE(onto.messages, twice.messages);
        QVERIFY(pubs.remove(pubWithIsbn(QStringLiteral("7-5115"))).done());
        QCOMPARE(column(pubRows, {pub}), (QStringList{"7-115/北京", "7-5007/"}));
        QVERIFY(messages.shown.isEmpty());
    }
};
TUSHU_TEST(DictionaryRulesTest)

class DictionaryScreenTest : public QObject
{
    Q_OBJECT
    static QPushButton* button(QWidget* w, const char* name)
    {
        return w->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    static QList<bool> buttonStates(QWidget* w)
    {
        QList<bool> out;
        for (const char* n : {"addButton", "editButton", "saveButton", "cancelButton",
                              "deleteButton", "exitButton"})
            out << button(w, n)->isEnabled();
        return out;
    }

private slots:
    void addingSeesOtherDesksAndSaves_data() { addEngines(); }
    void addingSeesOtherDesksAndSaves()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        TBkKindFm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("分类设置"));
        QCOMPARE(buttonStates(&form), (QList<bool>{true, true, false, false, true, true}));
        QCOMPARE(form.grid()->rowCount(), 1);
        QVERIFY(form.field(0)->isReadOnly());

        // Another desk adds a category: the grid shows it after "添加".
        lib.db().execute(QStringLiteral("insert into 分类 (名称) values (?)"),
                         {QStringLiteral("文学")});
        QCOMPARE(form.grid()->rowCount(), 1);
        QTest::mouseClick(button(&form, "addButton"), Qt::LeftButton);
        QCOMPARE(form.mode(), TDictionaryFm::Mode::Adding);
        QCOMPARE(form.grid()->rowCount(), 3);
        QCOMPARE(buttonStates(&form), (QList<bool>{false, false, true, true, false, true}));
        QVERIFY(!form.field(0)->isReadOnly());

        QTest::mouseClick(button(&form, "saveButton"), Qt::LeftButton);
        QCOMPARE(messages.lastText(), QStringLiteral("请填写完整！"));
        QCOMPARE(form.mode(), TDictionaryFm::Mode::Adding);

        form.field(0)->setText(QStringLiteral("历史"));
        QTest::mouseClick(button(&form, "saveButton"), Qt::LeftButton);
        QCOMPARE(form.mode(), TDictionaryFm::Mode::Browsing);
        QCOMPARE(form.grid()->rowCount(), 3);
        QCOMPARE(lib.db()
                     .scalar(QStringLiteral("select count(*) from 分类 where 名称 = ?"),
                             {QStringLiteral("历史")})
                     .toInt(),
                 1);
        QCOMPARE(form.field(0)->text(), QStringLiteral("历史"));

        // Deleting the current row asks with its name and removes it.
        messages.clear();
        QTest::mouseClick(button(&form, "deleteButton"), Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("您是否要删除\" 历史\"")});
        QCOMPARE(form.grid()->rowCount(), 2);
    }

    // The editor asks before deleting and shows a refusal instead of the question.
    void deleteFromTheScreen_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("left");
        const QString rd = QStringLiteral("读者类别");
        const QString place = QStringLiteral("存放位置");
        const QStringList two{QStringLiteral("学生"), QStringLiteral("教师")};
        const QStringList question{QStringLiteral("您是否要删除\" 学生\"")};
        const QStringList confirm{QStringLiteral("confirm")};
        const QStringList information{QStringLiteral("information")};
        QTest::newRow("yes") << rd << two << true << confirm << question << 1;
        QTest::newRow("no") << rd << two << false << confirm << question << 2;
        QTest::newRow("protected name")
            << rd << QStringList{QStringLiteral("普通"), QStringLiteral("学生")} << true
            << information << QStringList{QStringLiteral("(普通)不能删除！")} << 2;
        QTest::newRow("two rows of one name")
            << place << QStringList{QStringLiteral("学生"), QStringLiteral("学生")} << true
            << confirm << question << 1;
        QTest::newRow("last row") << place << QStringList{QStringLiteral("学生")} << true
                                  << information << QStringList{QStringLiteral("至少留有一个！！")}
                                  << 1;
    }
    void deleteFromTheScreen()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, rows);
        QFETCH(bool, answer);
        QFETCH(QStringList, kinds);
        QFETCH(QStringList, texts);
        QFETCH(int, left);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const DictionaryTable& t = describe(table);
        fillTable(lib.db(), t, rows);
        RecordingMessenger messages;
        messages.confirmAnswers.enqueue(answer);
        TDictionaryFm form(t);
        form.grid()->setCurrentCell(0, 0);
        QCOMPARE(form.field(0)->text(), rows.first());
        QTest::mouseClick(button(&form, "deleteButton"), Qt::LeftButton);
        QStringList shownKinds;
        for (const RecordingMessenger::Shown& m : messages.shown)
            shownKinds << m.kind;
        QCOMPARE(shownKinds, kinds);
        QCOMPARE(messages.texts(), texts);
        const QString count = QStringLiteral("select count(*) from %1").arg(t.table);
        QCOMPARE(lib.db().scalar(count).toInt(), left);
        QCOMPARE(form.grid()->rowCount(), left);
    }

    void itemLevelNameLockedWhileEditing()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(
            QStringLiteral("insert into 物品级别 (名称, 租金, 可借数量) values (?, ?, ?)"),
            {QStringLiteral("贵重"), QVariant::fromValue(Money::fromYuan(1)), 1});
        RecordingMessenger messages;
        TRentLevelFm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("物品级别"));
        QCOMPARE(form.grid()->rowCount(), 2);
        form.grid()->setCurrentCell(0, 0);
        QCOMPARE(form.field(0)->text(), QStringLiteral("普通"));
        form.editClick();
        QVERIFY(form.field(0)->isReadOnly());
        QVERIFY(!form.field(1)->isReadOnly());
        form.field(1)->setText(QStringLiteral("0.5"));
        form.field(2)->setText(QStringLiteral("4"));
        form.saveClick();
        QCOMPARE(messages.texts(), QStringList());
        QSqlQuery q =
            lib.db().query(QStringLiteral("select 租金, 可借数量 from 物品级别 where 名称 = ?"),
                           {QStringLiteral("普通")});
        QVERIFY(q.next());
        QCOMPARE(DbValue::toMoney(q.value(0)), Money::fromUnits(5000));
        QCOMPARE(DbValue::toInt(q.value(1)), 4);

        // Another level's name can be edited.
        form.grid()->setCurrentCell(1, 0);
        form.editClick();
        QVERIFY(!form.field(0)->isReadOnly());
        form.cancelClick();
        QCOMPARE(form.mode(), TDictionaryFm::Mode::Browsing);
        QCOMPARE(form.field(0)->text(), QStringLiteral("贵重"));
    }

    void commandsOpenTheirEditors_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("table");
        const struct
        {
            QString command;
            const char *screen, *caption, *table;
        } rows[] = {
            {Command::ReaderCategories, "TRdKindFm", "读者分类设置", "读者类别"},
            {Command::ItemLevels, "TRentLevelFm", "物品级别", "物品级别"},
            {Command::Categories, "TBkKindFm", "分类设置", "分类"},
            {Command::SecondCategories, "TBk2KindFm", "二级分类设置", "二级分类"},
            {Command::Publishers, "TPubFm", "出版社名设置", "出版社名"},
            {Command::Departments, "TDepartMentFm", "单位/部门名称设置", "单位名称"},
            {Command::Places, "TPlaceFm", "存放位置名设置", "存放位置"},
            {Command::Papers, "TPaperFm", "证件名设置", "证件名"},
            {Command::SecretLevels, "TSecretLevelFm", "密级设置", "密级"},
            {Command::Currencies, "TMoneyKindFm", "币种设置", "币种"},
        };
        for (const auto& r : rows)
            QTest::newRow(r.screen) << r.command << QString::fromUtf8(r.screen)
                                    << QString::fromUtf8(r.caption) << QString::fromUtf8(r.table);
    }
    void commandsOpenTheirEditors()
    {
        QFETCH(QString, command);
        QFETCH(QString, screen);
        QFETCH(QString, caption);
        QFETCH(QString, table);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        registerDictionaryScreens();
        QWidget* w = ScreenRegistry::instance().open(command, nullptr);
        QVERIFY(w);
        QCOMPARE(w->objectName(), screen);
        QCOMPARE(w->windowTitle(), caption);
        auto* form = qobject_cast<TDictionaryFm*>(w);
        QVERIFY(form);
        QCOMPARE(form->grid()->accessibleName(), table);
        QCOMPARE(form->grid()->rowCount(),
                 lib.db().scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt());
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!ScreenRegistry::instance().existing(command));
        QCOMPARE(messages.texts(), QStringList());
    }

    void closingWhileAddingWritesNothing()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        auto* form = new TRdKindFm;
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->show();
        form->addClick();
        form->field(0)->setText(QStringLiteral("学生"));
        form->field(1)->setText(QStringLiteral("30"));
        QTest::mouseClick(button(form, "exitButton"), Qt::LeftButton);
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 读者类别")).toInt(), 1);
    }
};
TUSHU_TEST(DictionaryScreenTest)

#include "tst_Dictionaries.moc"
