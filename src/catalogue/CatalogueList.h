// The management screen of a catalogue table: the list with the add, edit and delete
// commands that the operator's rights open. Books and periodicals differ only in their
// description and in the screens their add and edit commands open.
#pragma once

#include "CatalogueItems.h"
#include "widgets/ListScreen.h"

class QAction;

class CatalogueList : public ListScreen
{
    Q_OBJECT
public:
    CatalogueList(const CatalogueTable& table, QWidget* parent = nullptr);

    const CatalogueItems& rules() const { return rules_; }
    // "删除": asks about the current item and deletes that item, identified by its 编号.
    void deleteCurrent();
    // "编辑"/"修改": the edit screen on the current item.
    void editCurrent();

protected:
    // The edit screen of the item with this 编号 (a window of its own).
    virtual QWidget* createEditScreen(const QString& number) = 0;
    virtual void addItem() = 0;
    void addItemCommands(); // 添加, 编辑/修改, 删除
    void firstShown() override;

    QAction* addAction_ = nullptr;
    QAction* editAction_ = nullptr;
    QAction* deleteAction_ = nullptr;

private:
    CatalogueItems rules_;
};
