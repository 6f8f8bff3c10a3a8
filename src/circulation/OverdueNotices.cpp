#include "OverdueNotices.h"

#include "Returning.h"

namespace {
const QString kOpen = QStringLiteral("否");
} // namespace

OverdueNotices::OverdueNotices(const Database& db) : db_(db) {}

QList<OverdueNotice> OverdueNotices::notices(const QDate& today,
                                             const LibrarySettings& settings) const
{
    QSqlQuery q = db_.query(
        QStringLiteral("select l.读者编号, l.读者姓名, r.读者姓名, r.班级, r.院系, r.单位部门, "
                       "r.联系电话, r.住址, l.编号, l.名称, l.类别, l.借阅日期, l.应还日期 from "
                       "借出记录 l left join 读者库 r on r.读者编号 = l.读者编号 where l.已还 = ? "
                       "and l.应还日期 < ? order by l.读者编号, l.应还日期, l.id"),
        {kOpen, today});
    QList<OverdueNotice> out;
    while (q.next()) {
        const QString reader = DbValue::toText(q.value(0));
        if (out.isEmpty() || out.last().读者编号 != reader) {
            OverdueNotice n;
            n.读者编号 = reader;
            // The reader's name as registered now; the loan's when the reader is gone.
            n.读者姓名 = DbValue::toText(q.value(q.isNull(2) ? 1 : 2));
            n.班级 = DbValue::toText(q.value(3));
            n.院系 = DbValue::toText(q.value(4));
            n.单位部门 = DbValue::toText(q.value(5));
            n.联系电话 = DbValue::toText(q.value(6));
            n.住址 = DbValue::toText(q.value(7));
            out << n;
        }
        OverdueItem it;
        it.编号 = DbValue::toText(q.value(8));
        it.名称 = DbValue::toText(q.value(9));
        it.类别 = DbValue::toText(q.value(10));
        it.借阅日期 = DbValue::dateOrNull(q.value(11));
        it.应还日期 = DbValue::toDate(q.value(12));
        it.超期天数 = Returning::overdueDays(it.应还日期, today);
        if (settings.启用超期罚金)
            it.罚金 = Returning::fine(it.超期天数, settings.超期每日罚金);
        out.last().total += it.罚金;
        out.last().items << it;
    }
    return out;
}

ListStatement OverdueNotices::readers(const QDate& today)
{
    return ListStatement{
        QStringLiteral(
            "select l.读者编号, coalesce(r.读者姓名, max(l.读者姓名)) as 读者姓名, r.班级, r.院系, "
            "r.单位部门, "
            "r.联系电话, r.住址, count(l.id) as 超期数量, min(l.应还日期) as 最早应还日期 "
            "from 借出记录 l left join 读者库 r on r.读者编号 = l.读者编号 where "
            "l.已还 = ? and l.应还日期 < ? group by l.读者编号, r.读者姓名, r.班级, r.院系, "
            "r.单位部门, r.联系电话, r.住址 order by l.读者编号"),
        {kOpen, today}};
}

QString OverdueNotices::noticeText() const
{
    return DbValue::toText(db_.scalar(QStringLiteral("select 催还通知文字 from 系统设置")));
}

Report OverdueNotices::report()
{
    Report report;
    report.setTitle(QStringLiteral("催还通知"));
    // One notice per A4 page: the data band fills the page inside its margins.
    ReportBand& band = report.band(BandKind::Data, 277);
    band.memo(QStringLiteral("Library"), 0, 0, 190, 10, QStringLiteral("[图书馆名]"))
        .fontSize(14)
        .bold()
        .align(Qt::AlignCenter);
    band.caption(0, 11, 190, 10, QStringLiteral("催还通知"))
        .fontSize(16)
        .bold()
        .align(Qt::AlignCenter);
    band.memo(QStringLiteral("Reader"), 0, 26, 190, 7,
              QStringLiteral("读者: [读者姓名]    读者编号: [读者编号]"));
    band.memo(QStringLiteral("Class"), 0, 33, 190, 7, QStringLiteral("班级/部门: [班级部门]"));
    band.memo(QStringLiteral("Contact"), 0, 40, 190, 7, QStringLiteral("联系电话: [联系电话]"));
    band.line(0, 49, 190, 49);
    band.memo(QStringLiteral("Items"), 0, 51, 190, 150, QStringLiteral("[明细]"))
        .wrap()
        .align(Qt::AlignLeft | Qt::AlignTop);
    band.line(0, 203, 190, 203);
    band.memo(QStringLiteral("Total"), 0, 205, 190, 7,
              QStringLiteral("超期 [件数] 件, 罚金合计: [合计] 元"))
        .bold();
    band.memo(QStringLiteral("Text"), 0, 215, 190, 40, QStringLiteral("[通知文字]"))
        .wrap()
        .align(Qt::AlignLeft | Qt::AlignTop);
    band.memo(QStringLiteral("Date"), 100, 260, 90, 7, QStringLiteral("[图书馆名]  [通知日期]"))
        .align(Qt::AlignRight | Qt::AlignVCenter);
    return report;
}

QString OverdueNotices::classText(const OverdueNotice& n)
{
    QStringList parts;
    for (const QString& p : {n.班级, n.院系, n.单位部门})
        if (!p.isEmpty())
            parts << p;
    return parts.join(QLatin1Char(' '));
}

QString OverdueNotices::itemLine(const OverdueItem& it)
{
    return QStringLiteral("%1  《%2》  应还日期:%3  超期%4天  罚金:%5元")
        .arg(it.编号, it.名称, it.应还日期.toString(QStringLiteral("yyyy-MM-dd")))
        .arg(it.超期天数)
        .arg(it.罚金.toString());
}

ReportRows OverdueNotices::rows(const QList<OverdueNotice>& notices, const QString& libraryName,
                                const QString& text, const QDate& today)
{
    ReportRows rows({QStringLiteral("图书馆名"), QStringLiteral("读者编号"),
                     QStringLiteral("读者姓名"), QStringLiteral("班级部门"),
                     QStringLiteral("联系电话"), QStringLiteral("明细"), QStringLiteral("件数"),
                     QStringLiteral("合计"), QStringLiteral("通知文字"),
                     QStringLiteral("通知日期")},
                    {});
    for (const OverdueNotice& n : notices) {
        QStringList lines;
        for (const OverdueItem& it : n.items)
            lines << itemLine(it);
        rows.append({libraryName, n.读者编号, n.读者姓名, classText(n), n.联系电话,
                     lines.join(QLatin1Char('\n')), QString::number(n.items.size()),
                     n.total.toString(), text, today.toString(QStringLiteral("yyyy-MM-dd"))});
    }
    return rows;
}
