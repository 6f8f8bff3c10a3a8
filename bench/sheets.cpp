// Spreadsheet export and reading on a large generated library.
//
//   bench_sheets [ROWS]      (default 100000)
//
// Fills a temporary SQLite library with ROWS books of fourteen columns, then measures, in
// the same run:
//   export  ExcelExport over "select <14 columns> from 图书" against the floor: the same
//           query written cell by cell straight through libxlsxwriter (constant memory),
//           with the column types known in advance and no width fitting;
//   read    the workbook read back through SpreadsheetReader (every cell's text) against
//           the floor: inflating the sheet part; also shown, inflating it and running
//           QXmlStreamReader's tokenizer over it, which alone costs more than our reader;
//   memory  the peak resident memory that an export adds, for a tenth of ROWS and for
//           ROWS, to show that it does not grow with the number of rows.
// Each figure is the best of three runs, ours and the floor taking turns.
#include "BenchSupport.h"
#include "data/Database.h"
#include "data/ExcelExport.h"
#include "data/Money.h"
#include "data/Schema.h"
#include "data/SpreadsheetReader.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cstdio>
#include <functional>
#include <minizip/unzip.h>
#include <tuple>
#include <xlsxwriter.h>

namespace {
const char* kColumns =
    "编号, 名称, 作者, 出版社, 分类, 价格, 数量, 条形码, isbn, 出版时间, 入库时间, "
    "存放位置, 索书号, 借出次数";
constexpr int kColumnCount = 14;

using Bench::resetPeak;
using Bench::statusKiB;

double seconds(const std::function<void()>& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e9;
}

// The best time of each of two pieces of work, run in turns so that a change of load on
// the machine touches both alike.
std::pair<double, double> bestOfAlternating(int runs, const std::function<void()>& a,
                                            const std::function<void()>& b)
{
    double bestA = 1e300;
    double bestB = 1e300;
    for (int i = 0; i < runs; ++i) {
        bestA = std::min(bestA, seconds(a));
        bestB = std::min(bestB, seconds(b));
    }
    return {bestA, bestB};
}

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_sheets: %s\n", what.toUtf8().constData());
    std::exit(1);
}

