// A bar chart with a title: one labelled bar per row, in the order of the rows.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QWidget>

class Database;
class QChart;
class QChartView;
class QBarSet;

class BarChart : public QWidget
{
    Q_OBJECT
public:
    explicit BarChart(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    QString title() const;
    // The bars, in this order.
    void setBars(const QList<QPair<QString, double>>& bars);
    // One bar per row of the statement: its label column and value column (a NULL value
    // is a bar of 0). Throws DbError with the database's text.
    void setQuery(const Database& db, const QString& sql, const QVariantList& values,
                  const QString& labelField, const QString& valueField);

    QStringList labels() const { return labels_; }
    QList<double> values() const { return values_; }
    QChart* chart() const { return chart_; }

private:
    void rebuild();
    QChart* chart_;
    QChartView* view_;
    QStringList labels_;
    QList<double> values_;
};
