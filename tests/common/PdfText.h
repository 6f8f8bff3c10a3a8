// Reading back the PDF files that reports and labels print to.
#pragma once

#include <QImage>
#include <QList>
#include <QString>

// The text poppler's pdftotext reads out of a PDF file (pages separated by form feeds), or
// "pdftotext failed: " and its error output.
QString pdfText(const QString& path);

// Every page of a PDF file as poppler's pdftoppm renders it in grey at dpi, in page order;
// empty with *error filled when it cannot.
QList<QImage> pdfPages(const QString& path, int dpi, QString* error);
