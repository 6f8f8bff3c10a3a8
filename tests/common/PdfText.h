// Reading back the PDF files that reports and labels print to.
#pragma once

#include <QString>

// The text poppler's pdftotext reads out of a PDF file (pages separated by form feeds), or
// "pdftotext failed: " and its error output.
QString pdfText(const QString& path);
