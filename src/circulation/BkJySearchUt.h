// The loan record search "借阅信息查询": the whole loan history, filtered by item, reader,
// lending and return dates and returned state; printed with its totals or exported.
#pragma once

#include "LoanQueries.h"
#include "widgets/ListScreen.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;

class TBkJySearchFm : public ListScreen
{
    Q_OBJECT
public:
    explicit TBkJySearchFm(QWidget* parent = nullptr);

    LoanConditions conditions() const;
    void searchClick(); // "查询"
    void printClick();  // "打印"

protected:
    void firstShown() override;

private:
    QLineEdit* textEdit(const QString& caption, const char* objectName);
    QDateEdit* dateEdit(const QString& caption, const char* objectName);

    QLineEdit* numberEdit_;
    QLineEdit* nameEdit_;
    QLineEdit* barcodeEdit_;
    QLineEdit* readerNumberEdit_;
    QLineEdit* readerNameEdit_;
    QCheckBox* lentBox_;
    QDateEdit* lentFromEdit_;
    QDateEdit* lentToEdit_;
    QCheckBox* returnedBox_;
    QDateEdit* returnedFromEdit_;
    QDateEdit* returnedToEdit_;
    QCheckBox* stateBox_;
    QComboBox* stateCombo_;
};

// The overdue list "逾期未还记录统计": every open loan due today or earlier; from here the
// overdue notices (one per reader) and the list of those readers to export.
class TDueRecordFm : public ListScreen
{
    Q_OBJECT
public:
    explicit TDueRecordFm(QWidget* parent = nullptr);

    void noticesClick();       // "催还通知"
    void exportReadersClick(); // "逾期读者转Excel"

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool opened_ = false;
};
