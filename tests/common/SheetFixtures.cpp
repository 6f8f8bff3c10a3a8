#include "SheetFixtures.h"

#include "data/SpreadsheetReader.h"

#include <QDate>
#include <QFile>
#include <QXmlStreamReader>
#include <algorithm>
#include <minizip/unzip.h>
#include <minizip/zip.h>

namespace {
// Blanks put into one part while it is deflated, never held whole.
struct Filling
{
    QString part;
    qsizetype at = 0; // before this byte of the part's content
    qint64 blanks = 0;
};

bool writeParts(const QString& path, const QList<std::pair<QString, QByteArray>>& parts,
                const Filling& filling = {})
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    const QByteArray blanks(1 << 20, ' ');
    bool ok = true;
    for (const auto& [name, content] : parts) {
        const bool filled = name == filling.part && filling.blanks > 0;
        const qsizetype at = filled ? filling.at : content.size();
        auto write = [&](const char* data, qint64 size) {
            return zipWriteInFileInZip(zip, data, unsigned(size)) == ZIP_OK;
        };
        ok = ok &&
             zipOpenNewFileInZip64(zip, name.toUtf8().constData(), nullptr, nullptr, 0, nullptr, 0,
                                   nullptr, Z_DEFLATED,
                                   filled ? Z_BEST_SPEED : Z_DEFAULT_COMPRESSION,
                                   filled ? 1 : 0) == ZIP_OK &&
             write(content.constData(), at);
        for (qint64 left = filled ? filling.blanks : 0; ok && left > 0; left -= blanks.size())
            ok = write(blanks.constData(), std::min<qint64>(left, blanks.size()));
        ok = ok && write(content.constData() + at, content.size() - at) &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

QList<std::pair<QString, QByteArray>> workbookParts(const QList<QVariantList>& rows);
} // namespace

bool SheetFixtures::writeZip(const QString& path,
                             const QList<std::pair<QString, QByteArray>>& parts)
{
    return writeParts(path, parts);
}

QByteArray SheetFixtures::readZipPart(const QString& path, const QString& name)
{
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        return {};
    QByteArray out;
    if (unzLocateFile(zip, name.toUtf8().constData(), 1) == UNZ_OK &&
        unzOpenCurrentFile(zip) == UNZ_OK) {
        char buffer[65536];
        int n;
        while ((n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0)
            out.append(buffer, n);
        unzCloseCurrentFile(zip);
    }
    unzClose(zip);
    return out;
}

SheetFixtures::RawSheet SheetFixtures::readRawSheet(const QString& path)
{
    RawSheet sheet;
    // Styles: cell style number -> format code.
    QList<QString> styleFormats;
    {
        QXmlStreamReader xml(readZipPart(path, QStringLiteral("xl/styles.xml")));
        for (const SheetText::CellStyleFormat& f : SheetText::cellStyleFormats(xml)) {
            if (f.formatCode)
                styleFormats << *f.formatCode;
            else if (f.numFmtId == 0)
                styleFormats << QStringLiteral("General");
            else
                styleFormats << QStringLiteral("built-in %1").arg(f.numFmtId);
        }
    }
    const QByteArray xmlText = readZipPart(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    if (xmlText.isEmpty()) {
        sheet.error = QStringLiteral("no sheet1.xml");
        return sheet;
    }
    QXmlStreamReader xml(xmlText);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("col")) {
            for (int c = a.value(QLatin1String("min")).toInt();
                 c <= a.value(QLatin1String("max")).toInt(); ++c)
                sheet.widths.insert(c, a.value(QLatin1String("width")).toDouble());
        } else if (xml.name() == QLatin1String("c")) {
            RawCell cell;
            const QString ref = a.value(QLatin1String("r")).toString();
            cell.type = a.value(QLatin1String("t")).toString();
            const int style = a.value(QLatin1String("s")).toInt();
            cell.format =
                style < styleFormats.size() ? styleFormats.at(style) : QStringLiteral("General");
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("v")) {
                    cell.value = xml.readElementText();
                } else if (xml.name() == QLatin1String("is")) {
                    while (xml.readNextStartElement())
                        cell.value += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                } else {
                    xml.skipCurrentElement();
                }
            }
            sheet.cells.insert(ref, cell);
        }
    }
    if (xml.hasError())
        sheet.error = xml.errorString();
    return sheet;
}

bool SheetFixtures::writeWorkbook(const QString& path, const QList<QVariantList>& rows)
{
    return writeZip(path, workbookParts(rows));
}

