#include "MarcReader.h"

#include <QBuffer>
#include <QFile>
#include <QXmlStreamReader>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>
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
std::optional<int> digits(QByteArrayView text, qsizetype at, int count)
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

// The directory of a record that checkIso2709() accepted, entry by entry: the tag and the
// field's data without its terminator.
template <class Visit> void forEachField(QByteArrayView record, Visit visit)
{
    const int base = *digits(record, 12, 5);
    const int lengthDigits = record[20] - '0';
    const int startDigits = record[21] - '0';
    const int entry = 3 + lengthDigits + startDigits + (record[22] - '0');
    for (int at = kLeaderLength; at + entry <= base - 1; at += entry) {
        const int length = *digits(record, at + 3, lengthDigits);
        const int start = *digits(record, at + 3 + lengthDigits, startDigits);
        visit(record.sliced(at, 3), record.sliced(base + start, length - 1));
    }
}

int fieldCount(QByteArrayView record)
{
    int n = 0;
    forEachField(record, [&](QByteArrayView, QByteArrayView) { ++n; });
    return n;
}

struct TitleTags
{
    bool marc21 = false; // 245
    bool cnmarc = false; // 200

    void see(QByteArrayView tag)
    {
        marc21 = marc21 || tag == "245";
        cnmarc = cnmarc || tag == "200";
    }
    std::optional<MarcFormat> format() const
    {
        if (marc21)
            return MarcFormat::Marc21;
        if (cnmarc)
            return MarcFormat::Cnmarc;
        return std::nullopt;
    }
};

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
QString composed(QString t)
{
    // Only text with combining marks can change; most has none, and composing costs.
    for (const QChar c : t)
        if (c.unicode() >= 0x0300 && c.combiningClass() != 0)
            return t.normalized(QString::NormalizationForm_C);
    return t;
}

QString text(QXmlStreamReader& r)
{
    return composed(r.readElementText());
}

const QString kUndecodable = QStringLiteral("记录的文字无法读出,字符编码可能不对");

// A checked UTF-8 ISO 2709 record, as YAZ writes it after converting, read into a record.
QString parseUtf8Iso2709(QByteArrayView bytes, MarcRecord* record)
{
    if (!bytes.isValidUtf8())
        return kUndecodable;
    record->leader = QString::fromLatin1(bytes.first(kLeaderLength));
    forEachField(bytes, [&](QByteArrayView tag, QByteArrayView data) {
        MarcField f;
        f.tag = QString::fromLatin1(tag);
        if (f.isControl()) {
            f.data = composed(QString::fromUtf8(data));
            record->fields.push_back(std::move(f));
            return;
        }
        f.indicators = QString::fromUtf8(data.first(std::min<qsizetype>(2, data.size())));
        qsizetype at = data.indexOf(kSubfieldDelimiter);
        while (at >= 0) {
            qsizetype next = data.indexOf(kSubfieldDelimiter, at + 1);
            const QByteArrayView part =
                data.sliced(at + 1, (next < 0 ? data.size() : next) - at - 1);
            if (!part.isEmpty())
                f.subfields.push_back(
                    {QChar::fromLatin1(part[0]), composed(QString::fromUtf8(part.sliced(1)))});
            at = next;
        }
        record->fields.push_back(std::move(f));
    });
    return {};
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
        return kUndecodable;
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

    // Decodes one checked ISO 2709 record; the reason when YAZ refuses it. YAZ writes it
    // back as UTF-8 ISO 2709, which is split here; a record that grows past what ISO 2709
    // can say on the way (a long GBK record) goes through MARCXML, which has no such limit.
    QString decodeIso2709(QByteArrayView bytes, MarcEncoding from, MarcRecord* record)
    {
        if (!useEncoding(from))
            return QStringLiteral("不支持字符编码%1").arg(MarcReader::encodingName(from));
        if (yaz_marc_read_iso2709(mt_, bytes.data(), int(bytes.size())) <= 0)
            return QStringLiteral("记录的结构无法读出");
        wrbuf_rewind(out_);
        if (yaz_marc_write_iso2709(mt_, out_) == 0) {
            // YAZ leaves out the fields that do not fit into the length ISO 2709 can say.
            const QByteArrayView utf8(wrbuf_buf(out_), qsizetype(wrbuf_len(out_)));
            if (MarcReader::checkIso2709(utf8).isEmpty() && fieldCount(utf8) == fieldCount(bytes))
                return parseUtf8Iso2709(utf8, record);
        }
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
        *record = MarcRecord();
        wrbuf_rewind(out_);
        if (yaz_marc_write_marcxml(mt_, out_) != 0)
            return QStringLiteral("记录的结构无法读出");
        return parseMarcXml(wrbuf_buf(out_), wrbuf_len(out_), record);
    }

    yaz_marc_t mt_;
    WRBUF out_;
    yaz_iconv_t converters_[3] = {nullptr, nullptr, nullptr};
};

