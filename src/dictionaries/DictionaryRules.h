// The rules of the lookup-table editors: reading a table, checking and writing a row,
// and the deletion rule. Rows are addressed by their name (the first column), which the
// other tables hold as text; two rows of one table never share a name.
#pragma once

#include "DictionaryTable.h"

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

class Database;
class QWidget;

class DictionaryRules
{
public:
    DictionaryRules(const Database& db, const DictionaryTable& table);

    const DictionaryTable& table() const { return table_; }
    // Every column of the table, in table order.
    QStringList columns() const;
    // The columns the grid shows, in the order shown.
    QStringList gridColumns() const;

    // The rows of the table in the database's order, each value as text in the order of
    // columns(): amounts without trailing zeros, NULL as empty text.
    QList<QStringList> rows() const;
    // The texts of the input fields for a row of rows().
    QStringList fieldTexts(const QStringList& row) const;

    // Whether the name field stays locked while the row with this name is edited.
    bool nameLocked(const QString& name) const;

    // The question asked before the row whose first column holds firstColumnText is deleted.
    static QString deleteQuestion(const QString& firstColumnText);
    // The deletion rule, the question and the delete of the row with this name. Messages go
    // through the Messenger; true when the row was deleted.
    bool remove(const QString& name, QWidget* parent = nullptr) const;

    // Why the field texts (in field order) cannot be saved, or empty text when they can.
    // originalName is the name of the row being changed; empty when adding.
    QString refusal(const QStringList& fieldTexts, const QString& originalName = {}) const;
    // Write a new row, or change the row named originalName. Refusals and database errors
    // are shown through the Messenger; true when written.
    bool add(const QStringList& fieldTexts, QWidget* parent = nullptr) const;
    bool change(const QString& originalName, const QStringList& fieldTexts,
                QWidget* parent = nullptr) const;

private:
    // Runs step in one transaction; step returns why it refused (empty when it wrote).
    // A refusal or a database error is shown; true when written.
    bool write(QWidget* parent, const std::function<QString()>& step) const;
    QVariantList boundValues(const QStringList& fieldTexts) const;
    bool nameTaken(const QString& name) const;
    bool exists(const QString& name) const;

    const Database& db_;
    const DictionaryTable& table_;
};
