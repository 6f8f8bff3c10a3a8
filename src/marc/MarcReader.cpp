#include "MarcReader.h"

#include <QFile>
#include <QXmlStreamReader>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>
#include <yaz/marcdisp.h>
#include <yaz/wrbuf.h>
#include <yaz/yaz-iconv.h>

namespace {

constexpr char kRecordTerminator = 0x1D;
constexpr char kFieldTerminator = 0x1E;
constexpr char kSubfieldDelimiter = 0x1F;
constexpr int kLeaderLength = 24;

// The number written in count decimal digits at text[at], nullopt unless all are digits.
std::optional<int> digits(const QByteArray& text, qsizetype at, int count)
{
    if (at < 0 || at + count > text.size())
        return std::nullopt;
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// A field's place as the directory gives it, checked against the record.
struct RawField
{
    QByteArray tag;
    QByteArray data; // without its terminator
};

// The directory of a record that checkIso2709() accepted.
QList<RawField> rawFields(const QByteArray& record)
{
    QList<RawField> out;
    const int base = *digits(record, 12, 5);
    const int lengthDigits = record[20] - '0';
    const int startDigits = record[21] - '0';
    const int entry = 3 + lengthDigits + startDigits + (record[22] - '0');
    for (int at = kLeaderLength; at + entry <= base - 1; at += entry) {
        const int length = *digits(record, at + 3, lengthDigits);
        const int start = *digits(record, at + 3 + lengthDigits, startDigits);
        out.push_back({record.mid(at, 3), record.mid(base + start, length - 1)});
    }
    return out;
}

std::optional<MarcFormat> formatByTags(const QList<QByteArray>& tags)
{
    if (tags.contains("245"))
        return MarcFormat::Marc21;
    if (tags.contains("200"))
        return MarcFormat::Cnmarc;
    return std::nullopt;
}

const QString kNoFormat = QStringLiteral("无法判断记录的格式(没有题名字段245或200),请选择格式");

const char* yazCharset(MarcEncoding e)
{
    switch (e) {
    case MarcEncoding::Utf8:
        return "utf-8";
    case MarcEncoding::Gb18030:
        return "gb18030";
    case MarcEncoding::Marc8:
        return "marc8";
    }
    return "utf-8";
}

// Composed, as the desk types and searches it: MARC-8 gives "e" and a combining accent.
QString text(QXmlStreamReader& r)
{
    QString t = r.readElementText();
    // Only text with combining marks can change; most has none, and composing costs.
    for (const QChar c : t)
        if (c.unicode() >= 0x0300 && c.combiningClass() != 0)
            return t.normalized(QString::NormalizationForm_C);
    return t;
}

// The MARCXML that YAZ writes, read into a record.
QString parseMarcXml(const char* xml, size_t size, MarcRecord* record)
{
    QXmlStreamReader r(QByteArray::fromRawData(xml, qsizetype(size)));
    MarcField* field = nullptr;
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = r.name();
        const QXmlStreamAttributes a = r.attributes();
        if (name == QLatin1String("leader")) {
            record->leader = r.readElementText();
        } else if (name == QLatin1String("controlfield")) {
            MarcField f;
            f.tag = a.value(QLatin1String("tag")).toString();
            f.data = text(r);
            record->fields.push_back(std::move(f));
            field = nullptr;
        } else if (name == QLatin1String("datafield")) {
            MarcField f;
            f.tag = a.value(QLatin1String("tag")).toString();
            f.indicators = a.value(QLatin1String("ind1")).toString() +
                           a.value(QLatin1String("ind2")).toString();
            record->fields.push_back(std::move(f));
            field = &record->fields.back();
        } else if (name == QLatin1String("subfield") && field) {
            const QString code = a.value(QLatin1String("code")).toString();
            field->subfields.push_back({code.isEmpty() ? QChar() : code.at(0), text(r)});
        }
    }
    if (r.hasError())
        return QStringLiteral("记录的文字无法读出,字符编码可能不对");
    return {};
}

bool isElement(const xmlNode* n, const char* name)
{
    return n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, BAD_CAST name) == 0;
}

const QString kIdentifierLengths = QStringLiteral("记录头标中的指示符长度或子字段标识符长度不是2");

