// The barcode label printed after a book is saved: the book number, call number, class
// number and title beside their captions, and the barcode in Code 39.
#pragma once

#include "BookEntry.h"
#include "report/Report.h"

namespace BookLabel {
// The label template: one small page with one data band printed once.
Report report();
// The label of the fields as they stand on the entry screen.
PreparedReport prepare(const BookRecord& fields);
} // namespace BookLabel
