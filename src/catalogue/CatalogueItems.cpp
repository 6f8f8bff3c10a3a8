#include "CatalogueItems.h"

#include "BookEntry.h"

#include "data/AdminLog.h"
#include "data/Clock.h"
#include "data/Schema.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const QString kNumber = QStringLiteral("编号");
const QString kStock = QStringLiteral("数量");
const QString kBarcode = QStringLiteral("条形码");
const QString kNotReturned = QStringLiteral("否");

// A refusal raised inside a transaction so that everything before it is rolled back.
struct Refusal
{
    ItemResult result;
};

Refusal refusal(const QString& message, std::optional<int> stock = std::nullopt)
{
    return Refusal{ItemResult{false, message, stock}};
}

ColumnType typeOf(const QString& table, const QString& column)
{
    const TableDef* t = Schema::table(table);
    const ColumnDef* c = t ? t->column(column) : nullptr;
    return c ? c->type : ColumnType::Text;
}

// A whole number as typed; nullopt for anything else.
std::optional<int> wholeNumber(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

QVariant nullOf(ColumnType type)
{
    switch (type) {
    case ColumnType::Integer:
    case ColumnType::AutoNumber:
        return QVariant(QMetaType::fromType<int>());
    case ColumnType::Date:
        return QVariant(QMetaType::fromType<QDate>());
    default:
        return QVariant(QMetaType::fromType<QString>());
    }
}

// "column = ?" with the value as read, or "column is null". Amounts compare as whole
// ten-thousandths, since SQLite keeps them as REAL.
void guard(const Database& db, const QString& table, const QString& column, const QVariant& before,
           QStringList* where, QVariantList* values)
{
    if (before.isNull() || !before.isValid()) {
        *where << column + QStringLiteral(" is null");
        return;
    }
    if (typeOf(table, column) == ColumnType::Money) {
        if (const auto m = Money::fromVariant(before)) {
            if (db.engine() == DbEngine::SQLite) {
                *where << QStringLiteral("cast(round(%1 * 10000) as integer) = ?").arg(column);
                *values << qlonglong(m->units());
            } else {
                *where << column + QStringLiteral(" = ?");
                *values << QVariant::fromValue(*m);
            }
            return;
        }
    }
    *where << column + QStringLiteral(" = ?");
    *values << before;
}

QVariant trimmedText(const QString& s)
{
    return s.trimmed();
}

} // namespace

QString CatalogueText::gone(const QString& itemWord, const QString& number)
{
    return QStringLiteral("%1\"%2\"已不存在!").arg(itemWord, number);
}

QString CatalogueText::changedMeanwhile(const QString& itemWord, const QString& number,
                                        const QString& column)
{
    return QStringLiteral("%1\"%2\"的%3已被其他用户修改,没有保存,请关闭后重新打开再修改!")
        .arg(itemWord, number, column);
}

QString CatalogueText::stockChangedMeanwhile(const QString& itemWord, const QString& number,
                                             int current)
{
    return QStringLiteral("%1\"%2\"的库存已被其他用户改为%3,没有保存,请关闭后重新打开再修改!")
        .arg(itemWord, number)
        .arg(current);
}

QString CatalogueText::onLoan(const QString& itemWord, const QString& number, const QString& action)
{
    return QStringLiteral("%1\"%2\"还有未归还的借阅记录,不能%3!").arg(itemWord, number, action);
}

QString CatalogueText::deleteQuestion(const QString& name)
{
    return QStringLiteral("您是否要删除\" %1\"").arg(name);
}

