// The shelf inventory by scanner "扫描盘点": choose a storage place (or "全部"), "开始", then
// scan every item on the shelf into the scan field (Enter ends a scan and the focus stays
// there; an unknown item beeps). "完成" shows the three lists, each printed and exported.
// An unfinished inventory is offered again when the screen opens.
#pragma once

#include "ShelfInventory.h"

#include <QWidget>
#include <optional>

class DataGrid;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

class TShelfInventoryFm : public QWidget
{
    Q_OBJECT
public:
    explicit TShelfInventoryFm(QWidget* parent = nullptr);

    void startClick();  // "开始"
    void scanEntered(); // Enter in the scan field
    void finishClick(); // "完成"

    QComboBox* placeBox() const { return placeBox_; }
    QLineEdit* scanEdit() const { return scanEdit_; }
    QLabel* countLabel() const { return countLabel_; }
    QTabWidget* lists() const { return lists_; }
    DataGrid* listGrid(int tab) const { return grids_[tab]; }
    const std::optional<InventoryRun>& run() const { return run_; }

    // The captions of the three lists, in tab order.
    static QStringList listCaptions();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void begin(const InventoryRun& run);
    void showCount(int scanned);
    ListStatement listStatement(int tab) const;
    void printList(int tab);
    void exportList(int tab);

    ShelfInventory rules_;
    std::optional<InventoryRun> run_;
    bool shown_ = false;

    QComboBox* placeBox_;
    QPushButton* startButton_;
    QRadioButton* booksButton_;
    QRadioButton* periodicalsButton_;
    QRadioButton* numberButton_;
    QRadioButton* barcodeButton_;
    QLineEdit* scanEdit_;
    QLabel* countLabel_;
    QLabel* lastLabel_;
    QPushButton* finishButton_;
    QTabWidget* lists_;
    DataGrid* grids_[3];
};
