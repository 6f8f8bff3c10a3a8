#include "CatalogueTable.h"

const CatalogueTable& CatalogueTable::books()
{
    static const CatalogueTable t = [] {
        CatalogueTable d;
        d.table = d.list.table = QStringLiteral("图书");
        d.itemWord = d.table;
        d.list.caption = QStringLiteral("图书资料管理");
        d.list.objectName = QStringLiteral("TBkSearchFm");
        d.list.openingRows = 500;
        d.list.searchColumns = {QStringLiteral("编号"),     QStringLiteral("条形码"),
                                QStringLiteral("名称"),     QStringLiteral("索书号"),
                                QStringLiteral("分类"),     QStringLiteral("二级分类"),
                                QStringLiteral("存放位置"), QStringLiteral("作者"),
                                QStringLiteral("译者"),     QStringLiteral("来源")};
        for (const char* f :
             {"编号",     "条形码", "名称",     "分类",     "分类号", "zch",  "存放位置",
              "数量",     "价格",   "入库时间", "借出次数", "出版社", "作者", "译者",
              "出版时间", "页数",   "isbn",     "版次",     "密级",   "状态", "附件"})
            d.list.gridColumns << ShownColumn{QString::fromUtf8(f), {}};
        d.list.gridColumns[5].title = QStringLiteral("种次号");
        d.list.hiddenColumns = {QStringLiteral("币种"), QStringLiteral("简介"),
                                QStringLiteral("图片地址"), QStringLiteral("绝对地址")};
        d.list.countFooter = QStringLiteral("编号");
        d.list.sumFooters = {QStringLiteral("数量")};
        d.list.exportColumns = {
            QStringLiteral("编号"),     QStringLiteral("名称"),     QStringLiteral("出版社"),
            QStringLiteral("分类"),     QStringLiteral("二级分类"), QStringLiteral("索书号"),
            QStringLiteral("分类号"),   QStringLiteral("存放位置"), QStringLiteral("作者"),
            QStringLiteral("译者"),     QStringLiteral("数量"),     QStringLiteral("价格"),
            QStringLiteral("借出次数"), QStringLiteral("状态")};
        d.totalsLine = true;
        d.labels = true;
        d.addRight = &Rights::qxadddata;
        d.editRight = &Rights::qxbkxg;
        d.deleteRight = &Rights::qxdel;
        d.editCaption = QStringLiteral("编辑");
        d.editObjectName = QStringLiteral("editButton");
        d.list.printTitle = QStringLiteral("图书列表");
        d.list.printColumns = {{QStringLiteral("编号"), QStringLiteral("图书编号"), 28},
                               {QStringLiteral("条形码"), QStringLiteral("条形码"), 32},
                               {QStringLiteral("名称"), QStringLiteral("书名"), 60},
                               {QStringLiteral("分类"), QStringLiteral("分类"), 25},
                               {QStringLiteral("存放位置"), QStringLiteral("存放位置"), 25},
                               {QStringLiteral("数量"), QStringLiteral("数量"), 15}};
        d.list.printSumLabel1 = QStringLiteral(" 数量合计: ");
        d.list.printSumField1 = QStringLiteral("数量");
        d.list.printSumLabel2 = QStringLiteral("  价格合计: ");
        d.list.printSumField2 = QStringLiteral("价格");
        d.deskColumns = {QStringLiteral("数量"), QStringLiteral("借出次数"),
                         QStringLiteral("预定状况"), QStringLiteral("预定到期时间")};
        return d;
    }();
    return t;
}

const CatalogueTable& CatalogueTable::periodicals()
{
    static const CatalogueTable t = [] {
        CatalogueTable d;
        d.table = d.list.table = QStringLiteral("期刊");
        d.itemWord = d.table;
        d.list.caption = QStringLiteral("期刊管理");
        d.list.objectName = QStringLiteral("TQkSearchFm");
        d.list.searchColumns = {QStringLiteral("编号"), QStringLiteral("条形码"),
                                QStringLiteral("名称"), QStringLiteral("存放位置")};
        for (const char* f : {"编号", "名称", "条形码", "分类", "出版社", "存放位置", "数量",
                              "issn", "国内统一刊号", "邮发代号", "出版时间", "第几期", "入库时间",
                              "总第几期", "价格", "币种", "借出次数", "状态"})
            d.list.gridColumns << ShownColumn{QString::fromUtf8(f), {}};
        d.list.hiddenColumns = {QStringLiteral("简介"), QStringLiteral("图片地址"),
                                QStringLiteral("绝对地址")};
        d.list.countFooter = QStringLiteral("编号");
        d.list.sumFooters = {QStringLiteral("数量")};
        d.addRight = &Rights::qxadddata;
        d.editRight = &Rights::qxqkxg;
        d.deleteRight = &Rights::qxdel;
        d.editCaption = QStringLiteral("修改");
        d.editObjectName = QStringLiteral("editButton");
        d.list.printTitle = QStringLiteral("期刊列表");
        d.list.printColumns = {{QStringLiteral("编号"), QStringLiteral("编号"), 28},
                               {QStringLiteral("条形码"), QStringLiteral("条形码"), 32},
                               {QStringLiteral("名称"), QStringLiteral("名称"), 60},
                               {QStringLiteral("分类"), QStringLiteral("分类"), 25},
                               {QStringLiteral("存放位置"), QStringLiteral("存放位置"), 25},
                               {QStringLiteral("数量"), QStringLiteral("数量"), 15}};
        d.list.printSumLabel1 = QStringLiteral("总数量: ");
        d.list.printSumField1 = QStringLiteral("数量");
        d.list.printSumLabel2 = QStringLiteral("  总价格:");
        d.list.printSumField2 = QStringLiteral("价格");
        // Copies and loans of an issue are edited on its edit screen; reservations never.
        d.deskColumns = {QStringLiteral("预定状况"), QStringLiteral("预定到期时间")};
        return d;
    }();
    return t;
}
