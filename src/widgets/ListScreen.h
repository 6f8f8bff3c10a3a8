// The list screen of a table described by a ListDescription: a tool bar the screen fills
// with its commands, the condition group "查询条件" (a column, "中 含有", a value, "精确" or
// "模糊"; Enter in the value searches), the grid with its footers, and the built-in
// commands that every list shares: search, refresh, show all, print the list, print the
// barcodes, export to Excel and close. Screens (books, periodicals, readers) add their
// own commands and react to the current row.
#pragma once

#include "data/ListSearch.h"

#include <QWidget>
#include <functional>

class DataGrid;
class Database;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolBar;

class ListScreen : public QWidget
{
    Q_OBJECT
public:
    explicit ListScreen(const ListDescription& description, QWidget* parent = nullptr);

    const ListDescription& description() const { return description_; }
    DataGrid* grid() const { return grid_; }
    const ListStatement& statement() const { return statement_; }
    const ListStatement& exportStatement() const { return export_; }

    // "查询": the condition replaces the statement and the export statement. False (after
    // showing why) when the condition is refused; the grid is then left as it was.
    bool search();
    void refresh();       // "刷新": the current statement again
    void showAll();       // "显示全部": every row of the table
    void printList();     // "打印"
    void printBarcodes(); // "打印条码"
    void exportToExcel(); // "转Excel"
    // The current statement again after a row was changed, in the order the list was
    // sorted in, with the row whose keyField holds key (read up to it) current again.
    void refreshKeeping(const QString& keyField, const QString& key);
    // Opens a statement in the grid; false (after showing the database's text) on failure.
    bool open(const ListStatement& statement);

protected:
    // A tool bar command, in the order added; its caption is also its accessible name.
    QAction* addCommand(const QString& caption, const char* objectName,
                        const std::function<void()>& handler);
    // The built-in commands above, with their captions.
    QAction* addSearchCommand();
    QAction* addRefreshCommand();
    QAction* addShowAllCommand();
    QAction* addPrintCommand();
    QAction* addBarcodeCommand();
    QAction* addExportCommand();
    QAction* addCloseCommand();
    void showEvent(QShowEvent* event) override;
    // Called once, when the screen is first shown, before the opening statement runs.
    virtual void firstShown() {}
    QLabel* totalsLabel() const { return totals_; }
    // Screens without a search (a list between two dates) hide the condition group and put
    // their own controls above the grid.
    void setConditionVisible(bool visible);
    void addAboveGrid(QWidget* widget);
    ListDescription& changeDescription() { return description_; }
    const Database& db() const;

private:
    // A statement of no rows with the list's columns: what an empty list exports.
    QString emptyListStatement() const;

    ListDescription description_;
    ListStatement statement_;
    ListStatement export_;
    bool shown_ = false;

    QToolBar* toolBar_;
    QGroupBox* conditionGroup_;
    QComboBox* columnBox_;
    QLineEdit* valueEdit_;
    QRadioButton* exactButton_;
    QRadioButton* containsButton_;
    QLabel* totals_;
    DataGrid* grid_;
};
