#include "QkEditUt.h"

#include "BookEntry.h"
#include "widgets/Messenger.h"

#include <QLineEdit>

namespace {

QList<EditField> issueFields()
{
    using K = EditField::Kind;
    const auto list = [](const char* caption, const char* column, const char* table,
                         const char* listColumn, const char* objectName) {
        return EditField{QString::fromUtf8(caption),
                         QString::fromUtf8(column),
                         K::List,
                         QString::fromUtf8(table),
                         QString::fromUtf8(listColumn),
                         {},
                         QString::fromLatin1(objectName),
                         {}};
    };
    const auto field = [](const char* caption, const char* column, K kind, const char* objectName) {
        return EditField{QString::fromUtf8(caption),
                         QString::fromUtf8(column),
                         kind,
                         {},
                         {},
                         {},
                         QString::fromLatin1(objectName),
                         {}};
    };
    return {
        field("编号", "编号", K::Text, "numberEdit"),
        field("名称", "名称", K::Text, "titleEdit"),
        field("条形码", "条形码", K::Text, "barcodeEdit"),
        list("出版社", "出版社", "出版社名", "出版社名", "publisherCombo"),
        list("物品级别", "物品级别", "物品级别", "名称", "itemLevelCombo"),
        list("存放位置", "存放位置", "存放位置", "存放位置名", "placeCombo"),
        field("数量", "数量", K::Text, "quantityEdit"),
        field("国内统一刊号", "国内统一刊号", K::Text, "cnEdit"),
        field("ISSN", "issn", K::Text, "issnEdit"),
        field("邮发代号", "邮发代号", K::Text, "postCodeEdit"),
        field("第几期", "第几期", K::Text, "issueEdit"),
        field("总第几期", "总第几期", K::Text, "totalIssueEdit"),
        field("出版时间", "出版时间", K::Text, "publishDateEdit"),
        field("拼音", "py", K::Disabled, "pinyinEdit"),
        field("价格", "价格", K::Text, "priceEdit"),
        EditField{QStringLiteral("状态"),
                  QStringLiteral("状态"),
                  K::List,
                  {},
                  {},
                  {QStringLiteral("正常"), QStringLiteral("不外借")},
                  QStringLiteral("statusCombo"),
                  {}},
        field("借出次数", "借出次数", K::Text, "loanCountEdit"),
        field("入库时间", "入库时间", K::Date, "entryDateEdit"),
        list("分类", "分类", "分类", "名称", "categoryCombo"),
        list("二级分类", "二级分类", "二级分类", "名称", "secondCategoryCombo"),
        field("简介", "简介", K::Memo, "summaryEdit"),
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
