// The common frame of the desk's two pickers ("选择"): a name-or-initials field and a
// number field (Enter in either runs its search), a grid of the rows found, and the
// buttons "选择(&S)" and "返回(&R)". Subclasses supply the searches and the value handed
// back; choosing calls the callback with that value (the lending screen puts it into its
// field and runs its own check, which may show messages while the picker is still open),
// then closes the picker.
#pragma once

#include "BorrowPickers.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;
class RowsGrid;

class PickerDialog : public QDialog
{
    Q_OBJECT
public:
    using Choose = std::function<void(const QString& value)>;

    QLineEdit* nameEdit() const { return nameEdit_; }
    QLineEdit* numberEdit() const { return numberEdit_; }
    RowsGrid* grid() const { return grid_; }
    QPushButton* chooseButton() const { return chooseButton_; }
    QPushButton* backButton() const { return backButton_; }

protected:
    PickerDialog(const QString& nameCaption, const QString& numberCaption, Choose choose,
                 QWidget* parent);

    virtual PickerRows initialRows() = 0;
    virtual PickerRows rowsByName(const QString& text) = 0;
    virtual PickerRows rowsByNumber(const QString& text) = 0;
    virtual QString valueOf(const QStringList& row) const = 0;

    void showEvent(QShowEvent* event) override;

private:
    void search(const std::function<PickerRows()>& run);
    void choose();

    Choose choose_;
    QLineEdit* nameEdit_;
    QLineEdit* numberEdit_;
    RowsGrid* grid_;
    QPushButton* chooseButton_;
    QPushButton* backButton_;
};
