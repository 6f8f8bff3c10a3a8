// MARC files for the tests, made from readable line-format text by YAZ's yaz-marcdump, so
// that a fixture says what it holds and the bytes are what another system would write.
#pragma once

#include <QByteArray>
#include <QString>

namespace MarcFixtures {
// The records of lines ("001 x", "200 1  $a title $f author", records apart by an empty
// line) as ISO 2709 in the charset named as yaz-marcdump names it ("gb18030", "utf-8",
// "marc8"), or as MARCXML with toXml. Empty on failure, with the reason warned.
QByteArray iso2709(const QString& lines, const char* charset);
QByteArray marcXml(const QString& lines);
// A CNMARC shipment in GBK as a supplier sends it: field 100 declares GB 2312, every copy
// has a 905 holdings field.
QString cnmarcShipment();
} // namespace MarcFixtures
