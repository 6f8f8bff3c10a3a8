#include "Schema.h"

#include "LoginState.h"
#include "TextTokenizer.h"

#include <QSqlRecord>

namespace {
using T = ColumnType;

ColumnDef col(const char* name, ColumnType type, const char* def = "")
{
    return ColumnDef{QString::fromUtf8(name), type, QString::fromUtf8(def)};
}

TableDef lookup(const char* name, QList<ColumnDef> columns)
{
    return TableDef{QString::fromUtf8(name), std::move(columns), true};
}

QList<TableDef> buildTables()
{
    QList<TableDef> t;
    t << TableDef{QStringLiteral("图书"),
                  {col("编号", T::Text),         col("名称", T::Text),
                   col("条形码", T::Text),       col("索书号", T::Text),
                   col("分类号", T::Text),       col("zch", T::Integer),
                   col("数量", T::Integer, "0"), col("分类", T::Text),
                   col("二级分类", T::Text),     col("出版社", T::Text),
                   col("存放位置", T::Text),     col("物品级别", T::Text),
                   col("价格", T::Money, "0"),   col("币种", T::Text),
                   col("作者", T::Text),         col("译者", T::Text),
                   col("出版时间", T::Text),     col("isbn", T::Text),
                   col("密级", T::Text),         col("附件", T::Text),
                   col("版次", T::Text),         col("图片地址", T::LongText),
                   col("绝对地址", T::LongText), col("py", T::Text),
                   col("页数", T::Integer, "0"), col("简介", T::LongText),
                   col("来源", T::Text),         col("捐赠人", T::Text),
                   col("入库时间", T::Date),     col("借出次数", T::Integer, "0"),
                   col("状态", T::Text),         col("登记人", T::Text),
                   col("预定状况", T::Text),     col("预定到期时间", T::DateTime),
                   col("一级分类", T::Text),     col("租金级别", T::Text),
                   col("TmpA", T::Text)}};
    t << TableDef{QStringLiteral("期刊"),
                  {col("编号", T::Text),         col("名称", T::Text),
                   col("条形码", T::Text),       col("出版社", T::Text),
                   col("物品级别", T::Text),     col("存放位置", T::Text),
                   col("分类", T::Text),         col("二级分类", T::Text),
                   col("数量", T::Integer, "0"), col("issn", T::Text),
                   col("国内统一刊号", T::Text), col("邮发代号", T::Text),
                   col("第几期", T::Text),       col("总第几期", T::Text),
                   col("出版时间", T::Text),     col("价格", T::Money, "0"),
                   col("py", T::Text),           col("简介", T::LongText),
                   col("状态", T::Text),         col("借出次数", T::Integer, "0"),
                   col("入库时间", T::Date),     col("登记人", T::Text),
                   col("预定状况", T::Text),     col("预定到期时间", T::DateTime),
                   col("币种", T::Text),         col("图片地址", T::LongText),
                   col("绝对地址", T::LongText), col("一级分类", T::Text),
                   col("租金级别", T::Text)}};
    t << TableDef{QStringLiteral("读者库"),
                  {col("读者编号", T::Text),
                   col("读者姓名", T::Text),
                   col("性别", T::Text),
                   col("类别", T::Text),
                   col("有效证件", T::Text),
                   col("证件号码", T::Text),
                   col("联系电话", T::Text),
                   col("登记日期", T::DateTime),
                   col("有效期", T::Date),
                   col("班级", T::Text),
                   col("院系", T::Text),
                   col("单位部门", T::Text),
                   col("住址", T::Text),
                   col("备注", T::LongText),
                   col("登记人", T::Text),
                   col("状态", T::Text),
                   col("密码", T::Text),
                   col("未还数量", T::Integer, "0"),
                   col("累计借阅次数", T::Integer, "0"),
                   col("卡内金额", T::Money, "0"),
                   col("py", T::Text),
                   col("TmpA", T::Text)}};
    t << TableDef{
        QStringLiteral("借出记录"),
        {col("id", T::AutoNumber),     col("读者编号", T::Text),   col("读者姓名", T::Text),
         col("编号", T::Text),         col("名称", T::Text),       col("条形码", T::Text),
         col("类别", T::Text),         col("物品级别", T::Text),   col("价格", T::Money),
         col("租金", T::Money, "0"),   col("借阅日期", T::Date),   col("应还日期", T::Date),
         col("借阅经手人", T::Text),   col("已还", T::Text),       col("物品状况", T::Text),
         col("归还日期", T::Date),     col("归还经手人", T::Text), col("实际租期", T::Integer),
         col("实际租金", T::Money),    col("罚金", T::Money),      col("赔偿金额", T::Money),
         col("归还备注", T::LongText), col("附件", T::Text),       col("押金", T::Money)}};
    t << TableDef{QStringLiteral("收入"),
                  {col("id", T::AutoNumber), col("项目", T::Text), col("时间", T::Date),
                   col("读者编号", T::Text), col("读者姓名", T::Text), col("金额", T::Money),
                   col("管理员", T::Text), col("备注", T::Text)}};
    t << TableDef{QStringLiteral("系统设置"),
                  {col("图书馆名", T::Text),
                   col("地址", T::Text),
                   col("电话", T::Text),
                   col("负责人", T::Text),
                   col("超期每日罚金", T::Money, "0"),
                   col("押金倍数", T::Real, "0"),
                   col("开户费", T::Money, "0"),
                   col("赔损金额倍数", T::Real, "0"),
                   col("启用租金功能", T::YesNo),
                   col("启用读者租金", T::YesNo),
                   col("启用读者有效期", T::YesNo),
                   col("启用超期罚金", T::YesNo),
                   col("借阅数量限制功能", T::YesNo),
                   col("启用押金功能", T::YesNo),
                   col("显示班级", T::YesNo),
                   col("显示院系", T::YesNo),
                   col("启用预定功能", T::YesNo),
                   col("借出时打印清单", T::YesNo),
                   col("归还焦点条形码", T::YesNo),
                   col("归还焦点图书编号", T::YesNo),
                   col("归还焦点读者编号", T::YesNo),
                   col("借阅焦点编号", T::YesNo),
                   col("借阅焦点条形码", T::YesNo),
                   col("借阅证背面文字", T::LongText),
                   col("WebNotice", T::LongText),
                   col("催还通知文字", T::LongText)}};
    t << TableDef{QStringLiteral("管理员"),
                  {col("AdminName", T::Text), col("pwd", T::Text), col("qxadmin", T::YesNo),
                   col("qxdel", T::YesNo), col("qxbk", T::YesNo), col("qxrd", T::YesNo),
                   col("qxqk", T::YesNo), col("qxwp", T::YesNo), col("qxbkxg", T::YesNo),
                   col("qxrdxg", T::YesNo), col("qxqkxg", T::YesNo), col("qxwpxg", T::YesNo),
                   col("qxborrow", T::YesNo), col("qxreturn", T::YesNo), col("qxsysset", T::YesNo),
                   col("qxadddata", T::YesNo), col("qxModifyStock", T::YesNo)}};
    t << TableDef{QStringLiteral("管理员日志"),
                  {col("id", T::AutoNumber), col("事件", T::Text), col("日期", T::DateTime),
                   col("管理员", T::Text), col("说明", T::LongText)}};
    // Shelf inventories by scanner: one row per inventory (存放位置 NULL: every place;
    // 完成时间 NULL: not finished yet), one row per item scanned in it.
    t << TableDef{QStringLiteral("盘点"),
                  {col("id", T::AutoNumber), col("存放位置", T::Text), col("开始时间", T::DateTime),
                   col("完成时间", T::DateTime), col("管理员", T::Text)}};
    t << TableDef{QStringLiteral("盘点扫描"),
                  {col("id", T::AutoNumber), col("盘点", T::Integer), col("类别", T::Text),
                   col("编号", T::Text), col("扫描时间", T::DateTime)}};
    // The Z39.50 and SRU targets of copy cataloguing (协议 "Z39.50" or "SRU", 记录格式
    // "MARC21" or "CNMARC", 字符集 "UTF-8", "GBK" or "MARC-8" for records that do not say).
    t << TableDef{QStringLiteral("联机编目目标"),
                  {col("id", T::AutoNumber), col("名称", T::Text), col("主机", T::Text),
                   col("端口", T::Integer, "210"), col("数据库", T::Text), col("协议", T::Text),
                   col("记录格式", T::Text), col("字符集", T::Text)}};
    t << lookup("读者类别", {col("类别名", T::Text), col("借阅天数", T::Integer),
                             col("借阅数量限制", T::Integer), col("租金", T::Money, "0")});
    t << lookup("物品级别",
                {col("名称", T::Text), col("租金", T::Money, "0"), col("可借数量", T::Integer)});
    t << lookup("分类", {col("名称", T::Text)});
    t << lookup("二级分类", {col("名称", T::Text)});
    t << lookup("出版社名",
                {col("出版社名", T::Text), col("ISBN", T::Text), col("出版地", T::Text)});
    t << lookup("存放位置", {col("存放位置名", T::Text)});
    t << lookup("币种", {col("币种", T::Text)});
    t << lookup("密级", {col("密级", T::Text)});
    t << lookup("附件名", {col("附件名", T::Text)});
    t << lookup("单位名称", {col("单位名称", T::Text)});
    t << lookup("证件名", {col("证件名", T::Text)});
    return t;
}

QString sqlType(DbEngine engine, const ColumnDef& c)
{
    const bool pg = engine == DbEngine::PostgreSQL;
    QString type;
    switch (c.type) {
    case T::Text:
    case T::LongText:
        type = QStringLiteral("TEXT");
        break;
    case T::Integer:
        type = pg ? QStringLiteral("integer") : QStringLiteral("INTEGER");
        break;
    case T::Real:
        type = pg ? QStringLiteral("double precision") : QStringLiteral("REAL");
        break;
    case T::Money:
        // SQLite keeps amounts as REAL; Money rounds them to ten-thousandths on reading
        // and all arithmetic on amounts happens in Money or in the engine.
        type = pg ? QStringLiteral("numeric(19,4)") : QStringLiteral("REAL");
        break;
    case T::Date:
        type = pg ? QStringLiteral("date") : QStringLiteral("TEXT");
        break;
    case T::DateTime:
        type = pg ? QStringLiteral("timestamp(0)") : QStringLiteral("TEXT");
        break;
    case T::YesNo:
        if (pg)
            return QStringLiteral("boolean NOT NULL DEFAULT false");
        return QStringLiteral("INTEGER NOT NULL DEFAULT 0 CHECK (%1 IN (0, 1))").arg(c.name);
    case T::AutoNumber:
        if (pg)
            return QStringLiteral("integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    }
    if (!c.defaultSql.isEmpty())
        type += QStringLiteral(" DEFAULT ") + c.defaultSql;
    return type;
}

struct IndexDef
{
    const char* name;
    const char* table;
    const char* columns;
    bool unique;
    // One text column compared without the letter case of ASCII letters, as the lists'
    // exact search compares it: COLLATE NOCASE on SQLite, lower() on PostgreSQL.
    bool caseless = false;
};

constexpr IndexDef kIndexes[] = {
    {"ux_图书_编号", "图书", "编号", true},
    {"ix_图书_条形码", "图书", "条形码", false},
    {"ix_图书_py", "图书", "py", false},
    {"ix_图书_分类号", "图书", "分类号, zch", false},
    {"ux_期刊_编号", "期刊", "编号", true},
    {"ix_期刊_条形码", "期刊", "条形码", false},
    {"ix_期刊_py", "期刊", "py", false},
    {"ux_读者库_读者编号", "读者库", "读者编号", true},
    {"ix_读者库_py", "读者库", "py", false},
    {"ux_管理员_AdminName", "管理员", "AdminName", true},
    {"ix_借出记录_已还_读者编号", "借出记录", "已还, 读者编号", false},
    {"ix_借出记录_读者编号", "借出记录", "读者编号", false},
    {"ix_借出记录_编号", "借出记录", "编号", false},
    {"ix_借出记录_条形码", "借出记录", "条形码", false},
    {"ix_收入_时间", "收入", "时间", false},
    // The expiry clean-up of every item check finds lapsed reservations by their end.
    {"ix_图书_预定到期时间", "图书", "预定到期时间", false},
    // A reader's reservations (the desk and the portal's account page) by the reader.
    {"ix_图书_预定状况", "图书", "预定状况", false},
    // The book list's exact search by title and the accession list by entry date.
    {"ix_图书_名称", "图书", "名称", false},
    // Covering the registrar statistics (per 登记人, with the price) as well.
    {"ix_图书_入库时间", "图书", "入库时间, 登记人, 价格, 编号", false},
    {"ix_期刊_入库时间", "期刊", "入库时间", false},
    // The overdue list and the loan search's date ranges.
    {"ix_借出记录_已还_应还日期", "借出记录", "已还, 应还日期", false},
    {"ix_借出记录_借阅日期", "借出记录", "借阅日期", false},
    {"ix_借出记录_归还日期", "借出记录", "归还日期", false},
    // The rent taken between two days, read from the index alone: without it the planner
    // walks every returned loan through the 已还 index and each loan's row.
    {"ix_借出记录_已还_归还日期", "借出记录", "已还, 归还日期, 实际租金", false},
    // The shelf inventory: the items of one place, and each item scanned once.
    {"ix_图书_存放位置", "图书", "存放位置", false},
    {"ix_期刊_存放位置", "期刊", "存放位置", false},
    {"ux_盘点扫描_盘点_类别_编号", "盘点扫描", "盘点, 类别, 编号", true},
    // The lists' exact search ignores the letter case; these keep it on an index.
    {"ix_图书_编号_ci", "图书", "编号", false, true},
    {"ix_图书_条形码_ci", "图书", "条形码", false, true},
    {"ix_图书_名称_ci", "图书", "名称", false, true},
    {"ix_图书_存放位置_ci", "图书", "存放位置", false, true},
    {"ix_期刊_编号_ci", "期刊", "编号", false, true},
    {"ix_期刊_条形码_ci", "期刊", "条形码", false, true},
    {"ix_期刊_存放位置_ci", "期刊", "存放位置", false, true},
    {"ix_读者库_读者编号_ci", "读者库", "读者编号", false, true},
};

// What was added to the schema after libraries were first created: a library opened
// without them gets them (Schema::addMissing).
constexpr const char* kAddedTables[] = {"盘点", "盘点扫描", "联机编目目标"};
struct AddedColumn
{
    const char* table;
    const char* column;
};
constexpr AddedColumn kAddedColumns[] = {{"系统设置", "催还通知文字"}};
constexpr const char* kAddedIndexes[] = {
    "ix_图书_存放位置",  "ix_期刊_存放位置",    "ux_盘点扫描_盘点_类别_编号", "ix_图书_编号_ci",
    "ix_图书_条形码_ci", "ix_图书_名称_ci",     "ix_图书_存放位置_ci",        "ix_期刊_编号_ci",
    "ix_期刊_条形码_ci", "ix_期刊_存放位置_ci", "ix_读者库_读者编号_ci",      "ix_图书_预定状况"};
// A server database made outside the program may lack the key on the operators' names,
// by which every operator is found; it is made only while no name is held twice.
constexpr const char* kOperatorNameKey = "ux_管理员_AdminName";

QString tableSql(DbEngine engine, const TableDef& t)
{
    QStringList cols;
    for (const ColumnDef& c : t.columns)
        cols << c.name + QLatin1Char(' ') + sqlType(engine, c);
    QString sql = QStringLiteral("CREATE TABLE %1 (\n  %2\n)")
                      .arg(t.name, cols.join(QStringLiteral(",\n  ")));
    if (engine == DbEngine::SQLite)
        sql += QStringLiteral(" STRICT");
    return sql;
}

QString indexSql(DbEngine engine, const IndexDef& ix)
{
    QString columns = QString::fromUtf8(ix.columns);
    if (ix.caseless)
        columns = engine == DbEngine::SQLite ? columns + QStringLiteral(" COLLATE NOCASE")
                                             : QStringLiteral("lower(%1)").arg(columns);
    return QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
        .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(), QString::fromUtf8(ix.name),
             QString::fromUtf8(ix.table), columns);
}

const IndexDef* indexNamed(const char* name)
{
    for (const IndexDef& ix : kIndexes)
        if (qstrcmp(ix.name, name) == 0)
            return &ix;
    return nullptr;
}

bool indexExists(const Database& db, const QString& name)
{
    QString sql;
    switch (db.engine()) {
    case DbEngine::PostgreSQL:
        // Names not quoted are kept in lower case.
        sql = QStringLiteral("select count(*) from pg_indexes where indexname = lower(?)");
        break;
    default:
        sql =
            QStringLiteral("select count(*) from sqlite_master where type = 'index' and name = ?");
        break;
    }
    return DbValue::toInt(db.scalar(sql, {name})) > 0;
}

QString rightsColumnsList()
{
    return QStringLiteral("qxadmin, qxdel, qxbk, qxrd, qxqk, qxwp, qxbkxg, qxrdxg, qxqkxg, "
                          "qxwpxg, qxborrow, qxreturn, qxsysset, qxadddata, qxModifyStock");
}
QString ftsColumns(const Schema::TextIndex& ix, const QString& row)
{
    QStringList out;
    for (const QString& c : ix.columns)
        out << (row.isEmpty() ? c : row + QLatin1Char('.') + c);
    return out.join(QStringLiteral(", "));
}

QString gramIndexName(const Schema::TextIndex& ix, const QString& column)
{
    return QStringLiteral("ix_%1_%2_grams").arg(ix.table, column);
}

// PostgreSQL: the characters and pairs of neighbouring characters of a text, as the SQLite
// tokenizer makes them, and the pieces a searched text must find (itself when it is one
// character, else its pairs). Immutable, so an index can be made on them.
const char* const kPgGramFunctions[] = {
    "CREATE OR REPLACE FUNCTION tushu_grams(t text) RETURNS text[] LANGUAGE sql IMMUTABLE "
    "STRICT PARALLEL SAFE AS $$ select array(select substr(t, i, 2) from "
    "generate_series(1, char_length(t) - 1) i union all select substr(t, i, 1) from "
    "generate_series(1, char_length(t)) i) $$",
    "CREATE OR REPLACE FUNCTION tushu_query_grams(t text) RETURNS text[] LANGUAGE sql "
    "IMMUTABLE STRICT PARALLEL SAFE AS $$ select case when char_length(t) = 1 then array[t] "
    "else array(select substr(t, i, 2) from generate_series(1, least(char_length(t) - 1, 24)) "
    "i) end $$"};
} // namespace

const ColumnDef* TableDef::column(const QString& columnName) const
{
    for (const ColumnDef& c : columns)
        if (c.name.compare(columnName, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const QList<TableDef>& Schema::tables()
{
    static const QList<TableDef> all = buildTables();
    return all;
}

const TableDef* Schema::table(const QString& name)
{
    for (const TableDef& t : tables())
        if (t.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QString Schema::tableName(const QString& typed)
{
    const TableDef* t = table(typed);
    return t ? t->name : QString();
}

QString Schema::columnName(const QString& tableName, const QString& typed)
{
    const TableDef* t = table(tableName);
    if (!t)
        return {};
    const ColumnDef* c = t->column(typed.trimmed());
    return c ? c->name : QString();
}

QStringList Schema::createStatements(DbEngine engine)
{
    QStringList out;
    for (const TableDef& t : tables())
        out << tableSql(engine, t);
    for (const IndexDef& ix : kIndexes)
        out << indexSql(engine, ix);
    out << textIndexStatements(engine);
    return out;
}

const QList<Schema::TextIndex>& Schema::textIndexes()
{
    // The columns the catalogue search looks into for any part of the text. Numbers and
    // barcodes, searched whole at the desk, and places held by whole shelves are left to
    // the scan: each would cost every insert its own tokens.
    static const QList<TextIndex> all{
        {QStringLiteral("图书"),
         QStringLiteral("图书检索"),
         {QStringLiteral("名称"), QStringLiteral("作者"), QStringLiteral("译者"),
          QStringLiteral("出版社"), QStringLiteral("isbn"), QStringLiteral("分类"),
          QStringLiteral("分类号"), QStringLiteral("索书号")}},
        {QStringLiteral("期刊"),
         QStringLiteral("期刊检索"),
         {QStringLiteral("名称"), QStringLiteral("出版社"), QStringLiteral("issn"),
          QStringLiteral("分类")}}};
    return all;
}

const Schema::TextIndex* Schema::textIndex(const QString& table)
{
    for (const TextIndex& ix : textIndexes())
        if (ix.table == table)
            return &ix;
    return nullptr;
}

QStringList Schema::textIndexStatements(DbEngine engine)
{
    QStringList out;
    if (engine == DbEngine::PostgreSQL)
        for (const char* sql : kPgGramFunctions)
            out << QString::fromUtf8(sql);
    for (const TextIndex& ix : textIndexes()) {
        if (engine == DbEngine::PostgreSQL) {
            for (const QString& c : ix.columns)
                out << QStringLiteral(
                           "CREATE INDEX IF NOT EXISTS %1 ON %2 USING gin (tushu_grams(lower(%3)))")
                           .arg(gramIndexName(ix, c), ix.table, c);
            continue;
        }
        // External content: the rows stay in the table alone, the FTS table holds the
        // tokens and their places. Only a change of an indexed column touches it (a loan
        // changes 数量).
        const QString cols = ftsColumns(ix, {});
        const QString insertNew =
            QStringLiteral("INSERT INTO %1 (rowid, %2) VALUES (new.rowid, %3);")
                .arg(ix.ftsTable, cols, ftsColumns(ix, QStringLiteral("new")));
        const QString deleteOld =
            QStringLiteral("INSERT INTO %1 (%1, rowid, %2) VALUES ('delete', old.rowid, %3);")
                .arg(ix.ftsTable, cols, ftsColumns(ix, QStringLiteral("old")));
        out << QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(%2, content='%3', "
                              "tokenize='%4')")
                   .arg(ix.ftsTable, cols, ix.table, QLatin1String(TextTokenizer::kName));
        // Segments are merged eight at a time rather than four: a large import writes a
        // quarter less, a search looks into a few more segments.
        out << QStringLiteral("INSERT INTO %1 (%1, rank) VALUES ('automerge', 8)").arg(ix.ftsTable);
        out << QStringLiteral("CREATE TRIGGER %1_ai AFTER INSERT ON %2 BEGIN %3 END")
                   .arg(ix.ftsTable, ix.table, insertNew);
        out << QStringLiteral("CREATE TRIGGER %1_ad AFTER DELETE ON %2 BEGIN %3 END")
                   .arg(ix.ftsTable, ix.table, deleteOld);
        out << QStringLiteral("CREATE TRIGGER %1_au AFTER UPDATE OF %2 ON %3 BEGIN %4 %5 END")
                   .arg(ix.ftsTable, cols, ix.table, deleteOld, insertNew);
    }
    return out;
}

void Schema::rebuildTextIndexes(const Database& db)
{
    if (db.engine() != DbEngine::SQLite)
        return;
    // Merged into one segment after the rebuild: the many segments a rebuild leaves would be
    // merged a piece at a time by the inserts that follow, each of them paying for it (15
    // times the cost of an insert at a million books).
    for (const TextIndex& ix : textIndexes())
        for (const char* command : {"rebuild", "optimize"})
            db.execute(QStringLiteral("INSERT INTO %1 (%1) VALUES ('%2')")
                           .arg(ix.ftsTable, QLatin1String(command)));
}

bool Schema::hasTextIndex(const Database& db, const QString& table)
{
    const TextIndex* ix = textIndex(table);
    if (!ix)
        return false;
    if (db.engine() == DbEngine::SQLite)
        return DbValue::toInt(db.scalar(QStringLiteral("select count(*) from sqlite_master "
                                                       "where type = 'table' and name = ?"),
                                        {ix->ftsTable})) > 0;
    for (const QString& c : ix->columns)
        if (!indexExists(db, gramIndexName(*ix, c)))
            return false;
    return true;
}

bool Schema::addMissing(const Database& db)
{
    const QStringList present = db.tables();
    const auto has = [&](const QString& table) {
        return present.contains(table, Qt::CaseInsensitive);
    };
    QStringList statements;
    for (const char* name : kAddedTables)
        if (!has(QString::fromUtf8(name)))
            statements << tableSql(db.engine(), *table(QString::fromUtf8(name)));
    bool noticeTextAdded = false;
    for (const AddedColumn& a : kAddedColumns) {
        const QString t = QString::fromUtf8(a.table);
        const QString c = QString::fromUtf8(a.column);
        if (!has(t) || db.handle().record(t).indexOf(c) >= 0)
            continue;
        statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                          .arg(t, c, sqlType(db.engine(), *table(t)->column(c)));
        noticeTextAdded = noticeTextAdded || c == QStringLiteral("催还通知文字");
    }
    for (const char* name : kAddedIndexes)
        if (!indexExists(db, QString::fromUtf8(name)))
            statements << indexSql(db.engine(), *indexNamed(name));
    if (has(QStringLiteral("管理员")) && !indexExists(db, QString::fromUtf8(kOperatorNameKey)) &&
        duplicateOperatorNames(db).isEmpty())
        statements << indexSql(db.engine(), *indexNamed(kOperatorNameKey));
    // The text index of a library made before it: built from the rows once, here.
    const bool textIndexAdded = has(QStringLiteral("图书")) && has(QStringLiteral("期刊")) &&
                                !hasTextIndex(db, QStringLiteral("图书"));
    if (textIndexAdded)
        statements << textIndexStatements(db.engine());
    if (statements.isEmpty())
        return false;
    db.transaction([&] {
        for (const QString& sql : statements)
            db.execute(sql);
        if (textIndexAdded)
            rebuildTextIndexes(db);
        if (noticeTextAdded)
            db.execute(QStringLiteral("update 系统设置 set 催还通知文字 = ?"),
                       {kDefaultOverdueNoticeText});
    });
    return true;
}

QStringList Schema::duplicateOperatorNames(const Database& db)
{
    QSqlQuery q = db.query(QStringLiteral("select AdminName from 管理员 group by AdminName "
                                          "having count(*) > 1 order by AdminName"));
    QStringList names;
    while (q.next())
        names << DbValue::toText(q.value(0));
    return names;
}

void Schema::create(const Database& db)
{
    db.transaction([&] {
        for (const QString& sql : createStatements(db.engine()))
            db.execute(sql);

        db.execute(
            QStringLiteral(
                "insert into 系统设置 (图书馆名, 地址, 电话, 负责人, 超期每日罚金, 押金倍数, "
                "开户费, 赔损金额倍数, 启用租金功能, 启用读者租金, 启用读者有效期, "
                "启用超期罚金, 借阅数量限制功能, 启用押金功能, 显示班级, 显示院系, "
                "启用预定功能, 借出时打印清单, 归还焦点条形码, 归还焦点图书编号, "
                "归还焦点读者编号, 借阅焦点编号, 借阅焦点条形码, 借阅证背面文字, WebNotice, "
                "催还通知文字) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                "?, ?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("图书馆"),
             QString(),
             QString(),
             QString(),
             QVariant::fromValue(Money::fromUnits(1000)),
             1.0,
             QVariant::fromValue(Money()),
             1.0,
             false,
             false,
             false,
             true,
             true,
             false,
             false,
             false,
             true,
             false,
             false,
             true,
             false,
             true,
             false,
             QStringLiteral("1. 本证只限本人使用,不得转借.\n2. 遗失请及时挂失."),
             QString(),
             kDefaultOverdueNoticeText});

        QVariantList admin{QString::fromUtf8(kSuperAdministrator),
                           QString::fromUtf8(kDefaultPassword)};
        for (int i = 0; i < 15; ++i)
            admin << (i < 14); // every right but qxModifyStock is on for the row too
        db.execute(QStringLiteral("insert into 管理员 (AdminName, pwd, %1) values "
                                  "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                       .arg(rightsColumnsList()),
                   admin);

        db.execute(QStringLiteral("insert into 读者类别 (类别名, 借阅天数, 借阅数量限制, 租金) "
                                  "values (?, ?, ?, ?)"),
                   {QStringLiteral("普通"), 30, 5, QVariant::fromValue(Money())});
        db.execute(QStringLiteral("insert into 物品级别 (名称, 租金, 可借数量) values (?, ?, ?)"),
                   {QStringLiteral("普通"), QVariant::fromValue(Money()), 0});
        const std::pair<const char*, const char*> firstRows[] = {
            {"分类", "综合"}, {"二级分类", "综合"}, {"存放位置", "书库"},   {"币种", "人民币"},
            {"密级", "公开"}, {"附件名", "无"},     {"单位名称", "本单位"}, {"证件名", "身份证"},
        };
        for (const auto& [table, value] : firstRows) {
            const TableDef* t = Schema::table(QString::fromUtf8(table));
            db.execute(QStringLiteral("insert into %1 (%2) values (?)")
                           .arg(t->name, t->columns.first().name),
                       {QString::fromUtf8(value)});
        }
        for (const char* extra : {"光盘", "磁带"})
            db.execute(QStringLiteral("insert into 附件名 (附件名) values (?)"),
                       {QString::fromUtf8(extra)});
        db.execute(
            QStringLiteral("insert into 出版社名 (出版社名, ISBN, 出版地) values (?, ?, ?)"),
            {QStringLiteral("人民邮电出版社"), QStringLiteral("7-115"), QStringLiteral("北京")});
    });
}