std::optional<MarcEncoding> declaredIn(MarcFormat format, QByteArrayView leader,
                                       QByteArrayView field100a)
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
    const QByteArrayView g0 = field100a.sliced(26, 2), g1 = field100a.sliced(28, 2);
    if (g0 == "50" || g1 == "50")
        return MarcEncoding::Utf8;
    if (g0 == "10" || g1 == "10")
        return MarcEncoding::Gb18030;
    return std::nullopt;
}

// 100$a of a field's raw data (indicators, then subfields).
QByteArrayView subfieldA(QByteArrayView data)
{
    qsizetype at = data.indexOf(kSubfieldDelimiter); // what comes before holds the indicators
    while (at >= 0) {
        const qsizetype next = data.indexOf(kSubfieldDelimiter, at + 1);
        const QByteArrayView part = data.sliced(at + 1, (next < 0 ? data.size() : next) - at - 1);
        if (part.startsWith('a'))
            return part.sliced(1);
        at = next;
    }
    return {};
}

// The bytes of a device read ahead in blocks, so that records are taken one at a time
// without the whole file in memory.
class Input
{
public:
    explicit Input(QIODevice& device) : device_(device), base_(device.pos()) {}

    // Makes n bytes from the current place readable; fewer at the end of the file.
    qsizetype available(qsizetype n)
    {
        while (buffer_.size() - at_ < n && !end_) {
            if (at_ > 0) {
                buffer_.remove(0, at_);
                base_ += at_;
                at_ = 0;
            }
            const QByteArray more = device_.read(std::max<qint64>(kBlock, n - buffer_.size()));
            if (more.isEmpty())
                end_ = true;
            buffer_ += more;
        }
        return std::min<qsizetype>(n, buffer_.size() - at_);
    }
    // The next n bytes, which available(n) made readable.
    QByteArrayView peek(qsizetype n) const { return QByteArrayView(buffer_).sliced(at_, n); }
    void skip(qsizetype n) { at_ += n; }
    qint64 offset() const { return base_ + at_; }
    // Moves past the next c, or to the end of the file.
    void skipPast(char c)
    {
        while (available(1) > 0) {
            const qsizetype found = buffer_.indexOf(c, at_);
            if (found >= 0) {
                at_ = found + 1;
                return;
            }
            at_ = buffer_.size();
        }
    }

private:
    static constexpr qint64 kBlock = 256 * 1024;
    QIODevice& device_;
    QByteArray buffer_;
    qsizetype at_ = 0;
    qint64 base_ = 0; // the device's offset of buffer_[0]
    bool end_ = false;
};

bool isSeparator(char c)
{
    return c == '\n' || c == '\r' || c == ' ' || c == kRecordTerminator;
}

int readFromDevice(void* device, char* buffer, int length)
{
    const qint64 n = static_cast<QIODevice*>(device)->read(buffer, length);
    return n < 0 ? -1 : int(n);
}

bool isElement(xmlTextReaderPtr reader, const char* name)
{
    return xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT &&
           xmlStrcmp(xmlTextReaderConstLocalName(reader), BAD_CAST name) == 0;
}

const QString kNoMarcXml = QStringLiteral("文件不是MARCXML文件");
const QString kUnreadable = QStringLiteral("文件无法读出");

} // namespace

struct MarcStream::Impl
{
    Impl(QIODevice& d, const MarcReadOptions& o, MarcReadStart s)
        : device(d), options(o), start(s), xml(nullptr, &xmlFreeTextReader)
    {
    }

    bool open();
    bool nextIso2709(MarcEntry& entry);
    bool openXml();
    bool nextXml(MarcEntry& entry);

    QIODevice& device;
    const MarcReadOptions options;
    const MarcReadStart start;
    QString error;
    YazDecoder decoder;
    std::optional<Input> in;
    // MARCXML, read element by element: each record is expanded, decoded and let go.
    std::unique_ptr<xmlTextReader, decltype(&xmlFreeTextReader)> xml;
    bool single = false; // the root element is the record
    int status = 0;      // of the XML reader's last step
    int number = 0;      // of the record read last
};