// YAZ takes the indicator and subfield identifier lengths of a MARCXML record from its
// leader too, and reads past its subfields when they are not 2.
QString checkXmlLeader(const xmlNode* record)
{
    for (const xmlNode* n = record->children; n; n = n->next) {
        if (!isElement(n, "leader"))
            continue;
        xmlChar* content = xmlNodeGetContent(n);
        const QByteArray leader(reinterpret_cast<const char*>(content));
        xmlFree(content);
        if (leader.size() != kLeaderLength)
            return QStringLiteral("记录头标不是24个字符");
        if (leader[10] != '2' || leader[11] != '2')
            return kIdentifierLengths;
        return {};
    }
    return {};
}

// YAZ's record handle, its output buffer and its character converter, for one file.
class YazDecoder
{
public:
    YazDecoder() : mt_(yaz_marc_create()), out_(wrbuf_alloc())
    {
        yaz_marc_xml(mt_, YAZ_MARC_MARCXML);
    }
    ~YazDecoder()
    {
        yaz_marc_iconv(mt_, nullptr);
        for (yaz_iconv_t cd : converters_)
            if (cd)
                yaz_iconv_close(cd);
        wrbuf_destroy(out_);
        yaz_marc_destroy(mt_);
    }
    YazDecoder(const YazDecoder&) = delete;
    YazDecoder& operator=(const YazDecoder&) = delete;

    // Decodes one checked ISO 2709 record; the reason when YAZ refuses it.
    QString decodeIso2709(const QByteArray& bytes, MarcEncoding from, MarcRecord* record)
    {
        if (!useEncoding(from))
            return QStringLiteral("不支持字符编码%1").arg(MarcReader::encodingName(from));
        if (yaz_marc_read_iso2709(mt_, bytes.constData(), int(bytes.size())) <= 0)
            return QStringLiteral("记录的结构无法读出");
        return write(record);
    }

    // Reads a MARCXML record element (already Unicode).
    QString decodeXml(const xmlNode* node, MarcRecord* record)
    {
        if (const QString refusal = checkXmlLeader(node); !refusal.isEmpty())
            return refusal;
        yaz_marc_iconv(mt_, nullptr);
        if (yaz_marc_read_xml(mt_, node) != 0)
            return QStringLiteral("MARCXML记录的结构无法读出");
        return write(record);
    }

private:
    bool useEncoding(MarcEncoding from)
    {
        yaz_iconv_t& cd = converters_[int(from)];
        if (from == MarcEncoding::Utf8) {
            yaz_marc_iconv(mt_, nullptr);
            return true;
        }
        if (!cd)
            cd = yaz_iconv_open("utf-8", yazCharset(from));
        yaz_marc_iconv(mt_, cd);
        return cd != nullptr;
    }

    QString write(MarcRecord* record)
    {
        wrbuf_rewind(out_);
        if (yaz_marc_write_marcxml(mt_, out_) != 0)
            return QStringLiteral("记录的结构无法读出");
        return parseMarcXml(wrbuf_buf(out_), wrbuf_len(out_), record);
    }

    yaz_marc_t mt_;
    WRBUF out_;
    yaz_iconv_t converters_[3] = {nullptr, nullptr, nullptr};
};

std::optional<MarcEncoding> declaredIn(MarcFormat format, const QByteArray& leader,
                                       const QByteArray& field100a)
{
    if (format == MarcFormat::Marc21) {
        if (leader.size() <= 9)
            return std::nullopt;
        if (leader[9] == 'a')
            return MarcEncoding::Utf8;
        if (leader[9] == ' ')
            return MarcEncoding::Marc8;
        return std::nullopt;
    }
    if (field100a.size() < 30)
        return std::nullopt;
    const QByteArray g0 = field100a.mid(26, 2), g1 = field100a.mid(28, 2);
    if (g0 == "50" || g1 == "50")
        return MarcEncoding::Utf8;
    if (g0 == "10" || g1 == "10")
        return MarcEncoding::Gb18030;
    return std::nullopt;
}

// 100$a of a field's raw data (indicators, then subfields).
QByteArray subfieldA(const QByteArray& data)
{
    const QList<QByteArray> parts = data.split(kSubfieldDelimiter);
    for (qsizetype i = 1; i < parts.size(); ++i) // parts[0] holds the indicators
        if (parts[i].startsWith('a'))
            return parts[i].mid(1);
    return {};
}

