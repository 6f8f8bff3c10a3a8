// Today and now for every rule that depends on the date; tests fix them.
#pragma once

#include <QDate>
#include <QDateTime>

class Clock
{
public:
    static QDate today();
    static QDateTime now();
    // Fixes the clock at the given moment; an invalid value returns to the system clock.
    static void setNow(const QDateTime& fixed);
    // The moment the clock is fixed at; invalid when it follows the system clock.
    static QDateTime fixed();
};
