#include "SheetFixtures.h"

#include "data/SpreadsheetReader.h"

#include <QFile>
#include <QXmlStreamReader>
#include <minizip/unzip.h>
#include <minizip/zip.h>

bool SheetFixtures::writeZip(const QString& path,
                             const QList<std::pair<QString, QByteArray>>& parts)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto& [name, content] : parts) {
        ok = ok &&
             zipOpenNewFileInZip(zip, name.toUtf8().constData(), nullptr, nullptr, 0, nullptr, 0,
                                 nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION) == ZIP_OK &&
             zipWriteInFileInZip(zip, content.constData(), unsigned(content.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
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
