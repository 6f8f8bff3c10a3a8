// How a database value is shown to a librarian, shared by the grid and the printed reports:
// money through Money (exact, no thousands separators), dates as "yyyy-MM-dd", yes/no as
// "是"/"否". The kind of a field comes from the schema by its column name unless the screen
// names it (for computed columns such as "sum(价格) as 总价格").
#pragma once

#include "data/Money.h"

#include <QHash>
#include <QString>
#include <QVariant>

enum class FieldKind
{
    Auto, // decided by the schema's column of that name, else by the value's type
    Text,
    Integer,
    Real,
    Money,
    Date,     // "yyyy-MM-dd"
    DateTime, // "yyyy-MM-dd hh:mm:ss", or the date alone when the time is midnight
    YesNo,    // "是" / "否"
};

namespace FieldFormat {
// The kind of a column of that name in any table of the schema (case ignored), or Auto
// when no table has it.
FieldKind schemaKind(const QString& field);
// Auto resolved: the schema's kind, else the kind of the value's type.
FieldKind resolve(FieldKind kind, const QString& field, const QVariant& value);
// The text shown for a value; NULL shows as empty text.
QString text(const QVariant& value, FieldKind kind);
// Sort key: money as its exact units, dates as dates, numbers as numbers, the rest as text.
QVariant sortKey(const QVariant& value, FieldKind kind);
} // namespace FieldFormat

// Per-screen overrides of field kinds, looked up without regard to case.
class FieldKinds
{
public:
    void set(const QString& field, FieldKind kind) { kinds_.insert(field.toLower(), kind); }
    FieldKind of(const QString& field) const;

private:
    QHash<QString, FieldKind> kinds_;
};

// A column sum kept exactly: money in Money, whole numbers in 64 bits, anything else in
// double. NULLs are skipped; an empty sum (no non-NULL value) shows as empty text.
class FieldSum
{
public:
    explicit FieldSum(FieldKind kind = FieldKind::Auto) : kind_(kind) {}
    void add(const QVariant& value, const QString& field = {});
    bool isEmpty() const { return count_ == 0; }
    FieldKind kind() const { return kind_; }
    Money money() const { return money_; }
    qint64 integer() const { return integer_; }
    double real() const { return real_; }
    QVariant value() const; // Money as QVariant::fromValue, qint64 or double; invalid if empty
    QString text() const;

private:
    FieldKind kind_;
    int count_ = 0;
    Money money_;
    qint64 integer_ = 0;
    double real_ = 0;
};
