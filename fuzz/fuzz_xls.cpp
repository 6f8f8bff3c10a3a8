// The .xls reader (FreeXL) on any bytes: open() succeeds or fails with a message, and the cells
// of the used range can be read.
#include "FuzzReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzReader::readAll<XlsReader>(data, size, ".xls");
}
