#include "ExcelExport.h"

#include "Money.h"
#include "Schema.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>
#include <vector>
#include <xlsxwriter.h>

namespace {
constexpr int kProgressEvery = 500;
constexpr lxw_row_t kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr qsizetype kMaxTextLength = 32767;               // the most a worksheet cell holds
constexpr double kExactIntegerLimit = 9007199254740992.0; // 2^53

// How the values of one column go into cells.
enum class Kind
{
    ByValue, // decided for each value from its type (aggregates, other tables)
    Text,
    Integer,
    Real,
    Money,
    Date, // a date, or a date and time when the value has a time of day
    YesNo,
};

struct Column
{
    Kind kind = Kind::ByValue;
    bool numericField = false; // the driver calls the field a number (PostgreSQL numeric as text)
    int width = 0;             // widest content so far, in character widths
};

Kind kindOf(ColumnType type)
{
    switch (type) {
    case ColumnType::Text:
    case ColumnType::LongText:
        return Kind::Text;
    case ColumnType::Integer:
    case ColumnType::AutoNumber:
        return Kind::Integer;
    case ColumnType::Real:
        return Kind::Real;
    case ColumnType::Money:
        return Kind::Money;
    case ColumnType::Date:
    case ColumnType::DateTime:
        return Kind::Date;
    case ColumnType::YesNo:
        return Kind::YesNo;
    }
    return Kind::ByValue;
}

bool isNumberType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

int digits(char16_t c)
{
    return c >= u'0' && c <= u'9' ? c - u'0' : -1;
}

int number(QStringView s, qsizetype at, int count)
{
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const int d = digits(s[at + i].unicode());
        if (d < 0)
            return -1;
        n = n * 10 + d;
    }
    return n;
}

// "yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss" (a "T" accepted for the blank), as SQLite keeps
// dates; an invalid QDateTime for any other text.
QDateTime parseDateText(QStringView s)
{
    if ((s.size() != 10 && s.size() != 19) || s[4] != u'-' || s[7] != u'-')
        return {};
    const QDate date(number(s, 0, 4), number(s, 5, 2), number(s, 8, 2));
    if (!date.isValid())
        return {};
    if (s.size() == 10)
        return QDateTime(date, QTime(0, 0));
    if ((s[10] != u' ' && s[10] != u'T') || s[13] != u':' || s[16] != u':')
        return {};
    const QTime time(number(s, 11, 2), number(s, 14, 2), number(s, 17, 2));
    return time.isValid() ? QDateTime(date, time) : QDateTime();
}

QDateTime toDateTime(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::QDate:
        return QDateTime(v.toDate(), QTime(0, 0));
    case QMetaType::QDateTime:
        return v.toDateTime();
    case QMetaType::QString:
        return parseDateText(v.toString());
    default:
        return {};
    }
}

class SheetWriter
{
public:
    SheetWriter(lxw_workbook* book, lxw_worksheet* sheet) : sheet_(sheet)
    {
        bold_ = workbook_add_format(book);
        format_set_bold(bold_);
        integer_ = workbook_add_format(book);
        format_set_num_format(integer_, "0");
        money_ = workbook_add_format(book);
        format_set_num_format(money_, "0.00##");
        date_ = workbook_add_format(book);
        format_set_num_format(date_, "yyyy-mm-dd");
        dateTime_ = workbook_add_format(book);
        format_set_num_format(dateTime_, "yyyy-mm-dd hh:mm:ss");
    }

    lxw_error status = LXW_NO_ERROR;

    void header(lxw_col_t c, const QString& name, Column& column)
    {
        text(0, c, name, column, bold_);
    }

    void text(lxw_row_t r, lxw_col_t c, const QString& value, Column& column,
              lxw_format* format = nullptr)
    {
        if (value.isEmpty())
            return;
        const QString cut = value.size() > kMaxTextLength ? value.left(kMaxTextLength) : value;
        keep(worksheet_write_string(sheet_, r, c, cut.toUtf8().constData(), format));
        column.width = std::max(column.width, ExcelExport::displayWidth(cut));
    }

    void integer(lxw_row_t r, lxw_col_t c, qint64 value, Column& column)
    {
        if (std::fabs(double(value)) >= kExactIntegerLimit) {
            text(r, c, QString::number(value), column); // more digits than a cell keeps
            return;
        }
        keep(worksheet_write_number(sheet_, r, c, double(value), integer_));
        int w = value < 0 ? 2 : 1;
        for (qint64 v = value / 10; v != 0; v /= 10)
            ++w;
        column.width = std::max(column.width, w);
    }

