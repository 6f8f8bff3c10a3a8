#include "BkReturnUt.h"

#include "BkBorrowUt.h"

#include "DeskWidgets.h"
#include "widgets/Messenger.h"
#include "widgets/ScreenRegistry.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace DeskWidgets;

namespace {
const QStringList kGridColumns{
    QStringLiteral("编号"),       QStringLiteral("名称"),     QStringLiteral("条形码"),
    QStringLiteral("读者编号"),   QStringLiteral("读者姓名"), QStringLiteral("借阅日期"),
    QStringLiteral("借阅经手人"), QStringLiteral("类别"),     QStringLiteral("应还日期")};

QString dateText(const QDate& d)
{
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}
} // namespace

TBkReturnFm::TBkReturnFm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TBkReturnFm"));
    setWindowTitle(QStringLiteral("归还操作"));
    auto* layout = new QVBoxLayout(this);

    auto* searchGrid = new QGridLayout;
    itemNumberEdit_ = addField(searchGrid, 0, 4, QStringLiteral("图书编号"),
                               QStringLiteral("itemNumberEdit"), nullptr, true);
    barcodeEdit_ = addField(searchGrid, 1, 4, QStringLiteral("条形码"),
                            QStringLiteral("barcodeEdit"), nullptr, true);
    readerNumberEdit_ = addField(searchGrid, 2, 4, QStringLiteral("读者编号"),
                                 QStringLiteral("readerNumberEdit"), nullptr, true);
    searchButton_ = button(QStringLiteral("搜索"), QStringLiteral("searchButton"));
    searchGrid->addWidget(searchButton_, 0, 6);
    layout->addLayout(searchGrid);

    loansTable_ = new QTableWidget(0, int(kGridColumns.size()));
    loansTable_->setObjectName(QStringLiteral("loansTable"));
    loansTable_->setAccessibleName(QStringLiteral("借阅记录"));
    loansTable_->setHorizontalHeaderLabels(kGridColumns);
    loansTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    loansTable_->setSelectionMode(QAbstractItemView::SingleSelection);
    loansTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    loansTable_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(loansTable_, 1);

    auto* currentBox = new QGroupBox(QStringLiteral("当前记录"));
    auto* currentGrid = new QGridLayout(currentBox);
    const std::pair<const char*, const char*> loanCaptions[] = {
        {"读者编号", "loanReaderNumberEdit"}, {"读者姓名", "loanReaderNameEdit"},
        {"图书编号", "loanItemNumberEdit"},   {"名称", "loanTitleEdit"},
        {"借阅日期", "loanDateEdit"},
    };
    int index = 0;
    for (const auto& [caption, name] : loanCaptions)
        loanFields_ << addField(currentGrid, index++, 3, QString::fromUtf8(caption),
                                QString::fromUtf8(name));
    placeEdit_ =
        addField(currentGrid, index++, 3, QStringLiteral("存放位置"), QStringLiteral("placeEdit"));
    rentalDaysEdit_ = addField(currentGrid, index++, 3, QStringLiteral("实际租期"),
                               QStringLiteral("rentalDaysEdit"), nullptr, true);
    rentEdit_ = addField(currentGrid, index++, 3, QStringLiteral("实际租金"),
                         QStringLiteral("rentEdit"), &rentWidgets_, true);
    overdueDaysEdit_ = addField(currentGrid, index++, 3, QStringLiteral("超期天数"),
                                QStringLiteral("overdueDaysEdit"), &fineWidgets_);
    fineEdit_ = addField(currentGrid, index++, 3, QStringLiteral("超期罚金"),
                         QStringLiteral("fineEdit"), &fineWidgets_);
    damageCheck_ = new QCheckBox(QStringLiteral("破损/丢失/赔偿"));
    damageCheck_->setObjectName(QStringLiteral("damageCheck"));
    damageCheck_->setAccessibleName(QStringLiteral("破损/丢失/赔偿"));
    currentGrid->addWidget(damageCheck_, index / 3 + 1, 0, 1, 2);
    layout->addWidget(currentBox);

    damageGroup_ = new QGroupBox;
    damageGroup_->setObjectName(QStringLiteral("damageGroup"));
    auto* damageGrid = new QGridLayout(damageGroup_);
    auto* conditionLabel = new QLabel(QStringLiteral("物品状况:"));
    conditionCombo_ = new QComboBox;
    conditionCombo_->setEditable(true);
    conditionCombo_->setObjectName(QStringLiteral("conditionCombo"));
    conditionCombo_->setAccessibleName(QStringLiteral("物品状况:"));
    conditionLabel->setBuddy(conditionCombo_);
    damageGrid->addWidget(conditionLabel, 0, 0);
    damageGrid->addWidget(conditionCombo_, 0, 1);
    compensationEdit_ = addField(damageGrid, 1, 1, QStringLiteral("赔偿金额:"),
                                 QStringLiteral("compensationEdit"), nullptr, true);
    auto* remarkLabel = new QLabel(QStringLiteral("归还备注:"));
    remarkEdit_ = new QPlainTextEdit;
    remarkEdit_->setObjectName(QStringLiteral("remarkEdit"));
    remarkEdit_->setAccessibleName(QStringLiteral("归还备注:"));
    remarkLabel->setBuddy(remarkEdit_);
    damageGrid->addWidget(remarkLabel, 2, 0);
    damageGrid->addWidget(remarkEdit_, 2, 1);
    layout->addWidget(damageGroup_);

    auto* buttons = new QHBoxLayout;
    returnButton_ = button(QStringLiteral("归还"), QStringLiteral("returnButton"));
    cancelButton_ = button(QStringLiteral("取消"), QStringLiteral("cancelButton"));
    exitButton_ = button(QStringLiteral("退出"), QStringLiteral("exitButton"));
    buttons->addStretch();
    for (QPushButton* b : {returnButton_, cancelButton_, exitButton_})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    for (QLineEdit* edit : {itemNumberEdit_, barcodeEdit_, readerNumberEdit_}) {
        connect(edit, &QLineEdit::returnPressed, this, &TBkReturnFm::search);
        edit->installEventFilter(this);
    }
    loansTable_->installEventFilter(this);
    connect(searchButton_, &QPushButton::clicked, this, &TBkReturnFm::search);
    // The current loan follows the grid's current row however it moves: a click, the arrow
    // keys, Home/End, Page Up/Down.
    connect(loansTable_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& index) {
                if (!filling_ && !loans_.isEmpty() && index.row() != current_)
                    showLoan(index.row(), false);
            });
    connect(damageCheck_, &QCheckBox::toggled, damageGroup_, &QWidget::setVisible);
    connect(returnButton_, &QPushButton::clicked, this, &TBkReturnFm::giveBack);
    connect(cancelButton_, &QPushButton::clicked, this, &TBkReturnFm::CleanData);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
}

