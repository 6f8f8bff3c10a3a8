// Code 39 barcodes drawn with libzint: no check character, the text printed under the bars.
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <QVector>

class QPainter;

namespace Barcode {
// The bars of the Code 39 symbol for text (start and stop characters added, no check
// character), in modules: x from 0 to *widthModules. False with *error filled when the
// text holds a character Code 39 cannot carry.
bool code39Bars(const QString& text, QVector<QRectF>* bars, double* widthModules,
                QString* error = nullptr);

// Paints the symbol filling rect (device units) with the text under the bars in font.
// A text Code 39 cannot carry is printed alone, framed, so the label still shows it.
void paintCode39(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font);
} // namespace Barcode
