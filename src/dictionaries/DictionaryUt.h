// The lookup-table editor: a toolbar (添加, 修改, 保存, 取消, 删除, 退出), a read-only grid
// over the whole table and the input fields of the editable columns. What it edits comes
// from a DictionaryTable; the checks and the SQL are DictionaryRules'.
#pragma once

#include "DictionaryRules.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QTableWidget;

class TDictionaryFm : public QWidget
{
    Q_OBJECT
public:
    enum class Mode
    {
        Browsing,
        Adding,
        Editing,
    };

    TDictionaryFm(const DictionaryTable& table, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    QTableWidget* grid() const { return grid_; }
    QLineEdit* field(int i) const { return fields_.value(i); }

    void addClick();
    void editClick();
    void saveClick();
    void cancelClick();
    void deleteClick();

private:
    void reload();
    void fillGrid(const QString& selectName);
    // The row of rows_ shown in the grid's current row; -1 when none.
    int currentRow() const;
    void showCurrentRow();
    void setMode(Mode mode);
    QStringList fieldTexts() const;

    DictionaryRules rules_;
    Mode mode_ = Mode::Browsing;
    QList<DictionaryRow> rows_;
    DictionaryRow original_; // the row being edited, as read

    QTableWidget* grid_;
    QList<QLineEdit*> fields_;
    QPushButton* addButton_;
    QPushButton* editButton_;
    QPushButton* saveButton_;
    QPushButton* cancelButton_;
    QPushButton* deleteButton_;
    QPushButton* exitButton_;
};

// The ten editors under their own names.
#define TUSHU_DICTIONARY_FORM(Form, Unit)                                                          \
    class Form : public TDictionaryFm                                                              \
    {                                                                                              \
    public:                                                                                        \
        explicit Form(QWidget* parent = nullptr) : TDictionaryFm(Dictionaries::Unit(), parent) {}  \
    };
TUSHU_DICTIONARY_FORM(TBkKindFm, BkKindUt)
TUSHU_DICTIONARY_FORM(TBk2KindFm, Bk2KindUt)
TUSHU_DICTIONARY_FORM(TPubFm, PubUt)
TUSHU_DICTIONARY_FORM(TDepartMentFm, DepartMentUt)
TUSHU_DICTIONARY_FORM(TPlaceFm, PlaceUt)
TUSHU_DICTIONARY_FORM(TPaperFm, PaperUt)
TUSHU_DICTIONARY_FORM(TSecretLevelFm, SecretLevelUt)
TUSHU_DICTIONARY_FORM(TRdKindFm, RdKindUt)
TUSHU_DICTIONARY_FORM(TMoneyKindFm, MoneyKindUt)
TUSHU_DICTIONARY_FORM(TRentLevelFm, RentLevelUt)
#undef TUSHU_DICTIONARY_FORM