TBkReturnFm::~TBkReturnFm() = default;

void TBkReturnFm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    returning_.reloadLoginState();
    const LibrarySettings& s = returning_.settings();
    setShown(rentWidgets_, s.启用租金功能);
    setShown(fineWidgets_, s.启用超期罚金);
    placeEdit_->clear();
    CleanData();
    try {
        focusField_ = Returning::initialFocus();
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
    damageCheck_->setChecked(false);
    damageGroup_->setVisible(false);
    InitialFocus();
}

void TBkReturnFm::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (QWidget* lending = ScreenRegistry::instance().existing(Command::Borrow))
        if (lending != this && lending->isVisible())
            lending->close();
}

void TBkReturnFm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F5) {
        // Beside this screen the lending screen opens modeless (see its registration), so
        // both desks stay usable; an open one comes to the front as it is.
        if (auto* lending = qobject_cast<TBkBorrowFm*>(
                ScreenRegistry::instance().open(Command::Borrow, parentWidget())))
            lending->focusNextScan();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TBkReturnFm::focusNextScan()
{
    if (focusField_.isEmpty()) {
        itemNumberEdit_->setFocus();
        itemNumberEdit_->selectAll();
        return;
    }
    InitialFocus();
}

bool TBkReturnFm::eventFilter(QObject* watched, QEvent* event)
{
    // In a grid of whole rows Home and End go to the first and the last loan.
    if (watched == loansTable_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) &&
            key->modifiers() == Qt::NoModifier && loansTable_->rowCount() > 0) {
            const int row = key->key() == Qt::Key_Home ? 0 : loansTable_->rowCount() - 1;
            loansTable_->setCurrentCell(row, qMax(0, loansTable_->currentColumn()));
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease)
        if (auto* edit = qobject_cast<QLineEdit*>(watched))
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    return QWidget::eventFilter(watched, event);
}

void TBkReturnFm::InitialFocus()
{
    QLineEdit* target = nullptr;
    if (focusField_ == QStringLiteral("图书编号"))
        target = itemNumberEdit_;
    else if (focusField_ == QStringLiteral("条形码"))
        target = barcodeEdit_;
    else if (focusField_ == QStringLiteral("读者编号"))
        target = readerNumberEdit_;
    if (target) {
        target->setFocus();
        target->selectAll();
    }
}

void TBkReturnFm::clearFigures()
{
    for (QLineEdit* e : {rentalDaysEdit_, rentEdit_, overdueDaysEdit_, fineEdit_})
        e->clear();
}

