#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/ListSearch.h"
#include "data/Schema.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {
// Titles and authors in an order that is not the order of their numbers, with the
// characters a LIKE pattern treats specially and letters of both cases.
const char* const kBooks[][4] = {
    // 编号, 名称, 作者, isbn
    {"B09", "中华人民共和国史", "张三", "978-7-115-1"},
    {"B02", "人民文学", "李四", "978-7-02-1"},
    {"B07", "Qt 6 编程 ABC", "Jasmin Blanchette", "978-0-13-2"},
    {"B01", "abc of Databases", "Date", "978-0-32-1"},
    {"B05", "增长 50% 的秘密", "王五", "978-7-5"},
    {"B04", "a_b 与 axb", "赵六", "978-7-6"},
    {"B08", "路径 C:\\书\\目录", "钱七", "978-7-7"},
    {"B03", "他说 \"你好\"", "孙八", "978-7-8"},
    {"B06", "ÀBC àbc", "Émile", "978-2-9"},
    {"B10", nullptr, "无名", nullptr},
    {"B11", "民", "周九", "9"},
    {"B12", "àbc 小写", "吴十", "10"},
    // Every pair of "人民人" but not the text itself.
    {"B13", "民人 与 人民", "郑十一", nullptr},
    {"B14", "哈哈哈哈", "Date", "9787302123456"},
    {"B15", "第12345版", "Knuth", nullptr},
};

void addBooks(const Database& db)
{
    for (const auto& b : kBooks)
        db.execute(QStringLiteral("insert into 图书 (编号, 名称, 作者, isbn, 出版社) values "
                                  "(?, ?, ?, ?, ?)"),
                   {QString::fromUtf8(b[0]), b[1] ? QString::fromUtf8(b[1]) : QVariant(),
                    QString::fromUtf8(b[2]), b[3] ? QString::fromUtf8(b[3]) : QVariant(),
                    QStringLiteral("人民邮电出版社")});
}

QStringList numbers(const Database& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery q = db.query(sql, values);
    QStringList out;
    while (q.next())
        out << q.record().value(QStringLiteral("编号")).toString();
    return out;
}

QString planOf(const Database& db, const ListStatement& s)
{
    // A plan is asked with the values as literals.
    QString sql = s.sql;
    for (const QVariant& v : s.values) {
        QString literal = v.toString();
        literal.replace(QLatin1Char('\''), QStringLiteral("''"));
        sql.replace(sql.indexOf(QLatin1Char('?')), 1,
                    QLatin1Char('\'') + literal + QLatin1Char('\''));
    }
    const bool sqlite = db.engine() == DbEngine::SQLite;
    QSqlQuery plan = db.query(
        (sqlite ? QStringLiteral("explain query plan ") : QStringLiteral("explain ")) + sql);
    QStringList lines;
    while (plan.next())
        lines << plan.value(plan.record().count() - 1).toString();
    return lines.join(QLatin1Char('\n'));
}

// The rows the plain scan finds: the like of the list search on the table alone, the
// PostgreSQL planner kept off its indexes.
QStringList scanned(const Database& db, const QString& column, const QString& term)
{
    const bool sqlite = db.engine() == DbEngine::SQLite;
    if (!sqlite)
        db.execute(QStringLiteral("set enable_bitmapscan = off"));
    const QString sql =
        sqlite ? QStringLiteral("select 编号 from 图书 where %1 like ? escape '\\'").arg(column)
               : QStringLiteral("select 编号 from 图书 where lower(%1) like lower(?) escape '\\'")
                     .arg(column);
    const QStringList rows = numbers(db, sql, {ListSearch::containsPattern(term)});
    if (!sqlite)
        db.execute(QStringLiteral("set enable_bitmapscan = on"));
    return rows;
}
} // namespace

