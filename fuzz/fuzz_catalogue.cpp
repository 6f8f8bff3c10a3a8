// The catalogue's pages on any bytes: the record extraction with its markers and offsets,
// and the search address of the start page.
#include "catalogue/MyNetTm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray page(reinterpret_cast<const char*>(data), qsizetype(size));
    const CatalogueRecord record = CatalogueRecord::extract(page);
    static volatile qsizetype sink;
    sink = record.title.size() + record.author.size() + record.summary.size() +
           record.place.size() + record.publisher.size() + record.year.size() +
           record.classNumber.size();
    if (const std::optional<QByteArray> address = CatalogueText::searchAddress(page))
        CatalogueText::requestUrl(CatalogueText::fromLocal(*address), QStringLiteral("978-7"));
    return 0;
}