QString CatalogueText::notInteger(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString CatalogueText::notAmount(const QString& text)
{
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

CatalogueItems::CatalogueItems(const CatalogueTable& table, const Database& db,
                               const LoginState& state)
    : table_(table), db_(db), state_(state)
{
}

std::optional<QVariantMap> CatalogueItems::load(const QString& number) const
{
    QSqlQuery q = db_.query(table_.list.selectAll() + QStringLiteral(" where 编号 = ?"), {number});
    if (!q.next())
        return std::nullopt;
    const QSqlRecord rec = q.record();
    QVariantMap row;
    for (int i = 0; i < rec.count(); ++i) {
        const QString name = Schema::columnName(table_.table, rec.fieldName(i));
        row.insert(name.isEmpty() ? rec.fieldName(i) : name, q.value(i));
    }
    return row;
}

QString CatalogueItems::number(const QVariantMap& row) const
{
    return DbValue::toText(row.value(kNumber));
}

QString CatalogueItems::shownText(const QString& column, const QVariant& stored) const
{
    if (stored.isNull() || !stored.isValid())
        return {};
    switch (typeOf(table_.table, column)) {
    case ColumnType::Money:
    case ColumnType::Real:
        if (const auto m = Money::fromVariant(stored))
            return m->toString();
        break;
    case ColumnType::Date:
        return DbValue::dateText(stored);
    case ColumnType::DateTime:
        return DbValue::dateTimeText(stored);
    default:
        break;
    }
    return DbValue::toText(stored);
}

std::optional<QList<CatalogueItems::Change>>
CatalogueItems::changes(const QVariantMap& loaded, const QVariantMap& edited, QString* error) const
{
    QList<Change> out;
    for (auto it = edited.begin(); it != edited.end(); ++it) {
        const QString column = Schema::columnName(table_.table, it.key());
        // Only the table's own columns, never the desk's counters and reservations.
        if (column.isEmpty() || table_.deskColumns.contains(column))
            continue;
        const QVariant before = loaded.value(column);
        const ColumnType type = typeOf(table_.table, column);
        if (type == ColumnType::Date) {
            const QDate now = it.value().toDate();
            if (now == DbValue::dateOrNull(before))
                continue;
            out << Change{column, now.isValid() ? QVariant(now) : nullOf(type)};
            continue;
        }
        QString text = it.value().toString();
        if (column == QStringLiteral("物品级别") && text.isEmpty() &&
            table_.table == QStringLiteral("图书"))
            text = QStringLiteral("普通");
        if (text == shownText(column, before))
            continue;
        QVariant value = text;
        if (type == ColumnType::Integer) {
            if (text.trimmed().isEmpty()) {
                value = nullOf(type);
            } else if (const auto n = wholeNumber(text)) {
                value = *n;
            } else {
                *error = CatalogueText::notInteger(text);
                return std::nullopt;
            }
        } else if (type == ColumnType::Money) {
            if (text.trimmed().isEmpty()) {
                value = nullOf(type);
            } else if (const auto m = Money::parse(text)) {
                value = QVariant::fromValue(*m);
            } else {
                *error = CatalogueText::notAmount(text);
                return std::nullopt;
            }
        }
        out << Change{column, value};
    }
    return out;
}

int CatalogueItems::openLoans(const QString& number) const
{
    return db_
        .scalar(QStringLiteral("select count(*) from 借出记录 where 编号 = ? and 类别 = ? and "
                               "已还 = ?"),
                {number, table_.table, kNotReturned})
        .toInt();
}

void CatalogueItems::write(const QVariantMap& loaded, const QList<Change>& changes) const
{
    if (changes.isEmpty())
        return;
    const QString was = number(loaded);
    QStringList sets;
    QVariantList values;
    for (const Change& c : changes) {
        sets << c.column + QStringLiteral(" = ?");
        values << c.value;
    }
    QStringList where{QStringLiteral("编号 = ?")};
    values << loaded.value(kNumber);
    for (const Change& c : changes)
        if (c.column != kNumber)
            guard(db_, table_.table, c.column, loaded.value(c.column), &where, &values);
    const int rows = db_.execute(QStringLiteral("update %1 set %2 where %3")
                                     .arg(table_.table, sets.join(QStringLiteral(", ")),
                                          where.join(QStringLiteral(" and "))),
                                 values);
    if (rows == 0) {
        const std::optional<QVariantMap> now = load(was);
        if (!now)
            throw refusal(CatalogueText::gone(table_.itemWord, was));
        for (const Change& c : changes)
            if (c.column != kNumber && shownText(c.column, now->value(c.column)) !=
                                           shownText(c.column, loaded.value(c.column)))
                throw refusal(CatalogueText::changedMeanwhile(table_.itemWord, was, c.column));
        throw refusal(CatalogueText::changedMeanwhile(table_.itemWord, was, QString()));
    }
    // The row is held now: a desk cannot lend it before this transaction ends.
    for (const Change& c : changes)
        if (c.column == kNumber && openLoans(was) > 0)
            throw refusal(CatalogueText::onLoan(table_.itemWord, was, QStringLiteral("修改编号")));
}

ItemResult CatalogueItems::save(const QVariantMap& loaded, const QVariantMap& edited) const
{
    QString error;
    const auto c = changes(loaded, edited, &error);
    if (!c)
        return {false, error, {}};
    try {
        db_.transaction([&] { write(loaded, *c); });
    } catch (const Refusal& r) {
        return r.result;
    } catch (const DbError& e) {
        return {false, e.message(), {}};
    }
    return {true, {}, {}};
}

ItemResult CatalogueItems::changeStock(const QVariantMap& loaded, const QVariantMap& edited,
                                       const QString& quantity) const
{
    if (quantity.isEmpty())
        return {false, CatalogueText::FillQuantity, {}};
    const std::optional<int> n = wholeNumber(quantity);
    if (!n)
        return {false, CatalogueText::notInteger(quantity), {}};
    QString error;
    const auto c = changes(loaded, edited, &error);
    if (!c)
        return {false, error, {}};
    // The number and barcode of the row as it is posted.
    QString now = number(loaded);
    QString barcode = DbValue::toText(loaded.value(kBarcode));
    for (const Change& change : *c) {
        if (change.column == kNumber)
            now = change.value.toString();
        if (change.column == kBarcode)
            barcode = change.value.toString();
    }
    try {
        db_.transaction([&] {
            write(loaded, *c);
            QStringList where{QStringLiteral("编号 = ?")};
            QVariantList values{*n, now};
            guard(db_, table_.table, kStock, loaded.value(kStock), &where, &values);
            const int rows =
                db_.execute(QStringLiteral("update %1 set 数量 = ? where %2")
                                .arg(table_.table, where.join(QStringLiteral(" and "))),
                            values);
            if (rows == 0) {
                const QVariant current = db_.scalar(
                    QStringLiteral("select 数量 from %1 where 编号 = ?").arg(table_.table), {now});
                if (!current.isValid())
                    throw refusal(CatalogueText::gone(table_.itemWord, now));
                const int figure = current.isNull() ? 0 : current.toInt();
                throw refusal(CatalogueText::stockChangedMeanwhile(table_.itemWord, now, figure),
                              figure);
            }
            AdminLog::write(db_, AdminLog::stockChangedEvent(), state_.OperatorName,
                            AdminLog::stockChangedDescription(barcode));
        });
    } catch (const Refusal& r) {
        return r.result;
    } catch (const DbError& e) {
        return {false, e.message(), {}};
    }
    return {true, {}, {}};
}

ItemResult CatalogueItems::remove(const QString& itemNumber) const
{
    try {
        db_.transaction([&] {
            // Deleting first holds the row, so no desk lends the item between the check and
            // the end of this transaction; an open loan rolls the delete back.
            const int rows = db_.execute(
                QStringLiteral("delete from %1 where 编号 = ?").arg(table_.table), {itemNumber});
            if (rows == 0)
                throw refusal(CatalogueText::gone(table_.itemWord, itemNumber));
            if (openLoans(itemNumber) > 0)
                throw refusal(
                    CatalogueText::onLoan(table_.itemWord, itemNumber, QStringLiteral("删除")));
        });
    } catch (const Refusal& r) {
        return r.result;
    } catch (const DbError& e) {
        return {false, e.message(), {}};
    }
    return {true, {}, {}};
}

QString CatalogueItems::totalsLine() const
{
    // One statement for the three figures; amounts as whole ten-thousandths on SQLite,
    // which keeps them as REAL, so that the value is exact on every engine.
    const QString value = db_.engine() == DbEngine::SQLite
                              ? QStringLiteral("sum(数量 * cast(round(价格 * 10000) as integer))")
                              : QStringLiteral("sum(数量 * 价格)");
    QString line;
    try {
        QSqlQuery q = db_.query(
            QStringLiteral("select count(编号), sum(数量), %1 from %2").arg(value, table_.table));
        if (!q.next())
            return line;
        line = QStringLiteral("总记录数:") + QString::number(q.value(0).toLongLong());
        // A sum that cannot be computed (none on an empty table) ends the line there.
        if (q.value(1).isNull())
            return line;
        line += QStringLiteral(" 总数量:") + QString::number(q.value(1).toLongLong());
        if (q.value(2).isNull())
            return line;
        const Money total = db_.engine() == DbEngine::SQLite
                                ? Money::fromUnits(q.value(2).toLongLong())
                                : Money::fromVariant(q.value(2)).value_or(Money());
        const qint64 u = total.units();
        const qint64 half = Money::kScale / 2;
        line += QStringLiteral(" 总价格:") +
                QString::number(u >= 0 ? (u + half) / Money::kScale : (u - half) / Money::kScale);
    } catch (const DbError&) {
        // The line keeps what was built.
    }
    return line;
}

ListStatement CatalogueItems::accessionStatement(const QString& table, const QDate& from,
                                                 const QDate& to, QString* warning)
{
    if (warning)
        *warning = to < from ? CatalogueText::ReversedDates : QString();
    const QString name = Schema::tableName(table) == QStringLiteral("期刊")
                             ? QStringLiteral("期刊")
                             : QStringLiteral("图书");
    return ListStatement{
        QStringLiteral("select * from %1 where 入库时间 >= ? and 入库时间 <= ?").arg(name),
        {from, to}};
}

std::optional<QVariantMap> CatalogueItems::earliestIssue(const QString& barcode) const
{
    // The first issue stored: by entry date (issues without one last), then by 编号, so
    // that every engine copies the same one.
    QSqlQuery q = db_.query(
        db_.limited(QStringLiteral("select * from 期刊 where 条形码 = ? order by "
                                   "case when 入库时间 is null then 1 else 0 end, 入库时间, 编号"),
                    1),
        {barcode.trimmed()});
    if (!q.next())
        return std::nullopt;
    const QSqlRecord rec = q.record();
    QVariantMap row;
    for (int i = 0; i < rec.count(); ++i) {
        const QString name = Schema::columnName(QStringLiteral("期刊"), rec.fieldName(i));
        row.insert(name.isEmpty() ? rec.fieldName(i) : name, q.value(i));
    }
    return row;
}

IssueRecord CatalogueItems::copyIssue(const IssueRecord& typed, const QVariantMap& issue)
{
    IssueRecord r = typed;
    const auto copy = [&](const char* column, QString* field, bool trim = false) {
        const QVariant v = issue.value(QString::fromUtf8(column));
        if (v.isNull() || !v.isValid())
            return;
        *field = v.metaType() == QMetaType::fromType<QString>()
                     ? v.toString()
                     : Money::fromVariant(v).value_or(Money()).toString();
        if (trim)
            *field = field->trimmed();
    };
    copy("名称", &r.名称);
    // The initials follow the copied title unless the earlier issue stored its own.
    r.py = BookEntry::pinyin(r.名称);
    copy("物品级别", &r.物品级别, true);
    copy("出版社", &r.出版社);
    copy("存放位置", &r.存放位置);
    copy("分类", &r.分类);
    copy("二级分类", &r.二级分类);
    copy("issn", &r.issn);
    copy("国内统一刊号", &r.国内统一刊号);
    copy("邮发代号", &r.邮发代号);
    copy("第几期", &r.第几期);
    copy("总第几期", &r.总第几期);
    copy("价格", &r.价格);
    copy("py", &r.py);
    copy("简介", &r.简介);
    return r;
}

IssueRecord CatalogueItems::initialIssue()
{
    IssueRecord r;
    r.物品级别 = QStringLiteral("普通");
    r.价格 = QStringLiteral("0");
    r.数量 = QStringLiteral("1");
    r.状态 = QStringLiteral("正常");
    return r;
}

ItemResult CatalogueItems::addIssue(const IssueRecord& r) const
{
    for (const QString* f : {&r.编号, &r.名称, &r.条形码, &r.数量, &r.价格, &r.物品级别})
        if (f->isEmpty())
            return {false, CatalogueText::MissingFields, {}};
    const std::optional<int> copies = wholeNumber(r.数量);
    if (!copies)
        return {false, CatalogueText::notInteger(r.数量.trimmed()), {}};
    const std::optional<Money> price = Money::parse(r.价格);
    if (!price)
        return {false, CatalogueText::notAmount(r.价格.trimmed()), {}};
    try {
        db_.execute(
            QStringLiteral("insert into 期刊 (编号, 名称, 条形码, 出版社, 物品级别, 存放位置, "
                           "分类, 二级分类, 数量, issn, 国内统一刊号, 邮发代号, 第几期, "
                           "总第几期, 出版时间, 价格, py, 简介, 状态, 借出次数, 入库时间, "
                           "登记人) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                           "?, ?, ?, ?, ?)"),
            {trimmedText(r.编号),
             trimmedText(r.名称),
             trimmedText(r.条形码),
             trimmedText(r.出版社),
             trimmedText(r.物品级别),
             trimmedText(r.存放位置),
             trimmedText(r.分类),
             trimmedText(r.二级分类),
             *copies,
             trimmedText(r.issn),
             trimmedText(r.国内统一刊号),
             trimmedText(r.邮发代号),
             trimmedText(r.第几期),
             trimmedText(r.总第几期),
             r.出版时间.isValid() ? QVariant(r.出版时间.toString(QStringLiteral("yyyy-MM-dd")))
                                  : nullOf(ColumnType::Text),
             QVariant::fromValue(*price),
             trimmedText(r.py),
             trimmedText(r.简介),
             trimmedText(r.状态),
             0,
             Clock::today(),
             state_.OperatorName});
    } catch (const DbError& e) {
        return {false, e.message(), {}};
    }
    return {true, CatalogueText::Saved, {}};
}
