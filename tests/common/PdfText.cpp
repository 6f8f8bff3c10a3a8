#include "PdfText.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("pdftotext failed: ") + QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

QList<QImage> pdfPages(const QString& path, int dpi, QString* error)
{
    QTemporaryDir dir;
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
             QStringLiteral("-png"), path, dir.filePath(QStringLiteral("page"))});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        *error = QStringLiteral("pdftoppm failed: ") + QString::fromUtf8(p.readAllStandardError());
        return {};
    }
    // page-1.png, page-2.png …, the numbers padded to the same width, so sorting by name
    // keeps the page order.
    QList<QImage> pages;
    const QDir out(dir.path());
    for (const QString& name :
         out.entryList({QStringLiteral("page-*.png")}, QDir::Files, QDir::Name)) {
        QImage page(out.filePath(name));
        if (page.isNull()) {
            *error = QStringLiteral("unreadable page image ") + name;
            return {};
        }
        pages << page;
    }
    if (pages.isEmpty())
        *error = QStringLiteral("pdftoppm wrote no page");
    return pages;
}
