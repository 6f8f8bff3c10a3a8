// The book entry screen: one save adds one title to 图书.
#pragma once

#include "BookEntry.h"
#include "marc/MarcMapping.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TBkAddFm : public QWidget
{
    Q_OBJECT
public:
    explicit TBkAddFm(QWidget* parent = nullptr);

    // Resets the fields to the values of a new entry; 图书编号 and 出版时间 stay.
    void InitialData();
    // Fills 出版社 and ISBN from the publisher whose ISBN prefix the barcode carries.
    void BarCodeFindPub();

    // The fields as typed, for the rules and the label.
    BookRecord record() const;

    // "ok": opens the online lookup window beside this screen, or brings it forward.
    void openOnlineLookup();
    // What the online lookup found; the title recomputes the pinyin initials.
    void setFromLookup(const QString& title, const QString& classNumber, const QString& author,
                       const QString& publisher, const QString& barcode, const QString& summary);
    // "联机编目": opens copy cataloguing beside this screen, or brings it forward.
    void openCopyCatalogue();
    // What copy cataloguing found: the fields the record gives, the others kept.
    void setFromCopy(const MarcColumns& found);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadLists();
    void setRecord(const BookRecord& r);
    void barcodeEntered();
    void classNumberEntered();
    void sourceChanged();
    void chooseDocument();
    void confirmNumbering();
    void save();
    void showLabel();

    BookEntry rules_;
    AutoNumbering numbering_;

    QLineEdit* bookNumberEdit_;
    QLineEdit* titleEdit_;
    QLineEdit* barcodeEdit_;
    QPushButton* onlineLookupButton_;
    QPointer<QWidget> onlineLookup_;
    QPushButton* copyCatalogueButton_;
    QPointer<QWidget> copyCatalogue_;
    QComboBox* publisherCombo_;
    QComboBox* categoryCombo_;
    QComboBox* secondCategoryCombo_;
    QComboBox* placeCombo_;
    QLineEdit* quantityEdit_;
    QLineEdit* authorEdit_;
    QLineEdit* translatorEdit_;
    QLineEdit* priceEdit_;
    QComboBox* currencyCombo_;
    QLineEdit* classNumberEdit_;
    QLineEdit* callNumberEdit_;
    QLineEdit* isbnEdit_;
    QDateEdit* publishDateEdit_;
    QComboBox* secrecyCombo_;
    QComboBox* attachmentCombo_;
    QLineEdit* editionEdit_;
    QLineEdit* documentEdit_;
    QLineEdit* pinyinEdit_;
    QComboBox* itemLevelCombo_;
    QPlainTextEdit* summaryEdit_;
    QLineEdit* pagesEdit_;
    QComboBox* statusCombo_;
    QComboBox* sourceCombo_;
    QLabel* donorLabel_;
    QLineEdit* donorEdit_;
    QLineEdit* zchEdit_;

    QPushButton* saveButton_;
    QPushButton* closeButton_;
    QCheckBox* clearAfterSaveCheck_;
    QCheckBox* printLabelCheck_;
    QCheckBox* autoNumberCheck_;
    QGroupBox* autoNumberGroup_;
    QLineEdit* prefixEdit_;
    QLineEdit* startValueEdit_;
    QPushButton* confirmNumberButton_;
};
