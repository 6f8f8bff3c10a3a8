// "MARC导出" of the book list: the searched books, or the current one, written as a MARC
// file in the format and syntax chosen here.
#pragma once

#include "data/ListSearch.h"

#include <QDialog>

class QComboBox;

class TMarcExportFm : public QDialog
{
    Q_OBJECT
public:
    // searched: the book list's statement; current: the 编号 of its current row (empty
    // when none).
    TMarcExportFm(ListStatement searched, QString current, QWidget* parent = nullptr);
    void exportClick();

private:
    ListStatement searched_;
    QString current_;
    QComboBox* formatCombo_;
    QComboBox* syntaxCombo_;
    QComboBox* rangeCombo_;
};
