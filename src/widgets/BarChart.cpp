#include "BarChart.h"

#include "data/Database.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHash>
#include <QSet>
#include <QSqlRecord>
#include <QVBoxLayout>
#include <QValueAxis>

BarChart::BarChart(QWidget* parent)
    : QWidget(parent), chart_(new QChart), view_(new QChartView(chart_, this))
{
    view_->setObjectName(QStringLiteral("chartView"));
    view_->setRenderHint(QPainter::Antialiasing);
    chart_->legend()->hide();
    chart_->setAnimationOptions(QChart::NoAnimation);
    QFont titleFont = chart_->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    chart_->setTitleFont(titleFont);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    rebuild();
}

void BarChart::setTitle(const QString& title)
{
    chart_->setTitle(title);
}

QString BarChart::title() const
{
    return chart_->title();
}

void BarChart::setBars(const QList<QPair<QString, double>>& bars)
{
    labels_.clear();
    values_.clear();
    for (const auto& b : bars) {
        labels_ << b.first;
        values_ << b.second;
    }
    rebuild();
}

void BarChart::setQuery(const Database& db, const QString& sql, const QVariantList& values,
                        const QString& labelField, const QString& valueField)
{
    QSqlQuery q = db.query(sql, values);
    const QSqlRecord rec = q.record();
    const int label = rec.indexOf(labelField);
    const int value = rec.indexOf(valueField);
    if (label < 0 || value < 0)
        throw DbError(
            QStringLiteral("Field '%1' not found").arg(label < 0 ? labelField : valueField));
    QList<QPair<QString, double>> bars;
    while (q.next())
        bars.append({q.value(label).toString(), q.value(value).toDouble()});
    setBars(bars);
}

void BarChart::rebuild()
{
    chart_->removeAllSeries();
    for (QAbstractAxis* axis : chart_->axes())
        chart_->removeAxis(axis), delete axis;
    // Labels of one bar set must be distinct categories: equal titles (two books of one
    // name) would merge, so a repeated label gets invisible trailing spaces.
    // Each label remembers how many spaces its next repeat starts with, so that twelve
    // thousand readers are labelled in linear time.
    QStringList categories;
    QSet<QString> used;
    QHash<QString, qsizetype> nextSpaces;
    for (const QString& l : labels_) {
        qsizetype& spaces = nextSpaces[l];
        QString c = l + QString(spaces, QLatin1Char(' '));
        while (used.contains(c))
            c += QLatin1Char(' ');
        spaces = c.size() - l.size() + 1;
        used.insert(c);
        categories << c;
    }
    auto* set = new QBarSet(chart_->title());
    for (double v : values_)
        *set << v;
    set->setLabelColor(Qt::black);
    auto* series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    chart_->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    x->setLabelsAngle(categories.size() > 6 ? -45 : 0);
    chart_->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto* y = new QValueAxis;
    double top = 0;
    for (double v : values_)
        top = qMax(top, v);
    y->setRange(0, top > 0 ? top * 1.1 : 1);
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%g"));
    chart_->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
}
