#include "DictionaryRules.h"

#include "data/Database.h"
#include "data/Schema.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const QString kConfirmCaption = QStringLiteral("确认");

QString cellText(ColumnType type, const QVariant& v)
{
    if (v.isNull())
        return {};
    switch (type) {
    case ColumnType::Money: {
        const std::optional<Money> m = Money::fromVariant(v);
        return m ? m->toString() : v.toString();
    }
    case ColumnType::Integer:
        return QString::number(v.toLongLong());
    default:
        return v.toString();
    }
}

std::optional<int> wholeNumber(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < 0)
        return std::nullopt;
    return n;
}

std::optional<Money> amount(const QString& text)
{
    const std::optional<Money> m = Money::parse(text);
    if (!m || m->isNegative())
        return std::nullopt;
    return m;
}
} // namespace

DictionaryRules::DictionaryRules(const Database& db, const DictionaryTable& table)
    : db_(db), table_(table)
{
}

QStringList DictionaryRules::columns() const
{
    QStringList out;
    if (const TableDef* t = Schema::table(table_.table))
        for (const ColumnDef& c : t->columns)
            out << c.name;
    return out;
}

QStringList DictionaryRules::gridColumns() const
{
    return table_.gridColumns.isEmpty() ? columns() : table_.gridColumns;
}

QList<DictionaryRow> DictionaryRules::rows() const
{
    const TableDef* t = Schema::table(table_.table);
    QList<DictionaryRow> out;
    if (!t)
        return out;
    QSqlQuery q = db_.query(QStringLiteral("select * from %1").arg(t->name));
    const QSqlRecord rec = q.record();
    QList<int> at;
    for (const ColumnDef& c : t->columns)
        at << rec.indexOf(c.name);
    while (q.next()) {
        DictionaryRow row;
        for (int i = 0; i < t->columns.size(); ++i) {
            const QVariant v = at[i] < 0 ? QVariant() : q.value(at[i]);
            row.texts << (at[i] < 0 ? QString() : cellText(t->columns[i].type, v));
            row.values << v;
        }
        out << row;
    }
    return out;
}

QStringList DictionaryRules::fieldTexts(const DictionaryRow& row) const
{
    const QStringList cols = columns();
    QStringList out;
    for (const DictionaryField& f : table_.fields)
        out << row.texts.value(cols.indexOf(f.column));
    return out;
}

bool DictionaryRules::nameLocked(const QString& name) const
{
    return !table_.protectedName.isEmpty() && name == table_.protectedName;
}

QString DictionaryRules::deleteQuestion(const QString& firstColumnText)
{
    return DictionaryText::DeleteQuestionStart + QStringLiteral("\" ") + firstColumnText +
           QLatin1Char('"');
}

QString DictionaryRules::matching(const DictionaryRow& row, QVariantList* values) const
{
    const TableDef* t = Schema::table(table_.table);
    QStringList terms;
    for (int i = 0; t && i < t->columns.size() && i < row.values.size(); ++i) {
        const ColumnDef& c = t->columns[i];
        const QVariant& v = row.values[i];
        if (!v.isValid())
            continue; // the table lacks the column
        if (v.isNull()) {
            terms << c.name + QStringLiteral(" is null");
            continue;
        }
        terms << c.name + QStringLiteral(" = ?");
        // PostgreSQL's numeric arrives as a double, which may miss the stored amount; as
        // Money it is compared exactly. SQLite gives back the very double it stores.
        if (c.type == ColumnType::Money && db_.engine() != DbEngine::SQLite)
            *values << QVariant::fromValue(DbValue::toMoney(v));
        else
            *values << v;
    }
    return terms.join(QStringLiteral(" and "));
}

QString DictionaryRules::oneRow(const DictionaryRow& row, QVariantList* values) const
{
    // The engine's own address of a stored row picks one of several equal rows; the tables
    // need no key column for it, so libraries stored before open as they are.
    QString at;
    switch (db_.engine()) {
    case DbEngine::PostgreSQL:
        at = QStringLiteral("ctid");
        break;
    default:
        at = QStringLiteral("rowid");
        break;
    }
    const QString first = db_.limited(
        QStringLiteral("select %1 from %2 where %3").arg(at, table_.table, matching(row, values)),
        1);
    return QStringLiteral("%1 = (%2)").arg(at, first);
}

bool DictionaryRules::exists(const DictionaryRow& row) const
{
    QVariantList values;
    const QString where = matching(row, &values);
    return db_.scalar(QStringLiteral("select count(*) from %1 where %2").arg(table_.table, where),
                      values)
               .toInt() > 0;
}

