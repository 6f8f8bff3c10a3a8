// The statistics screens: the three "借阅次数排行" charts, the category statistics
// (TSortSearchFM), the registrar statistics (TAdminLuRuStatFm), the income statistics
// (TShouRuCountFm) and the inventory check (TDataCheckFm). The statements are Statistics'.
#pragma once

#include "Statistics.h"
#include "widgets/ListScreen.h"

#include <QWidget>

class BarChart;
class QComboBox;
class QDateEdit;
class QLabel;

// The two date pickers ("从" … "到") of a range.
class DateRange : public QWidget
{
    Q_OBJECT
public:
    DateRange(const QString& fromCaption, const QDate& from, const QDate& to, QWidget* parent);
    QDateEdit* fromEdit() const { return from_; }
    QDateEdit* toEdit() const { return to_; }

private:
    QDateEdit* from_;
    QDateEdit* to_;
};

// A chart screen: the bar chart "借阅次数排行" over its statement, and "确定".
class ChartScreen : public QWidget
{
    Q_OBJECT
public:
    ChartScreen(ChartKind kind, const QString& caption, const char* objectName, QWidget* parent);
    BarChart* chart() const { return chart_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    ChartKind kind_;
    BarChart* chart_;
    bool shown_ = false;
};

class TBkChartFm : public ChartScreen
{
    Q_OBJECT
public:
    explicit TBkChartFm(QWidget* parent = nullptr);
};

class TQkChartFm : public ChartScreen
{
    Q_OBJECT
public:
    explicit TQkChartFm(QWidget* parent = nullptr);
};

class TRdChartFm : public ChartScreen
{
    Q_OBJECT
public:
    explicit TRdChartFm(QWidget* parent = nullptr);
};

// "分类统计": copies and their value per category of books or periodicals.
class TSortSearchFM : public ListScreen
{
    Q_OBJECT
public:
    explicit TSortSearchFM(QWidget* parent = nullptr);
    void countClick(); // "统计"
    QComboBox* tableBox() const { return tableBox_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* tableBox_;
    bool opened_ = false;
};

// "管理员录入量统计": the books each operator entered between two days.
class TAdminLuRuStatFm : public ListScreen
{
    Q_OBJECT
public:
    explicit TAdminLuRuStatFm(QWidget* parent = nullptr);
    void countClick();
    DateRange* range() const { return range_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    DateRange* range_;
};

// "资金统计": the 收入 ledger, every row or those between two days, with its sum.
class TShouRuCountFm : public ListScreen
{
    Q_OBJECT
public:
    explicit TShouRuCountFm(QWidget* parent = nullptr);
    void countClick();
    DateRange* range() const { return range_; }

private:
    DateRange* range_;
};

// "数据盘点": the totals of the library and the figures of a range.
class TDataCheckFm : public QWidget
{
    Q_OBJECT
public:
    explicit TDataCheckFm(QWidget* parent = nullptr);
    void queryClick(); // "查询": the range figures again
    void printClick(); // "打印": an image of the window on the default printer
    DateRange* range() const { return range_; }
    // The value shown after a caption ("图书总数:"), empty when none.
    QString figure(const QString& caption) const;

private:
    void showFigures(const QList<Figure>& figures, int first);
    DateRange* range_;
    QList<QLabel*> values_;
    QList<QLabel*> captions_;
};
