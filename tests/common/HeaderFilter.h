// Driving a grid's header filter as an operator does: open a heading's popup, read its
// choices, click one.
#pragma once

#include "widgets/DataGrid.h"

#include <QListWidget>
#include <QTest>

namespace HeaderFilter {
inline QListWidget* openList(DataGrid* grid)
{
    return grid->findChild<QListWidget*>(QStringLiteral("headerFilterList"));
}

// The choices of a heading's filter, "(全部)" left out, sorted (the order of Chinese texts
// depends on the server's collation); the popup stays open.
inline QStringList choices(DataGrid* grid, const QString& field)
{
    grid->showHeaderFilter(field);
    QListWidget* list = openList(grid);
    QStringList out;
    for (int i = 1; list && i < list->count(); ++i)
        out << list->item(i)->text();
    out.sort();
    return out;
}

// Clicks the choice showing text in the open popup and waits for it to close.
inline void choose(DataGrid* grid, const QString& text)
{
    QListWidget* list = openList(grid);
    QVERIFY(list);
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    emit list->itemClicked(found.first());
    QTRY_VERIFY(!openList(grid));
}
} // namespace HeaderFilter
