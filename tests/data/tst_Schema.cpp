#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/LibraryInit.h"
#include "data/ListSearch.h"
#include "data/LoginState.h"
#include "data/Schema.h"
#include "data/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

class SchemaTest : public QObject
{
    Q_OBJECT
private slots:
    void everyTableAndColumn_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void everyTableAndColumn()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        for (const TableDef& t : Schema::tables()) {
            QSqlQuery q = lib.db().query(QStringLiteral("select * from %1").arg(t.name));
            const QSqlRecord rec = q.record();
            QCOMPARE(rec.count(), t.columns.size());
            for (const ColumnDef& c : t.columns)
                QVERIFY2(rec.indexOf(c.name) >= 0, qPrintable(t.name + QLatin1Char('.') + c.name));
            if (t.isLookup)
                QVERIFY2(
                    lib.db().scalar(QStringLiteral("select count(*) from %1").arg(t.name)).toInt() >
                        0,
                    qPrintable(t.name));
        }
        // Rows that must exist, read back through their typed columns.
        QSqlQuery s = lib.db().query(QStringLiteral("select * from 系统设置"));
        QVERIFY(s.next());
        const QSqlRecord rec = s.record();
        for (const ColumnDef& c : Schema::table(QStringLiteral("系统设置"))->columns)
            if (c.type == ColumnType::YesNo || c.type == ColumnType::Money ||
                c.type == ColumnType::Real)
                QVERIFY2(!rec.isNull(c.name), qPrintable(c.name));
        QCOMPARE(lib.db()
                     .scalar(QStringLiteral("select pwd from 管理员 where AdminName = ?"),
                             {QStringLiteral("超级管理员")})
                     .toString(),
                 QString::fromUtf8(kDefaultPassword));
        QCOMPARE(lib.db()
                     .scalar(QStringLiteral("select count(*) from 读者类别 where 类别名 = ?"),
                             {QStringLiteral("普通")})
                     .toInt(),
                 1);
        QCOMPARE(lib.db()
                     .scalar(QStringLiteral("select count(*) from 物品级别 where 名称 = ?"),
                             {QStringLiteral("普通")})
                     .toInt(),
                 1);
        // The demo library can lend at once.
        QVERIFY(
            lib.db().scalar(QStringLiteral("select count(*) from 图书 where 数量 > 0")).toInt() >=
            40);
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 读者库")).toInt(), 20);
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 期刊")).toInt(), 5);
    }

    void typesAndKeysAreEnforced_data() { everyTableAndColumn_data(); }
    void typesAndKeysAreEnforced()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        // A duplicate identity is refused with the database's message.
        QVERIFY_THROWS_EXCEPTION(
            DbError, lib.db().execute(
                         QStringLiteral("insert into 读者库 (读者编号, 读者姓名) values (?, ?)"),
                         {QStringLiteral("R0001"), QStringLiteral("重复")}));
        // A value of the wrong type is refused, not stored as text.
        QVERIFY_THROWS_EXCEPTION(
            DbError, lib.db().execute(QStringLiteral("update 图书 set 数量 = ? where 编号 = ?"),
                                      {QStringLiteral("很多"), QStringLiteral("B0001")}));
        // Money keeps four decimals exactly through arithmetic in the database.
        lib.db().execute(
            QStringLiteral("update 读者库 set 卡内金额 = 卡内金额 - ? where 读者编号 = ?"),
            {QVariant::fromValue(*Money::parse(QStringLiteral("0.1234"))),
             QStringLiteral("R0001")});
        QCOMPARE(
            DbValue::toMoney(
                lib.db().scalar(QStringLiteral("select 卡内金额 from 读者库 where 读者编号 = ?"),
                                {QStringLiteral("R0001")}))
                .toString(),
            QStringLiteral("49.8766"));
        // Yes/no and dates read back as their types on both engines.
        QVERIFY(
            DbValue::toBool(lib.db().scalar(QStringLiteral("select 启用超期罚金 from 系统设置"))));
        QCOMPARE(DbValue::toDate(
                     lib.db().scalar(QStringLiteral("select 有效期 from 读者库 where 读者编号 = ?"),
                                     {QStringLiteral("R0001")})),
                 QDate(2500, 1, 1));
        // A failed transaction leaves nothing behind.
        QVERIFY_THROWS_EXCEPTION(DbError, lib.db().transaction([&] {
            lib.db().execute(QStringLiteral("update 图书 set 数量 = 数量 + 100"));
            lib.db().execute(QStringLiteral("insert into nosuchtable values (1)"));
        }));
        QCOMPARE(lib.db().scalar(QStringLiteral("select max(数量) from 图书")).toInt(), 3);
    }

    // A library made before the shelf inventory and the notice text gets them, with their
    // keys, the first time it is opened; a second time nothing is added.
    void olderLibraryGetsAdditions_data() { everyTableAndColumn_data(); }
    void olderLibraryGetsAdditions()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        QVERIFY(!Schema::addMissing(db));
        db.execute(QStringLiteral("insert into 图书 (编号, 存放位置) values (?, ?)"),
                   {QStringLiteral("B1"), QStringLiteral("书库")});
        for (const char* sql :
             {"drop table 盘点扫描", "drop table 盘点", "drop index ix_图书_存放位置",
              "alter table 系统设置 drop column 催还通知文字"})
            db.execute(QString::fromUtf8(sql));
        QVERIFY(Schema::addMissing(db));
        QVERIFY(!Schema::addMissing(db));
        QCOMPARE(db.scalar(QStringLiteral("select 催还通知文字 from 系统设置")).toString(),
                 Schema::kDefaultOverdueNoticeText);
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from 图书")).toInt(), 1);
        db.execute(QStringLiteral("insert into 盘点扫描 (盘点, 类别, 编号) values (1, ?, ?)"),
                   {QStringLiteral("图书"), QStringLiteral("B1")});
        bool refused = false;
        try {
            db.execute(QStringLiteral("insert into 盘点扫描 (盘点, 类别, 编号) values (1, ?, ?)"),
                       {QStringLiteral("图书"), QStringLiteral("B1")});
        } catch (const DbError&) {
            refused = true;
        }
        QVERIFY(refused);
        QVERIFY(db.scalar(QStringLiteral("select count(*) from 盘点")).isValid());
    }

    // A server database made outside the program without the key on the operators' names
    // gets it on opening; while a name is held twice it cannot, the names are told, and
    // the other additions are made all the same.
    void operatorNameKey_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("twice");
        for (int e : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* name = e == TestLibrary::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s, names unique", name) << e << false;
            QTest::addRow("%s, a name twice", name) << e << true;
        }
    }
    void operatorNameKey()
    {
        QFETCH(int, engine);
        QFETCH(bool, twice);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        db.execute(QStringLiteral("drop index ux_管理员_AdminName"));
        db.execute(QStringLiteral("drop index ix_图书_存放位置"));
        QCOMPARE(Schema::duplicateOperatorNames(db), QStringList());
        const QString name = QStringLiteral("张三");
        db.execute(QStringLiteral("insert into 管理员 (AdminName, pwd) values (?, '1')"), {name});
        if (twice)
            db.execute(QStringLiteral("insert into 管理员 (AdminName, pwd) values (?, '2')"),
                       {name});
        QVERIFY(Schema::addMissing(db));
        QCOMPARE(Schema::duplicateOperatorNames(db), twice ? QStringList{name} : QStringList());
        bool refused = false;
        try {
            db.execute(QStringLiteral("insert into 管理员 (AdminName, pwd) values (?, '3')"),
                       {name});
        } catch (const DbError&) {
            refused = true;
        }
        QCOMPARE(refused, !twice);
        // The inventory's index came back either way.
        QVERIFY(
            db.scalar(QStringLiteral("select count(*) from 图书 where 存放位置 = 'x'")).isValid());
        QCOMPARE(Schema::addMissing(db), false);
    }

    // "精确" on text ignores the letter case of ASCII letters, as "模糊" does, and still
    // finds its rows through an index on both engines.
    void exactSearchIgnoresCaseOnAnIndex_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("found");
        const struct
        {
            const char* table;
            const char* column;
            const char* typed;
            int found;
        } cases[] = {
            {"图书", "编号", "ab-01", 1},       {"图书", "条形码", "Xy9", 1},
            {"图书", "名称", "QT 编程", 1},     {"图书", "存放位置", "a区", 1},
            {"图书", "条形码", "XY", 0},        {"期刊", "编号", "AB-01", 1},
            {"期刊", "条形码", "xy9", 1},       {"期刊", "存放位置", "A区", 1},
            {"读者库", "读者编号", "ab-01", 1}, {"读者库", "读者编号", "AB-0", 0},
        };
        for (int e : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)}) {
            const char* name = e == TestLibrary::SQLite ? "sqlite" : "postgresql";
            for (const auto& c : cases)
                QTest::addRow("%s %s.%s %s", name, c.table, c.column, c.typed)
                    << e << QString::fromUtf8(c.table) << QString::fromUtf8(c.column)
                    << QString::fromUtf8(c.typed) << c.found;
        }
    }
    void exactSearchIgnoresCaseOnAnIndex()
    {
        QFETCH(int, engine);
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(int, found);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        if (table == QStringLiteral("读者库"))
            db.execute(
                QStringLiteral("insert into 读者库 (读者编号, 读者姓名) values ('AB-01', 'x')"));
        else
            db.execute(QStringLiteral("insert into %1 (编号, 条形码, 名称, 存放位置) values "
                                      "('AB-01', 'XY9', 'Qt 编程', 'A区')")
                           .arg(table));
        QString error;
        const auto s = ListSearch::statement(db, QStringLiteral("select * from ") + table, table,
                                             column, typed, true, &error);
        QVERIFY2(s, qPrintable(error));
        QSqlQuery q = db.query(s->sql, s->values);
        int rows = 0;
        while (q.next())
            ++rows;
        QCOMPARE(rows, found);

        // The plan, with the typed value as a literal (a plan is not asked with bound values).
        QString sql = s->sql;
        sql.replace(QLatin1Char('?'), QLatin1Char('\'') + typed + QLatin1Char('\''));
        const bool sqlite = engine == TestLibrary::SQLite;
        // PostgreSQL would scan a table of one row whatever indexes it has.
        if (!sqlite)
            db.execute(QStringLiteral("set enable_seqscan = off"));
        QSqlQuery plan = db.query(
            (sqlite ? QStringLiteral("explain query plan ") : QStringLiteral("explain ")) + sql);
        QStringList lines;
        while (plan.next())
            lines << plan.value(plan.record().count() - 1).toString();
        if (!sqlite)
            db.execute(QStringLiteral("set enable_seqscan = on"));
        const QString planText = lines.join(QLatin1Char('\n'));
        QVERIFY2(planText.contains(QStringLiteral("_ci")), qPrintable(planText));
    }

    void initCreatesLibraryAndSettings()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY2(LibraryInit::create(dir.path(), false, QString(), &error), qPrintable(error));
        const QString ini = QDir(dir.path()).absoluteFilePath(QStringLiteral("de.ini"));
        QCOMPARE(QFile(ini).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFileDevice::Permissions());
        SettingsFile file(ini);
        LoginState state;
        state.readSettingsFile(file);
        QCOMPARE(state.DbKind, QStringLiteral("a"));
        QCOMPARE(state.PosPort, QStringLiteral("LPT1"));
        Database db(QStringLiteral("init-check"));
        QVERIFY2(db.open(state.DbKind, state.ConnectionString, &error, dir.path()),
                 qPrintable(error));
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from 管理员")).toInt(), 1);
        db.close();
        // A second init refuses to overwrite the library.
        QVERIFY(!LibraryInit::create(dir.path(), false, QString(), &error));
        QVERIFY(error.contains(QStringLiteral("book.mdb")));
    }

    void missingFileIsNotCreated()
    {
        QTemporaryDir dir;
        Database db(QStringLiteral("missing-check"));
        QString error;
        QVERIFY(!db.open(QStringLiteral("a"), QStringLiteral("Data Source=book.mdb"), &error,
                         dir.path()));
        QVERIFY(error.contains(QStringLiteral("book.mdb")));
        QVERIFY(!QFile::exists(QDir(dir.path()).absoluteFilePath(QStringLiteral("book.mdb"))));
        QVERIFY(!db.open(QStringLiteral("x"), QStringLiteral("Data Source=book.mdb"), &error,
                         dir.path()));
        QVERIFY(error.contains(QStringLiteral("x")));
    }
};

TUSHU_TEST(SchemaTest)
#include "tst_Schema.moc"
