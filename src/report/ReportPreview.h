// The preview of a prepared report, from which the operator prints or saves a PDF.
#pragma once

#include "Report.h"

#include <functional>

class QWidget;

// Shows the report in a modal print preview (Qt's QPrintPreviewDialog); printing goes to
// the chosen printer, or to a PDF file when the operator picks "print to file".
void previewReport(QWidget* parent, const PreparedReport& report);
// Prepares and previews in one step. Streamed rows of more than kPreviewPages pages are
// not previewed (a preview keeps every page): the print dialog opens at once and the pages
// print, to a printer or a PDF file, as they are laid out.
void previewReport(QWidget* parent, const Report& report, const ReportRows& rows,
                   const ReportCallback& callback = {});
inline constexpr int kPreviewPages = 500;

// Tests: while a hook is installed, previewReport hands the prepared report to it instead
// of opening the dialog. Pass an empty function to restore the dialog.
void setReportPreviewHook(std::function<void(const PreparedReport&)> hook);
// Tests and benchmarks: while installed, previewReport(parent, report, rows, callback)
// hands the report and its rows over as they are, before anything is laid out.
using ReportPrintHook =
    std::function<void(const Report&, const ReportRows&, const ReportCallback&)>;
void setReportPrintHook(ReportPrintHook hook);
