// Fixed-point amount of yuan: a 64-bit count of ten-thousandths. No arithmetic in double.
#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>

class Money
{
public:
    static constexpr int64_t kScale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(int64_t tenThousandths)
    {
        Money m;
        m.units_ = tenThousandths;
        return m;
    }
    static constexpr Money fromYuan(int64_t yuan) { return fromUnits(yuan * kScale); }

    // Parses "12", "-3.5", "0.1234", " 7.50 " (blanks around allowed, no thousands
    // separators, at most four decimals). Empty or malformed text gives nullopt.
    static std::optional<Money> parse(const QString& text);

    // Reads a database value: numeric text (PostgreSQL numeric), integer, or real
    // (SQLite keeps amounts as REAL; the value is rounded to the nearest ten-thousandth).
    // NULL gives nullopt.
    static std::optional<Money> fromVariant(const QVariant& v);

    int64_t units() const { return units_; }
    bool isZero() const { return units_ == 0; }
    bool isNegative() const { return units_ < 0; }

    // "12.5", "0", "-3.1234": no thousands separators, trailing zeros dropped.
    QString toString() const;
    // Always two decimals ("12.50"), for receipts and printed lists.
    QString toFixed2() const;
    // Exact decimal text with four decimals, the form bound into SQL.
    QString toSqlText() const;
    // Nearest double; for bindings on engines that store amounts as REAL and for charts.
    double toDouble() const { return double(units_) / kScale; }

    Money operator+(Money o) const { return fromUnits(units_ + o.units_); }
    Money operator-(Money o) const { return fromUnits(units_ - o.units_); }
    Money operator-() const { return fromUnits(-units_); }
    Money operator*(int64_t n) const { return fromUnits(units_ * n); }
    Money& operator+=(Money o)
    {
        units_ += o.units_;
        return *this;
    }
    Money& operator-=(Money o)
    {
        units_ -= o.units_;
        return *this;
    }
    auto operator<=>(const Money&) const = default;

private:
    int64_t units_ = 0;
};

Q_DECLARE_METATYPE(Money)
