// The reader management screen "读者管理": the reader list with its search, the doorway to
// registration, editing, the status and the top-up screens, the guarded delete, the reader
// list report, the library cards and the export.
#pragma once

#include "ReaderAccount.h"
#include "widgets/ListScreen.h"

class QAction;

class TRdSearchFm : public ListScreen
{
    Q_OBJECT
public:
    explicit TRdSearchFm(QWidget* parent = nullptr);

    void editCurrent();        // "编辑"
    void changeStateCurrent(); // "修改状态"
    void deleteCurrent();      // "删除"
    void topUpCurrent();       // "充值"
    void printCards();         // "借阅证"

protected:
    void firstShown() override;
    void showEvent(QShowEvent* event) override;

private:
    // Shows a screen opened on the current reader as a modal window of its own.
    void showModal(QWidget* screen);

    ReaderAccount rules_;
    QAction* addAction_;
    QAction* editAction_;
    QAction* deleteAction_;
    QAction* topUpAction_;
    bool opened_ = false;
};
