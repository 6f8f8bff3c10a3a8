#include "ReportPreview.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {
std::function<void(const PreparedReport&)>& hook()
{
    static std::function<void(const PreparedReport&)> h;
    return h;
}

ReportPrintHook& printHook()
{
    static ReportPrintHook h;
    return h;
}

void setUp(QPrinter& printer, const QString& title, const QPageLayout& layout)
{
    printer.setDocName(title);
    printer.setPageLayout(layout);
    printer.setFullPage(true);
}
} // namespace

void setReportPreviewHook(std::function<void(const PreparedReport&)> h)
{
    hook() = std::move(h);
}

void setReportPrintHook(ReportPrintHook h)
{
    printHook() = std::move(h);
}

void previewReport(QWidget* parent, const PreparedReport& report)
{
    if (hook()) {
        hook()(report);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    setUp(printer, report.title(), report.pageLayout());
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
    if (printHook()) {
        printHook()(report, rows, callback);
        return;
    }
    const int pages = rows.isStreamed() ? report.pageCount(rows) : 0;
    if (hook() || pages <= kPreviewPages) {
        previewReport(parent, report.prepare(rows, callback));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    setUp(printer, report.title(), report.pageLayout());
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印 (共%1页)").arg(pages));
    if (dialog.exec() == QDialog::Accepted)
        report.print(rows, &printer, callback, false);
}
