#include "BkBorrowUt.h"

#include "BkReturnUt.h"

#include "DeskWidgets.h"

#include "data/LoginState.h"
#include "widgets/Messenger.h"
#include "widgets/ScreenRegistry.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace DeskWidgets;

namespace {
TBkBorrowFm::Picker& readerPicker()
{
    static TBkBorrowFm::Picker picker;
    return picker;
}

TBkBorrowFm::Picker& itemPicker()
{
    static TBkBorrowFm::Picker picker;
    return picker;
}

} // namespace

void TBkBorrowFm::setReaderPicker(Picker picker)
{
    readerPicker() = std::move(picker);
}
void TBkBorrowFm::setItemPicker(Picker picker)
{
    itemPicker() = std::move(picker);
}

TBkBorrowFm::TBkBorrowFm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TBkBorrowFm"));
    setWindowTitle(QStringLiteral("借阅- 首先查询确定读者身份,然后确定预借的图书信息.被借物信息出现"
                                  "在下面列表后点击借出,完成操作."));
    auto* layout = new QVBoxLayout(this);

    // Reader.
    auto* readerBox = new QGroupBox(QStringLiteral("读者信息"));
    auto* readerGrid = new QGridLayout(readerBox);
    auto* readerLabel = new QLabel(QStringLiteral("读者编号"));
    readerNumberEdit_ = new QLineEdit;
    readerNumberEdit_->setObjectName(QStringLiteral("readerNumberEdit"));
    readerNumberEdit_->setAccessibleName(QStringLiteral("读者编号"));
    readerLabel->setBuddy(readerNumberEdit_);
    readerEnterLabel_ = new QLabel(QStringLiteral("[回车]"));
    readerGrid->addWidget(readerLabel, 0, 0);
    readerGrid->addWidget(readerNumberEdit_, 0, 1);
    readerGrid->addWidget(readerEnterLabel_, 0, 2);
    auto* readerFieldsGrid = new QGridLayout;
    readerGrid->addLayout(readerFieldsGrid, 1, 0, 1, 3);
    const std::pair<const char*, const char*> readerCaptions[] = {
        {"读者姓名", "readerNameEdit"},     {"读者性别", "readerSexEdit"},
        {"读者类别", "readerCategoryEdit"}, {"未还数量", "openLoansEdit"},
        {"累计借阅次数", "totalLoansEdit"}, {"状态", "readerStatusEdit"},
    };
    int index = 0;
    for (const auto& [caption, name] : readerCaptions)
        readerFields_ << addField(readerFieldsGrid, index++, 3, QString::fromUtf8(caption),
                                  QString::fromUtf8(name));
    balanceEdit_ = addField(readerFieldsGrid, index++, 3, QStringLiteral("卡内金额"),
                            QStringLiteral("balanceEdit"), &balanceWidgets_);
    validityEdit_ = addField(readerFieldsGrid, index++, 3, QStringLiteral("有效期"),
                             QStringLiteral("validityEdit"), &validityWidgets_);
    limitEdit_ = addField(readerFieldsGrid, index++, 3, QStringLiteral("借阅数量限制"),
                          QStringLiteral("loanLimitEdit"));
    daysEdit_ = addField(readerFieldsGrid, index++, 3, QStringLiteral("借阅天数"),
                         QStringLiteral("loanDaysEdit"));
    categoryRentEdit_ = addField(readerFieldsGrid, index++, 3, QStringLiteral("租金"),
                                 QStringLiteral("categoryRentEdit"), &categoryRentWidgets_);
    layout->addWidget(readerBox);

    // Item table choice.
    auto* tableRow = new QHBoxLayout;
    bookRadio_ = radio(QStringLiteral("图书"), QStringLiteral("bookRadio"));
    periodicalRadio_ = radio(QStringLiteral("期刊"), QStringLiteral("periodicalRadio"));
    bookRadio_->setChecked(true);
    tableRow->addWidget(bookRadio_);
    tableRow->addWidget(periodicalRadio_);
    tableRow->addStretch();
    layout->addLayout(tableRow);

    // Item area.
    itemArea_ = new QGroupBox(QStringLiteral("物品信息"));
    itemArea_->setObjectName(QStringLiteral("itemArea"));
    auto* itemGrid = new QGridLayout(itemArea_);
    numberKeyRadio_ = radio(QStringLiteral("编号"), QStringLiteral("numberKeyRadio"));
    barcodeKeyRadio_ = radio(QStringLiteral("条形码"), QStringLiteral("barcodeKeyRadio"));
    numberKeyRadio_->setChecked(true);
    itemEdit_ = new QLineEdit;
    itemEdit_->setObjectName(QStringLiteral("itemEdit"));
    itemEdit_->setAccessibleName(QStringLiteral("编号或条形码"));
    itemEnterLabel_ = new QLabel(QStringLiteral("[回车]"));
    confirmButton_ = button(QStringLiteral("确定"), QStringLiteral("confirmButton"));
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(numberKeyRadio_);
    keyRow->addWidget(barcodeKeyRadio_);
    keyRow->addWidget(itemEdit_, 1);
    keyRow->addWidget(itemEnterLabel_);
    keyRow->addWidget(confirmButton_);
    itemGrid->addLayout(keyRow, 0, 0);
    auto* itemFieldsGrid = new QGridLayout;
    itemGrid->addLayout(itemFieldsGrid, 1, 0);
    const std::pair<const char*, const char*> itemCaptions[] = {
        {"编号", "itemNumberEdit"},      {"名称", "itemTitleEdit"},  {"条形码", "itemBarcodeEdit"},
        {"分类", "itemCategoryEdit"},    {"数量", "itemCopiesEdit"}, {"存放位置", "itemPlaceEdit"},
        {"出版社", "itemPublisherEdit"}, {"价格", "itemPriceEdit"},
    };
    index = 0;
    for (const auto& [caption, name] : itemCaptions)
        itemFields_ << addField(itemFieldsGrid, index++, 4, QString::fromUtf8(caption),
                                QString::fromUtf8(name));
    levelEdit_ = addField(itemFieldsGrid, index++, 4, QStringLiteral("物品级别"),
                          QStringLiteral("itemLevelEdit"), &levelWidgets_);
    levelRentEdit_ = addField(itemFieldsGrid, index++, 4, QStringLiteral("级别租金"),
                              QStringLiteral("levelRentEdit"), &levelWidgets_);
    layout->addWidget(itemArea_);

    // Lending list.
    listTable_ = new QTableWidget(0, 7);
    listTable_->setObjectName(QStringLiteral("lendingList"));
    listTable_->setAccessibleName(QStringLiteral("借阅列表"));
    listTable_->setHorizontalHeaderLabels({QStringLiteral("编号"), QStringLiteral("条形码"),
                                           QStringLiteral("名称"), QStringLiteral("类别"),
                                           QStringLiteral("天数"), QStringLiteral("租金"),
                                           QStringLiteral("物品级别")});
    listTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listTable_->setSelectionMode(QAbstractItemView::SingleSelection);
    listTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listTable_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(listTable_, 1);

    auto* buttons = new QHBoxLayout;
    printAfterCheck_ = new QCheckBox(QStringLiteral("借出后打印"));
    printAfterCheck_->setObjectName(QStringLiteral("printAfterCheck"));
    printAfterCheck_->setAccessibleName(QStringLiteral("借出后打印"));
    lendButton_ = button(QStringLiteral("借出"), QStringLiteral("lendButton"));
    removeButton_ = button(QStringLiteral("取消"), QStringLiteral("removeButton"));
    removeAllButton_ = button(QStringLiteral("取消全部"), QStringLiteral("removeAllButton"));
    exitButton_ = button(QStringLiteral("退出"), QStringLiteral("exitButton"));
    buttons->addWidget(printAfterCheck_);
    buttons->addStretch();
    for (QPushButton* b : {lendButton_, removeButton_, removeAllButton_, exitButton_})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(readerNumberEdit_, &QLineEdit::returnPressed, this, &TBkBorrowFm::RdSearch);
    connect(itemEdit_, &QLineEdit::returnPressed, this, [this] {
        if (enterRunsItemCheck_)
            bksearch();
    });
    connect(confirmButton_, &QPushButton::clicked, this, &TBkBorrowFm::bksearch);
    connect(bookRadio_, &QRadioButton::toggled, this,
            [this] { lending_.setTable(currentTable()); });
    connect(numberKeyRadio_, &QRadioButton::toggled, this,
            [this] { lending_.setKey(currentKey()); });
    connect(lendButton_, &QPushButton::clicked, this, &TBkBorrowFm::lend);
    connect(removeButton_, &QPushButton::clicked, this, &TBkBorrowFm::removeSelected);
    connect(removeAllButton_, &QPushButton::clicked, this, &TBkBorrowFm::CleanData);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
    readerNumberEdit_->installEventFilter(this);
    itemEdit_->installEventFilter(this);
    setItemAreaEnabled(false);
}

