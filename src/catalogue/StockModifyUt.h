// The stock screen: the new 数量 of a book, stored together with the edit screen's pending
// changes and the administrator log row.
#pragma once

#include "CatalogueItems.h"

#include <QWidget>

class QLineEdit;
class QPushButton;

class TStockModifyFm : public QWidget
{
    Q_OBJECT
public:
    TStockModifyFm(const CatalogueItems& rules, const QVariantMap& loaded,
                   const QVariantMap& pending, QWidget* parent = nullptr);

    // "确定": true when stored (the screen then closes).
    bool confirm();

signals:
    // stored: the stock and the pending changes are in the database; number: the book's
    // 编号 now.
    void finished(bool stored, const QString& number);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const CatalogueItems& rules_;
    QVariantMap loaded_;
    QVariantMap pending_;
    bool stored_ = false;
    QLineEdit* quantityEdit_;
};
