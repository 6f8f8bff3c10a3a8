#include "TableExport.h"

#include "Database.h"
#include "ExcelExport.h"
#include "LoginState.h"
#include "Schema.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlRecord>
#include <QUuid>

TableExport::Result TableExport::run(const QString& dir, const QString& table, const QString& file)
{
    Result result;
    const QString name = Schema::tableName(table);
    if (name.isEmpty()) {
        result.message = QStringLiteral("“%1”不是图书管理系统数据库中的表。").arg(table);
        return result;
    }
    const QString ini = QDir(dir).absoluteFilePath(QStringLiteral("de.ini"));
    if (!QFileInfo::exists(ini)) {
        result.message = QStringLiteral("找不到设置文件 %1。").arg(QDir::toNativeSeparators(ini));
        return result;
    }
    LoginState state;
    state.readSettingsFile(SettingsFile(ini));

    const QString target = QFileInfo(file).absoluteFilePath();
    Database db(QStringLiteral("tushu-export-") + QUuid::createUuid().toString(QUuid::Id128));
    QString error;
    if (!db.open(state.DbKind, state.ConnectionString, &error, QDir(dir).absolutePath())) {
        result.message = error;
        return result;
    }
    try {
        QSqlQuery query = db.query(QStringLiteral("select * from %1").arg(name));
        ExcelExport exporter(target);
        exporter.setTable(name);
        if (!exporter.write(query, 0, query.record().count() - 1)) {
            result.message = exporter.errorText();
            return result;
        }
        result.ok = true;
        result.rows = exporter.rowsWritten();
        result.message = QStringLiteral("已将 %1 的 %2 行导出到 %3")
                             .arg(name)
                             .arg(result.rows)
                             .arg(QDir::toNativeSeparators(target));
    } catch (const DbError& e) {
        result.message = e.message();
    }
    return result;
}
