// The periodical entry screen: one save adds one issue to 期刊; Enter on a barcode that is
// stored already copies the periodical's data from its earliest issue.
#pragma once

#include "CatalogueItems.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;

class TQkAddFm : public QWidget
{
    Q_OBJECT
public:
    explicit TQkAddFm(QWidget* parent = nullptr);

    void InitialData();
    IssueRecord record() const;
    void save();
    void copyEarlierIssue();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setRecord(const IssueRecord& r);

    CatalogueItems rules_;
    QLineEdit* numberEdit_;
    QLineEdit* titleEdit_;
    QLineEdit* barcodeEdit_;
    QComboBox* publisherCombo_;
    QComboBox* levelCombo_;
    QComboBox* placeCombo_;
    QComboBox* categoryCombo_;
    QComboBox* secondCategoryCombo_;
    QLineEdit* issnEdit_;
    QLineEdit* cnEdit_;
    QLineEdit* postCodeEdit_;
    QLineEdit* issueEdit_;
    QLineEdit* totalIssueEdit_;
    QDateEdit* publishDateEdit_;
    QLineEdit* priceEdit_;
    QPlainTextEdit* summaryEdit_;
    QLineEdit* quantityEdit_;
    QLineEdit* pinyinEdit_;
    QComboBox* statusCombo_;
    QCheckBox* clearAfterSaveCheck_;
};
