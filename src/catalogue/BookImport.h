// What the book import reads: the twenty columns of 图书 in the order of the sheet, and
// the values every imported book gets.
#pragma once

#include "data/SheetImport.h"

namespace BookImport {
ImportLayout layout();
} // namespace BookImport
