#include "Money.h"

#include <QRegularExpression>
#include <cmath>

std::optional<Money> Money::parse(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^([+-]?)(\\d*)(?:\\.(\\d{0,4}))?$"));
    const QString t = text.trimmed();
    const auto m = re.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    const QString whole = m.captured(2);
    QString frac = m.captured(3);
    if (whole.isEmpty() && frac.isEmpty())
        return std::nullopt;
    if (whole.size() > 14)
        return std::nullopt;
    frac = frac.leftJustified(4, QLatin1Char('0'));
    const int64_t units = (whole.isEmpty() ? 0 : whole.toLongLong()) * kScale + frac.toLongLong();
    return fromUnits(m.captured(1) == QLatin1String("-") ? -units : units);
}

std::optional<Money> Money::fromVariant(const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return std::nullopt;
    if (v.canConvert<Money>() && v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>();
    switch (v.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        // Beyond what 64 bits of ten-thousandths hold.
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e14)
            return std::nullopt;
        return fromUnits(std::llround(d * kScale));
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return fromYuan(v.toLongLong());
    default: {
        // Numeric text, possibly with more than four decimals ("12.50000"): round half away.
        QString s = v.toString().trimmed();
        if (auto exact = parse(s))
            return exact;
        static const QRegularExpression longer(QStringLiteral("^([+-]?)(\\d*)\\.(\\d{5,})$"));
        const auto m = longer.match(s);
        if (!m.hasMatch())
            return std::nullopt;
        const QString digits = m.captured(3);
        int64_t units = m.captured(2).toLongLong() * kScale + digits.left(4).toLongLong();
        if (digits.at(4) >= QLatin1Char('5'))
            ++units;
        return fromUnits(m.captured(1) == QLatin1String("-") ? -units : units);
    }
    }
}

QString Money::toSqlText() const
{
    const int64_t a = units_ < 0 ? -units_ : units_;
    return QStringLiteral("%1%2.%3")
        .arg(units_ < 0 ? QStringLiteral("-") : QString())
        .arg(a / kScale)
        .arg(a % kScale, 4, 10, QLatin1Char('0'));
}

QString Money::toString() const
{
    QString s = toSqlText();
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    return s;
}

QString Money::toFixed2() const
{
    // Round half away from zero to cents.
    const int64_t a = units_ < 0 ? -units_ : units_;
    const int64_t cents = (a + 50) / 100;
    return QStringLiteral("%1%2.%3")
        .arg(units_ < 0 && cents != 0 ? QStringLiteral("-") : QString())
        .arg(cents / 100)
        .arg(cents % 100, 2, 10, QLatin1Char('0'));
}
