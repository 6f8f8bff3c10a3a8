// The administrator log screen "管理员日志": every row of 管理员日志 in the data grid
// (sortable by a click on a heading, the row count in the footer) and the tool buttons
// 删除当前, 全部删除, 导出Excel, 打印 and 退出.
#pragma once

#include "AdminLogRules.h"

#include <QWidget>

class DataGrid;
class QPushButton;

class TAdminLogFm : public QWidget
{
    Q_OBJECT
public:
    explicit TAdminLogFm(QWidget* parent = nullptr);

    DataGrid* grid() const { return grid_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* deleteAllButton() const { return deleteAllButton_; }
    QPushButton* excelButton() const { return excelButton_; }
    QPushButton* printButton() const { return printButton_; }
    QPushButton* exitButton() const { return exitButton_; }

    void deleteClick();
    void deleteAllClick();
    void excelClick();
    void printClick();

private:
    void open();

    AdminLogRules rules_;
    DataGrid* grid_;
    QPushButton* deleteButton_;
    QPushButton* deleteAllButton_;
    QPushButton* excelButton_;
    QPushButton* printButton_;
    QPushButton* exitButton_;
};
