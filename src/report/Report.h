// The banded report engine: lists, barcode sheets, labels and library cards.
//
// A Report is a template built in code beside the screen that owns it: a page, and bands
// (report title, page header, data, page footer, summary) holding objects placed in
// millimetres: fixed captions, value objects (Memo1, Memo2, ...) whose text may name fields
// of the current row as "[名称]", Code 39 barcodes, the print date and time, the page
// number, per-column sums and lines or frames.
//
// prepare() lays the bands out over the rows of a ReportRows (the data band once per row,
// across then down for labels), breaks pages where a band no longer fits (the page header
// and footer repeat on each page), calls the screen back once before each object is
// printed, and gives a PreparedReport: fixed pages that can be painted on a printer, a PDF
// file or images, or shown in the preview (ReportPreview.h).
//
//   Report r = Report::list(QStringLiteral("图书列表"),
//                           {{"编号", "图书编号", 25}, {"名称", "书名", 60}, {"数量", "数量",
//                           15}});
//   r.addSummarySum(QStringLiteral(" 数量合计: "), QStringLiteral("数量"));
//   PreparedReport p = r.prepare(ReportRows::fromQuery(query));
//   previewReport(this, p);
#pragma once

#include "FieldFormat.h"

#include <QFont>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <deque>
#include <functional>
#include <memory>

class QPainter;
class QPagedPaintDevice;
class QImage;

// The rows a report prints: named fields and their values. The data band prints once per
// row; a single label or card is one row (possibly with no fields at all).
//
// Rows are held in memory, or streamed: a statement run again for each pass over the rows
// (counting them is asked before), read forward one row at a time, so that printing two
// million rows holds one of them. Streamed rows give the first row (what title and header
// bands read) and the current one; a row already passed reads as empty.
class ReportRows
{
public:
    ReportRows() = default;
    ReportRows(QStringList fields, QList<QVariantList> rows);
    static ReportRows streamed(QStringList fields, int count, std::function<QSqlQuery()> open);
    bool isStreamed() const { return bool(open_); }
    // Streamed rows: starts a new pass (runs the statement again). Throws what open throws.
    void rewind() const;
    // Reads every remaining row of a query that has been run.
    static ReportRows fromQuery(QSqlQuery& query);
    static ReportRows fromQuery(QSqlQuery&& query);
    // Exactly one row, for a label or a card; the values are optional.
    static ReportRows single(const QVariantMap& values = {});

    void append(const QVariantList& row) { rows_.append(row); }
    const QStringList& fields() const { return fields_; }
    int count() const { return open_ ? streamCount_ : int(rows_.size()); }
    int fieldIndex(const QString& field) const; // case ignored; -1 when missing
    QVariant value(int row, const QString& field) const;

private:
    const QVariantList* rowAt(int row) const;
    struct Cursor
    {
        std::unique_ptr<QSqlQuery> query;
        int row = -1;
        int columns = 0;
        QVariantList current, first;
    };
    QStringList fields_;
    QList<QVariantList> rows_;
    std::function<QSqlQuery()> open_;
    int streamCount_ = 0;
    std::shared_ptr<Cursor> cursor_;
};

enum class ReportObjectKind
{
    Text,    // caption or value object; its text may hold [field] and [Date] etc.
    Barcode, // Code 39 without check character, text printed under the bars
    Sum,     // sum of a field over all rows (summary band)
    Line,
    Frame,
};

// What the screen sees and may change just before an object is printed.
struct ReportObjectState
{
    QString name;
    ReportObjectKind kind = ReportObjectKind::Text;
    QString text;        // the text (or barcode content) about to print; set it to change
    bool visible = true; // clear to leave the object out
    int row = -1;        // the current row of the data band, -1 in other bands
    const ReportRows* rows = nullptr;

    bool is(const QString& objectName) const;   // name compare without regard to case
    QVariant value(const QString& field) const; // field of the current row (invalid if none)
};

// Called once before each object instance is printed; objectName as in the template.
using ReportCallback = std::function<void(const QString& objectName, ReportObjectState& state)>;

class ReportObject
{
public:
    ReportObject(ReportObjectKind kind, QString name, QRectF mm, QString text);

