// One spreadsheet reader on one input: the cells of the used range are read, so that a
// wrong row index or pool offset shows as a sanitizer report.
#pragma once

#include "FuzzInput.h"
#include "data/SpreadsheetReader.h"

namespace FuzzReader {
template <class Reader> int readAll(const uint8_t* data, size_t size, const char* suffix)
{
    const QString path = FuzzInput::asFile(data, size, suffix);
    Reader reader;
    QString error;
    if (!reader.open(path, &error)) {
        if (error.isEmpty())
            std::abort(); // a refusal always tells the operator why
        return 0;
    }
    // A huge used range of few cells is legal; read a bounded corner and the last cell.
    const int rows = std::min(reader.rowCount(), 2000);
    const int columns = std::min(reader.columnCount(), 64);
    size_t total = 0;
    for (int r = 1; r <= rows + 1; ++r)
        for (int c = 1; c <= columns + 1; ++c)
            total += size_t(reader.cell(r, c).size());
    total += size_t(reader.cell(reader.rowCount(), reader.columnCount()).size());
    static volatile size_t sink;
    sink = total;
    return 0;
}
} // namespace FuzzReader
