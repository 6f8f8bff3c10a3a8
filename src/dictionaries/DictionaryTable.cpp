#include "DictionaryTable.h"

namespace {
using F = DictionaryField;

// A table edited by one unlabelled text field: its only column.
DictionaryTable plain(const char* screen, const char* caption, const char* table,
                      const char* column)
{
    DictionaryTable t;
    t.screenName = QString::fromUtf8(screen);
    t.caption = QString::fromUtf8(caption);
    t.table = QString::fromUtf8(table);
    t.fields = {
        F{QString::fromUtf8(column), QString(), F::Text, QString(), QStringLiteral("nameEdit")}};
    return t;
}
} // namespace

namespace Dictionaries {
const DictionaryTable& BkKindUt()
{
    static const DictionaryTable t = plain("TBkKindFm", "分类设置", "分类", "名称");
    return t;
}

const DictionaryTable& Bk2KindUt()
{
    static const DictionaryTable t = plain("TBk2KindFm", "二级分类设置", "二级分类", "名称");
    return t;
}

const DictionaryTable& PubUt()
{
    static const DictionaryTable t = [] {
        DictionaryTable d = plain("TPubFm", "出版社名设置", "出版社名", "出版社名");
        d.fields = {F{QStringLiteral("出版社名"), QStringLiteral("出版社名"), F::Text, QString(),
                      QStringLiteral("nameEdit")},
                    F{QStringLiteral("ISBN"), QStringLiteral("ISBN"), F::Text, QString(),
                      QStringLiteral("isbnEdit")}};
        d.gridColumns = {QStringLiteral("ISBN"), QStringLiteral("出版社名"),
                         QStringLiteral("出版地")};
        d.sortableGrid = true;
        d.distinctFields = 2;
        return d;
    }();
    return t;
}

const DictionaryTable& DepartMentUt()
{
    static const DictionaryTable t =
        plain("TDepartMentFm", "单位/部门名称设置", "单位名称", "单位名称");
    return t;
}

const DictionaryTable& PlaceUt()
{
    static const DictionaryTable t = plain("TPlaceFm", "存放位置名设置", "存放位置", "存放位置名");
    return t;
}

const DictionaryTable& PaperUt()
{
    static const DictionaryTable t = plain("TPaperFm", "证件名设置", "证件名", "证件名");
    return t;
}

const DictionaryTable& SecretLevelUt()
{
    static const DictionaryTable t = plain("TSecretLevelFm", "密级设置", "密级", "密级");
    return t;
}

const DictionaryTable& RdKindUt()
{
    static const DictionaryTable t = [] {
        DictionaryTable d = plain("TRdKindFm", "读者分类设置", "读者类别", "类别名");
        d.fields = {F{QStringLiteral("类别名"), QStringLiteral("读者类别名"), F::Text, QString(),
                      QStringLiteral("nameEdit")},
                    F{QStringLiteral("借阅天数"), QStringLiteral("借阅天数"), F::Integer, QString(),
                      QStringLiteral("loanDaysEdit")},
                    F{QStringLiteral("借阅数量限制"), QStringLiteral("数量限制"), F::Integer,
                      QString(), QStringLiteral("loanLimitEdit")},
                    F{QStringLiteral("租金"), QStringLiteral("租金"), F::Amount, QString(),
                      QStringLiteral("rentEdit")}};
        d.protectedName = QStringLiteral("普通");
        d.protectedDeleteMessage = DictionaryText::ReaderCategoryKept;
        d.protectedRenameMessage = DictionaryText::ReaderCategoryNameKept;
        return d;
    }();
    return t;
}

const DictionaryTable& MoneyKindUt()
{
    static const DictionaryTable t = plain("TMoneyKindFm", "币种设置", "币种", "币种");
    return t;
}

const DictionaryTable& RentLevelUt()
{
    static const DictionaryTable t = [] {
        DictionaryTable d = plain("TRentLevelFm", "物品级别", "物品级别", "名称");
        d.fields = {F{QStringLiteral("名称"), QStringLiteral("名称"), F::Text, QString(),
                      QStringLiteral("nameEdit")},
                    F{QStringLiteral("租金"), QStringLiteral("租金(元)"), F::Amount, QString(),
                      QStringLiteral("rentEdit")},
                    F{QStringLiteral("可借数量"), QStringLiteral("可借数量"), F::Integer,
                      QStringLiteral("(0 就是不限制)"), QStringLiteral("itemLimitEdit")}};
        d.gridColumns = {QStringLiteral("名称"), QStringLiteral("租金"),
                         QStringLiteral("可借数量")};
        d.protectedName = QStringLiteral("普通");
        d.protectedDeleteMessage = DictionaryText::ItemLevelKept;
        d.protectedRenameMessage = DictionaryText::ItemLevelKept;
        d.focusNameOnEdit = false;
        return d;
    }();
    return t;
}

QList<const DictionaryTable*> all()
{
    return {&BkKindUt(), &Bk2KindUt(),     &PubUt(),    &DepartMentUt(), &PlaceUt(),
            &PaperUt(),  &SecretLevelUt(), &RdKindUt(), &MoneyKindUt(),  &RentLevelUt()};
}
} // namespace Dictionaries
