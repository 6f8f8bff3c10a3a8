#include "Barcode.h"

#include <QFontMetricsF>
#include <QPainter>
#include <zint.h>

namespace Barcode {
bool code39Bars(const QString& text, QVector<QRectF>* bars, double* widthModules, QString* error)
{
    bars->clear();
    *widthModules = 0;
    const QByteArray data = text.toLatin1();
    if (text.isEmpty() || QString::fromLatin1(data) != text) {
        if (error)
            *error = QStringLiteral("Code 39 cannot carry \"%1\"").arg(text);
        return false;
    }
    zint_symbol* symbol = ZBarcode_Create();
    symbol->symbology = BARCODE_CODE39;
    symbol->option_2 = 0; // no check character
    symbol->show_hrt = 0; // the text is painted by us, under the bars
    symbol->height = 50;
    const int rc = ZBarcode_Encode_and_Buffer_Vector(
        symbol, reinterpret_cast<const unsigned char*>(data.constData()), int(data.size()), 0);
    const bool ok = rc < ZINT_ERROR && symbol->vector;
    if (ok) {
        *widthModules = symbol->vector->width;
        for (const zint_vector_rect* r = symbol->vector->rectangles; r; r = r->next)
            bars->append(QRectF(r->x, 0, r->width, 1));
    } else if (error) {
        *error = QString::fromLatin1(symbol->errtxt);
    }
    ZBarcode_Delete(symbol);
    return ok;
}

void paintCode39(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font)
{
    painter.save();
    painter.setFont(font);
    const QFontMetricsF fm(font, painter.device());
    const double textHeight = fm.height();
    QVector<QRectF> bars;
    double modules = 0;
    if (!code39Bars(text, &bars, &modules)) {
        painter.setPen(Qt::black);
        painter.drawRect(rect);
        painter.drawText(rect, Qt::AlignCenter, text);
        painter.restore();
        return;
    }
    const double barHeight = qMax(rect.height() - textHeight, rect.height() / 2);
    const double scale = rect.width() / modules;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (const QRectF& b : bars)
        painter.drawRect(
            QRectF(rect.left() + b.x() * scale, rect.top(), b.width() * scale, barHeight));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawText(
        QRectF(rect.left(), rect.top() + barHeight, rect.width(), rect.height() - barHeight),
        Qt::AlignHCenter | Qt::AlignTop, text);
    painter.restore();
}
} // namespace Barcode
