#include "InExcelRdUt.h"

#include "ReaderImport.h"

TInExcelRdFm::TInExcelRdFm(QWidget* parent)
    : SheetImportForm(
          {QStringLiteral("读者资料Excel导入"),
           {QStringLiteral(
                "请仔细检查确保A表内的项目与B表内的项目对应一致.否则导入的数据可能不正确.没有的"
                "项目可以在Excel中加入空白列,有数据的项目一定要保证和要导入的项目名称是同一行."
                "编号和名称是必有项目,编号必须唯一不能重复,如果你的Excel数据中没有编号,可以选择"
                "系统自动增加编号."),
            QStringLiteral("首先要把Excel的每列的数据按照B表的前后顺序调整好."),
            QStringLiteral("A表显示的是要导入的Excel表的第一行标题,B表是系统内数据项目名称.")},
           QStringLiteral("导入失败的原因有很多,比如Excel中的编号和系统内已存在的编号重复等")},
          [] { return ReaderImport::layout(); }, parent)
{
    setObjectName(QStringLiteral("InExcelRdFm"));
}
