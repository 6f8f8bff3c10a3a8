#include "QkEditUt.h"

#include "BookEntry.h"
#include "widgets/Messenger.h"

#include <QLineEdit>

namespace {

QList<EditField> issueFields()
{
    using K = EditField::Kind;
    using F = EditField;
    return {
        F::of("编号", "编号", K::Text, "numberEdit"),
        F::of("名称", "名称", K::Text, "titleEdit"),
        F::of("条形码", "条形码", K::Text, "barcodeEdit"),
        F::listOf("出版社", "出版社", "出版社名", "出版社名", "publisherCombo"),
        F::listOf("物品级别", "物品级别", "物品级别", "名称", "itemLevelCombo"),
        F::listOf("存放位置", "存放位置", "存放位置", "存放位置名", "placeCombo"),
        F::of("数量", "数量", K::Text, "quantityEdit"),
        F::of("国内统一刊号", "国内统一刊号", K::Text, "cnEdit"),
        F::of("ISSN", "issn", K::Text, "issnEdit"),
        F::of("邮发代号", "邮发代号", K::Text, "postCodeEdit"),
        F::of("第几期", "第几期", K::Text, "issueEdit"),
        F::of("总第几期", "总第几期", K::Text, "totalIssueEdit"),
        F::of("出版时间", "出版时间", K::Text, "publishDateEdit"),
        F::of("拼音", "py", K::Disabled, "pinyinEdit"),
        F::of("价格", "价格", K::Text, "priceEdit"),
        F::fixedList("状态", "状态", {QStringLiteral("正常"), QStringLiteral("不外借")},
                     "statusCombo"),
        F::of("借出次数", "借出次数", K::Text, "loanCountEdit"),
        F::of("入库时间", "入库时间", K::Date, "entryDateEdit"),
        F::listOf("分类", "分类", "分类", "名称", "categoryCombo"),
        F::listOf("二级分类", "二级分类", "二级分类", "名称", "secondCategoryCombo"),
        F::of("简介", "简介", K::Memo, "summaryEdit"),
    };
}

} // namespace

TQkEditFm::TQkEditFm(const QString& number, QWidget* parent)
    : ItemEditScreen(CatalogueTable::periodicals(), number, issueFields(), parent)
{
    setObjectName(QStringLiteral("TQkEditFm"));
    setWindowTitle(QStringLiteral("期刊编辑"));
    auto* title = static_cast<QLineEdit*>(form()->field(QStringLiteral("名称")));
    connect(title, &QLineEdit::textChanged, this, [this](const QString& t) {
        form()->setText(QStringLiteral("py"), BookEntry::pinyin(t));
    });
}

void TQkEditFm::afterSave()
{
    Messenger::instance().information(this, CatalogueText::Saved);
}
