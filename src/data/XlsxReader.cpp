// Excel workbooks (.xlsx: XML parts in a zip file). The parts are inflated by minizip and
// parsed while they stream, so a large sheet never sits in memory as XML:
//   _rels/.rels                  where the workbook part is
//   xl/workbook.xml              the sheets, the one the workbook opens on, the date system
//   xl/_rels/workbook.xml.rels   where each sheet, the shared strings and the styles are
//   xl/styles.xml                which cell styles show dates
//   xl/sharedStrings.xml         the texts that cells refer to by number
//   xl/worksheets/sheetN.xml     the cells
#include "SpreadsheetReader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QXmlStreamReader>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <minizip/unzip.h>
#include <string>
#include <vector>

namespace {
using SheetLimits::kMaxCellBytes;
using SheetLimits::kMaxCellChars;
using SheetLimits::kMaxColumns;
using SheetLimits::kMaxRows;

// One part of the zip file as a sequential device that inflates as it is read. A part
// that inflates beyond what a worksheet within Excel's limits can hold stops at once
// (overLimit()): a run of bytes without markup longer than the longest cell, or more bytes
// than its markup can carry. A small file that inflates without end (a cell of gigabytes of
// blanks) is so refused after a few megabytes instead of being read for minutes.
class ZipEntryDevice : public QIODevice
{
public:
    explicit ZipEntryDevice(unzFile zip) : zip_(zip) {}
    ~ZipEntryDevice() override { closeEntry(); }

    enum Opened
    {
        Ok,
        Missing,
        Damaged,
    };
    Opened openEntry(const QString& name)
    {
        if (unzLocateFile(zip_, name.toUtf8().constData(), 2) != UNZ_OK)
            return Missing;
        if (unzOpenCurrentFile(zip_) != UNZ_OK)
            return Damaged;
        entryOpen_ = true;
        zipError_ = UNZ_OK;
        overLimit_ = false;
        inflated_ = 0;
        markups_ = 0;
        run_ = 0;
        return QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? Ok : Damaged;
    }
    // Ends the part; UNZ_CRCERROR when all of it was read but the checksum is wrong.
    int closeEntry()
    {
        int rc = UNZ_OK;
        if (entryOpen_) {
            rc = unzCloseCurrentFile(zip_);
            entryOpen_ = false;
        }
        if (isOpen())
            QIODevice::close();
        return rc;
    }
    int zipError() const { return zipError_; }
    bool overLimit() const { return overLimit_; }
    bool isSequential() const override { return true; }

