// The MARC import on a large file: 100,000 CNMARC records in ISO 2709 (UTF-8, Chinese text,
// one 905 holdings field each, a tenth without 种次号 so that book entry's rule numbers them)
// into an empty library and into a library of a million books. Reading with the mapping
// and the preview's duplicate marks, checking and inserting are timed apart; the insert is
// set against its floor, the same converted rows through one prepared statement in one
// transaction. The peak memory of the load and of the import is shown for a tenth of the
// records and for all of them: both stream the file, so the figures stay nearly level.
//
//     bench_marc [--records N] [--library M] [--dir DIR]
#include "BenchSupport.h"
#include "catalogue/BookImport.h"
#include "catalogue/MarcImport.h"
#include "data/Database.h"
#include "data/LoginState.h"
#include "data/Schema.h"
#include "marc/MarcWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <malloc.h>

namespace {

QByteArray shipment(int records)
{
    MarcWriter writer(MarcFormat::Cnmarc, MarcSyntax::Iso2709, QDate(2026, 12, 11));
    QString error;
    for (int i = 1; i <= records; ++i) {
        MarcColumns book{
            {QStringLiteral("编号"), QStringLiteral("M%1").arg(i, 7, 10, QLatin1Char('0'))},
            {QStringLiteral("名称"), QStringLiteral("计算机网络原理第%1卷").arg(i)},
            {QStringLiteral("条形码"), QStringLiteral("M%1").arg(i, 7, 10, QLatin1Char('0'))},
            {QStringLiteral("isbn"),
             QStringLiteral("97871151%1").arg(i % 100000, 5, 10, QLatin1Char('0'))},
            {QStringLiteral("价格"), QStringLiteral("35.5")},
            {QStringLiteral("作者"), QStringLiteral("谢希仁编著")},
            {QStringLiteral("出版社"), QStringLiteral("电子工业出版社")},
            {QStringLiteral("出版时间"), QStringLiteral("2008")},
            {QStringLiteral("页数"), QStringLiteral("235")},
            {QStringLiteral("简介"), QStringLiteral("本书介绍计算机网络的原理与协议。")},
            {QStringLiteral("分类号"), QStringLiteral("TP%1").arg(i % 500)},
            {QStringLiteral("数量"), QStringLiteral("2")},
        };
        if (i % 10 != 0)
            book.insert(QStringLiteral("zch"), QString::number(i / 500 + 1));
        if (!writer.add(book, &error))
            throw std::runtime_error(error.toStdString());
    }
    return writer.finish();
}

// A million books spread over the classes the shipment uses.
void fillLibrary(const Database& db, int books)
{
    db.transaction([&] {
        db.execute(
            QStringLiteral(
                "with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                "insert into 图书 (编号, 名称, 条形码, 分类号, zch, 数量, 价格, 状态, 借出次数) "
                "select printf('L%07d', i), '馆藏' || i, printf('L%07d', i), "
                "'TP' || (i % 500), i / 500 + 1, 1, 20, '正常', 0 from n"),
            {books});
    });
    db.execute(QStringLiteral("analyze"));
}

// The floor: the records' converted values inserted by one prepared statement.
double insertFloor(const Database& db, const MarcImport& import)
{
    const ImportLayout layout = BookImport::layout();
    QStringList columns = layout.columnNames();
    std::vector<QVariantList> rows;
    std::vector<MarcImportRecord> records;
    for (int first = 1; first <= import.recordCount(); first += 1000)
        for (const MarcImportRecord& r : import.records(first, 1000))
            records.push_back(r);
    for (const MarcImportRecord& r : records) {
        QVariantList values;
        for (const ImportColumn& c : layout.columns) {
            QString why;
            values << db.bindable(
                SheetImport::convert(c, r.columns.value(c.column), &why).value_or(QVariant()));
        }
        for (const auto& [name, value] : layout.fixed)
            values << value;
        rows.push_back(std::move(values));
    }
    for (const auto& [name, value] : layout.fixed)
        columns << name;
    const QString sql = QStringLiteral("insert into 图书 (%1) values (%2)")
                            .arg(columns.join(QLatin1Char(',')),
                                 QStringList(columns.size(), QStringLiteral("?")).join(','));
    db.handle().transaction();
    const double ms = Bench::timed([&] {
        QSqlQuery insert(db.handle());
        insert.prepare(sql);
        for (const QVariantList& values : rows) {
            for (int i = 0; i < values.size(); ++i)
                insert.bindValue(i, values[i]);
            if (!insert.exec())
                throw DbError(insert.lastError().text());
        }
    });
    db.handle().rollback();
    return ms;
}

void importOnce(const Database& db, const QString& what, const QString& path)
{
    MarcImportOptions options;
    MarcImport import(db, options);
    QString error;
    double loadMs = 0, runMs = 0;
    malloc_trim(0);
    const long loadKiB = Bench::peakKiB([&] {
        loadMs = Bench::timed([&] {
            if (!import.load(path, &error))
                throw std::runtime_error(error.toStdString());
        });
    });
    const double floorMs = insertFloor(db, import);
    MarcImport::Result result;
    malloc_trim(0);
    const long runKiB =
        Bench::peakKiB([&] { runMs = Bench::timed([&] { result = import.run(); }); });
    if (!result.stored())
        throw std::runtime_error(result.import.error.toStdString());
    const double insertMs = double(result.import.insertMilliseconds);
    std::printf("%-34s %8.2f %8.2f %8.2f %9.2f %8.2f %6.2f %8d %7d %9ld %9ld\n", qPrintable(what),
                loadMs / 1000, double(result.import.checkMilliseconds) / 1000, insertMs / 1000,
                (loadMs + runMs) / 1000, floorMs / 1000, insertMs / floorMs, result.imported(),
                int(result.failed.size()), loadKiB, runKiB);
    std::fflush(stdout);
    db.execute(QStringLiteral("delete from 图书 where 编号 like 'M%'"));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int records = 100000, libraryBooks = 1000000;
    QString dir;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--records"))
            records = args[++i].toInt();
        else if (args[i] == QLatin1String("--library"))
            libraryBooks = args[++i].toInt();
        else if (args[i] == QLatin1String("--dir"))
            dir = args[++i];
    }
    if (records < 100 || libraryBooks < 0) {
        std::fprintf(stderr, "usage: bench_marc [--records N] [--library M] [--dir DIR]\n");
        return 2;
    }
    QTemporaryDir temp;
    const QDir folder(dir.isEmpty() ? temp.path() : dir);
    const QString file = folder.absoluteFilePath(QStringLiteral("shipment.mrc"));
    const QString tenth = folder.absoluteFilePath(QStringLiteral("tenth.mrc"));
    const QString library = folder.absoluteFilePath(QStringLiteral("book.mdb"));
    LoginState::instance().OperatorName = QStringLiteral("甲");
    try {
        for (const auto& [path, n] : {std::pair(tenth, records / 10), std::pair(file, records)}) {
            QByteArray bytes;
            const double written = Bench::timed([&] { bytes = shipment(n); });
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
                throw std::runtime_error("cannot write the MARC file");
            std::printf("%d records (%lld bytes) written in %.1f s\n", n, qint64(bytes.size()),
                        written / 1000);
        }
        QFile::remove(library);
        Database& db = Database::shared();
        QString error;
        if (!db.openSqlite(library, true, &error))
            throw std::runtime_error(error.toStdString());
        Schema::create(db);
        std::printf("\n%-34s %8s %8s %8s %9s %8s %6s %8s %7s %9s %9s\n", "MARC import (seconds)",
                    "load", "check", "insert", "total", "floor", "ratio", "imported", "failed",
                    "load KiB", "run KiB");
        importOnce(db, QStringLiteral("%1 records, empty library").arg(records / 10), tenth);
        importOnce(db, QStringLiteral("%1 records, empty library").arg(records), file);
        const double filled = Bench::timed([&] { fillLibrary(db, libraryBooks); });
        std::printf("-- %d books put in the library in %.1f s\n", libraryBooks, filled / 1000);
        importOnce(db, QStringLiteral("%1 records, %2-book library").arg(records).arg(libraryBooks),
                   file);
        std::printf("\nGoals: under 10 s end to end, insert within 2x of its floor, memory nearly\n"
                    "the same for a tenth of the records as for all of them.\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
