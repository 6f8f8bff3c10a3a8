// The library settings screen "系统设置": the library's name and contact data, the fees and
// fines, the returning and lending focus, the rule switches, the reader-card text and the
// web notice on two pages, and the duplicate-barcode hint of de.ini; "保存" and "取消".
// The checks and the SQL are SysInfoSetRules'.
#pragma once

#include "SysInfoSetRules.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

class TSysInfoSetFm : public QWidget
{
    Q_OBJECT
public:
    explicit TSysInfoSetFm(QWidget* parent = nullptr);

    // Inputs by caption ("图书馆名", "超期日罚金", ...), tick boxes by caption, the focus
    // choices by group and caption (tests).
    QLineEdit* edit(const QString& caption) const;
    QCheckBox* tick(const QString& caption) const;
    QRadioButton* returnFocus(const QString& caption) const;
    QRadioButton* lendFocus(const QString& caption) const;
    QPlainTextEdit* cardTextEdit() const { return cardText_; }
    QPlainTextEdit* webNoticeEdit() const { return webNotice_; }
    QPlainTextEdit* noticeTextEdit() const { return noticeText_; }
    QTabWidget* pages() const { return pages_; }
    QCheckBox* barcodeHintCheck() const { return bcCc_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    // The inputs as they stand.
    SysInfoSetRules::Form form() const;

    void saveClick();

private:
    void load();
    void showForm(const SysInfoSetRules::Form& form);

    SysInfoSetRules rules_;
    QLineEdit* name_;
    QLineEdit* address_;
    QLineEdit* phone_;
    QLineEdit* head_;
    QLineEdit* fine_;
    QLineEdit* deposit_;
    QLineEdit* fee_;
    QRadioButton* returnBook_;
    QRadioButton* returnReader_;
    QRadioButton* returnBarcode_;
    QRadioButton* lendNumber_;
    QRadioButton* lendBarcode_;
    QCheckBox* printList_;
    QCheckBox* limit_;
    QCheckBox* fineOn_;
    QCheckBox* readerRent_;
    QCheckBox* validity_;
    QCheckBox* rentOn_;
    QCheckBox* faculty_;
    QCheckBox* classes_;
    QCheckBox* reservations_;
    QTabWidget* pages_;
    QPlainTextEdit* cardText_;
    QPlainTextEdit* webNotice_;
    QPlainTextEdit* noticeText_;
    QCheckBox* bcCc_;
    QPushButton* saveButton_;
    QPushButton* cancelButton_;
};