TBkBorrowFm::~TBkBorrowFm() = default;

QString TBkBorrowFm::currentTable() const
{
    return periodicalRadio_->isChecked() ? QStringLiteral("期刊") : QStringLiteral("图书");
}

QString TBkBorrowFm::currentKey() const
{
    return barcodeKeyRadio_->isChecked() ? QStringLiteral("条形码") : QStringLiteral("编号");
}

void TBkBorrowFm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    const LoginState& login = LoginState::instance();
    lending_.reloadLoginState();
    CleanData();
    enterRunsItemCheck_ = login.WinA == QLatin1String("1");
    itemEnterLabel_->setVisible(enterRunsItemCheck_);
    confirmButton_->setVisible(!enterRunsItemCheck_);
    applyPrinterDefault();
    const LibrarySettings& s = lending_.settings();
    setShown(balanceWidgets_, s.启用租金功能);
    setShown(categoryRentWidgets_, s.启用租金功能 && s.启用读者租金);
    setShown(levelWidgets_, s.启用租金功能 && !s.启用读者租金);
    setShown(validityWidgets_, s.启用读者有效期);
    try {
        const QString key = Lending::initialKey();
        (key == QStringLiteral("条形码") ? barcodeKeyRadio_ : numberKeyRadio_)->setChecked(true);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
    lending_.setTable(currentTable());
    lending_.setKey(currentKey());
}

