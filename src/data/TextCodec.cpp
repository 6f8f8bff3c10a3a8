#include "TextCodec.h"

#include <QStringDecoder>
#include <QTextCodec>

namespace {
QTextCodec* gbk()
{
    static QTextCodec* codec = QTextCodec::codecForName("GBK");
    return codec;
}

bool isAscii(const QByteArray& b)
{
    for (char c : b)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}
} // namespace

QByteArray TextCodec::toGbk(const QString& text)
{
    return gbk()->fromUnicode(text);
}

QString TextCodec::fromGbk(const QByteArray& bytes)
{
    return gbk()->toUnicode(bytes);
}

QString TextCodec::decodeLocalText(const QByteArray& bytes, bool* wasUtf8)
{
    if (wasUtf8)
        *wasUtf8 = false;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        if (wasUtf8)
            *wasUtf8 = true;
        return QString::fromUtf8(bytes.mid(3));
    }
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (wasUtf8)
            *wasUtf8 = true;
        return text;
    }
    return fromGbk(bytes);
}