    // Fluent settings.
    ReportObject& fontSize(double points);
    ReportObject& bold(bool on = true);
    ReportObject& align(Qt::Alignment alignment);
    ReportObject& frame(bool on = true);     // a thin frame around a text object
    ReportObject& wrap(bool on = true);      // word wrap inside the rectangle
    ReportObject& kind(FieldKind fieldKind); // how [field] values or sums are formatted

    ReportObjectKind objectKind() const { return kind_; }
    const QString& name() const { return name_; }
    const QRectF& rect() const { return rect_; } // mm inside the band
    const QString& text() const { return text_; }
    const QString& sumField() const { return text_; } // a Sum's field
    double pointSize() const { return pointSize_; }
    bool isBold() const { return bold_; }
    Qt::Alignment alignment() const { return alignment_; }
    bool hasFrame() const { return frame_; }
    bool wraps() const { return wrap_; }
    FieldKind fieldKind() const { return fieldKind_; }

private:
    ReportObjectKind kind_;
    QString name_;
    QRectF rect_;
    QString text_;
    double pointSize_ = 10;
    bool bold_ = false;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
    bool frame_ = false;
    bool wrap_ = false;
    FieldKind fieldKind_ = FieldKind::Auto;
};

enum class BandKind
{
    ReportTitle, // once, at the top of the first page
    PageHeader,  // at the top of every page (below the title on the first)
    Data,        // once per row
    PageFooter,  // at the bottom of every page
    Summary,     // once, after the last row
};

class ReportBand
{
public:
    ReportBand(BandKind kind, double heightMm);

    // A fixed caption.
    ReportObject& caption(double x, double y, double w, double h, const QString& text,
                          const QString& name = {});
    // A value object; its text may name fields ("[名称]", "姓名: [读者姓名]") or be set by the
    // screen through Report::setValue or the callback.
    ReportObject& memo(const QString& name, double x, double y, double w, double h,
                       const QString& text = {});
    // A Code 39 barcode; text as for memo ("[条形码]").
    ReportObject& barcode(const QString& name, double x, double y, double w, double h,
                          const QString& text = {});
    // "打印时间:yyyy-MM-dd hh:mm:ss" (prefix and format as given; [Date] and [Time] work in
    // any text object too).
    ReportObject& printDateTime(double x, double y, double w, double h,
                                const QString& prefix = QStringLiteral("打印时间:"));
    // "第 n 页 共 m 页" ([Page#] and [TotalPages#] work in any text object too).
    ReportObject& pageNumber(double x, double y, double w, double h);
    // The sum of a field over all rows, formatted by the field's kind (money exactly).
    ReportObject& sum(const QString& name, double x, double y, double w, double h,
                      const QString& field);
    ReportObject& line(double x1, double y1, double x2, double y2);
    ReportObject& frame(double x, double y, double w, double h);

    // Data band only: labels laid out several per page, `across` per row of labels, each
    // columnPitchMm wide (the band's height is the pitch down).
    ReportBand& columns(int across, double columnPitchMm);
    ReportBand& setHeight(double heightMm);

    BandKind kind() const { return kind_; }
    double height() const { return height_; }
    int across() const { return across_; }
    double columnPitch() const { return columnPitch_; }
    const std::deque<ReportObject>& objects() const { return objects_; }

private:
    ReportObject& add(ReportObjectKind kind, const QString& name, double x, double y, double w,
                      double h, const QString& text);
    BandKind kind_;
    double height_;
    int across_ = 1;
    double columnPitch_ = 0;
    std::deque<ReportObject> objects_;
};

// One column of a list report.
struct ReportColumn
{
    QString field;
    QString title;
    double widthMm = 25;
    FieldKind kind = FieldKind::Auto;
};

class PreparedReport;

class Report
{
public:
    Report();

    // Page size, orientation and margins (mm). A4 portrait with 10 mm margins by default.
    Report& setPage(QPageSize::PageSizeId size,
                    QPageLayout::Orientation orientation = QPageLayout::Portrait,
                    const QMarginsF& marginsMm = QMarginsF(10, 10, 10, 10));
    Report& setPage(const QSizeF& sizeMm, const QMarginsF& marginsMm);
    // The document name (PDF title, print job name, preview caption).
    Report& setTitle(const QString& title);
    // The font family of every text object (WenQuanYi Micro Hei by default).
    Report& setFontFamily(const QString& family);

