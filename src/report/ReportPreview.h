// The preview of a prepared report, from which the operator prints or saves a PDF.
#pragma once

#include "Report.h"

#include <functional>

class QWidget;

// Shows the report in a modal print preview (Qt's QPrintPreviewDialog); printing goes to
// the chosen printer, or to a PDF file when the operator picks "print to file".
void previewReport(QWidget* parent, const PreparedReport& report);
// Prepares and previews in one step.
void previewReport(QWidget* parent, const Report& report, const ReportRows& rows,
                   const ReportCallback& callback = {});

// Tests: while a hook is installed, previewReport hands the prepared report to it instead
// of opening the dialog. Pass an empty function to restore the dialog.
void setReportPreviewHook(std::function<void(const PreparedReport&)> hook);