class TextIndexTest : public QObject
{
    Q_OBJECT
private slots:
    void sameRowsAsTheScan_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QStringList>("found");
        const struct
        {
            const char* column;
            const char* term;
            const char* found; // SQLite's rows, in the scan's order
        } cases[] = {
            {"名称", "民", "B09 B02 B11 B13"},
            {"名称", "人民", "B09 B02 B13"},
            {"名称", "人民人", ""},
            {"名称", "民人", "B13"},
            {"名称", "哈哈哈", "B14"},
            {"名称", " ", "B07 B01 B05 B04 B08 B03 B06 B12 B13"},
            {"名称", "人民共和", "B09"},
            {"名称", "abc", "B07 B01"},
            {"名称", "aBc", "B07 B01"},
            {"名称", "QT 6", "B07"},
            {"名称", "50%", "B05"},
            {"名称", "%", "B05"},
            {"名称", "a_b", "B04"},
            {"名称", "_", "B04"},
            {"名称", "C:\\书\\", "B08"},
            {"名称", "\"你好\"", "B03"},
            {"名称", "àbc", "B06 B12"},
            {"名称", "ÀBC", "B06"},
            {"名称", "不存在的书名", ""},
            {"作者", "blanch", "B07"},
            {"isbn", "978-7", "B09 B02 B05 B04 B08 B03"},
            // Digits: runs of three, asked as a phrase of them.
            {"isbn", "978", "B09 B02 B07 B01 B05 B04 B08 B03 B06 B14"},
            {"isbn", "3021234", "B14"},
            {"isbn", "2123", "B14"},
            {"isbn", "97873", "B14"},
            {"isbn", "30212345", "B14"},
            {"isbn", "1235", ""},
            {"isbn", "73", "B14"},
            {"isbn", "7-1", "B09"},
            {"名称", "第1234", "B15"},
            {"名称", "第2345", ""},
            {"名称", "版2345", ""},
            {"名称", "2345版", "B15"},
        };
        for (int e : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)})
            for (const auto& c : cases)
                QTest::addRow("%s %s %s", e == TestLibrary::SQLite ? "sqlite" : "postgresql",
                              c.column, c.term)
                    << e << QString::fromUtf8(c.column) << QString::fromUtf8(c.term)
                    << QString::fromUtf8(c.found).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    // "模糊" through the text index gives the scan's rows in the scan's order, and the index
    // serves every term, one character long or longer.
    void sameRowsAsTheScan()
    {
        QFETCH(int, engine);
        QFETCH(QString, column);
        QFETCH(QString, term);
        QFETCH(QStringList, found);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        addBooks(db);
        QVERIFY(Schema::hasTextIndex(db, QStringLiteral("图书")));
        QString error;
        const auto s = ListSearch::statement(db, QStringLiteral("select * from 图书"),
                                             QStringLiteral("图书"), column, term, false, &error);
        QVERIFY2(s, qPrintable(error));
        const bool sqlite = engine == TestLibrary::SQLite;
        if (!sqlite)
            db.execute(QStringLiteral("set enable_seqscan = off"));
        const QStringList indexed = numbers(db, s->sql, s->values);
        const QString plan = planOf(db, *s);
        if (!sqlite)
            db.execute(QStringLiteral("set enable_seqscan = on"));
        const QStringList scan = scanned(db, column, term);
        QCOMPARE(indexed, scan);
        // SQLite's like folds ASCII letters alone, PostgreSQL's lower() folds À as well.
        if (sqlite || term != QStringLiteral("ÀBC"))
            QCOMPARE(indexed, found);
        QVERIFY2(plan.contains(sqlite ? QStringLiteral("图书检索") : QStringLiteral("_grams")),
                 qPrintable(plan));
    }

    void followsEveryWrite_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    // Insert, a change of the title, a change of another column, a delete: each is found
    // (or no longer found) at once, and the FTS table agrees with the rows.
    void followsEveryWrite()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        addBooks(db);
        const auto find = [&](const QString& table, const QString& term) {
            QString error;
            const auto s =
                ListSearch::statement(db, QStringLiteral("select * from ") + table, table,
                                      QStringLiteral("名称"), term, false, &error);
            return s ? numbers(db, s->sql, s->values) : QStringList{error};
        };
        db.execute(QStringLiteral("update 图书 set 名称 = ? where 编号 = ?"),
                   {QStringLiteral("红楼梦新编"), QStringLiteral("B02")});
        db.execute(QStringLiteral("update 图书 set 数量 = 数量 + 1 where 编号 = ?"),
                   {QStringLiteral("B09")});
        db.execute(QStringLiteral("delete from 图书 where 编号 = ?"), {QStringLiteral("B07")});
        db.execute(QStringLiteral("insert into 期刊 (编号, 名称) values (?, ?)"),
                   {QStringLiteral("Q1"), QStringLiteral("读者文摘月刊")});
        QCOMPARE(find(QStringLiteral("图书"), QStringLiteral("人民文学")), QStringList());
        QCOMPARE(find(QStringLiteral("图书"), QStringLiteral("红楼梦")),
                 QStringList{QStringLiteral("B02")});
        QCOMPARE(find(QStringLiteral("图书"), QStringLiteral("人民共和")),
                 QStringList{QStringLiteral("B09")});
        QCOMPARE(find(QStringLiteral("图书"), QStringLiteral("abc")),
                 QStringList{QStringLiteral("B01")});
        QCOMPARE(find(QStringLiteral("期刊"), QStringLiteral("文摘月")),
                 QStringList{QStringLiteral("Q1")});
        if (engine == TestLibrary::SQLite)
            for (const char* fts : {"图书检索", "期刊检索"})
                db.execute(QStringLiteral("insert into %1 (%1) values ('integrity-check')")
                               .arg(QString::fromUtf8(fts)));
    }

    void olderLibraryGetsTheIndex_data() { followsEveryWrite_data(); }
    // A library made before the text index gets it on opening, filled from its rows once.
    void olderLibraryGetsTheIndex()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        for (const Schema::TextIndex& ix : Schema::textIndexes()) {
            if (engine == TestLibrary::SQLite) {
                for (const char* trigger : {"_ai", "_ad", "_au"})
                    db.execute(QStringLiteral("drop trigger %1%2").arg(ix.ftsTable, trigger));
                db.execute(QStringLiteral("drop table %1").arg(ix.ftsTable));
            } else {
                for (const QString& c : ix.columns)
                    db.execute(QStringLiteral("drop index ix_%1_%2_grams").arg(ix.table, c));
            }
            QVERIFY(!Schema::hasTextIndex(db, ix.table));
        }
        addBooks(db);
        QVERIFY(Schema::addMissing(db));
        QVERIFY(!Schema::addMissing(db));
        QVERIFY(Schema::hasTextIndex(db, QStringLiteral("图书")));
        QVERIFY(Schema::hasTextIndex(db, QStringLiteral("期刊")));
        QString error;
        const auto s = ListSearch::statement(db, QStringLiteral("select * from 图书"),
                                             QStringLiteral("图书"), QStringLiteral("名称"),
                                             QStringLiteral("人民共和"), false, &error);
        QVERIFY2(s, qPrintable(error));
        QVERIFY2(s->sql.contains(QStringLiteral("图书检索")) || engine == TestLibrary::PostgreSQL,
                 qPrintable(s->sql));
        QCOMPARE(numbers(db, s->sql, s->values), QStringList{QStringLiteral("B09")});
    }

    void anyColumn_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QStringList>("found");
        const struct
        {
            const char* term;
            const char* found; // in 编号 order
        } cases[] = {
            {"张三", "B09"},
            {"date", "B01 B14"},
            {"978-0", "B01 B07"},
            {"人民邮电", "B01 B02 B03 B04 B05 B06 B07 B08 B09 B10 B11 B12 B13 B14 B15"},
            {"邮电出版社人", ""},
            {"三", "B09"},
        };
        for (int e : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)})
            for (const auto& c : cases)
                QTest::addRow("%s %s", e == TestLibrary::SQLite ? "sqlite" : "postgresql", c.term)
                    << e << QString::fromUtf8(c.term)
                    << QString::fromUtf8(c.found).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    // The catalogue search finds a text in any indexed column (title, author, ISBN,
    // publisher, ...) through the index; an empty text or another table is refused.
    void anyColumn()
    {
        QFETCH(int, engine);
        QFETCH(QString, term);
        QFETCH(QStringList, found);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        addBooks(db);
        QString error;
        const auto s = ListSearch::anyColumn(db, QStringLiteral("图书"), term, &error);
        QVERIFY2(s, qPrintable(error));
        QCOMPARE(numbers(db,
                         QStringLiteral("select 编号 from 图书 where ") + s->sql +
                             QStringLiteral(" order by 编号"),
                         s->values),
                 found);
        const bool sqlite = engine == TestLibrary::SQLite;
        QVERIFY2(planOf(db, ListStatement{QStringLiteral("select 编号 from 图书 where ") + s->sql,
                                          s->values})
                     .contains(sqlite ? QStringLiteral("图书检索") : QStringLiteral("_grams")),
                 qPrintable(s->sql));
        for (const char* table : {"读者库", "图书"}) {
            error.clear();
            QVERIFY(!ListSearch::anyColumn(
                db, QString::fromUtf8(table),
                QString::fromUtf8(table) == QStringLiteral("图书") ? QString() : term, &error));
            QVERIFY(!error.isEmpty());
        }
    }
};

TUSHU_TEST(TextIndexTest)
#include "tst_TextIndex.moc"