void TBkReturnFm::resetDamage()
{
    conditionCombo_->clear();
    conditionCombo_->addItems(Returning::conditionChoices());
    conditionCombo_->setCurrentIndex(0);
    compensationEdit_->clear();
    remarkEdit_->clear();
}

void TBkReturnFm::CleanData()
{
    for (QLineEdit* e : {itemNumberEdit_, barcodeEdit_, readerNumberEdit_})
        e->clear();
    clearFigures();
    itemNumberEdit_->selectAll();
    loans_.clear();
    searchOpen_ = false;
    current_ = -1;
    figuresValid_ = false;
    {
        const QScopedValueRollback<bool> filling(filling_, true);
        loansTable_->setRowCount(0);
    }
    for (QLineEdit* e : loanFields_)
        e->clear();
    placeEdit_->clear();
    resetDamage();
}

void TBkReturnFm::search()
{
    const ReturnSearch s =
        returning_.search(itemNumberEdit_->text(), barcodeEdit_->text(), readerNumberEdit_->text());
    if (s.refused) {
        Messenger::instance().information(this, s.message);
        return;
    }
    lastItem_ = itemNumberEdit_->text();
    lastBarcode_ = barcodeEdit_->text();
    lastReader_ = readerNumberEdit_->text();
    runSearch(true);
}

void TBkReturnFm::runSearch(bool showFineMessage)
{
    try {
        loans_ = returning_.search(lastItem_, lastBarcode_, lastReader_).loans;
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
        return;
    }
    searchOpen_ = true;
    {
        const QScopedValueRollback<bool> filling(filling_, true);
        loansTable_->setRowCount(int(loans_.size()));
        for (int i = 0; i < loans_.size(); ++i) {
            const OpenLoan& l = loans_.at(i);
            const QStringList cells{l.编号,       l.名称,     l.条形码,
                                    l.读者编号,   l.读者姓名, dateText(l.借阅日期),
                                    l.借阅经手人, l.类别,     dateText(l.应还日期)};
            for (int c = 0; c < cells.size(); ++c)
                loansTable_->setItem(i, c, new QTableWidgetItem(cells.at(c)));
        }
    }
    current_ = -1;
    figuresValid_ = false;
    for (QLineEdit* e : loanFields_)
        e->clear();
    if (!loans_.isEmpty())
        showLoan(0, showFineMessage);
}

void TBkReturnFm::showLoan(int row, bool showFineMessage)
{
    if (row < 0 || row >= loans_.size())
        return;
    current_ = row;
    figuresValid_ = false;
    computeError_.clear();
    {
        const QScopedValueRollback<bool> filling(filling_, true);
        loansTable_->selectRow(row);
    }
    const OpenLoan& l = loans_.at(row);
    const QStringList values{l.读者编号, l.读者姓名, l.编号, l.名称, dateText(l.借阅日期)};
    for (int i = 0; i < loanFields_.size(); ++i)
        loanFields_.at(i)->setText(values.value(i));
    resetDamage();
    try {
        const LoanFigures f = returning_.compute(l);
        placeEdit_->setText(f.存放位置);
        rentalDaysEdit_->setText(f.rentalDaysText());
        rentEdit_->setText(f.rentText());
        overdueDaysEdit_->setText(f.overdueDaysText());
        fineEdit_->setText(f.fineText());
        figuresValid_ = true;
        const QString message = returning_.fineMessage(f);
        if (showFineMessage && !message.isEmpty())
            Messenger::instance().information(this, message);
    } catch (const DbError& e) {
        // Never leave the previous loan's figures beside this one.
        clearFigures();
        placeEdit_->clear();
        computeError_ = e.message();
        Messenger::instance().error(this, e.message());
    }
}

void TBkReturnFm::giveBack()
{
    if (!searchOpen_ || loans_.isEmpty() || current_ < 0)
        return;
    if (!figuresValid_) {
        Messenger::instance().error(this, computeError_);
        return;
    }
    ReturnEntry entry;
    entry.实际租期 = rentalDaysEdit_->text();
    entry.实际租金 = rentEdit_->text();
    entry.超期罚金 = fineEdit_->text();
    entry.物品状况 = conditionCombo_->currentText();
    entry.赔偿金额 = compensationEdit_->text();
    entry.归还备注 = remarkEdit_->toPlainText();
    const ReturnResult r = returning_.giveBack(loans_.at(current_), entry);
    for (const QString& m : r.messages) {
        if (r.status == ReturnResult::Refused)
            Messenger::instance().error(this, m);
        else
            Messenger::instance().information(this, m);
    }
    if (r.status == ReturnResult::Refused)
        return;
    runSearch(false);
    InitialFocus();
    if (loans_.isEmpty())
        clearFigures();
}
