// The accession list: the books or the periodical issues entered between two days, for
// printing and export.
#pragma once

#include "widgets/ListScreen.h"

class QDateEdit;
class QGroupBox;
class QRadioButton;

class TBkRegFm : public ListScreen
{
    Q_OBJECT
public:
    explicit TBkRegFm(QWidget* parent = nullptr);

    // "统计": the entries of the chosen table between the two dates.
    void count();
    QDateEdit* fromEdit() const { return fromEdit_; }
    QDateEdit* toEdit() const { return toEdit_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void tableChosen();
    QGroupBox* tableGroup_;
    QRadioButton* booksButton_;
    QRadioButton* periodicalsButton_;
    QDateEdit* fromEdit_;
    QDateEdit* toEdit_;
};
