#include "Clock.h"

namespace {
QDateTime& fixedNow()
{
    static QDateTime value;
    return value;
}
} // namespace

QDate Clock::today()
{
    return now().date();
}

QDateTime Clock::now()
{
    const QDateTime& f = fixedNow();
    return f.isValid() ? f : QDateTime::currentDateTime();
}

void Clock::setNow(const QDateTime& fixed)
{
    fixedNow() = fixed;
}

QDateTime Clock::fixed()
{
    return fixedNow();
}