void TBkBorrowFm::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (QWidget* returning = ScreenRegistry::instance().existing(Command::Return))
        if (returning != this && returning->isVisible())
            returning->close();
}

bool TBkBorrowFm::eventFilter(QObject* watched, QEvent* event)
{
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit && (edit == readerNumberEdit_ || edit == itemEdit_)) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            const Picker& picker = edit == readerNumberEdit_ ? readerPicker() : itemPicker();
            if (picker)
                picker(this);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease)
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    }
    return QWidget::eventFilter(watched, event);
}

void TBkBorrowFm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F6) {
        // A new returning screen is this screen's child window, so a modal lending screen
        // does not block it (and closing this screen closes it too). Beside a returning
        // screen opened first, this screen is modeless.
        if (auto* returning =
                qobject_cast<TBkReturnFm*>(ScreenRegistry::instance().open(Command::Return, this)))
            returning->focusNextScan();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TBkBorrowFm::focusNextScan()
{
    QLineEdit* next = itemArea_->isEnabled() ? itemEdit_ : readerNumberEdit_;
    next->setFocus();
    next->selectAll();
}

void TBkBorrowFm::applyPrinterDefault()
{
    printAfterCheck_->setChecked(LoginState::instance().JieChuHouDaYin == QLatin1String("1"));
}

void TBkBorrowFm::setItemAreaEnabled(bool on)
{
    itemArea_->setEnabled(on);
}

void TBkBorrowFm::showReader()
{
    const std::optional<LendingReader>& r = lending_.reader();
    const QStringList values = r ? QStringList{r->读者姓名,
                                               r->性别,
                                               r->类别,
                                               QString::number(r->未还数量),
                                               QString::number(r->累计借阅次数),
                                               r->状态}
                                 : QStringList();
    for (int i = 0; i < readerFields_.size(); ++i)
        readerFields_.at(i)->setText(values.value(i));
    balanceEdit_->setText(r ? r->卡内金额.toString() : QString());
    validityEdit_->setText(
        r && r->有效期.isValid() ? r->有效期.toString(QStringLiteral("yyyy-MM-dd")) : QString());
    const std::optional<LendingCategory>& c = lending_.category();
    limitEdit_->setText(c ? QString::number(c->借阅数量限制) : QString());
    daysEdit_->setText(c ? QString::number(c->借阅天数) : QString());
    categoryRentEdit_->setText(c ? c->租金.toString() : QString());
}

void TBkBorrowFm::showItem()
{
    const std::optional<LendingItem>& it = lending_.currentItem();
    const QStringList values = it ? QStringList{it->编号,
                                                it->名称,
                                                it->条形码,
                                                it->分类,
                                                QString::number(it->数量),
                                                it->存放位置,
                                                it->出版社,
                                                it->价格.toString()}
                                  : QStringList();
    for (int i = 0; i < itemFields_.size(); ++i)
        itemFields_.at(i)->setText(values.value(i));
    levelEdit_->setText(it ? it->物品级别 : QString());
    levelRentEdit_->setText(it ? it->levelRent.toString() : QString());
}

void TBkBorrowFm::refillList()
{
    const QList<LendingListRow>& rows = lending_.list();
    listTable_->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const LendingListRow& r = rows.at(i);
        const QStringList cells{
            r.编号,    r.条形码, r.名称, r.类别, QString::number(r.天数), r.租金.toString(),
            r.物品级别};
        for (int c = 0; c < cells.size(); ++c)
            listTable_->setItem(i, c, new QTableWidgetItem(cells.at(c)));
    }
}