    // Bytes the markup of a part carries besides its cell texts: each '<' may bring this
    // many (names, attributes, blanks between elements), and the first bytes are free.
    static constexpr qint64 kFreeBytes = qint64(64) << 20;
    static constexpr qint64 kBytesPerMarkup = qint64(16) << 10;
    // The longest run without a '<': one cell's text with room for its markup.
    static constexpr qint64 kMaxRun = kMaxCellBytes + (qint64(64) << 10);

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (overLimit_)
            return -1;
        const int n = unzReadCurrentFile(zip_, data, unsigned(std::min<qint64>(maxSize, 1 << 20)));
        if (n < 0) {
            zipError_ = n;
            return -1;
        }
        const char* p = data;
        const char* const end = data + n;
        while (const void* lt = std::memchr(p, '<', size_t(end - p))) {
            run_ += static_cast<const char*>(lt) - p;
            if (run_ > kMaxRun)
                break;
            run_ = 0;
            ++markups_;
            p = static_cast<const char*>(lt) + 1;
        }
        if (run_ <= kMaxRun)
            run_ += end - p;
        inflated_ += n;
        if (run_ > kMaxRun || inflated_ > kFreeBytes + markups_ * kBytesPerMarkup) {
            overLimit_ = true;
            return -1;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    unzFile zip_;
    bool entryOpen_ = false;
    int zipError_ = UNZ_OK;
    bool overLimit_ = false;
    qint64 inflated_ = 0;
    qint64 markups_ = 0;
    qint64 run_ = 0; // bytes since the last '<'
};

// Text of an OOXML string: "_x000D_" and the like stand for characters that XML cannot
// carry as they are.
QString decodeEscapes(QString text)
{
    qsizetype at = text.indexOf(QLatin1String("_x"));
    if (at < 0)
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    while (at >= 0) {
        bool ok = false;
        const ushort code = at + 7 <= text.size() && text[at + 6] == QLatin1Char('_')
                                ? text.mid(at + 2, 4).toUShort(&ok, 16)
                                : 0;
        if (ok) {
            out += QStringView(text).mid(from, at - from);
            out += QChar(code);
            from = at + 7;
            at = text.indexOf(QLatin1String("_x"), from);
        } else {
            at = text.indexOf(QLatin1String("_x"), at + 1);
        }
    }
    out += QStringView(text).mid(from);
    return out;
}

QStringView localAttribute(const QXmlStreamAttributes& attributes, QLatin1StringView name)
{
    for (const QXmlStreamAttribute& a : attributes)
        if (a.name() == name)
            return a.value();
    return {};
}

// The text of the <t> elements inside the current element (an <si> or an <is>), leaving
// out the phonetic runs (<rPh>). Returns at the element's end.
QString runText(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    int phonetic = 0;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (xml.name() == QLatin1String("rPh")) {
                ++phonetic;
            } else if (xml.name() == QLatin1String("t")) {
                const QString t = xml.readElementText(QXmlStreamReader::SkipChildElements);
                --depth;
                if (!phonetic)
                    text += t;
                if (text.size() > kMaxCellChars) {
                    xml.raiseError(QStringLiteral("文字超过 %1 个字符（Excel 单元格的上限）")
                                       .arg(kMaxCellChars));
                    return {};
                }
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            break;
        default:
            break;
        }
    }
    return decodeEscapes(text);
}

// Column number of a cell reference ("B7" -> 2, "AA1" -> 27); *row gets the row number,
// 0 when the reference has none. Returns 0 for a reference that is no cell.
int parseReference(QByteArrayView ref, int* row)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size(); ++i) {
        const char c = ref[i];
        if (c >= 'A' && c <= 'Z')
            column = column * 26 + (c - 'A' + 1);
        else if (c >= 'a' && c <= 'z')
            column = column * 26 + (c - 'a' + 1);
        else
            break;
        if (column > kMaxColumns)
            return 0;
    }
    int r = 0;
    for (; i < ref.size(); ++i) {
        const char c = ref[i];
        if (c < '0' || c > '9')
            return 0;
        r = r * 10 + (c - '0');
        if (r > kMaxRows)
            return 0;
    }
    *row = r;
    return column;
}

// "xl/" + "worksheets/sheet1.xml", or an absolute target from the root.
QString resolveTarget(const QString& baseDir, QStringView target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target.mid(1).toString());
    return QDir::cleanPath(baseDir + target.toString());
}

struct Relationship
{
    QString type; // the last part of the relationship type ("worksheet", "styles", ...)
    QString target;
};

QHash<QString, Relationship> relationships(QXmlStreamReader& xml, const QString& baseDir)
{
    QHash<QString, Relationship> out;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("Relationship")) {
            const QXmlStreamAttributes a = xml.attributes();
            const QStringView type = a.value(QLatin1String("Type"));
            out.insert(a.value(QLatin1String("Id")).toString(),
                       Relationship{type.mid(type.lastIndexOf(QLatin1Char('/')) + 1).toString(),
                                    resolveTarget(baseDir, a.value(QLatin1String("Target")))});
        }
    }
    return out;
}

// Equality with a literal, the length known at compile time.
template <qsizetype N> bool is(QByteArrayView v, const char (&literal)[N])
{
    return v.size() == N - 1 && std::memcmp(v.data(), literal, N - 1) == 0;
}

