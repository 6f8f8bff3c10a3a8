// A read-only grid of text rows for the small circulation screens (pickers, reservations):
// whole rows are selected, the first row is current after a refill.
#pragma once

#include <QList>
#include <QStringList>
#include <QTableWidget>

class RowsGrid : public QTableWidget
{
    Q_OBJECT
public:
    RowsGrid(const QString& objectName, const QString& accessibleName, QWidget* parent = nullptr);

    void showRows(const QStringList& columns, const QList<QStringList>& rows);
    // Texts of the selected row; empty when the grid has none.
    QStringList currentRowTexts() const;
};
