// The .xlsx reader on any bytes: open() succeeds or fails with a message, and the cells
// of the used range can be read.
#include "FuzzReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzReader::readAll<XlsxReader>(data, size, ".xlsx");
}