// A pull scanner for the worksheet part, the one that grows with the rows. It reads the
// UTF-8 bytes as they are inflated and hands out elements and text as views into its
// buffer, several times faster than a general XML reader. It checks what the reading needs:
// tags that close, end tags that match their start, nothing cut off; the other parts of a
// workbook go through QXmlStreamReader.
class SheetScanner
{
public:
    enum Token
    {
        StartElement,
        EndElement,
        Text,
        End,
        Error,
    };

    explicit SheetScanner(QIODevice* device) : device_(device) {}

    Token next()
    {
        if (pendingEnd_) {
            pendingEnd_ = false;
            return EndElement;
        }
        for (;;) {
            if (pos_ >= buf_.size() && !fill()) {
                if (!stack_.empty())
                    return fail(QStringLiteral("文件在 <%1> 结束之前中断")
                                    .arg(QString::fromStdString(stack_.back())));
                return End;
            }
            const char* data = buf_.constData();
            const qsizetype size = buf_.size();
            if (data[pos_] != '<') {
                const qsizetype lt = QByteArrayView(data + pos_, size - pos_).indexOf('<');
                if (lt < 0 && !atEnd_) {
                    if (size - pos_ > kMaxToken)
                        return fail(QStringLiteral("文字过长"));
                    fill();
                    continue;
                }
                const qsizetype end = lt < 0 ? size : pos_ + lt;
                text_ = QByteArrayView(data + pos_, end - pos_);
                cdata_ = false;
                pos_ = end;
                return Text;
            }
            const qsizetype close = markupEnd(data, size);
            if (close < 0) {
                if (atEnd_)
                    return fail(QStringLiteral("标记没有结束"));
                if (size - pos_ > kMaxToken)
                    return fail(QStringLiteral("标记过长"));
                fill();
                continue;
            }
            const QByteArrayView tag(data + pos_, close + 1 - pos_);
            pos_ = close + 1;
            if (tag[1] == '?')
                continue;
            if (tag[1] == '!') {
                if (!tag.startsWith("<![CDATA["))
                    continue; // a comment or a document type
                text_ = tag.sliced(9, tag.size() - 12);
                cdata_ = true;
                return Text;
            }
            if (tag.size() > 2 && tag[1] == '/') {
                name_ = localName(tag.sliced(2, tag.size() - 3).trimmed());
                if (stack_.empty() || QByteArrayView(stack_.back()) != name_)
                    return fail(
                        QStringLiteral("</%1> 与开始标记不符").arg(QString::fromUtf8(name_)));
                stack_.pop_back();
                return EndElement;
            }
            const bool selfClosing = tag.size() > 2 && tag[tag.size() - 2] == '/';
            const QByteArrayView inner = tag.sliced(1, tag.size() - (selfClosing ? 3 : 2));
            qsizetype n = 0;
            while (n < inner.size() && !isSpace(inner[n]) && inner[n] != '/')
                ++n;
            if (n == 0)
                return fail(QStringLiteral("标记没有名字"));
            name_ = localName(inner.first(n));
            attributes_ = inner.sliced(n);
            if (selfClosing)
                pendingEnd_ = true;
            else
                stack_.emplace_back(name_.data(), size_t(name_.size()));
            return StartElement;
        }
    }

    QByteArrayView name() const { return name_; }
    // The raw value of an attribute of the current start element, empty when missing.
    QByteArrayView attribute(QByteArrayView wanted) const
    {
        const QByteArrayView a = attributes_;
        qsizetype i = 0;
        while (i < a.size()) {
            while (i < a.size() && isSpace(a[i]))
                ++i;
            const qsizetype nameStart = i;
            while (i < a.size() && a[i] != '=' && !isSpace(a[i]))
                ++i;
            const QByteArrayView key = localName(a.sliced(nameStart, i - nameStart));
            while (i < a.size() && (isSpace(a[i]) || a[i] == '='))
                ++i;
            if (i >= a.size())
                break;
            const char quote = a[i];
            if (quote != '"' && quote != '\'')
                break;
            const qsizetype valueEnd = a.indexOf(quote, i + 1);
            if (valueEnd < 0)
                break;
            if (key.size() == wanted.size() &&
                std::memcmp(key.data(), wanted.data(), size_t(key.size())) == 0)
                return a.sliced(i + 1, valueEnd - i - 1);
            i = valueEnd + 1;
        }
        return {};
    }
    QByteArrayView rawText() const { return text_; }
    bool isCdata() const { return cdata_; }
    const QString& errorString() const { return error_; }
    qint64 line() const { return lines_; }

