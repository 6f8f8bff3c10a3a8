// A few months of desk work on top of the demo library, so that the loan query, the overdue
// list, the notices, the charts and the statistics have something to show at first start.
// Every loan, return, renewal, top-up and status change is made by the desk's own rules
// classes with the clock set to the day it happens; the history ends today (Clock::today()).
#pragma once

#include "data/Database.h"

namespace DemoHistory {
// Days of history before today.
inline constexpr int kDays = 120;

// Adds the history to a new demo library (Schema::addDemoLibrary). The same today gives the
// same history. The clock is given back as it was. Throws DbError.
void add(const Database& db);
} // namespace DemoHistory
