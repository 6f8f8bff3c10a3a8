#include "CopyCatalogue.h"

#include <QSqlQuery>

namespace CopyCatalogue {

QString protocolText(bool sru)
{
    return sru ? QStringLiteral("SRU") : QStringLiteral("Z39.50");
}

QString formatText(MarcFormat format)
{
    return format == MarcFormat::Cnmarc ? QStringLiteral("CNMARC") : QStringLiteral("MARC21");
}

QString encodingText(MarcEncoding encoding)
{
    switch (encoding) {
    case MarcEncoding::Gb18030:
        return QStringLiteral("GBK");
    case MarcEncoding::Marc8:
        return QStringLiteral("MARC-8");
    case MarcEncoding::Utf8:
        break;
    }
    return QStringLiteral("UTF-8");
}

MarcFormat formatOf(const QString& text)
{
    return text == formatText(MarcFormat::Cnmarc) ? MarcFormat::Cnmarc : MarcFormat::Marc21;
}

MarcEncoding encodingOf(const QString& text)
{
    for (const MarcEncoding e : {MarcEncoding::Gb18030, MarcEncoding::Marc8})
        if (text == encodingText(e))
            return e;
    return MarcEncoding::Utf8;
}

QList<ZoomTarget> targets(const Database& db)
{
    QList<ZoomTarget> out;
    QSqlQuery q = db.query(QStringLiteral(
        "select 名称,主机,端口,数据库,协议,记录格式,字符集 from 联机编目目标 order by id"));
    while (q.next()) {
        ZoomTarget t;
        t.name = DbValue::toText(q.value(0));
        t.host = DbValue::toText(q.value(1));
        t.port = q.value(2).isNull() ? 210 : q.value(2).toInt();
        t.database = DbValue::toText(q.value(3));
        t.sru = DbValue::toText(q.value(4)) == protocolText(true);
        t.format = formatOf(DbValue::toText(q.value(5)));
        t.encoding = encodingOf(DbValue::toText(q.value(6)));
        out << t;
    }
    return out;
}

void saveTargets(const Database& db, const QList<ZoomTarget>& targets)
{
    db.transaction([&] {
        db.execute(QStringLiteral("delete from 联机编目目标"));
        for (const ZoomTarget& t : targets)
            db.execute(
                QStringLiteral("insert into 联机编目目标 (名称,主机,端口,数据库,协议,记录格式,"
                               "字符集) values (?,?,?,?,?,?,?)"),
                {t.name, t.host, t.port, t.database, protocolText(t.sru), formatText(t.format),
                 encodingText(t.encoding)});
    });
}

BookRecord fill(BookRecord fields, const MarcColumns& found)
{
    const std::pair<const char*, QString BookRecord::*> columns[] = {
        {"名称", &BookRecord::名称}, {"作者", &BookRecord::作者},
        {"译者", &BookRecord::译者}, {"出版社", &BookRecord::出版社},
        {"isbn", &BookRecord::isbn}, {"分类号", &BookRecord::分类号},
        {"版次", &BookRecord::版次}, {"页数", &BookRecord::页数},
        {"价格", &BookRecord::价格}, {"简介", &BookRecord::简介},
    };
    for (const auto& [column, field] : columns)
        if (const QString v = found.value(QString::fromUtf8(column)); !v.isEmpty())
            fields.*field = v;
    fields.py = BookEntry::pinyin(fields.名称);
    return fields;
}

} // namespace CopyCatalogue
