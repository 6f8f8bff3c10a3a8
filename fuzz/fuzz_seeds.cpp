// Writes the seed corpus of the fuzz targets: fuzz_seeds DIR makes DIR/settings, DIR/xlsx,
// DIR/xls, DIR/csv and DIR/catalogue with a few small inputs each, valid ones and hostile
// ones (the valid .xls seeds are the workbooks of the spreadsheet tests, copied by
// tools/fuzz.sh).
#include "common/SheetFixtures.h"
#include "data/TextCodec.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {
bool put(const QString& dir, const QString& name, const QByteArray& bytes)
{
    if (!QDir().mkpath(dir))
        return false;
    QFile f(QDir(dir).absoluteFilePath(name));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray cataloguePage()
{
    return QByteArray("<html><body><table><tr><td>题名与责任</td><td><A "
                      "HREF=\"javascript:open_window(&quot;x&service_type=TAG\");\">"
                      "数据库原理 [专著] / 作者甲著</A></td></tr>"
                      "<tr><td>出版项</td><td><A HREF=\"y&service_type=TAG\");\">"
                      "城市 : 某出版社 , 2003</A></td></tr>"
                      "<tr><td>中图分类号</td><td><A HREF=\"z&service_type=TAG\");\">TP311.13</A>"
                      "</td></tr><tr><td>内容提要</td><td align=left >本书介绍数据库的原理。"
                      "</td></tr></table></body></html>");
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: fuzz_seeds DIR\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString settings = out.absoluteFilePath(QStringLiteral("settings"));
    const QString csv = out.absoluteFilePath(QStringLiteral("csv"));
    const QString xlsx = out.absoluteFilePath(QStringLiteral("xlsx"));
    const QString catalogue = out.absoluteFilePath(QStringLiteral("catalogue"));
    const QString ini = QStringLiteral("[PART1]\r\nSoftName = 阳光图书馆\r\nABC=s\r\n"
                                       "cs=Provider=PostgreSQL;Data Source=db1\r\n"
                                       "[posprt]\r\nposport=0\r\n");
    const QString sheet = QStringLiteral("编号,名称,价格\r\n1001,\"数据库, 原理\",29.8\r\n"
                                         "1002,\"引号\"\"中\"\"\",12\n,,\n1003,多行\"\n\"x,1\n");
    bool ok = put(settings, QStringLiteral("gbk.ini"), TextCodec::toGbk(ini)) &&
              put(settings, QStringLiteral("utf8-bom.ini"), "\xEF\xBB\xBF" + ini.toUtf8()) &&
              put(csv, QStringLiteral("utf8.csv"), sheet.toUtf8()) &&
              put(csv, QStringLiteral("gbk.csv"), TextCodec::toGbk(sheet)) &&
              put(catalogue, QStringLiteral("record.html"), cataloguePage()) &&
              put(catalogue, QStringLiteral("start.html"),
                  "<html><form name=\"form2\" action=\"http://h/F/S-1\" method=get></html>");
    ok = ok && QDir().mkpath(xlsx) &&
         SheetFixtures::writeWorkbook(
             QDir(xlsx).absoluteFilePath(QStringLiteral("books.xlsx")),
             {{QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("日期"),
               QStringLiteral("价格")},
              {QByteArray("9787115113115"), QStringLiteral("数据库原理"), QDate(2008, 8, 8), 29.8},
              {QVariant(), QStringLiteral("第二行"), QVariant(), 7}});
    // Headers that declare large sectors, endless tables and a DIFAT sector of its own, and
    // a workbook whose cell inflates far beyond its size: the readers must refuse such
    // counts before allocating by them.
    const QString xls = out.absoluteFilePath(QStringLiteral("xls"));
    for (int shift : {9, 12, 16})
        ok = ok &&
             put(xls, QStringLiteral("large-sectors-%1.xls").arg(shift),
                 SheetFixtures::hostileCompoundFile(shift).left((qsizetype(2) << shift) + 512));
    ok = ok && SheetFixtures::writeInflatingWorkbook(
                   QDir(xlsx).absoluteFilePath(QStringLiteral("inflating.xlsx")),
                   SheetFixtures::Inflating::InCell, qint64(1) << 20);
    if (!ok) {
        std::fputs("fuzz_seeds: cannot write the seeds\n", stderr);
        return 1;
    }
    return 0;
}
