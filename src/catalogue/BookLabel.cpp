#include "BookLabel.h"

namespace BookLabel {

Report report(const QString& titleCaption)
{
    Report r;
    r.setTitle(QStringLiteral("图书标签")).setPage(QSizeF(70, 45), QMarginsF(3, 3, 3, 3));
    ReportBand& band = r.band(BandKind::Data, 39);
    const double lineHeight = 5.5;
    const double valueX = 15;
    const double valueWidth = 49;
    const QStringList captions{QStringLiteral("编号:"), QStringLiteral("索书号:"),
                               QStringLiteral("分类号:"), titleCaption};
    const QStringList memos{QStringLiteral("Memo1"), QStringLiteral("Memo2"),
                            QStringLiteral("Memo3"), QStringLiteral("Memo9")};
    for (int i = 0; i < captions.size(); ++i) {
        band.caption(0, i * lineHeight, valueX, lineHeight, captions[i]).fontSize(8);
        band.memo(memos[i], valueX, i * lineHeight, valueWidth, lineHeight).fontSize(8);
    }
    band.barcode(QStringLiteral("Bar1"), 0, 4 * lineHeight + 1, 64, 39 - 4 * lineHeight - 1)
        .fontSize(7);
    return r;
}

PreparedReport prepare(const BookRecord& fields)
{
    const auto setWhenGiven = [](ReportObjectState& state, const QString& text) {
        if (!text.isEmpty())
            state.text = text;
    };
    return report().prepare(ReportRows::single(), [&](const QString&, ReportObjectState& state) {
        if (state.is(QStringLiteral("Memo1")))
            state.text = fields.编号;
        else if (state.is(QStringLiteral("Memo2")))
            setWhenGiven(state, fields.索书号);
        else if (state.is(QStringLiteral("Memo3")))
            setWhenGiven(state, fields.分类号);
        else if (state.is(QStringLiteral("Memo9")))
            setWhenGiven(state, fields.名称);
        else if (state.is(QStringLiteral("bar1")))
            state.text = fields.条形码;
    });
}

PreparedReport prepare(const QVariantMap& book)
{
    const auto setWhenStored = [&](ReportObjectState& state, const char* column) {
        const QVariant v = book.value(QString::fromUtf8(column));
        if (v.isValid() && !v.isNull())
            state.text = v.toString();
    };
    return report(QStringLiteral("名称:"))
        .prepare(ReportRows::single(), [&](const QString&, ReportObjectState& state) {
            if (state.is(QStringLiteral("Memo1")))
                state.text = book.value(QStringLiteral("编号")).toString();
            else if (state.is(QStringLiteral("Memo2")))
                setWhenStored(state, "索书号");
            else if (state.is(QStringLiteral("Memo3")))
                setWhenStored(state, "分类号");
            else if (state.is(QStringLiteral("Memo9")))
                setWhenStored(state, "名称");
            else if (state.is(QStringLiteral("bar1")))
                state.text = book.value(QStringLiteral("条形码")).toString();
        });
}

} // namespace BookLabel
