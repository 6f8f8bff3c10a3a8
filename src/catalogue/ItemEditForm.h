// The fields of an item's edit screen built from a list of field descriptions: a caption
// and a control bound to one column each, the drop-downs filled from their dictionary
// tables. The form shows a stored row and hands back what the fields hold, column by column.
#pragma once

#include <QHash>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>
#include <functional>

class QGridLayout;
class QLabel;

struct EditField
{
    enum Kind
    {
        Text,
        List,     // editable drop-down
        ReadOnly, // shown, not typed into
        Disabled, // written only by the screen (拼音)
        Date,     // date editor; may be empty
        Memo,     // multi-line text
    };
    QString caption;
    QString column;
    Kind kind = Text;
    QString listTable; // List: the dictionary table and column of its items
    QString listColumn;
    QStringList fixedItems; // List: items not read from a table
    QString objectName;
    QString allowedChars; // a pattern of the characters that may be typed, empty: any

    // A field of the given kind (typed characters limited by chars when not empty).
    static EditField of(const char* caption, const char* column, Kind kind, const char* objectName,
                        const char* chars = "")
    {
        return {QString::fromUtf8(caption),      QString::fromUtf8(column), kind, {}, {}, {},
                QString::fromLatin1(objectName), QString::fromLatin1(chars)};
    }
    // A drop-down over a dictionary table's column.
    static EditField listOf(const char* caption, const char* column, const char* table,
                            const char* tableColumn, const char* objectName)
    {
        return {QString::fromUtf8(caption),
                QString::fromUtf8(column),
                List,
                QString::fromUtf8(table),
                QString::fromUtf8(tableColumn),
                {},
                QString::fromLatin1(objectName),
                {}};
    }
    // A drop-down of fixed items.
    static EditField fixedList(const char* caption, const char* column, QStringList items,
                               const char* objectName)
    {
        return {QString::fromUtf8(caption), QString::fromUtf8(column),       List, {}, {},
                std::move(items),           QString::fromLatin1(objectName), {}};
    }
};

class ItemEditForm : public QWidget
{
    Q_OBJECT
public:
    ItemEditForm(const QList<EditField>& fields, int perRow, QWidget* parent = nullptr);

    // Fills the drop-downs from their tables, in the order of the fields; throws DbError.
    void loadLists();
    // Shows a stored row; texts through shown(column, value).
    void show(const QVariantMap& row,
              const std::function<QString(const QString&, const QVariant&)>& shown);
    // Each column's field: its text, or a QDate (invalid when empty) for a date. A date or
    // memo the operator left as shown gives the stored value back, even where the editor
    // cannot show it exactly (CRLF line ends, a date at or before the blank 1900-01-01).
    QVariantMap values() const;
    QWidget* field(const QString& column) const { return fields_.value(column); }
    QLabel* label(const QString& column) const { return labels_.value(column); }
    QString text(const QString& column) const;
    void setText(const QString& column, const QString& text);

private:
    // What show() put into a field that cannot hold the stored value as it is.
    struct Shown
    {
        QVariant editor; // the editor's date or text right after show()
        QVariant stored; // the value handed back while the editor still holds that
    };

    QList<EditField> specs_;
    QHash<QString, Shown> shown_;
    QHash<QString, QWidget*> fields_;
    QHash<QString, QLabel*> labels_;
};
