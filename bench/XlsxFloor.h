// The floor of an export: the rows of a query written with nothing but libxlsxwriter in
// constant-memory mode, each value as a number when it is one and as text otherwise, with
// no formats, no widths and no type looked up.
#pragma once

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <stdexcept>
#include <xlsxwriter.h>

namespace Bench {

inline void writeXlsxFloor(QSqlQuery& q, const QString& path)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    const QSqlRecord record = q.record();
    for (int c = 0; c < record.count(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), record.fieldName(c).toUtf8().constData(),
                               nullptr);
    lxw_row_t row = 1;
    while (q.next()) {
        for (int c = 0; c < record.count(); ++c) {
            const QVariant v = q.value(c);
            const int type = v.metaType().id();
            if (type == QMetaType::Double || type == QMetaType::LongLong || type == QMetaType::Int)
                worksheet_write_number(sheet, row, lxw_col_t(c), v.toDouble(), nullptr);
            else if (!v.isNull())
                worksheet_write_string(sheet, row, lxw_col_t(c), v.toString().toUtf8().constData(),
                                       nullptr);
        }
        ++row;
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        throw std::runtime_error("libxlsxwriter could not write the floor's workbook");
}

} // namespace Bench
