#include "BorrowPickers.h"

#include "data/ListSearch.h"
#include "data/Schema.h"

namespace {
const QStringList& readerColumns()
{
    static const QStringList c = {
        QStringLiteral("读者编号"),     QStringLiteral("读者姓名"), QStringLiteral("性别"),
        QStringLiteral("单位部门"),     QStringLiteral("联系电话"), QStringLiteral("类别"),
        QStringLiteral("住址"),         QStringLiteral("有效证件"), QStringLiteral("证件号码"),
        QStringLiteral("累计借阅次数"), QStringLiteral("未还数量"), QStringLiteral("登记日期"),
        QStringLiteral("有效期"),       QStringLiteral("状态"),     QStringLiteral("备注"),
        QStringLiteral("密码"),         QStringLiteral("卡内金额"), QStringLiteral("登记人")};
    return c;
}

const QStringList& itemColumns()
{
    static const QStringList c = {QStringLiteral("编号"),     QStringLiteral("名称"),
                                  QStringLiteral("分类"),     QStringLiteral("条形码"),
                                  QStringLiteral("存放位置"), QStringLiteral("出版社")};
    return c;
}

constexpr int kItemNumberColumn = 0;
constexpr int kItemBarcodeColumn = 3;

// A value as the grid shows it, by the column's type in the schema.
QString displayText(const ColumnDef* column, const QVariant& v)
{
    if (v.isNull() || !column)
        return DbValue::toText(v);
    switch (column->type) {
    case ColumnType::Money: {
        const auto m = Money::fromVariant(v);
        return m ? m->toString() : DbValue::toText(v);
    }
    case ColumnType::Date:
        return DbValue::dateText(v);
    case ColumnType::DateTime:
        return DbValue::dateTimeText(v);
    default:
        return DbValue::toText(v);
    }
}

PickerRows run(const Database& db, const QString& table, const QStringList& columns,
               const QString& where, const QVariantList& values, int limit)
{
    QString sql = QStringLiteral("select ") + columns.join(QStringLiteral(", ")) +
                  QStringLiteral(" from ") + table;
    if (!where.isEmpty())
        sql += QStringLiteral(" where ") + where;
    if (limit > 0)
        sql = db.limited(sql, limit);
    const TableDef* def = Schema::table(table);
    QList<const ColumnDef*> types;
    for (const QString& c : columns)
        types << (def ? def->column(c) : nullptr);

    PickerRows out;
    out.columns = columns;
    QSqlQuery q = db.query(sql, values);
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < columns.size(); ++i)
            row << displayText(types[i], q.value(i));
        out.rows << row;
    }
    return out;
}

QString itemTable(const QString& table)
{
    if (table == QStringLiteral("图书") || table == QStringLiteral("期刊"))
        return table;
    throw DbError(QStringLiteral("无效的物品表: %1").arg(table));
}

const QString kLike = QStringLiteral(" like ? escape '\\'");
} // namespace

QString BorrowPicker::containsPattern(const QString& text)
{
    return ListSearch::containsPattern(text);
}

PickerRows BorrowPicker::readersInitial(const Database& db)
{
    return run(db, QStringLiteral("读者库"), readerColumns(), {}, {}, kInitialRows);
}

PickerRows BorrowPicker::readersByName(const Database& db, const QString& text)
{
    // py holds upper-case initials: the typed initials match in either case.
    return run(db, QStringLiteral("读者库"), readerColumns(),
               QStringLiteral("读者姓名") + kLike + QStringLiteral(" or py") + kLike,
               {containsPattern(text), containsPattern(text.toUpper())}, 0);
}

PickerRows BorrowPicker::readersByNumber(const Database& db, const QString& text)
{
    return run(db, QStringLiteral("读者库"), readerColumns(), QStringLiteral("读者编号") + kLike,
               {containsPattern(text)}, 0);
}

QString BorrowPicker::readerNumber(const QStringList& row)
{
    return row.value(0);
}

PickerRows BorrowPicker::itemsInitial(const Database& db, const QString& table)
{
    return run(db, itemTable(table), itemColumns(), {}, {}, kInitialRows);
}

PickerRows BorrowPicker::itemsByName(const Database& db, const QString& table, const QString& text)
{
    return run(db, itemTable(table), itemColumns(),
               QStringLiteral("名称") + kLike + QStringLiteral(" or py") + kLike,
               {containsPattern(text), containsPattern(text.toUpper())}, 0);
}

PickerRows BorrowPicker::itemsByNumber(const Database& db, const QString& table,
                                       const QString& text)
{
    return run(db, itemTable(table), itemColumns(), QStringLiteral("编号") + kLike,
               {containsPattern(text)}, 0);
}

QString BorrowPicker::itemKey(const QStringList& row, const QString& keyColumn)
{
    return row.value(keyColumn == QStringLiteral("条形码") ? kItemBarcodeColumn
                                                           : kItemNumberColumn);
}
