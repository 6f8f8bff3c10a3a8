#include "TableExport.h"

#include "ExcelExport.h"
#include "LibraryDir.h"
#include "Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlRecord>

TableExport::Result TableExport::run(const QString& dir, const QString& table, const QString& file)
{
    Result result;
    const QString name = Schema::tableName(table);
    if (name.isEmpty()) {
        result.message = QStringLiteral("“%1”不是图书管理系统数据库中的表。").arg(table);
        return result;
    }
    LibraryDir library(dir);
    if (!library.open()) {
        result.message = library.error();
        return result;
    }
    return write(library.db(), QStringLiteral("select * from %1").arg(name), {}, name, file);
}

TableExport::Result TableExport::write(const Database& db, const QString& sql,
                                       const QVariantList& values, const QString& table,
                                       const QString& file)
{
    Result result;
    const QString target = QFileInfo(file).absoluteFilePath();
    try {
        QSqlQuery query = db.query(sql, values);
        ExcelExport exporter(target);
        exporter.setTable(table);
        if (!exporter.write(query, 0, query.record().count() - 1)) {
            result.message = exporter.errorText();
            return result;
        }
        result.ok = true;
        result.rows = exporter.rowsWritten();
        result.message = QStringLiteral("已将 %1 的 %2 行导出到 %3")
                             .arg(table)
                             .arg(result.rows)
                             .arg(QDir::toNativeSeparators(target));
    } catch (const DbError& e) {
        result.message = e.message();
    }
    return result;
}
