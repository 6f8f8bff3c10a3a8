// The returning screen (modeless): find open loans, see the computed rent and fine of the
// current one, record damage, and take it back with "归还". The rules are in Returning.
#pragma once

#include "Returning.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

class TBkReturnFm : public QWidget
{
    Q_OBJECT
public:
    explicit TBkReturnFm(QWidget* parent = nullptr);
    ~TBkReturnFm() override;

    QLineEdit* itemNumberEdit() const { return itemNumberEdit_; }
    QLineEdit* barcodeEdit() const { return barcodeEdit_; }
    QLineEdit* readerNumberEdit() const { return readerNumberEdit_; }
    const QList<OpenLoan>& loans() const { return loans_; }

public slots:
    void search();
    void giveBack();
    void CleanData();
    // Puts the focus into the search field chosen by the library settings.
    void InitialFocus();
    // After F5/F6 brought this screen forward: the focus where the next scan goes (the
    // settings' search field, else 图书编号).
    void focusNextScan();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runSearch(bool showFineMessage);
    void showLoan(int row, bool showFineMessage);
    void clearFigures();
    void resetDamage();

    Returning returning_;
    QList<OpenLoan> loans_;
    bool searchOpen_ = false;
    int current_ = -1;
    // The figures shown belong to current_; false after its computation failed, and
    // "归还" refuses with computeError_ until a loan computes.
    bool figuresValid_ = false;
    QString computeError_;
    bool filling_ = false; // the grid is being refilled: its row changes are not the operator's
    QString focusField_;
    QString lastItem_, lastBarcode_, lastReader_;

    QLineEdit* itemNumberEdit_ = nullptr;
    QLineEdit* barcodeEdit_ = nullptr;
    QLineEdit* readerNumberEdit_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QTableWidget* loansTable_ = nullptr;
    QList<QLineEdit*> loanFields_;
    QLineEdit* placeEdit_ = nullptr;
    QLineEdit* rentalDaysEdit_ = nullptr;
    QLineEdit* rentEdit_ = nullptr;
    QLineEdit* overdueDaysEdit_ = nullptr;
    QLineEdit* fineEdit_ = nullptr;
    QList<QWidget*> rentWidgets_, fineWidgets_;
    QCheckBox* damageCheck_ = nullptr;
    QGroupBox* damageGroup_ = nullptr;
    QComboBox* conditionCombo_ = nullptr;
    QLineEdit* compensationEdit_ = nullptr;
    QPlainTextEdit* remarkEdit_ = nullptr;
    QPushButton* returnButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
};