bool MarcStream::Impl::open()
{
    // What the file is, told by its first bytes past a byte order mark and blanks.
    if (!device.seek(0)) {
        error = kUnreadable;
        return false;
    }
    Input head(device);
    qsizetype first = 0;
    if (head.available(3) == 3 && head.peek(3) == "\xEF\xBB\xBF")
        first = 3;
    while (head.available(first + 1) > first && QChar::isSpace(uchar(head.peek(first + 1)[first])))
        ++first;
    if (head.available(first + 1) <= first) {
        error = QStringLiteral("文件中没有MARC记录");
        return false;
    }
    if (head.peek(first + 1)[first] == '<') {
        if (!device.seek(0)) {
            error = kUnreadable;
            return false;
        }
        return openXml();
    }
    const qsizetype got = head.available(first + 5);
    if (!digits(head.peek(got), first, 5)) {
        error = QStringLiteral("文件不是ISO 2709或MARCXML格式的MARC文件");
        return false;
    }
    if (!device.seek(std::max<qint64>(first, start.offset))) {
        error = kUnreadable;
        return false;
    }
    in.emplace(device);
    number = start.number - 1;
    return true;
}

bool MarcStream::Impl::nextIso2709(MarcEntry& entry)
{
    // Line breaks or blanks between records, as some exporters write them.
    while (in->available(1) > 0 && isSeparator(in->peek(1)[0]))
        in->skip(1);
    if (in->available(1) == 0)
        return false;
    entry = MarcEntry();
    entry.number = ++number;
    entry.offset = in->offset();
    const qsizetype head = in->available(5);
    const std::optional<int> length = digits(in->peek(head), 0, 5);
    if (!length || *length < kLeaderLength + 2)
        entry.refusal = QStringLiteral("记录长度不是数字或小于记录头标");
    else if (in->available(*length) < *length)
        entry.refusal = QStringLiteral("记录长度%1超出了文件的末尾").arg(*length);
    const QByteArrayView bytes = entry.refusal.isEmpty() ? in->peek(*length) : QByteArrayView();
    if (entry.refusal.isEmpty())
        entry.refusal = MarcReader::checkIso2709(bytes);
    if (!entry.refusal.isEmpty()) {
        // Go on after the next record terminator: the length cannot be trusted.
        in->skipPast(kRecordTerminator);
        return true;
    }
    TitleTags titles;
    QByteArrayView field100a;
    bool seen100 = false;
    forEachField(bytes, [&](QByteArrayView tag, QByteArrayView data) {
        titles.see(tag);
        if (tag == "100" && !seen100) {
            seen100 = true;
            field100a = subfieldA(data);
        }
    });
    const std::optional<MarcFormat> format = options.format ? options.format : titles.format();
    if (!format) {
        entry.refusal = kNoFormat;
    } else {
        entry.format = *format;
        entry.encoding =
            declaredIn(*format, bytes.first(kLeaderLength), field100a).value_or(options.undeclared);
        entry.refusal = decoder.decodeIso2709(bytes, entry.encoding, &entry.record);
    }
    in->skip(*length);
    return true;
}