    // The band of that kind, created with the height when missing (the height is then
    // updated). One band per kind.
    ReportBand& band(BandKind kind, double heightMm);
    ReportBand* findBand(BandKind kind);
    const ReportBand* findBand(BandKind kind) const;

    // The first object of that name in any band (case ignored), or nullptr.
    const ReportObject* findObject(const QString& name) const;

    // A text set by the screen for a named object (case ignored); it replaces the object's
    // template text everywhere it prints. The callback still sees it and may change it.
    Report& setValue(const QString& objectName, const QString& text);

    // A list: the title band with the title, a page header with the column titles (framed),
    // a data band with one value object per column (Memo1, Memo2, ... in column order,
    // reading the column's field), and a page footer with the print date and time and the
    // page number. Summary lines are added with addSummarySum / addSummaryText.
    static Report list(const QString& title, const QList<ReportColumn>& columns,
                       QPageLayout::Orientation orientation = QPageLayout::Portrait);
    // Adds to the summary band (grown by one line each call) "label" followed by the sum of
    // field; several on one line when sameLine is true. Returns the sum object.
    ReportObject& addSummarySum(const QString& label, const QString& field, bool sameLine = false);
    ReportObject& addSummaryText(const QString& text);

    // Lays the report out over the rows and calls back before each object prints.
    PreparedReport prepare(const ReportRows& rows, const ReportCallback& callback = {}) const;
    // The number of pages over that many rows (bands have fixed heights).
    int pageCount(const ReportRows& rows) const;
    // Lays out and prints page by page, keeping no page once painted: memory stays flat in
    // the number of rows (streamed rows are read as their pages print). As PreparedReport's.
    bool print(const ReportRows& rows, QPagedPaintDevice* device,
               const ReportCallback& callback = {}, bool applyLayout = true) const;
    bool exportPdf(const ReportRows& rows, const QString& path, QString* error = nullptr,
                   const ReportCallback& callback = {}) const;

    const QString& title() const { return title_; }
    const QString& fontFamily() const { return fontFamily_; }
    // The page with no margins (objects are placed from the paper's corner).
    QPageLayout pageLayout() const;
    QSizeF pageSizeMm() const; // as oriented
    const QMarginsF& marginsMm() const { return marginsMm_; }

private:
    QString title_;
    QString fontFamily_;
    QPageSize pageSize_;
    QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
    QMarginsF marginsMm_;
    std::deque<ReportBand> bands_;
    QList<QPair<QString, QString>> values_; // object name (lower case) -> text
    double summaryLineX_ = 0;               // where the next same-line summary sum starts
    friend class ReportLayout;
};

// One object instance as it prints on a page: position in mm from the page's top left.
struct PreparedItem
{
    ReportObjectKind kind = ReportObjectKind::Text;
    QString name;
    QRectF rect; // mm on the page; for a line, from top left to bottom right
    QString text;
    double pointSize = 10;
    bool bold = false;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool frame = false;
    bool wrap = false;
    int row = -1;
};

// A report laid out over its rows: fixed pages.
class PreparedReport
{
public:
    PreparedReport() = default;
    int pageCount() const { return int(pages_.size()); }
    const QList<PreparedItem>& page(int index) const { return pages_.at(index); }
    const QString& title() const { return title_; }
    QPageLayout pageLayout() const { return layout_; }

    // The texts printed by objects of that name (case ignored), in print order: a quick way
    // for tests to see what a screen put into its report.
    QStringList textsOf(const QString& objectName) const;

    // Paints one page on a painter whose device has the page's size (logical dpi used).
    void paintPage(QPainter& painter, int index) const;
    // Prints every page (a QPrinter, a QPdfWriter). The report's page layout is set on the
    // device first unless applyLayout is false (a preview whose page the operator set up).
    bool print(QPagedPaintDevice* device, bool applyLayout = true) const;
    // Writes a PDF file; false with *error filled on failure.
    bool exportPdf(const QString& path, QString* error = nullptr) const;
    // One page as an image at the given resolution (white background).
    QImage pageImage(int index, int dpi = 150) const;

private:
    friend class Report;
    QString title_;
    QString fontFamily_;
    QPageLayout layout_;
    QList<QList<PreparedItem>> pages_;
};
