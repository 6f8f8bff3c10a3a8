#include "ReserveUt.h"

#include "Reservations.h"
#include "RowsGrid.h"
#include "widgets/Messenger.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
QPushButton* addButton(QHBoxLayout* bar, const QString& caption, const QString& objectName)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(objectName);
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    bar->addWidget(b);
    return b;
}
} // namespace

TReserveFm::TReserveFm(const Database& db, QWidget* parent) : QWidget(parent), db_(db)
{
    setObjectName(QStringLiteral("TReserveFm"));
    setWindowTitle(QStringLiteral("读者预定信息"));

    auto* bar = new QHBoxLayout;
    clearAllButton =
        addButton(bar, QStringLiteral("取消全部预定"), QStringLiteral("clearAllButton"));
    refreshButton = addButton(bar, QStringLiteral("刷新"), QStringLiteral("refreshButton"));
    exitButton = addButton(bar, QStringLiteral("退出"), QStringLiteral("exitButton"));
    bar->addStretch();
    grid = new RowsGrid(QStringLiteral("reservationGrid"), QStringLiteral("读者预定信息"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(grid, 1);
    resize(720, 420);

    connect(clearAllButton, &QPushButton::clicked, this, &TReserveFm::clearAllClick);
    connect(refreshButton, &QPushButton::clicked, this, &TReserveFm::refresh);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
}

void TReserveFm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        refresh();
}

void TReserveFm::refresh()
{
    try {
        QList<QStringList> rows;
        for (const ReservedBook& b : Reservations::list(db_))
            rows << QStringList{b.编号, b.名称, b.条形码, b.预定状况,
                                b.预定到期时间.isValid()
                                    ? b.预定到期时间.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                                    : QString()};
        grid->showRows(Reservations::columns(), rows);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TReserveFm::clearAllClick()
{
    try {
        Reservations::clearAll(db_);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
    refresh();
}