bool MarcStream::Impl::openXml()
{
    // No network, no entity expansion: the file is data, not a document to assemble.
    xml.reset(xmlReaderForIO(readFromDevice, nullptr, &device, nullptr, nullptr,
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!xml) {
        error = kNoMarcXml;
        return false;
    }
    status = xmlTextReaderRead(xml.get());
    while (status == 1 && xmlTextReaderNodeType(xml.get()) != XML_READER_TYPE_ELEMENT)
        status = xmlTextReaderRead(xml.get());
    single = status == 1 && isElement(xml.get(), "record");
    if (status != 1 || !(single || isElement(xml.get(), "collection"))) {
        error = kNoMarcXml;
        return false;
    }
    if (!single)
        status = xmlTextReaderRead(xml.get());
    return true;
}

bool MarcStream::Impl::nextXml(MarcEntry& entry)
{
    while (status == 1) {
        if (!isElement(xml.get(), "record") || xmlTextReaderDepth(xml.get()) != (single ? 0 : 1)) {
            status = xmlTextReaderRead(xml.get());
            continue;
        }
        if (++number < start.number) {
            status = xmlTextReaderNext(xml.get());
            continue;
        }
        const xmlNode* node = xmlTextReaderExpand(xml.get());
        if (!node)
            break;
        entry = MarcEntry();
        entry.number = number;
        entry.refusal = decoder.decodeXml(node, &entry.record);
        if (entry.refusal.isEmpty()) {
            TitleTags titles;
            for (const MarcField& f : entry.record.fields)
                titles.see(QByteArrayView(f.tag.toLatin1()));
            const std::optional<MarcFormat> format =
                options.format ? options.format : titles.format();
            if (format)
                entry.format = *format;
            else
                entry.refusal = kNoFormat;
        }
        status = xmlTextReaderNext(xml.get());
        return true;
    }
    if (status != 0 && error.isEmpty())
        error = number <= 1 ? kNoMarcXml
                            : QStringLiteral("MARCXML文件在第%1条记录处损坏,无法读完").arg(number);
    status = 0;
    return false;
}

MarcStream::MarcStream(QIODevice& device, const MarcReadOptions& options, MarcReadStart start)
    : d_(std::make_unique<Impl>(device, options, start))
{
}

MarcStream::~MarcStream() = default;

bool MarcStream::open()
{
    return d_->open();
}

bool MarcStream::next(MarcEntry& entry)
{
    if (d_->in)
        return d_->nextIso2709(entry);
    return d_->xml && d_->nextXml(entry);
}

QString MarcStream::error() const
{
    return d_->error;
}

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

QString checkIso2709(QByteArrayView record)
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
        const QByteArrayView tag = record.sliced(at, 3);
        for (char c : tag)
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
                return QStringLiteral("目次中的字段标识符无效");
        const QString tagText = QString::fromLatin1(tag);
        const std::optional<int> length = digits(record, at + 3, *lengthDigits);
        const std::optional<int> start = digits(record, at + 3 + *lengthDigits, *startDigits);
        if (!length || !start)
            return QStringLiteral("字段%1的目次项不是数字").arg(tagText);
        if (*length < 1 || *start + qsizetype(*length) > dataSize)
            return QStringLiteral("字段%1超出了记录").arg(tagText);
        const QByteArrayView field = record.sliced(*base + *start, *length);
        if (field.back() != kFieldTerminator)
            return QStringLiteral("字段%1没有以字段结束符结尾").arg(tagText);
        // Inside the field nothing may end it early, or a subfield runs on past it.
        if (field.indexOf(kFieldTerminator) != field.size() - 1 ||
            field.indexOf(kRecordTerminator) >= 0)
            return QStringLiteral("字段%1中有多余的结束符").arg(tagText);
        const bool control = tag.startsWith("00");
        if (!control && (*length < *indicators + 1 || (field.size() > *indicators + 1 &&
                                                       field[*indicators] != kSubfieldDelimiter)))
            return QStringLiteral("字段%1的指示符或子字段无效").arg(tagText);
    }
    return {};
}

std::optional<MarcEncoding> declaredEncoding(const MarcRecord& undecoded, MarcFormat format)
{
    return declaredIn(format, undecoded.leader.toLatin1(),
                      undecoded.value(QStringLiteral("100"), QLatin1Char('a')).toLatin1());
}

bool forEachIn(QIODevice& device, const MarcReadOptions& options, const Until& each, QString* error,
               MarcReadStart start)
{
    MarcStream stream(device, options, start);
    if (!stream.open()) {
        *error = stream.error();
        return false;
    }
    MarcEntry entry;
    while (stream.next(entry))
        if (!each(std::move(entry)))
            return true;
    *error = stream.error();
    return error->isEmpty();
}

bool forEach(const QByteArray& data, const MarcReadOptions& options, const Each& each,
             QString* error)
{
    QByteArray bytes = data; // shared, not copied
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return forEachIn(
        buffer, options,
        [&](MarcEntry&& e) {
            each(std::move(e));
            return true;
        },
        error);
}

bool openFile(QFile& file, QString* error)
{
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法打开文件%1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    if (file.size() > kMaxFileBytes) {
        *error = QStringLiteral("文件%1太大").arg(file.fileName());
        return false;
    }
    return true;
}

bool forEachInFile(const QString& path, const MarcReadOptions& options, const Each& each,
                   QString* error)
{
    QFile file(path);
    if (!openFile(file, error))
        return false;
    return forEachIn(
        file, options,
        [&](MarcEntry&& e) {
            each(std::move(e));
            return true;
        },
        error);
}

} // namespace MarcReader
