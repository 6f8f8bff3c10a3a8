#include "BkEditUt.h"

#include "BookEntry.h"
#include "StockModifyUt.h"
#include "widgets/Messenger.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QList<EditField> bookFields()
{
    using K = EditField::Kind;
    using F = EditField;
    // In tab order; the drop-downs read their tables in the order 分类, 二级分类, 出版社,
    // 存放位置, 币种, 密级, 附件, 物品级别, which is the order they appear in here too.
    return {
        F::of("图书编号", "编号", K::Text, "bookNumberEdit"),
        F::of("书名", "名称", K::Text, "titleEdit"),
        F::of("条形码", "条形码", K::Text, "barcodeEdit"),
        F::listOf("出版社", "出版社", "出版社名", "出版社名", "publisherCombo"),
        F::listOf("分类", "分类", "分类", "名称", "categoryCombo"),
        F::listOf("二级分类", "二级分类", "二级分类", "名称", "secondCategoryCombo"),
        F::listOf("存放位置", "存放位置", "存放位置", "存放位置名", "placeCombo"),
        F::of("数量(库存)", "数量", K::ReadOnly, "quantityEdit"),
        F::of("作者", "作者", K::Text, "authorEdit"),
        F::of("译者", "译者", K::Text, "translatorEdit"),
        F::of("索书号", "索书号", K::Text, "callNumberEdit"),
        F::of("分类号", "分类号", K::Text, "classNumberEdit"),
        F::of("价格", "价格", K::Text, "priceEdit", "[0-9.]*"),
        F::listOf("币种", "币种", "币种", "币种", "currencyCombo"),
        F::of("版次", "版次", K::Text, "editionEdit"),
        F::of("ISBN", "isbn", K::Text, "isbnEdit"),
        F::listOf("附件", "附件", "附件名", "附件名", "attachmentCombo"),
        F::listOf("密级", "密级", "密级", "密级", "secrecyCombo"),
        F::of("入库时间", "入库时间", K::Date, "entryDateEdit"),
        F::of("电子文档", "绝对地址", K::Text, "documentEdit"),
        F::listOf("物品级别", "物品级别", "物品级别", "名称", "itemLevelCombo"),
        F::of("拼音", "py", K::Disabled, "pinyinEdit"),
        F::of("简介", "简介", K::Memo, "summaryEdit"),
        F::of("页数", "页数", K::Text, "pagesEdit"),
        F::fixedList("状态", "状态", {QStringLiteral("正常"), QStringLiteral("不外借")},
                     "statusCombo"),
        F::of("出版时间", "出版时间", K::Text, "publishDateEdit"),
        F::of("捐赠人", "捐赠人", K::Text, "donorEdit"),
        F::fixedList("来源", "来源", {QStringLiteral("购买"), QStringLiteral("捐赠")},
                     "sourceCombo"),
        F::of("种次号", "zch", K::Text, "zchEdit"),
    };
}

} // namespace

TBkEditFm::TBkEditFm(const QString& number, QWidget* parent)
    : ItemEditScreen(CatalogueTable::books(), number, bookFields(), parent)
{
    setObjectName(QStringLiteral("TBkEditFm"));
    setWindowTitle(QStringLiteral("图书编辑"));
    auto* stockButton = new QPushButton(QStringLiteral("修改"), this);
    stockButton->setObjectName(QStringLiteral("modifyStockButton"));
    stockButton->setAccessibleName(stockButton->text());
    auto* runButton = new QPushButton(QStringLiteral("Run"), this);
    runButton->setObjectName(QStringLiteral("runButton"));
    runButton->setAccessibleName(runButton->text());
    buttons()->insertWidget(0, stockButton);
    buttons()->insertWidget(1, runButton);

    auto* title = static_cast<QLineEdit*>(form()->field(QStringLiteral("名称")));
    connect(title, &QLineEdit::textChanged, this, [this](const QString& t) {
        form()->setText(QStringLiteral("py"), BookEntry::pinyin(t));
    });
    auto* source = static_cast<QComboBox*>(form()->field(QStringLiteral("来源")));
    connect(source, &QComboBox::currentTextChanged, this, [this] { sourceChanged(); });
    form()->field(QStringLiteral("条形码"))->installEventFilter(this);
    form()->field(QStringLiteral("绝对地址"))->installEventFilter(this);
    connect(stockButton, &QPushButton::clicked, this, &TBkEditFm::modifyStock);
    connect(runButton, &QPushButton::clicked, this, &TBkEditFm::runDocument);
    // The donor shows only for a donation; as loaded, without emptying it.
    const bool donation = form()->text(QStringLiteral("来源")) == BookEntry::kDonation;
    form()->field(QStringLiteral("捐赠人"))->setVisible(donation);
    form()->label(QStringLiteral("捐赠人"))->setVisible(donation);
}

void TBkEditFm::sourceChanged()
{
    const bool donation = form()->text(QStringLiteral("来源")) == BookEntry::kDonation;
    form()->field(QStringLiteral("捐赠人"))->setVisible(donation);
    form()->label(QStringLiteral("捐赠人"))->setVisible(donation);
    if (!donation)
        form()->setText(QStringLiteral("捐赠人"), QString());
}

bool TBkEditFm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == form()->field(QStringLiteral("条形码")) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            BarCodeFindPub();
            return true;
        }
    }
    if (watched == form()->field(QStringLiteral("绝对地址")) &&
        event->type() == QEvent::MouseButtonRelease)
        chooseDocument();
    return ItemEditScreen::eventFilter(watched, event);
}

void TBkEditFm::BarCodeFindPub()
{
    try {
        const auto match = BookEntry().BarCodeFindPub(form()->text(QStringLiteral("条形码")));
        if (!match)
            return;
        form()->setText(QStringLiteral("isbn"), match->isbn);
        form()->setText(QStringLiteral("出版社"), match->出版社名);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TBkEditFm::chooseDocument()
{
    const QString path = Messenger::instance().openFileName(this, QStringLiteral("电子文档"), {});
    if (!path.isEmpty())
        form()->setText(QStringLiteral("绝对地址"), path);
}

void TBkEditFm::runDocument()
{
    // The desktop opens the file; nothing goes through a command line.
    Messenger::instance().openWithDesktop(form()->text(QStringLiteral("绝对地址")));
}

bool TBkEditFm::maySave()
{
    if (!LoginState::instance().rights.qxbkxg) {
        Messenger::instance().information(this, CatalogueText::NoRight);
        return false;
    }
    return true;
}

void TBkEditFm::modifyStock()
{
    if (!loaded())
        return;
    if (!LoginState::instance().rights.qxModifyStock) {
        Messenger::instance().information(this, CatalogueText::NoRight);
        return;
    }
    auto* stock = new TStockModifyFm(rules(), *loaded(), form()->values(), this);
    stock->setAttribute(Qt::WA_DeleteOnClose);
    stock->setWindowFlag(Qt::Window);
    stock->setWindowModality(Qt::ApplicationModal);
    // Saved: the edit goes on over the stored row. Cancelled: the pending changes go too.
    connect(stock, &TStockModifyFm::finished, this, [this](bool stored, const QString& number) {
        reloadAs(stored ? number : loaded()->value(QStringLiteral("编号")).toString());
        if (stored)
            emit saved();
    });
    stock->show();
}