    // Raises an error from the reading itself (a bad cell reference, ...).
    Token fail(const QString& what)
    {
        if (error_.isEmpty())
            error_ = what;
        return Error;
    }

private:
    // The longest text or markup held at once: a cell's text, or a comment or CDATA section
    // as long, with room to spare; the buffer never grows beyond it.
    static constexpr qsizetype kMaxToken = 2 * kMaxCellBytes;

    static bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
    static QByteArrayView localName(QByteArrayView qualified)
    {
        const qsizetype colon = qualified.indexOf(':');
        return colon < 0 ? qualified : qualified.sliced(colon + 1);
    }

    // Position of the '>' that ends the markup at pos_, -1 when not in the buffer yet.
    qsizetype markupEnd(const char* data, qsizetype size) const
    {
        const QByteArrayView rest(data + pos_, size - pos_);
        if (rest.size() > 1 && rest[1] != '!') {
            const void* gt = std::memchr(data + pos_ + 1, '>', size_t(size - pos_ - 1));
            if (!gt)
                return -1;
            const qsizetype at = static_cast<const char*>(gt) - data;
            // A '>' inside a quoted attribute value does not end the tag.
            if (std::memchr(data + pos_, '"', size_t(at - pos_)) == nullptr &&
                std::memchr(data + pos_, '\'', size_t(at - pos_)) == nullptr)
                return at;
        }
        if (rest.startsWith("<!--")) {
            const qsizetype e = rest.indexOf("-->");
            return e < 0 ? -1 : pos_ + e + 2;
        }
        if (rest.startsWith("<![CDATA[")) {
            const qsizetype e = rest.indexOf("]]>");
            return e < 0 ? -1 : pos_ + e + 2;
        }
        if (rest.size() < 9 && QByteArrayView("<![CDATA[").startsWith(rest) && !atEnd_)
            return -1;
        char quote = 0;
        for (qsizetype i = pos_ + 1; i < size; ++i) {
            const char c = data[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return i;
            }
        }
        return -1;
    }

    // Moves the unread bytes to the front and appends what the device has next.
    bool fill()
    {
        if (atEnd_)
            return false;
        lines_ += std::count(buf_.constBegin(), buf_.constBegin() + pos_, '\n');
        buf_.remove(0, pos_);
        pos_ = 0;
        const qsizetype old = buf_.size();
        constexpr qsizetype kChunk = 1 << 18;
        buf_.resize(old + kChunk);
        const qint64 n = device_->read(buf_.data() + old, kChunk);
        buf_.resize(old + std::max<qint64>(n, 0));
        if (n <= 0)
            atEnd_ = true;
        return n > 0;
    }

    QIODevice* device_;
    QByteArray buf_;
    qsizetype pos_ = 0;
    bool atEnd_ = false;
    bool pendingEnd_ = false;
    bool cdata_ = false;
    qint64 lines_ = 1;
    QByteArrayView name_;
    QByteArrayView attributes_;
    QByteArrayView text_;
    std::vector<std::string> stack_;
    QString error_;
};

