// The reservation list ("读者预定信息"): the books reserved now, and the clearing of every
// reservation at once.
#pragma once

#include <QWidget>

class Database;
class QPushButton;
class RowsGrid;

class TReserveFm : public QWidget
{
    Q_OBJECT
public:
    explicit TReserveFm(const Database& db, QWidget* parent = nullptr);

    QPushButton* clearAllButton;
    QPushButton* refreshButton;
    QPushButton* exitButton;
    RowsGrid* grid;

    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void clearAllClick();

    const Database& db_;
};
