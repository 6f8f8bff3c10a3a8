// The online ISBN lookup window, beside the book entry screen that opened it: it asks the
// catalogue for the barcode's record and writes what it finds into the entry screen.
#pragma once

#include "MyNetTm.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QTableWidget;
class TBkAddFm;

class TMyNetTmFm : public QWidget
{
    Q_OBJECT
public:
    // A window of its own, owned by entry (closing the entry screen closes it).
    explicit TMyNetTmFm(TBkAddFm* entry);

    CatalogueLookup& lookup() { return *lookup_; }

    void connectClick();
    void fetchClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setRunning(bool running);
    void connected(bool ok, const QString& message);
    void fetched(CatalogueLookup::Outcome outcome, const QString& isbn,
                 const CatalogueRecord& record);

    QPointer<TBkAddFm> entry_;
    CatalogueLookup* lookup_;
    QWidget* controls_;
    QLineEdit* barcodeEdit_;
    QPushButton* connectButton_;
    QPushButton* fetchButton_;
    QPushButton* exitButton_;
    QTableWidget* resultList_;
    bool lookupPending_ = false; // "获取数据" runs, its connection included
};
