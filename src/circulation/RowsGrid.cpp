#include "RowsGrid.h"

#include <QHeaderView>

RowsGrid::RowsGrid(const QString& objectName, const QString& accessibleName, QWidget* parent)
    : QTableWidget(parent)
{
    setObjectName(objectName);
    setAccessibleName(accessibleName);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setStretchLastSection(true);
}

void RowsGrid::showRows(const QStringList& columns, const QList<QStringList>& rows)
{
    clear();
    setColumnCount(int(columns.size()));
    setHorizontalHeaderLabels(columns);
    setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < columns.size(); ++c)
            setItem(r, c, new QTableWidgetItem(rows[r].value(c)));
    if (!rows.isEmpty())
        selectRow(0);
}

QStringList RowsGrid::currentRowTexts() const
{
    QStringList out;
    const int r = currentRow();
    if (r < 0 || r >= rowCount())
        return out;
    for (int c = 0; c < columnCount(); ++c)
        out << (item(r, c) ? item(r, c)->text() : QString());
    return out;
}