bool readIso2709(const QByteArray& data, const MarcReadOptions& options,
                 const std::function<void(MarcEntry&&)>& each)
{
    YazDecoder decoder;
    qsizetype at = 0;
    int number = 0;
    while (true) {
        // Line breaks or blanks between records, as some exporters write them.
        while (at < data.size() && (data[at] == '\n' || data[at] == '\r' || data[at] == ' ' ||
                                    data[at] == kRecordTerminator))
            ++at;
        if (at >= data.size())
            return true;
        MarcEntry entry;
        entry.number = ++number;
        const std::optional<int> length = digits(data, at, 5);
        qsizetype end = -1;
        if (!length || *length < kLeaderLength + 2)
            entry.refusal = QStringLiteral("记录长度不是数字或小于记录头标");
        else if (at + *length > data.size())
            entry.refusal = QStringLiteral("记录长度%1超出了文件的末尾").arg(*length);
        else
            end = at + *length;
        QByteArray bytes;
        if (entry.refusal.isEmpty()) {
            bytes = data.mid(at, *length);
            entry.refusal = MarcReader::checkIso2709(bytes);
        }
        if (!entry.refusal.isEmpty()) {
            // Go on after the next record terminator: the length cannot be trusted.
            const qsizetype next = data.indexOf(kRecordTerminator, at);
            at = next < 0 ? data.size() : next + 1;
            each(std::move(entry));
            continue;
        }
        at = end;
        const QList<RawField> fields = rawFields(bytes);
        QList<QByteArray> tags;
        QByteArray field100a;
        for (const RawField& f : fields) {
            tags << f.tag;
            if (f.tag == "100" && field100a.isEmpty())
                field100a = subfieldA(f.data);
        }
        const std::optional<MarcFormat> format =
            options.format ? options.format : formatByTags(tags);
        if (!format) {
            entry.refusal = kNoFormat;
            each(std::move(entry));
            continue;
        }
        entry.format = *format;
        entry.encoding =
            declaredIn(*format, bytes.left(kLeaderLength), field100a).value_or(options.undeclared);
        entry.refusal = decoder.decodeIso2709(bytes, entry.encoding, &entry.record);
        each(std::move(entry));
    }
}

bool readMarcXml(const QByteArray& data, const MarcReadOptions& options,
                 const std::function<void(MarcEntry&&)>& each, QString* error)
{
    // No network, no entity expansion: the file is data, not a document to assemble.
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlReadMemory(data.constData(), int(data.size()), nullptr, nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        &xmlFreeDoc);
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root || !(isElement(root, "collection") || isElement(root, "record"))) {
        *error = QStringLiteral("文件不是MARCXML文件");
        return false;
    }
    YazDecoder decoder;
    int number = 0;
    auto one = [&](const xmlNode* node) {
        MarcEntry entry;
        entry.number = ++number;
        entry.refusal = decoder.decodeXml(node, &entry.record);
        if (entry.refusal.isEmpty()) {
            QList<QByteArray> tags;
            for (const MarcField& f : entry.record.fields)
                tags << f.tag.toLatin1();
            const std::optional<MarcFormat> format =
                options.format ? options.format : formatByTags(tags);
            if (format)
                entry.format = *format;
            else
                entry.refusal = kNoFormat;
        }
        each(std::move(entry));
    };
    if (isElement(root, "record")) {
        one(root);
        return true;
    }
    for (const xmlNode* n = root->children; n; n = n->next)
        if (isElement(n, "record"))
            one(n);
    return true;
}

} // namespace

