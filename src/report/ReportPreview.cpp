#include "ReportPreview.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {
std::function<void(const PreparedReport&)>& hook()
{
    static std::function<void(const PreparedReport&)> h;
    return h;
}
} // namespace

void setReportPreviewHook(std::function<void(const PreparedReport&)> h)
{
    hook() = std::move(h);
}

void previewReport(QWidget* parent, const PreparedReport& report)
{
    if (hook()) {
        hook()(report);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report.title());
    printer.setPageLayout(report.pageLayout());
    printer.setFullPage(true);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(report.title().isEmpty() ? QStringLiteral("打印预览") : report.title());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&report](QPrinter* p) { report.print(p, false); });
    dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
    dialog.exec();
}

void previewReport(QWidget* parent, const Report& report, const ReportRows& rows,
                   const ReportCallback& callback)
{
    previewReport(parent, report.prepare(rows, callback));
}
