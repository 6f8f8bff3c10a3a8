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

QList<QStringList> DictionaryRules::rows() const
{
    const TableDef* t = Schema::table(table_.table);
    QList<QStringList> out;
    if (!t)
        return out;
    QSqlQuery q = db_.query(QStringLiteral("select * from %1").arg(t->name));
    const QSqlRecord rec = q.record();
    QList<int> at;
    for (const ColumnDef& c : t->columns)
        at << rec.indexOf(c.name);
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < t->columns.size(); ++i)
            row << (at[i] < 0 ? QString() : cellText(t->columns[i].type, q.value(at[i])));
        out << row;
    }
    return out;
}

QStringList DictionaryRules::fieldTexts(const QStringList& row) const
{
    const QStringList cols = columns();
    QStringList out;
    for (const DictionaryField& f : table_.fields)
        out << row.value(cols.indexOf(f.column));
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

bool DictionaryRules::exists(const QString& name) const
{
    return db_.scalar(QStringLiteral("select count(*) from %1 where %2 = ?")
                          .arg(table_.table, table_.nameColumn()),
                      {name})
               .toInt() > 0;
}

bool DictionaryRules::nameTaken(const QString& name) const
{
    return exists(name);
}

RuleResult DictionaryRules::removeCheck(const QString& name) const
{
    if (nameLocked(name))
        return RuleResult::refused(table_.protectedDeleteMessage);
    try {
        // Counted as the rows with another name, so that the last name always stays.
        const QString others = QStringLiteral("select count(*) from %1 where %2 <> ?")
                                   .arg(table_.table, table_.nameColumn());
        if (table_.keepsLastRow() && db_.scalar(others, {name}).toInt() == 0)
            return RuleResult::refused(DictionaryText::KeepOne);
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
    return RuleResult::ask(deleteQuestion(name), kConfirmCaption);
}

RuleResult DictionaryRules::remove(const QString& name) const
{
    if (nameLocked(name))
        return RuleResult::refused(table_.protectedDeleteMessage);
    try {
        QString sql =
            QStringLiteral("delete from %1 where %2 = ?").arg(table_.table, table_.nameColumn());
        QVariantList values{name};
        if (table_.keepsLastRow()) {
            // Another desk may have deleted the other rows since the question was asked.
            sql += QStringLiteral(" and exists (select 1 from %1 where %2 <> ?)")
                       .arg(table_.table, table_.nameColumn());
            values << name;
        }
        if (db_.execute(sql, values) > 0)
            return RuleResult::written();
        if (exists(name))
            return RuleResult::refused(DictionaryText::KeepOne);
        return RuleResult::nothing();
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
}

QString DictionaryRules::refusal(const QStringList& texts, const QString& originalName) const
{
    const QString name = texts.value(0).trimmed();
    if (name.isEmpty())
        return DictionaryText::FillIn;
    if (!originalName.isEmpty() && nameLocked(originalName) && name != originalName)
        return table_.protectedRenameMessage;
    for (int i = 1; i < table_.fields.size(); ++i) {
        const DictionaryField& f = table_.fields[i];
        const QString label = f.label.isEmpty() ? f.column : f.label;
        const QString text = texts.value(i);
        if ((f.kind == DictionaryField::Integer && !wholeNumber(text)) ||
            (f.kind == DictionaryField::Amount && !amount(text)))
            return QStringLiteral("%1必须填写不小于0的数字！").arg(label);
    }
    if (name != originalName && nameTaken(name))
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

RuleResult DictionaryRules::change(const QString& originalName, const QStringList& texts) const
{
    return RuleResult::transaction(db_, [&]() -> QString {
        const QString refused = refusal(texts, originalName);
        if (!refused.isEmpty())
            return refused;
        QStringList sets;
        for (const DictionaryField& f : table_.fields)
            sets << f.column + QStringLiteral(" = ?");
        QVariantList values = boundValues(texts);
        values << originalName;
        if (db_.execute(
                QStringLiteral("update %1 set %2 where %3 = ?")
                    .arg(table_.table, sets.join(QStringLiteral(", ")), table_.nameColumn()),
                values) == 0)
            return QStringLiteral("\"%1\"已不存在！").arg(originalName);
        return {};
    });
}
