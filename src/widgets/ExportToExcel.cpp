#include "ExportToExcel.h"

#include "Messenger.h"
#include "data/Clock.h"
#include "data/ExcelExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSqlQuery>
#include <QStandardPaths>

namespace {
QString& folderOverride()
{
    static QString folder;
    return folder;
}

QString exportFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir() && QFileInfo(documents).isWritable())
        return documents;
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}
} // namespace

void setExcelExportFolder(const QString& folder)
{
    folderOverride() = folder;
}

QString newExcelExportPath()
{
    const QDir dir(exportFolder());
    const QString stem =
        QStringLiteral("导出_") + Clock::now().toString(QStringLiteral("yyyyMMdd_hhmmss"));
    QString path = dir.absoluteFilePath(stem + QStringLiteral(".xlsx"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.absoluteFilePath(QStringLiteral("%1_%2.xlsx").arg(stem).arg(n));
    return path;
}

bool ExportToExcel(QSqlQuery& query, int first, int last, QWidget* parent)
{
    const int total = query.size(); // -1 when the engine does not tell
    QProgressDialog progress(QStringLiteral("正在导出到 Excel……"), QStringLiteral("取消"), 0,
                             total > 0 ? total : 0, parent);
    progress.setObjectName(QStringLiteral("excelExportProgress"));
    progress.setWindowTitle(QStringLiteral("导出Excel"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);

    ExcelExport exporter(newExcelExportPath());
    exporter.setProgress([&](qint64 rows) {
        if (total > 0)
            progress.setValue(int(std::min<qint64>(rows, total)));
        progress.setLabelText(QStringLiteral("正在导出到 Excel：已写入 %1 行").arg(rows));
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
    const bool ok = exporter.write(query, first, last);
    progress.close();
    if (!ok) {
        if (!exporter.wasCancelled())
            Messenger::instance().error(parent, exporter.errorText());
        return false;
    }
    if (!Messenger::instance().openWithDesktop(exporter.path()))
        Messenger::instance().information(
            parent, QStringLiteral("Excel 文件已保存到：\n%1\n系统中没有可以打开它的程序。")
                        .arg(QDir::toNativeSeparators(exporter.path())));
    return true;
}
