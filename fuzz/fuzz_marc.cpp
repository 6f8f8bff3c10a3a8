// The MARC reading on any bytes, as ISO 2709 or MARCXML, with either format chosen or told
// by the record, and the mapping of every record read: a file is refused with a message or
// each record is read or refused with one, and nothing outside the input is touched.
#include "marc/MarcMapping.h"
#include "marc/MarcReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // The first byte picks the options, so the corpus explores all of them.
    MarcReadOptions options;
    const int pick = size > 0 ? data[0] % 9 : 0;
    if (pick % 3 == 1)
        options.format = MarcFormat::Cnmarc;
    else if (pick % 3 == 2)
        options.format = MarcFormat::Marc21;
    options.undeclared = MarcEncoding(pick / 3);
    QString error;
    size_t total = 0;
    const bool ok = MarcReader::forEach(
        bytes, options,
        [&](MarcEntry&& e) {
            if (!e.read()) {
                if (e.refusal.isEmpty())
                    std::abort();
                return;
            }
            for (const QString& v : MarcMapping::columns(e.record, e.format))
                total += size_t(v.size());
        },
        &error);
    if (!ok && error.isEmpty())
        std::abort(); // a refusal always tells the operator why
    static volatile size_t sink;
    sink = total;
    return 0;
}
