#include "StockModifyUt.h"

#include "widgets/Messenger.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TStockModifyFm::TStockModifyFm(const CatalogueItems& rules, const QVariantMap& loaded,
                               const QVariantMap& pending, QWidget* parent)
    : QWidget(parent), rules_(rules), loaded_(loaded), pending_(pending)
{
    setObjectName(QStringLiteral("TStockModifyFm"));
    setWindowTitle(QStringLiteral("销售库存修改"));
    quantityEdit_ = new QLineEdit(
        rules_.shownText(QStringLiteral("数量"), loaded_.value(QStringLiteral("数量"))), this);
    quantityEdit_->setObjectName(QStringLiteral("quantityEdit"));
    quantityEdit_->setAccessibleName(QStringLiteral("库存:"));
    quantityEdit_->installEventFilter(this);
    auto* label = new QLabel(QStringLiteral("库存:"), this);
    label->setBuddy(quantityEdit_);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setAccessibleName(ok->text());
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAccessibleName(cancel->text());
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(quantityEdit_);
    auto* bar = new QHBoxLayout;
    bar->addStretch();
    bar->addWidget(ok);
    bar->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(bar);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (confirm())
            close();
    });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

bool TStockModifyFm::eventFilter(QObject* watched, QEvent* event)
{
    // A click selects the whole figure, ready to be typed over.
    if (watched == quantityEdit_ && event->type() == QEvent::MouseButtonRelease)
        QTimer::singleShot(0, quantityEdit_, &QLineEdit::selectAll);
    return QWidget::eventFilter(watched, event);
}

bool TStockModifyFm::confirm()
{
    const ItemResult r = rules_.changeStock(loaded_, pending_, quantityEdit_->text());
    if (!r.ok) {
        if (r.currentStock)
            quantityEdit_->setText(QString::number(*r.currentStock));
        Messenger::instance().information(this, r.message);
        return false;
    }
    stored_ = true;
    return true;
}

void TStockModifyFm::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    emit finished(
        stored_,
        pending_.value(QStringLiteral("编号"), loaded_.value(QStringLiteral("编号"))).toString());
}
