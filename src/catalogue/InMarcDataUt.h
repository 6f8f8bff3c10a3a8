// The MARC import screen ("MARC数据导入"): a supplier's or a union catalogue's MARC file is
// previewed record by record, marked where the library holds its ISBN or 编号, and the
// ticked records go into 图书 through MarcImport.
#pragma once

#include "MarcImport.h"

#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

class TInMarcDataFm : public QWidget
{
    Q_OBJECT
public:
    explicit TInMarcDataFm(QWidget* parent = nullptr);

    void chooseClick();
    void startClick();
    // Reads the file again with the options on the screen (each change of an option).
    void reload();
    const MarcImport* import() const { return import_.get(); }

    // The preview's columns after the tick box.
    static QStringList previewCaptions();

private:
    MarcImportOptions options() const;
    void fillPreview();

    QString fileName_;
    std::unique_ptr<MarcImport> import_;

    QComboBox* formatCombo_;
    QComboBox* encodingCombo_;
    QComboBox* numberingCombo_;
    QPushButton* chooseButton_;
    QPushButton* startButton_;
    QPushButton* exitButton_;
    QLabel* fileLabel_;
    QLabel* countLabel_;
    QTableWidget* previewTable_;
    QPlainTextEdit* failedList_;
};
