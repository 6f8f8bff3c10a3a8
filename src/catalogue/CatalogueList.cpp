#include "CatalogueList.h"

#include "widgets/DataGrid.h"
#include "widgets/Messenger.h"

#include <QAction>

CatalogueList::CatalogueList(const CatalogueTable& table, QWidget* parent)
    : ListScreen(table.list, parent), rules_(table)
{
    setWindowState(windowState() | Qt::WindowMaximized);
}

void CatalogueList::addItemCommands()
{
    const CatalogueTable& t = rules_.table();
    addAction_ = addCommand(QStringLiteral("添加"), "addAction", [this] { addItem(); });
    editAction_ = addCommand(t.editCaption, "editAction", [this] { editCurrent(); });
    deleteAction_ = addCommand(QStringLiteral("删除"), "deleteAction", [this] { deleteCurrent(); });
}

void CatalogueList::firstShown()
{
    const Rights& r = LoginState::instance().rights;
    const CatalogueTable& t = rules_.table();
    if (addAction_)
        addAction_->setEnabled(r.*t.addRight);
    if (editAction_)
        editAction_->setEnabled(r.*t.editRight);
    if (deleteAction_)
        deleteAction_->setEnabled(r.*t.deleteRight);
}

void CatalogueList::editCurrent()
{
    if (grid()->currentRow() < 0)
        return;
    QWidget* screen =
        createEditScreen(DbValue::toText(grid()->currentValue(QStringLiteral("编号"))));
    screen->setAttribute(Qt::WA_DeleteOnClose);
    screen->setWindowFlag(Qt::Window);
    screen->setWindowModality(Qt::ApplicationModal);
    screen->show();
}

void CatalogueList::deleteCurrent()
{
    if (grid()->currentRow() < 0)
        return;
    // The item asked about is the one deleted, whatever happens to the grid's order.
    const QString number = DbValue::toText(grid()->currentValue(QStringLiteral("编号")));
    const QString name = DbValue::toText(grid()->currentValue(QStringLiteral("名称")));
    Messenger& m = Messenger::instance();
    if (!m.confirm(this, CatalogueText::deleteQuestion(name), windowTitle()))
        return;
    const ItemResult r = rules_.remove(number);
    if (!r.ok) {
        m.information(this, r.message);
        return;
    }
    refresh();
}