    void real(lxw_row_t r, lxw_col_t c, double value, Column& column)
    {
        if (!std::isfinite(value))
            return text(r, c, QString::number(value), column);
        if (value == std::trunc(value) && std::fabs(value) < 1e15)
            return integer(r, c, qint64(value), column);
        keep(worksheet_write_number(sheet_, r, c, value, nullptr));
        column.width = std::max(column.width, int(QString::number(value, 'g', 11).size()));
    }

    void money(lxw_row_t r, lxw_col_t c, Money value, Column& column)
    {
        keep(worksheet_write_number(sheet_, r, c, value.toDouble(), money_));
        // The format shows at least two decimals and at most four.
        const int shown = int(std::max(value.toString().size(), value.toFixed2().size()));
        column.width = std::max(column.width, shown);
    }

    void dateTime(lxw_row_t r, lxw_col_t c, const QDateTime& value, Column& column)
    {
        const QDate d = value.date();
        const QTime t = value.time();
        if (d.year() < 1900 || d.year() > 9999) // before the first day a worksheet counts
            return text(r, c, value.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), column);
        lxw_datetime dt{d.year(), d.month(), d.day(), t.hour(), t.minute(), double(t.second())};
        const bool withTime = t != QTime(0, 0);
        keep(worksheet_write_datetime(sheet_, r, c, &dt, withTime ? dateTime_ : date_));
        column.width = std::max(column.width, withTime ? 19 : 10);
    }

    void yesNo(lxw_row_t r, lxw_col_t c, bool value, Column& column)
    {
        keep(worksheet_write_boolean(sheet_, r, c, value, nullptr));
        column.width = std::max(column.width, 5);
    }

    void value(lxw_row_t r, lxw_col_t c, const QVariant& v, Column& column)
    {
        if (v.isNull())
            return;
        bool ok = false;
        switch (column.kind) {
        case Kind::Text:
            return text(r, c, v.toString(), column);
        case Kind::Integer: {
            const qint64 n = v.toLongLong(&ok);
            return ok ? integer(r, c, n, column) : text(r, c, v.toString(), column);
        }
        case Kind::Real: {
            const double d = v.toDouble(&ok);
            return ok ? real(r, c, d, column) : text(r, c, v.toString(), column);
        }
        case Kind::Money: {
            const std::optional<Money> m = Money::fromVariant(v);
            return m ? money(r, c, *m, column) : text(r, c, v.toString(), column);
        }
        case Kind::Date: {
            const QDateTime dt = toDateTime(v);
            return dt.isValid() ? dateTime(r, c, dt, column) : text(r, c, v.toString(), column);
        }
        case Kind::YesNo:
            return yesNo(r, c, v.toBool(), column);
        case Kind::ByValue:
            break;
        }
        switch (v.metaType().id()) {
        case QMetaType::Bool:
            return yesNo(r, c, v.toBool(), column);
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            return integer(r, c, v.toLongLong(), column);
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
            return real(r, c, v.toDouble(), column);
        case QMetaType::QDate:
        case QMetaType::QDateTime:
            return dateTime(r, c, toDateTime(v), column);
        case QMetaType::QTime:
            return text(r, c, v.toTime().toString(QStringLiteral("hh:mm:ss")), column);
        case QMetaType::QByteArray:
            return; // binary data has no cell form
        default:
            break;
        }
        if (v.metaType() == QMetaType::fromType<Money>())
            return money(r, c, v.value<Money>(), column);
        const QString s = v.toString();
        if (column.numericField) {
            const double d = s.toDouble(&ok);
            if (ok)
                return real(r, c, d, column);
        }
        // A text that merely looks like a date (a barcode "2024-01-05", a remark) stays text.
        text(r, c, s, column);
    }

private:
    void keep(lxw_error e)
    {
        if (e != LXW_NO_ERROR && status == LXW_NO_ERROR)
            status = e;
    }

    lxw_worksheet* sheet_;
    lxw_format* bold_;
    lxw_format* integer_;
    lxw_format* money_;
    lxw_format* date_;
    lxw_format* dateTime_;
};

// The schema tables that follow "from" or "join" in a statement, in order.
QList<const TableDef*> tablesRead(const QString& sql)
{
    static const QRegularExpression re(QStringLiteral("\\b(?:from|join)\\s+([^\\s,();]+)"),
                                       QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::UseUnicodePropertiesOption);
    QList<const TableDef*> out;
    for (auto it = re.globalMatch(sql); it.hasNext();) {
        const TableDef* t = Schema::table(it.next().captured(1));
        if (t && !out.contains(t))
            out << t;
    }
    return out;
}

// Puts the query on its first row; false when there is none (or on error).
bool firstRow(QSqlQuery& query)
{
    if (query.at() == QSql::BeforeFirstRow)
        return query.next();
    if (!query.isForwardOnly())
        return query.first();
    // A statement run without bound values was never prepared: it runs again from its text
    // (a bare re-execution names no prepared statement, which PostgreSQL refuses).
    const bool again = query.boundValues().isEmpty() ? query.exec(query.lastQuery()) : query.exec();
    return again && query.next();
}
} // namespace

