#include "Report.h"

#include "Barcode.h"
#include "data/Clock.h"

#include <QFile>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSqlRecord>

namespace {
constexpr double kMmPerInch = 25.4;
constexpr double kMmPerPoint = kMmPerInch / 72.0;

QString lower(const QString& s)
{
    return s.toLower();
}
} // namespace

// ---- ReportRows ---------------------------------------------------------------------------

ReportRows::ReportRows(QStringList fields, QList<QVariantList> rows)
    : fields_(std::move(fields)), rows_(std::move(rows))
{
}

ReportRows ReportRows::fromQuery(QSqlQuery& query)
{
    ReportRows r;
    const QSqlRecord rec = query.record();
    for (int i = 0; i < rec.count(); ++i)
        r.fields_ << rec.fieldName(i);
    while (query.next()) {
        QVariantList row;
        row.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i)
            row << query.value(i);
        r.rows_ << row;
    }
    return r;
}

ReportRows ReportRows::streamed(QStringList fields, int count, std::function<QSqlQuery()> open)
{
    ReportRows r;
    r.fields_ = std::move(fields);
    r.streamCount_ = qMax(0, count);
    r.open_ = std::move(open);
    r.cursor_ = std::make_shared<Cursor>();
    return r;
}

void ReportRows::rewind() const
{
    if (!open_)
        return;
    cursor_->query.reset();
    cursor_->row = -1;
    cursor_->current.clear();
    cursor_->first.clear();
    cursor_->query = std::make_unique<QSqlQuery>(open_());
    cursor_->columns = cursor_->query->record().count();
}

const QVariantList* ReportRows::rowAt(int row) const
{
    if (!open_)
        return row >= 0 && row < rows_.size() ? &rows_.at(row) : nullptr;
    Cursor& c = *cursor_;
    if (!c.query)
        rewind();
    // Read forward to the row asked for; a statement that ends early leaves the rest empty.
    while (c.row < row && c.query->isActive()) {
        if (!c.query->next()) {
            c.query->finish();
            break;
        }
        c.current.resize(c.columns);
        for (int i = 0; i < c.columns; ++i)
            c.current[i] = c.query->value(i);
        if (++c.row == 0)
            c.first = c.current;
    }
    if (row == c.row)
        return &c.current;
    if (row == 0 && c.row > 0)
        return &c.first;
    return nullptr;
}

ReportRows ReportRows::fromQuery(QSqlQuery&& query)
{
    return fromQuery(query);
}

ReportRows ReportRows::single(const QVariantMap& values)
{
    ReportRows r;
    QVariantList row;
    for (auto it = values.begin(); it != values.end(); ++it) {
        r.fields_ << it.key();
        row << it.value();
    }
    r.rows_ << row;
    return r;
}