bool SheetFixtures::writeInflatingWorkbook(const QString& path, Inflating where, qint64 blanks)
{
    const QString marker = QStringLiteral("@blanks@");
    QList<std::pair<QString, QByteArray>> parts =
        workbookParts({{QStringLiteral("编号"), QStringLiteral("名称")},
                       {QStringLiteral("B1"), where == Inflating::InCell ? marker : QString()},
                       {QStringLiteral("B2"), QStringLiteral("末行")}});
    Filling filling{QStringLiteral("xl/worksheets/sheet1.xml"), 0, blanks};
    for (auto& [name, content] : parts) {
        if (name != filling.part)
            continue;
        if (where == Inflating::InCell) {
            filling.at = content.indexOf(marker.toUtf8());
            content.remove(filling.at, marker.toUtf8().size());
        } else {
            filling.at = content.indexOf("</row>") + 6;
        }
    }
    return writeParts(path, parts, filling);
}

QByteArray SheetFixtures::hostileCompoundFile(int sectorShift)
{
    QByteArray file(2 << 20, '\0');
    auto put32 = [&](qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    file.replace(0, 8, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    file[0x18] = 0x3E;
    file[0x1A] = sectorShift >= 12 ? 4 : 3;
    file[0x1C] = char(0xFE);
    file[0x1D] = char(0xFF);
    file[0x1E] = char(sectorShift);
    file[0x20] = 6;
    put32(0x2C, 0xFFFFFFFF); // allocation-table sectors: no end
    put32(0x30, 1);          // the directory
    put32(0x38, 4096);
    put32(0x3C, 0xFFFFFFFE);
    put32(0x44, 0); // the DIFAT chain starts at sector 0 ...
    put32(0x48, 0xFFFFFFFF);
    const qsizetype sector = qsizetype(1) << sectorShift;
    put32(sector + sector - 4, 0); // ... whose next DIFAT sector is itself
    return file;
}

namespace {
QList<std::pair<QString, QByteArray>> workbookParts(const QList<QVariantList>& rows)
{
    auto escaped = [](const QString& text) { return text.toHtmlEscaped().toUtf8(); };
    QByteArray cells;
    for (int r = 0; r < rows.size(); ++r) {
        cells += "<row r=\"" + QByteArray::number(r + 1) + "\">";
        for (int c = 0; c < rows[r].size(); ++c) {
            const QVariant& v = rows[r][c];
            if (v.isNull())
                continue;
            QByteArray ref;
            for (int n = c + 1; n > 0; n = (n - 1) / 26)
                ref.prepend(char('A' + (n - 1) % 26));
            ref += QByteArray::number(r + 1);
            const int type = v.metaType().id();
            if (type == QMetaType::QString)
                cells += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" +
                         escaped(v.toString()) + "</t></is></c>";
            else if (type == QMetaType::QDate)
                cells += "<c r=\"" + ref + "\" s=\"1\"><v>" +
                         QByteArray::number(QDate(1899, 12, 30).daysTo(v.toDate())) + "</v></c>";
            else if (type == QMetaType::QByteArray)
                cells += "<c r=\"" + ref + "\"><v>" + v.toByteArray() + "</v></c>";
            else
                cells += "<c r=\"" + ref + "\"><v>" + QByteArray::number(v.toDouble(), 'g', 17) +
                         "</v></c>";
        }
        cells += "</row>";
    }
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QByteArray rels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    return {{QStringLiteral("_rels/.rels"),
             head +
                 "<Relationships "
                 "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                 "<Relationship Id=\"rId1\" Type=\"" +
                 rels + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
            {QStringLiteral("xl/workbook.xml"),
             head + "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rels +
                 "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
                 "</workbook>"},
            {QStringLiteral("xl/_rels/workbook.xml.rels"),
             head +
                 "<Relationships "
                 "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                 "<Relationship Id=\"rId1\" Type=\"" +
                 rels +
                 "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                 "<Relationship Id=\"rId2\" Type=\"" +
                 rels + "/styles\" Target=\"styles.xml\"/></Relationships>"},
            {QStringLiteral("xl/styles.xml"),
             head + "<styleSheet xmlns=\"" + main +
                 "\"><cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\" "
                 "applyNumberFormat=\"1\"/></cellXfs></styleSheet>"},
            {QStringLiteral("xl/worksheets/sheet1.xml"), head + "<worksheet xmlns=\"" + main +
                                                             "\"><sheetData>" + cells +
                                                             "</sheetData></worksheet>"}};
}
} // namespace