// XML text with its character and entity references resolved.
void appendXmlText(QString& out, QByteArrayView raw, bool cdata)
{
    if (cdata || !raw.contains('&')) {
        out += QString::fromUtf8(raw);
        return;
    }
    qsizetype from = 0;
    for (qsizetype amp = raw.indexOf('&'); amp >= 0; amp = raw.indexOf('&', from)) {
        out += QString::fromUtf8(raw.sliced(from, amp - from));
        const qsizetype semi = raw.indexOf(';', amp);
        if (semi < 0) {
            from = amp;
            break;
        }
        const QByteArrayView ref = raw.sliced(amp + 1, semi - amp - 1);
        if (ref == "lt")
            out += QLatin1Char('<');
        else if (ref == "gt")
            out += QLatin1Char('>');
        else if (ref == "amp")
            out += QLatin1Char('&');
        else if (ref == "quot")
            out += QLatin1Char('"');
        else if (ref == "apos")
            out += QLatin1Char('\'');
        else if (ref.startsWith('#')) {
            bool ok = false;
            const uint code = ref.startsWith("#x") ? ref.sliced(2).toByteArray().toUInt(&ok, 16)
                                                   : ref.sliced(1).toByteArray().toUInt(&ok, 10);
            if (ok && code <= 0x10FFFF) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
            }
        } else {
            out += QString::fromUtf8(raw.sliced(amp, semi + 1 - amp));
        }
        from = semi + 1;
    }
    out += QString::fromUtf8(raw.sliced(from));
}

// Whole numbers that need no conversion: their text is already what the reader gives,
// digit for digit, however long (an 18-digit ID number written by a program that keeps it
// exact must not pass through a double).
bool isPlainInteger(QByteArrayView v)
{
    qsizetype i = v.startsWith('-') ? 1 : 0;
    const qsizetype digits = v.size() - i;
    if (digits < 1 || (v[i] == '0' && digits > 1))
        return false;
    for (; i < v.size(); ++i)
        if (v[i] < '0' || v[i] > '9')
            return false;
    return v != "-0";
}

// Reads the parts of one workbook and keeps the first failure as the operator's message.
struct PartReader
{
    unzFile zip;
    QString shown; // the file name as the operator knows it
    QString error;

    // Runs use over the inflating part; use returns its own failure as
    // {line, message} (line 0 for none). False with error filled when a required part is
    // missing or any part is damaged (failed inflation, wrong checksum, bad content).
    template <typename Use> bool open(const QString& name, bool required, Use use)
    {
        ZipEntryDevice device(zip);
        switch (device.openEntry(name)) {
        case ZipEntryDevice::Ok:
            break;
        case ZipEntryDevice::Missing:
            if (required)
                error = QStringLiteral("%1 不是有效的 Excel 工作簿（缺少 %2）。").arg(shown, name);
            return !required;
        case ZipEntryDevice::Damaged:
            error = QStringLiteral("%1 已损坏或不完整（%2 无法解压）。").arg(shown, name);
            return false;
        }
        const std::pair<qint64, QString> failure = use(device);
        const int zipError = device.zipError();
        const bool overLimit = device.overLimit();
        const int closeError = device.closeEntry();
        if (overLimit) {
            error = QStringLiteral("%1 不能读取：%2 解压后超出 Excel 工作表的限度"
                                   "（文件已损坏或是有意构造的）。")
                        .arg(shown, name);
            return false;
        }
        if (zipError != UNZ_OK || closeError == UNZ_CRCERROR) {
            error = QStringLiteral("%1 已损坏或不完整（%2 无法解压）。").arg(shown, name);
            return false;
        }
        if (!failure.second.isEmpty()) {
            error = QStringLiteral("%1 已损坏（%2 第 %3 行：%4）。")
                        .arg(shown, name)
                        .arg(failure.first)
                        .arg(failure.second);
            return false;
        }
        return true;
    }

    // The same with QXmlStreamReader over the part.
    template <typename Parse> bool read(const QString& name, bool required, Parse parse)
    {
        return open(name, required, [&](QIODevice& device) {
            QXmlStreamReader xml(&device);
            parse(xml);
            return std::pair<qint64, QString>(xml.lineNumber(),
                                              xml.hasError() ? xml.errorString() : QString());
        });
    }
};