ExcelExport::ExcelExport(QString path) : path_(std::move(path)) {}

int ExcelExport::displayWidth(const QString& text)
{
    int w = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x1100) {
            ++w;
        } else if (ch.isLowSurrogate()) {
            // counted with its high half
        } else if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                   (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                   (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                   (c >= 0xFFE0 && c <= 0xFFE6) || ch.isHighSurrogate()) {
            w += 2;
        } else {
            ++w;
        }
    }
    return w;
}

bool ExcelExport::write(QSqlQuery& query, int first, int last)
{
    error_.clear();
    cancelled_ = false;
    rows_ = 0;
    const QString shown = QDir::toNativeSeparators(path_);
    if (!query.isActive()) {
        error_ = QStringLiteral("没有可以导出的数据。");
        return false;
    }
    const QSqlRecord record = query.record();
    if (first < 0 || last >= record.count() || first > last || last - first >= kMaxColumns) {
        error_ = QStringLiteral("导出的列 %1 到 %2 不在结果之内。").arg(first).arg(last);
        return false;
    }

    if (!QFileInfo(path_).absoluteDir().exists()) {
        error_ = QStringLiteral("无法保存 Excel 文件 %1：文件夹不存在。").arg(shown);
        return false;
    }

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path_).constData(), &options);
    lxw_worksheet* sheet = book ? workbook_add_worksheet(book, nullptr) : nullptr;
    if (!sheet) {
        if (book)
            lxw_workbook_free(book);
        error_ = QStringLiteral("无法创建 Excel 文件 %1。").arg(shown);
        return false;
    }
    auto abandon = [&](const QString& why) {
        lxw_workbook_free(book); // nothing reaches the disk before workbook_close
        QFile::remove(path_);
        error_ = why;
        return false;
    };

    SheetWriter out(book, sheet);
    // The tables a column may come from when the driver does not say (PostgreSQL's does
    // not): the caller's, else the schema tables the statement reads.
    const QList<const TableDef*> named = table_.isEmpty()
                                             ? tablesRead(query.lastQuery())
                                             : QList<const TableDef*>{Schema::table(table_)};
    std::vector<Column> columns(size_t(last - first + 1));
    for (int i = first; i <= last; ++i) {
        const QSqlField field = record.field(i);
        Column& column = columns[size_t(i - first)];
        const ColumnDef* def = nullptr;
        if (const TableDef* own = Schema::table(field.tableName()))
            def = own->column(field.name());
        for (qsizetype t = 0; !def && field.tableName().isEmpty() && t < named.size(); ++t)
            def = named[t] ? named[t]->column(field.name()) : nullptr;
        if (def)
            column.kind = kindOf(def->type);
        column.numericField = isNumberType(field.metaType().id());
        // PostgreSQL folds unquoted names to lower case; the header keeps the schema's.
        out.header(lxw_col_t(i - first), def ? def->name : field.name(), column);
    }

    bool have = firstRow(query);
    while (have) {
        if (rows_ + 1 >= qint64(kMaxRows))
            return abandon(
                QStringLiteral("结果有超过 %1 行，一个工作表放不下。").arg(kMaxRows - 1));
        const lxw_row_t r = lxw_row_t(rows_ + 1);
        for (int i = first; i <= last; ++i)
            out.value(r, lxw_col_t(i - first), query.value(i), columns[size_t(i - first)]);
        if (out.status != LXW_NO_ERROR)
            return abandon(QStringLiteral("写入 Excel 文件 %1 失败：%2")
                               .arg(shown, QString::fromUtf8(lxw_strerror(out.status))));
        ++rows_;
        if (progress_ && rows_ % kProgressEvery == 0 && !progress_(rows_)) {
            cancelled_ = true;
            return abandon(QStringLiteral("导出已取消。"));
        }
        have = query.next();
    }
    if (query.lastError().type() != QSqlError::NoError) {
        const QSqlError e = query.lastError();
        return abandon(e.databaseText().isEmpty() ? e.text() : e.databaseText());
    }
    if (progress_ && !progress_(rows_)) {
        cancelled_ = true;
        return abandon(QStringLiteral("导出已取消。"));
    }

    for (size_t i = 0; i < columns.size(); ++i)
        worksheet_set_column(sheet, lxw_col_t(i), lxw_col_t(i),
                             std::clamp(columns[i].width + 2, 6, 80), nullptr);
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        QFile::remove(path_);
        error_ = QStringLiteral("无法保存 Excel 文件 %1：%2")
                     .arg(shown, QString::fromUtf8(lxw_strerror(closed)));
        return false;
    }
    return true;
}