bool DictionaryRules::taken(const QStringList& texts) const
{
    QStringList terms;
    QVariantList values;
    for (int i = 0; i < table_.distinctFields && i < table_.fields.size(); ++i) {
        terms << table_.fields[i].column + QStringLiteral(" = ?");
        values << texts.value(i).trimmed();
    }
    return db_.scalar(QStringLiteral("select count(*) from %1 where %2")
                          .arg(table_.table, terms.join(QStringLiteral(" and "))),
                      values)
               .toInt() > 0;
}

RuleResult DictionaryRules::removeCheck(const DictionaryRow& row) const
{
    if (nameLocked(row.name()))
        return RuleResult::refused(table_.protectedDeleteMessage);
    try {
        // Counted as rows, so that two rows of one name are two.
        const QString all = QStringLiteral("select count(*) from %1").arg(table_.table);
        if (table_.keepsLastRow() && db_.scalar(all).toInt() <= 1)
            return RuleResult::refused(DictionaryText::KeepOne);
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
    return RuleResult::ask(deleteQuestion(row.texts.value(0)), kConfirmCaption);
}

RuleResult DictionaryRules::remove(const DictionaryRow& row) const
{
    if (nameLocked(row.name()))
        return RuleResult::refused(table_.protectedDeleteMessage);
    try {
        QVariantList values;
        QString sql =
            QStringLiteral("delete from %1 where %2").arg(table_.table, oneRow(row, &values));
        // Another desk may have deleted the other rows since the question was asked.
        if (table_.keepsLastRow())
            sql += QStringLiteral(" and (select count(*) from %1) > 1").arg(table_.table);
        if (db_.execute(sql, values) > 0)
            return RuleResult::written();
        if (exists(row))
            return RuleResult::refused(DictionaryText::KeepOne);
        return RuleResult::nothing();
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
}

QString DictionaryRules::refusal(const QStringList& texts, const DictionaryRow* original) const
{
    const QString name = texts.value(0).trimmed();
    if (name.isEmpty())
        return DictionaryText::FillIn;
    if (original && nameLocked(original->name()) && name != original->name())
        return table_.protectedRenameMessage;
    for (int i = 1; i < table_.fields.size(); ++i) {
        const DictionaryField& f = table_.fields[i];
        const QString label = f.label.isEmpty() ? f.column : f.label;
        const QString text = texts.value(i);
        if ((f.kind == DictionaryField::Integer && !wholeNumber(text)) ||
            (f.kind == DictionaryField::Amount && !amount(text)))
            return QStringLiteral("%1必须填写不小于0的数字！").arg(label);
    }
    // A row keeps its own distinct texts; other texts must not be another row's.
    bool same = original != nullptr;
    const QStringList before = original ? fieldTexts(*original) : QStringList();
    for (int i = 0; same && i < table_.distinctFields; ++i)
        same = texts.value(i).trimmed() == before.value(i);
    if (!same && taken(texts))
        return QStringLiteral("\"%1\"已经存在！").arg(name);
    return {};
}

QVariantList DictionaryRules::boundValues(const QStringList& texts) const
{
    QVariantList values;
    for (int i = 0; i < table_.fields.size(); ++i) {
        const QString text = texts.value(i).trimmed();
        switch (table_.fields[i].kind) {
        case DictionaryField::Text:
            values << text;
            break;
        case DictionaryField::Integer:
            values << *wholeNumber(text);
            break;
        case DictionaryField::Amount:
            values << QVariant::fromValue(*amount(text));
            break;
        }
    }
    return values;
}

RuleResult DictionaryRules::add(const QStringList& texts) const
{
    return RuleResult::transaction(db_, [&]() -> QString {
        const QString refused = refusal(texts);
        if (!refused.isEmpty())
            return refused;
        QStringList cols, marks;
        for (const DictionaryField& f : table_.fields) {
            cols << f.column;
            marks << QStringLiteral("?");
        }
        db_.execute(QStringLiteral("insert into %1 (%2) values (%3)")
                        .arg(table_.table, cols.join(QStringLiteral(", ")),
                             marks.join(QStringLiteral(", "))),
                    boundValues(texts));
        return {};
    });
}

RuleResult DictionaryRules::change(const DictionaryRow& original, const QStringList& texts) const
{
    return RuleResult::transaction(db_, [&]() -> QString {
        const QString refused = refusal(texts, &original);
        if (!refused.isEmpty())
            return refused;
        QStringList sets;
        for (const DictionaryField& f : table_.fields)
            sets << f.column + QStringLiteral(" = ?");
        QVariantList values = boundValues(texts);
        const QString where = oneRow(original, &values);
        if (db_.execute(QStringLiteral("update %1 set %2 where %3")
                            .arg(table_.table, sets.join(QStringLiteral(", ")), where),
                        values) == 0)
            return QStringLiteral("\"%1\"已不存在！").arg(original.name());
        return {};
    });
}
