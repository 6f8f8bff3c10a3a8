#include "MarcExport.h"

#include <QSaveFile>
#include <QSqlQuery>
#include <QSqlRecord>

namespace MarcExport {

QStringList columns()
{
    QStringList out{QStringLiteral("编号")};
    for (const MarcColumnRule& rule : MarcMapping::rules())
        if (!out.contains(rule.column))
            out << rule.column;
    return out;
}

ListStatement chosen(const QStringList& numbers)
{
    QStringList marks;
    QVariantList values;
    for (const QString& n : numbers) {
        marks << QStringLiteral("?");
        values << n;
    }
    return {
        QStringLiteral("select * from 图书 where 编号 in (%1)").arg(marks.join(QLatin1Char(','))),
        values};
}

Result write(const Database& db, const ListStatement& books, MarcFormat format, MarcSyntax syntax,
             const QString& path, QDate today)
{
    Result result;
    MarcWriter writer(format, syntax, today);
    const QStringList names = columns();
    try {
        QSqlQuery q = db.query(books.sql, books.values);
        const QSqlRecord record = q.record();
        QList<std::pair<QString, int>> present;
        for (const QString& n : names)
            if (const int i = record.indexOf(n); i >= 0)
                present.push_back({n, i});
        while (q.next()) {
            MarcColumns book;
            for (const auto& [name, index] : present)
                book.insert(name, DbValue::toText(q.value(index)));
            QString why;
            if (writer.add(book, &why))
                ++result.written;
            else
                result.failed.insert(book.value(QStringLiteral("编号")), why);
        }
    } catch (const DbError& e) {
        result.error = e.message();
        return result;
    }
    QSaveFile file(path);
    const QByteArray bytes = writer.finish();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        result.error = QStringLiteral("无法写入文件%1: %2").arg(path, file.errorString());
        result.written = 0;
    }
    return result;
}

} // namespace MarcExport
