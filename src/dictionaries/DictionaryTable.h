// What distinguishes one lookup-table editor from another: the table, the caption, the
// input fields, the grid columns and the protected row. One editor (TDictionaryFm) and one
// rules class (DictionaryRules) serve all ten tables from these descriptions.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct DictionaryField
{
    enum Kind
    {
        Text,    // free text; the first field is the row's name and must be filled
        Integer, // a whole number not below 0
        Amount,  // a Money amount not below 0
    };
    QString column;
    QString label; // empty: the field has no label and is named by its column
    Kind kind = Text;
    QString hint;       // shown beside the field
    QString objectName; // of the input, for tests and accessibility tools
};

struct DictionaryTable
{
    QString screenName; // object name of the screen, e.g. "TBkKindFm"
    QString caption;    // window caption
    QString table;
    QList<DictionaryField> fields; // the first one is the name field
    QStringList gridColumns;       // empty: every column of the table in table order
    bool sortableGrid = false;     // clicking a column header sorts by it
    // The leading fields whose texts no two saved rows share: the name, and for
    // publishers the name with the ISBN prefix (one publisher may own several prefixes).
    int distinctFields = 1;

    // The row that must stay: its name; empty for none.
    QString protectedName;
    QString protectedDeleteMessage; // shown when it is to be deleted
    QString protectedRenameMessage; // shown when it is to be given another name
    // Tables without a protected row keep at least one row.
    bool keepsLastRow() const { return protectedName.isEmpty(); }
    // "修改" puts the cursor into the name field.
    bool focusNameOnEdit = true;

    const DictionaryField& nameField() const { return fields.first(); }
    QString nameColumn() const { return fields.first().column; }
};

// The ten tables, one function per editor.
namespace Dictionaries {
const DictionaryTable& BkKindUt();      // 分类
const DictionaryTable& Bk2KindUt();     // 二级分类
const DictionaryTable& PubUt();         // 出版社名
const DictionaryTable& DepartMentUt();  // 单位名称
const DictionaryTable& PlaceUt();       // 存放位置
const DictionaryTable& PaperUt();       // 证件名
const DictionaryTable& SecretLevelUt(); // 密级
const DictionaryTable& RdKindUt();      // 读者类别
const DictionaryTable& MoneyKindUt();   // 币种
const DictionaryTable& RentLevelUt();   // 物品级别
QList<const DictionaryTable*> all();
} // namespace Dictionaries

// Texts the editors show.
namespace DictionaryText {
inline const QString FillIn = QStringLiteral("请填写完整！");
inline const QString KeepOne = QStringLiteral("至少留有一个！！");
inline const QString ReaderCategoryKept = QStringLiteral("(普通)不能删除！");
inline const QString ReaderCategoryNameKept = QStringLiteral("(普通)不能改名！");
inline const QString ItemLevelKept = QStringLiteral("\"普通\"类型必须保留!");
inline const QString DeleteQuestionStart = QStringLiteral("您是否要删除");
} // namespace DictionaryText
