// The lending screen: find the reader, add items one by one to the lending list, lend them
// all with "借出". Every check and the commit are in Lending; this screen lays out the
// widgets and shows the results.
#pragma once

#include "Lending.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QGroupBox;

class TBkBorrowFm : public QWidget
{
    Q_OBJECT
public:
    explicit TBkBorrowFm(QWidget* parent = nullptr);
    ~TBkBorrowFm() override;

    // The pickers that a double-click in the reader or item field opens (modal). They put
    // the chosen number into readerNumberEdit()/itemEdit() and call RdSearch()/bksearch().
    // Without a picker installed the double-click does nothing.
    using Picker = std::function<void(TBkBorrowFm* lendingScreen)>;
    static void setReaderPicker(Picker picker);
    static void setItemPicker(Picker picker);

    QLineEdit* readerNumberEdit() const { return readerNumberEdit_; }
    QLineEdit* itemEdit() const { return itemEdit_; }
    // The item table ("图书"/"期刊") and key column ("编号"/"条形码") chosen on the screen.
    QString currentTable() const;
    QString currentKey() const;

    Lending& lending() { return lending_; }

public slots:
    // The reader check for the reader number field; the item check for the item field.
    void RdSearch();
    void bksearch();
    void CleanData();
    // After F5/F6 brought this screen forward: the focus where the next scan goes (the item
    // field once a reader has passed, else the reader field).
    void focusNextScan();
    // Ticks "借出后打印" as the printer settings now say (they were just applied).
    void applyPrinterDefault();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showReader();
    void showItem();
    void refillList();
    void setItemAreaEnabled(bool on);
    void lend();
    void removeSelected();

    Lending lending_;
    QLineEdit* readerNumberEdit_ = nullptr;
    QLabel* readerEnterLabel_ = nullptr;
    QList<QLineEdit*> readerFields_;
    QLineEdit* balanceEdit_ = nullptr;
    QLineEdit* validityEdit_ = nullptr;
    QLineEdit* limitEdit_ = nullptr;
    QLineEdit* daysEdit_ = nullptr;
    QLineEdit* categoryRentEdit_ = nullptr;
    QList<QWidget*> balanceWidgets_, validityWidgets_, categoryRentWidgets_, levelWidgets_;
    QRadioButton* bookRadio_ = nullptr;
    QRadioButton* periodicalRadio_ = nullptr;
    QRadioButton* numberKeyRadio_ = nullptr;
    QRadioButton* barcodeKeyRadio_ = nullptr;
    QGroupBox* itemArea_ = nullptr;
    QLineEdit* itemEdit_ = nullptr;
    QLabel* itemEnterLabel_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QList<QLineEdit*> itemFields_;
    QLineEdit* levelEdit_ = nullptr;
    QLineEdit* levelRentEdit_ = nullptr;
    QTableWidget* listTable_ = nullptr;
    QCheckBox* printAfterCheck_ = nullptr;
    QPushButton* lendButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* removeAllButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    bool enterRunsItemCheck_ = false;
};