enum class CellType
{
    Number,
    Shared,
    Inline,
    Formula, // text result of a formula
    Boolean,
    Date, // ISO 8601 text
    Error,
};

CellType cellType(QByteArrayView t)
{
    if (t.isEmpty() || t == "n")
        return CellType::Number;
    if (t == "s")
        return CellType::Shared;
    if (t == "inlineStr")
        return CellType::Inline;
    if (t == "str")
        return CellType::Formula;
    if (t == "b")
        return CellType::Boolean;
    if (t == "d")
        return CellType::Date;
    return CellType::Error;
}
} // namespace

bool XlsxReader::open(const QString& path, QString* error)
{
    clear();
    const QString shown = QDir::toNativeSeparators(path);
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip) {
        *error =
            QFile::exists(path)
                ? QStringLiteral("%1 不是有效的 Excel 工作簿（文件已损坏或不完整）。").arg(shown)
                : QStringLiteral("无法打开文件 %1：文件不存在。").arg(shown);
        return false;
    }
    struct Closer
    {
        unzFile z;
        ~Closer() { unzClose(z); }
    } closer{zip};
    PartReader parts{zip, shown, {}};
    auto fail = [&] {
        clear();
        *error = parts.error;
        return false;
    };

    // Where the workbook part is.
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    if (!parts.read(QStringLiteral("_rels/.rels"), false, [&](QXmlStreamReader& xml) {
            for (const Relationship& r : relationships(xml, QString()))
                if (r.type == QLatin1String("officeDocument"))
                    workbookPart = r.target;
        }))
        return fail();
    const qsizetype slash = workbookPart.lastIndexOf(QLatin1Char('/'));
    const QString baseDir = workbookPart.left(slash + 1);

    // The sheets in order, the one the workbook opens on, the date system.
    QStringList sheetIds;
    int activeTab = 0;
    bool date1904 = false;
    if (!parts.read(workbookPart, true, [&](QXmlStreamReader& xml) {
            while (!xml.atEnd()) {
                if (xml.readNext() != QXmlStreamReader::StartElement)
                    continue;
                const QStringView name = xml.name();
                if (name == QLatin1String("sheet")) {
                    sheetIds << localAttribute(xml.attributes(), QLatin1String("id")).toString();
                } else if (name == QLatin1String("workbookView")) {
                    activeTab = xml.attributes().value(QLatin1String("activeTab")).toInt();
                } else if (name == QLatin1String("workbookPr")) {
                    const QStringView v = xml.attributes().value(QLatin1String("date1904"));
                    date1904 = v == QLatin1String("1") || v == QLatin1String("true");
                }
            }
        }))
        return fail();
    if (sheetIds.isEmpty()) {
        *error = QStringLiteral("%1 中没有工作表。").arg(shown);
        return false;
    }
    if (activeTab < 0 || activeTab >= sheetIds.size())
        activeTab = 0;

    QHash<QString, Relationship> rels;
    const QString relsPart =
        baseDir + QStringLiteral("_rels/") + workbookPart.mid(slash + 1) + QStringLiteral(".rels");
    if (!parts.read(relsPart, false,
                    [&](QXmlStreamReader& xml) { rels = relationships(xml, baseDir); }))
        return fail();
    QString sheetPart = rels.value(sheetIds.at(activeTab)).target;
    if (sheetPart.isEmpty())
        sheetPart = baseDir + QStringLiteral("worksheets/sheet%1.xml").arg(activeTab + 1);
    QString stylesPart = baseDir + QStringLiteral("styles.xml");
    QString stringsPart = baseDir + QStringLiteral("sharedStrings.xml");
    for (const Relationship& r : std::as_const(rels)) {
        if (r.type == QLatin1String("styles"))
            stylesPart = r.target;
        else if (r.type == QLatin1String("sharedStrings"))
            stringsPart = r.target;
    }

    // Which cell styles show a date.
    std::vector<bool> dateStyle;
    if (!parts.read(stylesPart, false, [&](QXmlStreamReader& xml) {
            for (const SheetText::CellStyleFormat& f : SheetText::cellStyleFormats(xml))
                dateStyle.push_back(
                    SheetText::isDateFormat(f.numFmtId, f.formatCode.value_or(QString())));
        }))
        return fail();

    // The shared strings, kept once in the pool.
    std::vector<PoolText> strings;
    if (!parts.read(stringsPart, false, [&](QXmlStreamReader& xml) {
            while (!xml.atEnd()) {
                if (xml.readNext() == QXmlStreamReader::StartElement &&
                    xml.name() == QLatin1String("si"))
                    strings.push_back(addToPool(runText(xml)));
            }
        }))
        return fail();

    // One cell from its type, style and raw value; false for a shared string that is not
    // there.
    auto storeCell = [&](int row, int column, CellType type, bool isDate, const QByteArray& value,
                         bool cdata, bool hasInline, const QString& inlineText) {
        if (hasInline) {
            setCell(row, column, decodeEscapes(inlineText));
            return true;
        }
        if (type == CellType::Shared) {
            bool okIndex = false;
            const uint index = value.toUInt(&okIndex);
            if (!okIndex || index >= strings.size())
                return false;
            setCell(row, column, strings[index]);
            return true;
        }
        if (type == CellType::Number) {
            if (value.isEmpty())
                return true;
            if (!isDate && isPlainInteger(value)) {
                setCell(row, column, addUtf8ToPool(value), CellKind::Number);
                return true;
            }
            double d = 0;
            const char* end = value.constData() + value.size();
            const auto [stop, ec] = std::from_chars(value.constData(), end, d);
            const bool okNumber = ec == std::errc() && stop == end;
            QString text;
            if (okNumber && isDate)
                text = SheetText::serialDate(d, date1904);
            if (text.isEmpty() && okNumber) {
                setCell(row, column, SheetText::number(d), CellKind::Number);
                return true;
            }
            if (text.isEmpty())
                appendXmlText(text, value, cdata);
            setCell(row, column, text);
            return true;
        }
        QString text;
        appendXmlText(text, value, cdata);
        switch (type) {
        case CellType::Boolean:
            if (!text.isEmpty())
                setCell(row, column,
                        text == QLatin1String("1") || text == QLatin1String("true")
                            ? QStringLiteral("TRUE")
                            : QStringLiteral("FALSE"));
            break;
        case CellType::Date: {
            const QDateTime dt = QDateTime::fromString(text, Qt::ISODate);
            if (!dt.isValid())
                setCell(row, column, text);
            else if (dt.time() == QTime(0, 0))
                setCell(row, column, dt.date().toString(QStringLiteral("yyyy-MM-dd")));
            else
                setCell(row, column, dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
            break;
        }
        case CellType::Error:
            setCell(row, column, text);
            break;
        default:
            setCell(row, column, decodeEscapes(text));
            break;
        }
        return true;
    };

    // The cells.
    if (!parts.open(sheetPart, true, [&](QIODevice& device) {
            SheetScanner xml(&device);
            int row = 0;
            int column = 0;
            CellType type = CellType::Number;
            bool isDate = false;
            bool inCell = false;
            bool inValue = false;
            bool inText = false;
            bool hasInline = false;
            int phonetic = 0;
            QByteArray value; // raw <v> text, references unresolved
            bool valueCdata = false;
            QString inlineText;
            auto failed = [&](const QString& what) {
                xml.fail(what);
                return std::pair<qint64, QString>(xml.line(), xml.errorString());
            };
            for (;;) {
                const SheetScanner::Token token = xml.next();
                if (token == SheetScanner::End)
                    return std::pair<qint64, QString>(0, QString());
                if (token == SheetScanner::Error)
                    return std::pair<qint64, QString>(xml.line(), xml.errorString());
                if (token == SheetScanner::Text) {
                    if (inValue) {
                        value += xml.rawText();
                        valueCdata = xml.isCdata();
                    } else if (inText && !phonetic) {
                        appendXmlText(inlineText, xml.rawText(), xml.isCdata());
                    }
                    if (value.size() > kMaxCellBytes || inlineText.size() > kMaxCellChars)
                        return failed(SheetLimits::cellTooLong(row, column));
                    continue;
                }
                const QByteArrayView name = xml.name();
                if (token == SheetScanner::EndElement) {
                    if (is(name, "v")) {
                        inValue = false;
                    } else if (is(name, "t")) {
                        inText = false;
                    } else if (is(name, "rPh")) {
                        --phonetic;
                    } else if (is(name, "c") && inCell) {
                        inCell = false;
                        // Only a value of more bytes than the limit can hold too many
                        // characters once its references are resolved.
                        if (!hasInline && value.size() > kMaxCellChars) {
                            QString text;
                            appendXmlText(text, value, valueCdata);
                            if (text.size() > kMaxCellChars)
                                return failed(SheetLimits::cellTooLong(row, column));
                        }
                        if (!storeCell(row, column, type, isDate, value, valueCdata, hasInline,
                                       inlineText))
                            return failed(QStringLiteral("共享字符串 %1 不存在")
                                              .arg(QString::fromUtf8(value)));
                    }
                    continue;
                }
                if (is(name, "row")) {
                    const QByteArrayView r = xml.attribute("r");
                    const int next = r.isEmpty() ? row + 1 : r.toInt();
                    if (next < 1 || next > kMaxRows)
                        return failed(QStringLiteral("行号 %1 无效").arg(QString::fromUtf8(r)));
                    row = next;
                    column = 0;
                } else if (is(name, "c")) {
                    const QByteArrayView ref = xml.attribute("r");
                    if (ref.isEmpty()) {
                        ++column;
                    } else {
                        int refRow = 0;
                        column = parseReference(ref, &refRow);
                        if (column == 0)
                            return failed(
                                QStringLiteral("单元格 %1 无效").arg(QString::fromUtf8(ref)));
                        if (refRow > 0)
                            row = refRow;
                    }
                    row = std::max(row, 1);
                    if (column > kMaxColumns)
                        return failed(QStringLiteral("列号无效"));
                    type = cellType(xml.attribute("t"));
                    const QByteArrayView styleText = xml.attribute("s");
                    const uint style = styleText.isEmpty() ? 0 : styleText.toUInt();
                    isDate = style < dateStyle.size() && dateStyle[style];
                    inCell = true;
                    hasInline = false;
                    value.clear();
                    valueCdata = false;
                    inlineText.clear();
                    phonetic = 0;
                } else if (!inCell) {
                    continue;
                } else if (is(name, "v")) {
                    inValue = true;
                } else if (is(name, "is")) {
                    hasInline = true;
                } else if (is(name, "t")) {
                    inText = hasInline;
                } else if (is(name, "rPh")) {
                    ++phonetic;
                }
            }
        }))
        return fail();
    finish();
    return true;
}

QList<SheetText::CellStyleFormat> SheetText::cellStyleFormats(QXmlStreamReader& xml)
{
    QList<CellStyleFormat> formats;
    QHash<int, QString> codes;
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs"))
            inCellXfs = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("numFmt")) {
            const QXmlStreamAttributes a = xml.attributes();
            codes.insert(a.value(QLatin1String("numFmtId")).toInt(),
                         a.value(QLatin1String("formatCode")).toString());
        } else if (name == QLatin1String("cellXfs")) {
            inCellXfs = true;
        } else if (name == QLatin1String("xf") && inCellXfs) {
            CellStyleFormat f;
            f.numFmtId = xml.attributes().value(QLatin1String("numFmtId")).toInt();
            const auto code = codes.constFind(f.numFmtId);
            if (code != codes.constEnd())
                f.formatCode = *code;
            formats << f;
        }
    }
    return formats;
}
