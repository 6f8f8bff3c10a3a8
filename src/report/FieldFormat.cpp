#include "FieldFormat.h"

#include "data/Database.h"
#include "data/Schema.h"

namespace {
FieldKind kindOfColumn(ColumnType type)
{
    switch (type) {
    case ColumnType::Text:
    case ColumnType::LongText:
        return FieldKind::Text;
    case ColumnType::Integer:
    case ColumnType::AutoNumber:
        return FieldKind::Integer;
    case ColumnType::Real:
        return FieldKind::Real;
    case ColumnType::Money:
        return FieldKind::Money;
    case ColumnType::Date:
        return FieldKind::Date;
    case ColumnType::DateTime:
        return FieldKind::DateTime;
    case ColumnType::YesNo:
        return FieldKind::YesNo;
    }
    return FieldKind::Text;
}

const QHash<QString, FieldKind>& schemaKinds()
{
    static const QHash<QString, FieldKind> kinds = [] {
        QHash<QString, FieldKind> k;
        for (const TableDef& t : Schema::tables())
            for (const ColumnDef& c : t.columns)
                if (!k.contains(c.name.toLower()))
                    k.insert(c.name.toLower(), kindOfColumn(c.type));
        return k;
    }();
    return kinds;
}

FieldKind kindOfValue(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<Money>())
        return FieldKind::Money;
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
        return FieldKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldKind::Real;
    case QMetaType::QDate:
        return FieldKind::Date;
    case QMetaType::QDateTime:
        return FieldKind::DateTime;
    case QMetaType::Bool:
        return FieldKind::YesNo;
    default:
        return FieldKind::Text;
    }
}

QString realText(double d)
{
    return QString::number(d, 'g', 15);
}
} // namespace

namespace FieldFormat {
FieldKind schemaKind(const QString& field)
{
    return schemaKinds().value(field.toLower(), FieldKind::Auto);
}

FieldKind resolve(FieldKind kind, const QString& field, const QVariant& value)
{
    if (kind != FieldKind::Auto)
        return kind;
    const FieldKind k = schemaKind(field);
    return k != FieldKind::Auto ? k : kindOfValue(value);
}

QString text(const QVariant& value, FieldKind kind)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (kind) {
    case FieldKind::Money:
        if (const auto m = Money::fromVariant(value))
            return m->toString();
        return value.toString();
    case FieldKind::Date:
        return DbValue::dateText(value);
    case FieldKind::DateTime: {
        const QDateTime dt = DbValue::dateTimeOrNull(value);
        if (!dt.isValid())
            return value.toString();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("yyyy-MM-dd"))
                                        : dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    case FieldKind::YesNo: {
        if (value.metaType().id() == QMetaType::QString) {
            const QString s = value.toString().trimmed();
            if (s == QStringLiteral("是") || s == QStringLiteral("否"))
                return s;
        }
        return value.toBool() ? QStringLiteral("是") : QStringLiteral("否");
    }
    case FieldKind::Real: {
        bool ok = false;
        const double d = value.toDouble(&ok);
        return ok ? realText(d) : value.toString();
    }
    case FieldKind::Integer:
    case FieldKind::Text:
    case FieldKind::Auto:
        break;
    }
    if (value.metaType().id() == QMetaType::Double)
        return realText(value.toDouble());
    return value.toString();
}

QVariant sortKey(const QVariant& value, FieldKind kind)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (kind) {
    case FieldKind::Money:
        if (const auto m = Money::fromVariant(value))
            return qlonglong(m->units());
        return value;
    case FieldKind::Date:
    case FieldKind::DateTime: {
        const QDateTime dt = DbValue::dateTimeOrNull(value);
        return dt.isValid() ? QVariant(dt) : value;
    }
    case FieldKind::Integer:
        return value.toLongLong();
    case FieldKind::Real:
        return value.toDouble();
    case FieldKind::YesNo:
        return text(value, kind);
    case FieldKind::Text:
    case FieldKind::Auto:
        break;
    }
    return value.toString();
}
} // namespace FieldFormat

FieldKind FieldKinds::of(const QString& field) const
{
    return kinds_.value(field.toLower(), FieldKind::Auto);
}

void FieldSum::add(const QVariant& value, const QString& field)
{
    if (!value.isValid() || value.isNull())
        return;
    if (kind_ == FieldKind::Auto)
        kind_ = FieldFormat::resolve(FieldKind::Auto, field, value);
    switch (kind_) {
    case FieldKind::Money:
        if (const auto m = Money::fromVariant(value)) {
            money_ += *m;
            ++count_;
        }
        return;
    case FieldKind::Integer: {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (ok) {
            integer_ += n;
            ++count_;
            return;
        }
        // A whole-number column holding a fraction (SQLite keeps what it is given).
        kind_ = FieldKind::Real;
        real_ = double(integer_);
        break;
    }
    default:
        kind_ = FieldKind::Real;
        break;
    }
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (ok) {
        real_ += d;
        ++count_;
    }
}

QVariant FieldSum::value() const
{
    if (isEmpty())
        return {};
    if (kind_ == FieldKind::Money)
        return QVariant::fromValue(money_);
    if (kind_ == FieldKind::Integer)
        return integer_;
    return real_;
}

QString FieldSum::text() const
{
    if (isEmpty())
        return {};
    if (kind_ == FieldKind::Money)
        return money_.toString();
    if (kind_ == FieldKind::Integer)
        return QString::number(integer_);
    return realText(real_);
}
