#include "BookImport.h"

namespace BookImport {

ImportLayout layout()
{
    using K = ImportColumn::Kind;
    using E = ImportColumn::Empty;
    auto column = [](const char* caption, const char* name, K kind = K::Text, bool required = false,
                     E empty = E::Fails) {
        return ImportColumn{QString::fromUtf8(caption), QString::fromUtf8(name), kind, required,
                            empty};
    };
    ImportLayout l;
    l.table = QStringLiteral("图书");
    l.columns = {
        column("编号", "编号", K::Identity, true),
        column("条形码", "条形码", K::Identity),
        column("名称", "名称", K::Text, true),
        column("分类", "分类"),
        column("出版社", "出版社"),
        column("作者", "作者"),
        column("价格", "价格", K::Money),
        column("ISBN", "isbn", K::Identity),
        column("数量", "数量", K::Integer),
        column("存放位置", "存放位置"),
        column("分类号", "分类号"),
        column("简介", "简介"),
        column("二级分类", "二级分类"),
        column("出版时间", "出版时间"),
        column("页数", "页数", K::Integer, false, E::Zero),
        column("译者", "译者"),
        column("版次", "版次"),
        column("索书号", "索书号"),
        column("py", "py"),
        // A sheet without 种次号 leaves it empty, as the entry screen does for a book
        // without class number.
        column("种次号", "zch", K::Integer, false, E::Null),
    };
    l.fixed = {{QStringLiteral("借出次数"), 0}, {QStringLiteral("状态"), QStringLiteral("正常")}};
    l.keyColumn = 0;
    return l;
}

} // namespace BookImport