// A library of rows books in dir/book.mdb.
void makeLibrary(Database& db, const QString& dir, int rows)
{
    QString error;
    if (!db.openSqlite(QDir(dir).absoluteFilePath(QStringLiteral("book.mdb")), true, &error))
        fail(error);
    Schema::create(db);
    const QStringList titles = {
        QStringLiteral("红楼梦"),          QStringLiteral("三国演义"),
        QStringLiteral("C++程序设计语言"), QStringLiteral("数据库系统概念"),
        QStringLiteral("平凡的世界"),      QStringLiteral("The Art of Computer Programming")};
    const QStringList authors = {QStringLiteral("曹雪芹"), QStringLiteral("罗贯中"),
                                 QStringLiteral("Bjarne Stroustrup"),
                                 QStringLiteral("Abraham Silberschatz"), QStringLiteral("路遥")};
    const QStringList publishers = {
        QStringLiteral("人民文学出版社"), QStringLiteral("机械工业出版社"),
        QStringLiteral("高等教育出版社"), QStringLiteral("北京十月文艺出版社")};
    const QStringList kinds = {QStringLiteral("文学"), QStringLiteral("计算机"),
                               QStringLiteral("历史")};
    db.transaction([&] {
        QSqlQuery q(db.handle());
        if (!q.prepare(
                QStringLiteral(
                    "insert into 图书 (%1) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                    .arg(QString::fromUtf8(kColumns))))
            fail(q.lastError().text());
        const QDate first(2001, 1, 1);
        for (int i = 0; i < rows; ++i) {
            const QVariantList values = {
                QStringLiteral("B%1").arg(i + 1, 7, 10, QLatin1Char('0')),
                titles[i % titles.size()] + QStringLiteral(" 第%1卷").arg(i % 97 + 1),
                authors[i % authors.size()],
                publishers[i % publishers.size()],
                kinds[i % kinds.size()],
                QVariant::fromValue(Money::fromUnits(10000 + (i * 7919) % 990000)),
                i % 5 + 1,
                QStringLiteral("%1").arg(100000000 + i),
                QStringLiteral("978%1").arg(7000000000LL + i * 13LL),
                QStringLiteral("%1-%2").arg(1990 + i % 30).arg(i % 12 + 1, 2, 10, QLatin1Char('0')),
                first.addDays(i % 8000),
                QStringLiteral("书库%1排").arg(i % 40 + 1),
                QStringLiteral("I247.5/%1").arg(i % 1000),
                i % 23,
            };
            for (const QVariant& v : values)
                q.addBindValue(db.bindable(v));
            if (!q.exec())
                fail(q.lastError().text());
        }
    });
}

QSqlQuery booksQuery(Database& db)
{
    return db.query(QStringLiteral("select %1 from 图书").arg(QString::fromUtf8(kColumns)));
}

void exportOurs(Database& db, const QString& path)
{
    QSqlQuery q = booksQuery(db);
    ExcelExport exporter(path);
    if (!exporter.write(q, 0, kColumnCount - 1))
        fail(exporter.errorText());
}

// The same cells with nothing but libxlsxwriter: types fixed by position, no widths.
void exportFloor(Database& db, const QString& path)
{
    QSqlQuery q = booksQuery(db);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* money = workbook_add_format(book);
    format_set_num_format(money, "0.00##");
    lxw_format* integer = workbook_add_format(book);
    format_set_num_format(integer, "0");
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    const QStringList names = QString::fromUtf8(kColumns).split(QStringLiteral(", "));
    for (int c = 0; c < kColumnCount; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), names[c].toUtf8().constData(), nullptr);
    lxw_row_t row = 1;
    while (q.next()) {
        for (int c = 0; c < kColumnCount; ++c) {
            const QVariant v = q.value(c);
            switch (c) {
            case 5:
                worksheet_write_number(sheet, row, lxw_col_t(c), v.toDouble(), money);
                break;
            case 6:
            case 13:
                worksheet_write_number(sheet, row, lxw_col_t(c), v.toDouble(), integer);
                break;
            case 10: {
                const QDate d = QDate::fromString(v.toString(), Qt::ISODate);
                lxw_datetime dt{d.year(), d.month(), d.day(), 0, 0, 0};
                worksheet_write_datetime(sheet, row, lxw_col_t(c), &dt, date);
                break;
            }
            default:
                worksheet_write_string(sheet, row, lxw_col_t(c), v.toString().toUtf8().constData(),
                                       nullptr);
            }
        }
        ++row;
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        fail(QStringLiteral("libxlsxwriter could not write %1").arg(path));
}

qint64 readOurs(const QString& path)
{
    QString error;
    const auto reader = SpreadsheetReader::openFile(path, &error);
    if (!reader)
        fail(error);
    qint64 chars = 0;
    for (int r = 1; r <= reader->rowCount(); ++r)
        for (int c = 1; c <= reader->columnCount(); ++c)
            chars += reader->cell(r, c).size();
    return chars;
}

// Inflating the sheet part, and with tokenize also running QXmlStreamReader over it,
// keeping nothing.
qint64 readFloor(const QString& path, bool tokenize)
{
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip || unzLocateFile(zip, "xl/worksheets/sheet1.xml", 1) != UNZ_OK ||
        unzOpenCurrentFile(zip) != UNZ_OK)
        fail(QStringLiteral("cannot unzip %1").arg(path));
    QXmlStreamReader xml;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    qint64 count = 0;
    int n;
    while ((n = unzReadCurrentFile(zip, buffer.data(), unsigned(buffer.size()))) > 0) {
        count += n;
        if (!tokenize)
            continue;
        xml.addData(QByteArray(buffer.constData(), n));
        while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::Invalid)
            ++count;
        if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            fail(xml.errorString());
    }
    unzCloseCurrentFile(zip);
    unzClose(zip);
    return count;
}

struct Figures
{
    double exportOurs = 0;
    double exportFloor = 0;
    double readOurs = 0;
    double readInflate = 0;
    double readTokens = 0;
    long exportPeakKiB = 0; // resident memory an export adds at its peak
    qint64 fileBytes = 0;
};

Figures measure(int rows, int runs, bool timeIt)
{
    QTemporaryDir dir;
    Figures f;
    Database db(QStringLiteral("bench-sheets-%1").arg(rows));
    QElapsedTimer fill;
    fill.start();
    makeLibrary(db, dir.path(), rows);
    std::printf("  library of %d books made in %.2f s\n", rows, fill.nsecsElapsed() / 1e9);
    std::fflush(stdout);
    const QString ours = dir.filePath(QStringLiteral("ours.xlsx"));
    const QString floor = dir.filePath(QStringLiteral("floor.xlsx"));

    // Memory first, on a fresh process state for this library.
    const long before = statusKiB("VmRSS:");
    if (resetPeak()) {
        exportOurs(db, ours);
        f.exportPeakKiB = statusKiB("VmHWM:") - before;
    } else {
        f.exportPeakKiB = -1;
    }
    f.fileBytes = QFileInfo(ours).size();
    if (!timeIt)
        return f;
    std::tie(f.exportFloor, f.exportOurs) = bestOfAlternating(
        runs, [&] { exportFloor(db, floor); }, [&] { exportOurs(db, ours); });
    std::tie(f.readInflate, f.readOurs) = bestOfAlternating(
        runs, [&] { readFloor(ours, false); }, [&] { readOurs(ours); });
    f.readTokens = seconds([&] { readFloor(ours, true); });
    return f;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    if (rows < 10) {
        std::fprintf(stderr, "usage: bench_sheets [ROWS >= 10]\n");
        return 2;
    }
    std::printf("bench_sheets: %d rows x %d columns of 图书\n", rows, kColumnCount);
    std::printf("small library (%d rows), memory only:\n", rows / 10);
    const Figures small = measure(rows / 10, 1, false);
    std::printf("large library (%d rows):\n", rows);
    const Figures large = measure(rows, 3, true);

    std::printf("\nexport  ours %.3f s   floor (libxlsxwriter alone) %.3f s   ratio %.2f   (goal "
                "<= 1.50)\n",
                large.exportOurs, large.exportFloor, large.exportOurs / large.exportFloor);
    std::printf("read    ours %.3f s   floor (inflate the sheet only)  %.3f s   ratio %.2f   "
                "(goal: ours < 3 s)\n",
                large.readOurs, large.readInflate, large.readOurs / large.readInflate);
    std::printf("        for comparison: inflate + QXmlStreamReader tokens alone %.3f s\n",
                large.readTokens);
    std::printf("file    %.1f MiB for %d rows\n", large.fileBytes / 1048576.0, rows);
    if (small.exportPeakKiB < 0 || large.exportPeakKiB < 0)
        std::printf("memory  peak not measurable here (/proc/self/clear_refs not writable)\n");
    else
        std::printf("memory  export adds at its peak: %.1f MiB for %d rows, %.1f MiB for %d rows\n",
                    small.exportPeakKiB / 1024.0, rows / 10, large.exportPeakKiB / 1024.0, rows);
    return 0;
}
