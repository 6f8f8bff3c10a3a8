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
#include <minizip/unzip.h>

namespace {
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

// One part of the zip file as a sequential device that inflates as it is read.
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
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int n = unzReadCurrentFile(zip_, data, unsigned(std::min<qint64>(maxSize, 1 << 20)));
        if (n < 0) {
            zipError_ = n;
            return -1;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    unzFile zip_;
    bool entryOpen_ = false;
    int zipError_ = UNZ_OK;
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
int parseReference(QStringView ref, int* row)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size(); ++i) {
        const char16_t c = ref[i].unicode();
        if (c >= u'A' && c <= u'Z')
            column = column * 26 + (c - u'A' + 1);
        else if (c >= u'a' && c <= u'z')
            column = column * 26 + (c - u'a' + 1);
        else
            break;
        if (column > kMaxColumns)
            return 0;
    }
    int r = 0;
    for (; i < ref.size(); ++i) {
        const char16_t c = ref[i].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        r = r * 10 + (c - u'0');
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

// Reads the parts of one workbook and keeps the first failure as the operator's message.
struct PartReader
{
    unzFile zip;
    QString shown; // the file name as the operator knows it
    QString error;

    // Runs parse over the part. False with error filled when a required part is missing or
    // any part is damaged (bad XML, failed inflation, wrong checksum, or an error that
    // parse raised on the reader).
    template <typename Parse> bool read(const QString& name, bool required, Parse parse)
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
        QXmlStreamReader xml(&device);
        parse(xml);
        const int zipError = device.zipError();
        const int closeError = device.closeEntry();
        if (zipError != UNZ_OK || closeError == UNZ_CRCERROR) {
            error = QStringLiteral("%1 已损坏或不完整（%2 无法解压）。").arg(shown, name);
            return false;
        }
        if (xml.hasError()) {
            error = QStringLiteral("%1 已损坏（%2 第 %3 行：%4）。")
                        .arg(shown, name)
                        .arg(xml.lineNumber())
                        .arg(xml.errorString());
            return false;
        }
        return true;
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

CellType cellType(QStringView t)
{
    if (t.isEmpty() || t == QLatin1String("n"))
        return CellType::Number;
    if (t == QLatin1String("s"))
        return CellType::Shared;
    if (t == QLatin1String("inlineStr"))
        return CellType::Inline;
    if (t == QLatin1String("str"))
        return CellType::Formula;
    if (t == QLatin1String("b"))
        return CellType::Boolean;
    if (t == QLatin1String("d"))
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
                    const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                    dateStyle.push_back(SheetText::isDateFormat(id, codes.value(id)));
                }
            }
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

    // The cells.
    if (!parts.read(sheetPart, true, [&](QXmlStreamReader& xml) {
            int row = 0;
            int column = 0;
            while (!xml.atEnd()) {
                if (xml.readNext() != QXmlStreamReader::StartElement)
                    continue;
                const QStringView name = xml.name();
                if (name == QLatin1String("row")) {
                    const QStringView r = xml.attributes().value(QLatin1String("r"));
                    const int next = r.isEmpty() ? row + 1 : r.toInt();
                    if (next < 1 || next > kMaxRows)
                        return xml.raiseError(QStringLiteral("行号 %1 无效").arg(r));
                    row = next;
                    column = 0;
                    continue;
                }
                if (name != QLatin1String("c"))
                    continue;
                const QXmlStreamAttributes a = xml.attributes();
                const QStringView ref = a.value(QLatin1String("r"));
                if (ref.isEmpty()) {
                    ++column;
                } else {
                    int refRow = 0;
                    column = parseReference(ref, &refRow);
                    if (column == 0)
                        return xml.raiseError(QStringLiteral("单元格 %1 无效").arg(ref));
                    if (refRow > 0)
                        row = refRow;
                }
                row = std::max(row, 1);
                if (column > kMaxColumns)
                    return xml.raiseError(QStringLiteral("列号无效"));
                const CellType type = cellType(a.value(QLatin1String("t")));
                const uint style = a.value(QLatin1String("s")).toUInt();
                const bool isDate = style < dateStyle.size() && dateStyle[style];
                QString value;
                bool inlineText = false;
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("v")) {
                        value = xml.readElementText();
                    } else if (xml.name() == QLatin1String("is")) {
                        value = runText(xml);
                        inlineText = true;
                    } else {
                        xml.skipCurrentElement(); // the formula
                    }
                }
                if (xml.hasError())
                    return;
                if (inlineText) {
                    setCell(row, column, value);
                    continue;
                }
                switch (type) {
                case CellType::Shared: {
                    bool okIndex = false;
                    const uint index = value.toUInt(&okIndex);
                    if (!okIndex || index >= strings.size())
                        return xml.raiseError(QStringLiteral("共享字符串 %1 不存在").arg(value));
                    setCell(row, column, strings[index]);
                    break;
                }
                case CellType::Inline:
                case CellType::Formula:
                    setCell(row, column, decodeEscapes(value));
                    break;
                case CellType::Boolean:
                    if (!value.isEmpty())
                        setCell(row, column,
                                value == QLatin1String("1") || value == QLatin1String("true")
                                    ? QStringLiteral("TRUE")
                                    : QStringLiteral("FALSE"));
                    break;
                case CellType::Date: {
                    const QDateTime dt = QDateTime::fromString(value, Qt::ISODate);
                    if (!dt.isValid())
                        setCell(row, column, value);
                    else if (dt.time() == QTime(0, 0))
                        setCell(row, column, dt.date().toString(QStringLiteral("yyyy-MM-dd")));
                    else
                        setCell(row, column, dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
                    break;
                }
                case CellType::Error:
                    setCell(row, column, value);
                    break;
                case CellType::Number: {
                    if (value.isEmpty())
                        break;
                    bool okNumber = false;
                    const double d = value.toDouble(&okNumber);
                    QString text;
                    if (okNumber && isDate)
                        text = SheetText::serialDate(d, date1904);
                    if (text.isEmpty())
                        text = okNumber ? SheetText::number(d) : value;
                    setCell(row, column, text);
                    break;
                }
                }
            }
        }))
        return fail();
    finish();
    return true;
}