int ReportRows::fieldIndex(const QString& field) const
{
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant ReportRows::value(int row, const QString& field) const
{
    const int c = fieldIndex(field);
    if (row < 0 || row >= count() || c < 0)
        return {};
    const QVariantList* values = rowAt(row);
    return values && c < values->size() ? values->at(c) : QVariant();
}

// ---- ReportObjectState --------------------------------------------------------------------

bool ReportObjectState::is(const QString& objectName) const
{
    return name.compare(objectName, Qt::CaseInsensitive) == 0;
}

QVariant ReportObjectState::value(const QString& field) const
{
    return rows ? rows->value(row, field) : QVariant();
}

// ---- ReportObject -------------------------------------------------------------------------

ReportObject::ReportObject(ReportObjectKind kind, QString name, QRectF mm, QString text)
    : kind_(kind), name_(std::move(name)), rect_(mm), text_(std::move(text))
{
    if (kind_ == ReportObjectKind::Barcode)
        alignment_ = Qt::AlignHCenter | Qt::AlignBottom;
}

ReportObject& ReportObject::fontSize(double points)
{
    pointSize_ = points;
    return *this;
}

ReportObject& ReportObject::bold(bool on)
{
    bold_ = on;
    return *this;
}

ReportObject& ReportObject::align(Qt::Alignment alignment)
{
    alignment_ = alignment;
    return *this;
}

ReportObject& ReportObject::frame(bool on)
{
    frame_ = on;
    return *this;
}

ReportObject& ReportObject::wrap(bool on)
{
    wrap_ = on;
    return *this;
}

ReportObject& ReportObject::kind(FieldKind fieldKind)
{
    fieldKind_ = fieldKind;
    return *this;
}

// ---- ReportBand ---------------------------------------------------------------------------

ReportBand::ReportBand(BandKind kind, double heightMm) : kind_(kind), height_(heightMm) {}

ReportObject& ReportBand::add(ReportObjectKind kind, const QString& name, double x, double y,
                              double w, double h, const QString& text)
{
    objects_.emplace_back(kind, name, QRectF(x, y, w, h), text);
    return objects_.back();
}

ReportObject& ReportBand::caption(double x, double y, double w, double h, const QString& text,
                                  const QString& name)
{
    return add(ReportObjectKind::Text, name, x, y, w, h, text);
}

ReportObject& ReportBand::memo(const QString& name, double x, double y, double w, double h,
                               const QString& text)
{
    return add(ReportObjectKind::Text, name, x, y, w, h, text);
}

ReportObject& ReportBand::barcode(const QString& name, double x, double y, double w, double h,
                                  const QString& text)
{
    return add(ReportObjectKind::Barcode, name, x, y, w, h, text);
}

ReportObject& ReportBand::printDateTime(double x, double y, double w, double h,
                                        const QString& prefix)
{
    return add(ReportObjectKind::Text, QStringLiteral("PrintDate"), x, y, w, h,
               prefix + QStringLiteral("[Date] [Time]"));
}

ReportObject& ReportBand::pageNumber(double x, double y, double w, double h)
{
    return add(ReportObjectKind::Text, QStringLiteral("PageNumber"), x, y, w, h,
               QStringLiteral("第 [Page#] 页 共 [TotalPages#] 页"))
        .align(Qt::AlignRight | Qt::AlignVCenter);
}

ReportObject& ReportBand::sum(const QString& name, double x, double y, double w, double h,
                              const QString& field)
{
    return add(ReportObjectKind::Sum, name, x, y, w, h, field);
}

ReportObject& ReportBand::line(double x1, double y1, double x2, double y2)
{
    return add(ReportObjectKind::Line, {}, x1, y1, x2 - x1, y2 - y1, {});
}

ReportObject& ReportBand::frame(double x, double y, double w, double h)
{
    return add(ReportObjectKind::Frame, {}, x, y, w, h, {});
}

ReportBand& ReportBand::setHeight(double heightMm)
{
    height_ = heightMm;
    return *this;
}

ReportBand& ReportBand::columns(int across, double columnPitchMm)
{
    across_ = qMax(1, across);
    columnPitch_ = columnPitchMm;
    return *this;
}

// ---- Report -------------------------------------------------------------------------------

Report::Report() : fontFamily_(QStringLiteral("WenQuanYi Micro Hei"))
{
    setPage(QPageSize::A4);
}

Report& Report::setPage(QPageSize::PageSizeId size, QPageLayout::Orientation orientation,
                        const QMarginsF& marginsMm)
{
    pageSize_ = QPageSize(size);
    orientation_ = orientation;
    marginsMm_ = marginsMm;
    return *this;
}

Report& Report::setPage(const QSizeF& sizeMm, const QMarginsF& marginsMm)
{
    const bool landscape = sizeMm.width() > sizeMm.height();
    pageSize_ = QPageSize(landscape ? sizeMm.transposed() : sizeMm, QPageSize::Millimeter, {},
                          QPageSize::ExactMatch);
    orientation_ = landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    marginsMm_ = marginsMm;
    return *this;
}

QSizeF Report::pageSizeMm() const
{
    const QSizeF s = pageSize_.size(QPageSize::Millimeter);
    return orientation_ == QPageLayout::Landscape ? s.transposed() : s;
}

Report& Report::setTitle(const QString& title)
{
    title_ = title;
    return *this;
}

Report& Report::setFontFamily(const QString& family)
{
    fontFamily_ = family;
    return *this;
}

ReportBand& Report::band(BandKind kind, double heightMm)
{
    if (ReportBand* b = findBand(kind))
        return b->setHeight(heightMm);
    bands_.emplace_back(kind, heightMm);
    return bands_.back();
}

ReportBand* Report::findBand(BandKind kind)
{
    for (ReportBand& b : bands_)
        if (b.kind() == kind)
            return &b;
    return nullptr;
}

const ReportBand* Report::findBand(BandKind kind) const
{
    return const_cast<Report*>(this)->findBand(kind);
}

const ReportObject* Report::findObject(const QString& name) const
{
    for (const ReportBand& b : bands_)
        for (const ReportObject& o : b.objects())
            if (!o.name().isEmpty() && o.name().compare(name, Qt::CaseInsensitive) == 0)
                return &o;
    return nullptr;
}

Report& Report::setValue(const QString& objectName, const QString& text)
{
    const QString key = lower(objectName);
    for (auto& v : values_)
        if (v.first == key) {
            v.second = text;
            return *this;
        }
    values_.append({key, text});
    return *this;
}

QPageLayout Report::pageLayout() const
{
    QPageLayout layout(pageSize_, orientation_, QMarginsF(), QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

// ---- Lists --------------------------------------------------------------------------------

namespace {
constexpr double kLineMm = 7;

// The width a caption needs at the given size: CJK characters are square, others half.
double textWidthMm(const QString& text, double points)
{
    double ems = 0;
    for (const QChar c : text)
        ems += c.unicode() < 0x2E80 ? 0.55 : 1.0;
    return ems * points * kMmPerPoint + 1;
}
} // namespace

Report Report::list(const QString& title, const QList<ReportColumn>& columns,
                    QPageLayout::Orientation orientation)
{
    Report r;
    r.setTitle(title).setPage(QPageSize::A4, orientation);
    const double width = r.pageSizeMm().width() - r.marginsMm_.left() - r.marginsMm_.right();
    r.band(BandKind::ReportTitle, 14)
        .caption(0, 0, width, 11, title, QStringLiteral("Title"))
        .fontSize(16)
        .bold()
        .align(Qt::AlignCenter);
    ReportBand& header = r.band(BandKind::PageHeader, kLineMm);
    ReportBand& data = r.band(BandKind::Data, kLineMm);
    double x = 0;
    int n = 0;
    for (const ReportColumn& c : columns) {
        header.caption(x, 0, c.widthMm, kLineMm, c.title).bold().frame().align(Qt::AlignCenter);
        data.memo(QStringLiteral("Memo%1").arg(++n), x, 0, c.widthMm, kLineMm,
                  QLatin1Char('[') + c.field + QLatin1Char(']'))
            .frame()
            .kind(c.kind);
        x += c.widthMm;
    }
    ReportBand& footer = r.band(BandKind::PageFooter, 8);
    footer.printDateTime(0, 1, width / 2, 6).fontSize(9);
    footer.pageNumber(width / 2, 1, width / 2, 6).fontSize(9);
    return r;
}

ReportObject& Report::addSummaryText(const QString& text)
{
    ReportBand* summary = findBand(BandKind::Summary);
    const double y = summary ? summary->height() : 1;
    summary = &band(BandKind::Summary, y + kLineMm);
    summaryLineX_ = 0;
    const double width = pageSizeMm().width() - marginsMm_.left() - marginsMm_.right();
    return summary->caption(0, y, width, kLineMm, text);
}

ReportObject& Report::addSummarySum(const QString& label, const QString& field, bool sameLine)
{
    ReportBand* summary = findBand(BandKind::Summary);
    double y;
    if (sameLine && summary && !summary->objects().empty()) {
        y = summary->height() - kLineMm;
    } else {
        y = summary ? summary->height() : 1;
        summary = &band(BandKind::Summary, y + kLineMm);
        summaryLineX_ = 0;
    }
    const double labelWidth = textWidthMm(label, 10);
    summary->caption(summaryLineX_, y, labelWidth, kLineMm, label);
    const int n = int(summary->objects().size());
    ReportObject& sum = summary->sum(QStringLiteral("Sum%1").arg(n), summaryLineX_ + labelWidth, y,
                                     30, kLineMm, field);
    summaryLineX_ += labelWidth + 30;
    return sum;
}

// ---- Layout -------------------------------------------------------------------------------

namespace {
// A band placed on a page: where, and for which row.
struct Placement
{
    const ReportBand* band;
    int page;
    QPointF origin; // mm from the page's corner
    int row;
};
} // namespace

class ReportLayout
{
public:
    ReportLayout(const Report& report, const ReportRows& rows, const ReportCallback& callback)
        : report_(report), rows_(rows), callback_(callback)
    {
    }

    using PageSink = std::function<bool(int index, const QList<PreparedItem>& items)>;

    int pageCount()
    {
        place({});
        return pageCount_;
    }

    // Lays the pages out in order, handing each to sink once complete and keeping none; a
    // sink that returns false stops. The page count is known first ([TotalPages#]).
    bool run(const PageSink& sink)
    {
        place({});
        printedAt_ = Clock::now();
        rows_.rewind();
        sums_.clear();
        QList<PreparedItem> items;
        int current = 0;
        bool ok = true;
        place([&](const Placement& p) {
            if (!ok)
                return;
            if (p.page != current) {
                ok = sink(current, items);
                items.clear();
                current = p.page;
            }
            if (p.row >= 0)
                addToSums(p.row);
            emitBand(p, items);
        });
        return ok && sink(current, items);
    }

private:
    void place(const std::function<void(const Placement&)>& put)
    {
        const QSizeF page = report_.pageSizeMm();
        const QMarginsF& m = report_.marginsMm();
        const double left = m.left();
        const double top = m.top();
        const double bottom = page.height() - m.bottom();
        const ReportBand* title = report_.findBand(BandKind::ReportTitle);
        const ReportBand* header = report_.findBand(BandKind::PageHeader);
        const ReportBand* footer = report_.findBand(BandKind::PageFooter);
        const ReportBand* data = report_.findBand(BandKind::Data);
        const ReportBand* summary = report_.findBand(BandKind::Summary);
        const double limit = bottom - (footer ? footer->height() : 0);

        int page_ = 0;
        double y = top;
        auto startPage = [&](bool first) {
            y = top;
            if (first && title) {
                if (put)
                    put({title, page_, QPointF(left, y), -1});
                y += title->height();
            }
            if (header) {
                if (put)
                    put({header, page_, QPointF(left, y), -1});
                y += header->height();
            }
        };
        auto endPage = [&] {
            if (footer && put)
                put({footer, page_, QPointF(left, bottom - footer->height()), -1});
        };
        // A band that does not fit goes to a new page, unless the page holds nothing else
        // (a band taller than a page prints cut rather than looping).
        double pageBodyTop = top;
        auto ensureRoom = [&](double height) {
            if (y + height > limit + 1e-6 && y > pageBodyTop + 1e-6) {
                endPage();
                ++page_;
                startPage(false);
                pageBodyTop = y;
            }
        };
        startPage(true);
        pageBodyTop = y;
        if (data) {
            const int across = data->across();
            const double pitch = data->columnPitch();
            for (int row = 0; row < rows_.count(); ++row) {
                const int column = row % across;
                if (column == 0)
                    ensureRoom(data->height());
                if (put)
                    put({data, page_, QPointF(left + column * pitch, y), row});
                if (column == across - 1 || row == rows_.count() - 1)
                    y += data->height();
            }
        }
        if (summary) {
            ensureRoom(summary->height());
            if (put)
                put({summary, page_, QPointF(left, y), -1});
            y += summary->height();
        }
        endPage();
        pageCount_ = page_ + 1;
    }

    QString expand(const QString& text, int row, int page, FieldKind kind) const
    {
        static const QRegularExpression token(QStringLiteral("\\[([^\\[\\]]+)\\]"));
        QString out;
        qsizetype last = 0;
        auto it = token.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            out += text.mid(last, m.capturedStart() - last);
            last = m.capturedEnd();
            const QString name = m.captured(1).trimmed();
            const QString key = name.toLower();
            if (key == QStringLiteral("date"))
                out += printedAt_.toString(QStringLiteral("yyyy-MM-dd"));
            else if (key == QStringLiteral("time"))
                out += printedAt_.toString(QStringLiteral("hh:mm:ss"));
            else if (key == QStringLiteral("page#"))
                out += QString::number(page + 1);
            else if (key == QStringLiteral("totalpages#"))
                out += QString::number(pageCount_);
            else if (key == QStringLiteral("line#"))
                out += row >= 0 ? QString::number(row + 1) : QString();
            else {
                const QVariant v = rows_.value(row < 0 ? 0 : row, name);
                out += FieldFormat::text(v, FieldFormat::resolve(kind, name, v));
            }
        }
        out += text.mid(last);
        return out;
    }

    // Rows in memory are summed whole wherever a sum prints; streamed rows as they print,
    // so that a sum in the summary band, after the last row, holds them all.
    QString sumText(const ReportObject& o) const
    {
        if (rows_.isStreamed())
            return sums_.value(&o, FieldSum(o.fieldKind())).text();
        FieldSum sum(o.fieldKind());
        for (int r = 0; r < rows_.count(); ++r)
            sum.add(rows_.value(r, o.sumField()), o.sumField());
        return sum.text();
    }

    void addToSums(int row)
    {
        if (!rows_.isStreamed())
            return;
        for (const ReportBand* band :
             {report_.findBand(BandKind::Summary), report_.findBand(BandKind::PageFooter)})
            if (band)
                for (const ReportObject& o : band->objects())
                    if (o.objectKind() == ReportObjectKind::Sum) {
                        auto it = sums_.find(&o);
                        if (it == sums_.end())
                            it = sums_.insert(&o, FieldSum(o.fieldKind()));
                        it->add(rows_.value(row, o.sumField()), o.sumField());
                    }
    }

    QString screenValue(const QString& name, bool* found) const
    {
        const QString key = name.toLower();
        for (const auto& v : report_.values_)
            if (v.first == key) {
                *found = true;
                return v.second;
            }
        *found = false;
        return {};
    }

    void emitBand(const Placement& p, QList<PreparedItem>& page)
    {
        for (const ReportObject& o : p.band->objects()) {
            ReportObjectState state;
            state.name = o.name();
            state.kind = o.objectKind();
            state.row = p.row;
            state.rows = &rows_;
            bool set = false;
            const QString value = o.name().isEmpty() ? QString() : screenValue(o.name(), &set);
            if (set)
                state.text = value;
            else if (o.objectKind() == ReportObjectKind::Sum)
                state.text = sumText(o);
            else
                state.text = expand(o.text(), p.row, p.page, o.fieldKind());
            if (callback_)
                callback_(o.name(), state);
            if (!state.visible)
                continue;
            PreparedItem item;
            item.kind =
                o.objectKind() == ReportObjectKind::Sum ? ReportObjectKind::Text : o.objectKind();
            item.name = o.name();
            item.rect = o.rect().translated(p.origin);
            item.text = state.text;
            item.pointSize = o.pointSize();
            item.bold = o.isBold();
            item.alignment = o.alignment();
            item.frame = o.hasFrame();
            item.wrap = o.wraps();
            item.row = p.row;
            page.append(item);
        }
    }

    const Report& report_;
    const ReportRows& rows_;
    const ReportCallback& callback_;
    QHash<const ReportObject*, FieldSum> sums_;
    int pageCount_ = 1;
    QDateTime printedAt_;
};

PreparedReport Report::prepare(const ReportRows& rows, const ReportCallback& callback) const
{
    PreparedReport out;
    out.title_ = title();
    out.fontFamily_ = fontFamily();
    out.layout_ = pageLayout();
    ReportLayout(*this, rows, callback).run([&](int, const QList<PreparedItem>& items) {
        out.pages_.append(items);
        return true;
    });
    return out;
}

int Report::pageCount(const ReportRows& rows) const
{
    return ReportLayout(*this, rows, {}).pageCount();
}

// ---- Prepared pages -----------------------------------------------------------------------

QStringList PreparedReport::textsOf(const QString& objectName) const
{
    QStringList out;
    for (const auto& page : pages_)
        for (const PreparedItem& item : page)
            if (item.name.compare(objectName, Qt::CaseInsensitive) == 0)
                out << item.text;
    return out;
}

namespace {
void paintItems(QPainter& painter, const QList<PreparedItem>& items, const QString& fontFamily)
{
    const double dpmm = painter.device()->logicalDpiX() / kMmPerInch;
    auto px = [dpmm](const QRectF& mm) {
        return QRectF(mm.x() * dpmm, mm.y() * dpmm, mm.width() * dpmm, mm.height() * dpmm);
    };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QPen pen(Qt::black);
    pen.setWidthF(qMax(1.0, 0.2 * dpmm));
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // A page's objects share a few fonts: each made, and measured, once.
    struct Face
    {
        QFont font;
        QFontMetricsF metrics;
    };
    QHash<QPair<double, bool>, std::shared_ptr<Face>> faces;
    auto face = [&](const PreparedItem& item) -> const Face& {
        std::shared_ptr<Face>& f = faces[qMakePair(item.pointSize, item.bold)];
        if (!f) {
            QFont font(fontFamily);
            font.setPointSizeF(item.pointSize);
            font.setBold(item.bold);
            f = std::make_shared<Face>(Face{font, QFontMetricsF(font, painter.device())});
        }
        return *f;
    };
    for (const PreparedItem& item : items) {
        const QRectF r = px(item.rect);
        switch (item.kind) {
        case ReportObjectKind::Line:
            painter.drawLine(r.topLeft(), r.bottomRight());
            break;
        case ReportObjectKind::Frame:
            painter.drawRect(r);
            break;
        case ReportObjectKind::Barcode:
            Barcode::paintCode39(painter, r, item.text, face(item).font);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            break;
        case ReportObjectKind::Text:
        case ReportObjectKind::Sum: {
            if (item.frame)
                painter.drawRect(r);
            const Face& f = face(item);
            painter.setFont(f.font);
            // A little inner margin so that framed text does not touch its frame.
            const QRectF inner = r.adjusted(0.8 * dpmm, 0, -0.8 * dpmm, 0);
            QString text = item.text;
            int flags = int(item.alignment);
            if (item.wrap)
                flags |= Qt::TextWordWrap;
            else
                text = f.metrics.elidedText(text, Qt::ElideRight, inner.width());
            painter.drawText(inner, flags, text);
            break;
        }
        }
    }
    painter.restore();
}

// Opens a PDF writer on path for paint, which draws every page; false with *error.
bool writePdf(const QString& path, const QString& title, QString* error,
              const std::function<bool(QPdfWriter&)>& paint)
{
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) {
            if (error)
                *error = probe.errorString();
            return false;
        }
    }
    QPdfWriter writer(path);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("图书管理系统"));
    writer.setResolution(300);
    if (!paint(writer)) {
        if (error)
            *error = QStringLiteral("PDF could not be written: %1").arg(path);
        return false;
    }
    return true;
}
} // namespace

