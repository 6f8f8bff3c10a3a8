// The "转Excel" of the list screens: the rows of a result set into a new workbook, which
// then opens in the desktop's spreadsheet program. The workbook is saved in the operator's
// documents folder (the temporary folder when there is none); when no program can open it
// the operator is told where it is.
#pragma once

#include <QString>

class QSqlQuery;
class QWidget;

// Exports the columns first..last (positions from 0) of every row of query, with a progress
// box that can cancel. Failures are shown with their own text. Returns true when the
// workbook was written.
bool ExportToExcel(QSqlQuery& query, int first, int last, QWidget* parent = nullptr);

// The folder the workbooks go to; empty text returns to the documents folder (tests).
void setExcelExportFolder(const QString& folder);
// A new file name in that folder: 导出_<date>_<time>.xlsx, numbered when taken.
QString newExcelExportPath();
