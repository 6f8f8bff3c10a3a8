// The edit screen of one stored item: the fields of its form, "保存" writing what the
// operator changed, "取消" closing without writing. Books and periodicals add their own
// behaviour of single fields.
#pragma once

#include "CatalogueItems.h"
#include "ItemEditForm.h"

#include <QWidget>
#include <optional>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

class ItemEditScreen : public QWidget
{
    Q_OBJECT
public:
    ItemEditScreen(const CatalogueTable& table, const QString& number,
                   const QList<EditField>& fields, QWidget* parent);

    ItemEditForm* form() const { return form_; }
    const std::optional<QVariantMap>& loaded() const { return loaded_; }
    // The item's 编号 as last stored (a save may have renumbered it).
    const QString& number() const { return number_; }
    // Reads the item again and shows it (pending changes dropped); false when it is gone.
    bool reload();
    // The item now has this 编号 (its pending changes were written elsewhere): read it.
    bool reloadAs(const QString& number);
    // "保存": true when written (or nothing to write).
    bool save();

signals:
    void saved();

protected:
    // Before the write: false stops the save (after showing why).
    virtual bool maySave() { return true; }
    virtual void afterSave() {}
    QVBoxLayout* layout() const { return layout_; }
    QHBoxLayout* buttons() const { return buttons_; }
    const CatalogueItems& rules() const { return rules_; }

    QPushButton* saveButton_;
    QPushButton* cancelButton_;

private:
    CatalogueItems rules_;
    QString number_;
    std::optional<QVariantMap> loaded_;
    ItemEditForm* form_;
    QVBoxLayout* layout_;
    QHBoxLayout* buttons_;
};