void PreparedReport::paintPage(QPainter& painter, int index) const
{
    paintItems(painter, pages_.at(index), fontFamily_);
}

bool PreparedReport::print(QPagedPaintDevice* device, bool applyLayout) const
{
    if (applyLayout)
        device->setPageLayout(layout_);
    QPainter painter;
    if (!painter.begin(device))
        return false;
    for (int i = 0; i < pageCount(); ++i) {
        if (i > 0)
            device->newPage();
        paintPage(painter, i);
    }
    return painter.end();
}

bool PreparedReport::exportPdf(const QString& path, QString* error) const
{
    return writePdf(path, title_, error, [this](QPdfWriter& w) { return print(&w); });
}

bool Report::print(const ReportRows& rows, QPagedPaintDevice* device,
                   const ReportCallback& callback, bool applyLayout) const
{
    if (applyLayout)
        device->setPageLayout(pageLayout());
    QPainter painter;
    if (!painter.begin(device))
        return false;
    const bool done =
        ReportLayout(*this, rows, callback).run([&](int index, const QList<PreparedItem>& items) {
            if (index > 0 && !device->newPage())
                return false;
            paintItems(painter, items, fontFamily_);
            return true;
        });
    return painter.end() && done;
}

bool Report::exportPdf(const ReportRows& rows, const QString& path, QString* error,
                       const ReportCallback& callback) const
{
    return writePdf(path, title_, error, [&](QPdfWriter& w) { return print(rows, &w, callback); });
}

QImage PreparedReport::pageImage(int index, int dpi) const
{
    const QSizeF mm = layout_.fullRect(QPageLayout::Millimeter).size();
    QImage image(qRound(mm.width() * dpi / kMmPerInch), qRound(mm.height() * dpi / kMmPerInch),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPage(painter, index);
    painter.end();
    return image;
}