namespace MarcReader {

QString encodingName(MarcEncoding encoding)
{
    switch (encoding) {
    case MarcEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case MarcEncoding::Gb18030:
        return QStringLiteral("GBK/GB18030");
    case MarcEncoding::Marc8:
        return QStringLiteral("MARC-8");
    }
    return {};
}

QString checkIso2709(const QByteArray& record)
{
    const qsizetype size = record.size();
    if (size < kLeaderLength + 2 || digits(record, 0, 5) != size)
        return QStringLiteral("记录长度与记录不符");
    if (record[size - 1] != kRecordTerminator)
        return QStringLiteral("记录没有以记录结束符结尾,记录长度不对");
    const std::optional<int> indicators = digits(record, 10, 1);
    const std::optional<int> codeLength = digits(record, 11, 1);
    const std::optional<int> base = digits(record, 12, 5);
    const std::optional<int> lengthDigits = digits(record, 20, 1);
    const std::optional<int> startDigits = digits(record, 21, 1);
    const std::optional<int> implementation = digits(record, 22, 1);
    if (!indicators || !codeLength || !base || !lengthDigits || !startDigits || !implementation ||
        *lengthDigits == 0 || *startDigits == 0 || *codeLength == 0)
        return QStringLiteral("记录头标不是有效的ISO 2709头标");
    // Both formats use two indicators and two-character subfield identifiers; YAZ reads
    // past the end of its copy of a subfield for other lengths.
    if (*indicators != 2 || *codeLength != 2)
        return kIdentifierLengths;
    if (*base < kLeaderLength + 1 || *base > size - 1 || record[*base - 1] != kFieldTerminator)
        return QStringLiteral("数据基地址%1不在记录内或目次没有以字段结束符结尾").arg(*base);
    const int entry = 3 + *lengthDigits + *startDigits + *implementation;
    const int directory = *base - 1 - kLeaderLength;
    if (directory % entry != 0)
        return QStringLiteral("目次的长度不是目次项长度的整数倍");
    const qsizetype dataSize = size - 1 - *base; // without the record terminator
    for (int at = kLeaderLength; at < *base - 1; at += entry) {
        const QByteArray tag = record.mid(at, 3);
        for (char c : tag)
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
                return QStringLiteral("目次中的字段标识符无效");
        const std::optional<int> length = digits(record, at + 3, *lengthDigits);
        const std::optional<int> start = digits(record, at + 3 + *lengthDigits, *startDigits);
        if (!length || !start)
            return QStringLiteral("字段%1的目次项不是数字").arg(QString::fromLatin1(tag));
        if (*length < 1 || *start + qsizetype(*length) > dataSize)
            return QStringLiteral("字段%1超出了记录").arg(QString::fromLatin1(tag));
        const QByteArray field = record.mid(*base + *start, *length);
        if (field.back() != kFieldTerminator)
            return QStringLiteral("字段%1没有以字段结束符结尾").arg(QString::fromLatin1(tag));
        // Inside the field nothing may end it early, or a subfield runs on past it.
        if (field.indexOf(kFieldTerminator) != field.size() - 1 ||
            field.indexOf(kRecordTerminator) >= 0)
            return QStringLiteral("字段%1中有多余的结束符").arg(QString::fromLatin1(tag));
        const bool control = tag.startsWith("00");
        if (!control && (*length < *indicators + 1 || (field.size() > *indicators + 1 &&
                                                       field[*indicators] != kSubfieldDelimiter)))
            return QStringLiteral("字段%1的指示符或子字段无效").arg(QString::fromLatin1(tag));
    }
    return {};
}

std::optional<MarcEncoding> declaredEncoding(const MarcRecord& undecoded, MarcFormat format)
{
    return declaredIn(format, undecoded.leader.toLatin1(),
                      undecoded.value(QStringLiteral("100"), QLatin1Char('a')).toLatin1());
}

bool forEach(const QByteArray& data, const MarcReadOptions& options,
             const std::function<void(MarcEntry&&)>& each, QString* error)
{
    qsizetype first = 0;
    if (data.startsWith("\xEF\xBB\xBF"))
        first = 3;
    while (first < data.size() && QChar::isSpace(uchar(data[first])))
        ++first;
    if (first >= data.size()) {
        *error = QStringLiteral("文件中没有MARC记录");
        return false;
    }
    if (data[first] == '<')
        return readMarcXml(data, options, each, error);
    if (!digits(data, first, 5)) {
        *error = QStringLiteral("文件不是ISO 2709或MARCXML格式的MARC文件");
        return false;
    }
    return readIso2709(data.mid(first), options, each);
}

bool forEachInFile(const QString& path, const MarcReadOptions& options,
                   const std::function<void(MarcEntry&&)>& each, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法打开文件%1: %2").arg(path, file.errorString());
        return false;
    }
    if (file.size() > kMaxFileBytes) {
        *error = QStringLiteral("文件%1太大").arg(path);
        return false;
    }
    return forEach(file.readAll(), options, each, error);
}

} // namespace MarcReader