void TBkBorrowFm::RdSearch()
{
    setItemAreaEnabled(false);
    const ReaderCheck check = lending_.RdSearch(readerNumberEdit_->text());
    showReader();
    if (!check.passed) {
        Messenger::instance().information(this, check.message);
        if (check.selectReaderText)
            readerNumberEdit_->selectAll();
        return;
    }
    setItemAreaEnabled(true);
    itemEdit_->setFocus();
    itemEdit_->selectAll();
}

void TBkBorrowFm::bksearch()
{
    lending_.setTable(currentTable());
    lending_.setKey(currentKey());
    const ItemCheck check = lending_.bksearch(itemEdit_->text());
    showItem();
    if (check.added)
        refillList();
    if (!check.message.isEmpty())
        Messenger::instance().information(this, check.message);
    itemEdit_->setFocus();
    if (check.selectItemText || check.added)
        itemEdit_->selectAll();
}

void TBkBorrowFm::CleanData()
{
    lending_.CleanData();
    listTable_->setRowCount(0);
    readerNumberEdit_->clear();
    itemEdit_->clear();
    showReader();
    showItem();
    setItemAreaEnabled(false);
    readerNumberEdit_->setFocus();
}

void TBkBorrowFm::lend()
{
    const CommitResult r = lending_.commit(printAfterCheck_->isChecked());
    if (r.nothing)
        return;
    if (!r.done) {
        Messenger::instance().error(this, r.message);
        return;
    }
    Messenger::instance().information(this, r.message);
    if (!r.receiptError.isEmpty())
        Messenger::instance().error(this, r.receiptError);
    CleanData();
}

void TBkBorrowFm::removeSelected()
{
    // The highlighted row, never one that only holds the keyboard focus.
    const QModelIndexList selected = listTable_->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int row = selected.first().row();
    if (row < 0 || row >= lending_.list().size())
        return;
    if (!Messenger::instance().confirm(this, lending_.removeQuestion(row), windowTitle()))
        return;
    lending_.removeRow(row);
    refillList();
}
