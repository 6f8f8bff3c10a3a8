// GBK conversions through a real codec (Qt's QTextCodec from Core5Compat).
#pragma once

#include <QByteArray>
#include <QString>

namespace TextCodec {
QByteArray toGbk(const QString& text);
QString fromGbk(const QByteArray& bytes);
// Local text files (de.ini, CSV): UTF-8 when the bytes are valid UTF-8 (a BOM is dropped),
// GBK otherwise. *wasUtf8 tells which was taken; plain ASCII counts as GBK.
QString decodeLocalText(const QByteArray& bytes, bool* wasUtf8 = nullptr);
} // namespace TextCodec
