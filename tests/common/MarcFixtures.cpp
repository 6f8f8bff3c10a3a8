#include "MarcFixtures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {
QByteArray dump(const QString& lines, const QStringList& args)
{
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("records.txt"));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(lines.toUtf8());
    file.close();
    QProcess p;
    p.start(QStringLiteral("yaz-marcdump"),
            QStringList{QStringLiteral("-i"), QStringLiteral("line")} << args << input);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        qWarning("yaz-marcdump failed: %s", p.readAllStandardError().constData());
        return {};
    }
    return p.readAllStandardOutput();
}
} // namespace

namespace MarcFixtures {

QByteArray iso2709(const QString& lines, const char* charset)
{
    return dump(lines,
                {QStringLiteral("-o"), QStringLiteral("marc"), QStringLiteral("-f"),
                 QStringLiteral("utf-8"), QStringLiteral("-t"), QString::fromLatin1(charset)});
}

QByteArray marcXml(const QString& lines)
{
    return dump(lines, {QStringLiteral("-o"), QStringLiteral("marcxml")});
}

QString cnmarcShipment()
{
    return QStringLiteral("00000nam0 2200000   450 \n"
                          "001 012004002367\n"
                          "010    $a 978-7-115-11311-5 $d CNY35.00\n"
                          "100    $a 20040510d2004    em y0chiy0110    ea\n"
                          "200 1  $a 计算机网络 $f 谢希仁编著 $g 张三译\n"
                          "205    $a 第2版\n"
                          "210    $a 北京 $c 电子工业出版社 $d 2004\n"
                          "215    $a 235页 $d 26cm\n"
                          "330    $a 本书介绍计算机网络的原理。\n"
                          "690    $a TP393 $v 4\n"
                          "905    $a XXLIB $b 00012345 $d TP393.0 $e 12\n"
                          "905    $a XXLIB $b 00012346 $d TP393.0 $e 12\n"
                          "\n"
                          "00000nam0 2200000   450 \n"
                          "001 012004002368\n"
                          "010    $a 7-02-000220-6 $d 59.70元\n"
                          "100    $a 20040510d1996    em y0chiy0110    ea\n"
                          "200 1  $a 红楼梦 $f 曹雪芹著\n"
                          "210    $a 北京 $c 人民文学出版社 $d 1996\n"
                          "215    $a 1606页\n"
                          "690    $a I242.4 $v 4\n"
                          "905    $a XXLIB $b 00012347 $d I242.4 $e 3\n"
                          "\n");
}

} // namespace MarcFixtures
