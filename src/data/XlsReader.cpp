// Legacy Excel 97-2003 workbooks (.xls, BIFF8 in an OLE2 container) through FreeXL, which
// reads the whole file at open and hands out typed cell values.
#include "SpreadsheetReader.h"

#include <QDir>
#include <QFile>
#include <freexl.h>

namespace {
QString freexlError(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("文件不存在或不能读取");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("内存不足");
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
        return QStringLiteral("不是 Excel 97-2003 格式");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("文件中没有 Excel 工作簿");
    case FREEXL_UNSUPPORTED_CHARSET:
        return QStringLiteral("不支持工作簿的字符集");
    default:
        return QStringLiteral("文件已损坏或不完整，错误码 %1").arg(code);
    }
}

// Closes the FreeXL handle however the reading ends.
struct Handle
{
    const void* h = nullptr;
    ~Handle()
    {
        if (h)
            freexl_close(h);
    }
};
} // namespace

bool XlsReader::open(const QString& path, QString* error)
{
    clear();
    const QString shown = QDir::toNativeSeparators(path);
    Handle xls;
    int rc = freexl_open(QFile::encodeName(path).constData(), &xls.h);
    if (rc != FREEXL_OK) {
        *error = QStringLiteral("%1 不能读取：%2。").arg(shown, freexlError(rc));
        return false;
    }
    unsigned int info = 0;
    if (freexl_get_info(xls.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED) {
        *error = QStringLiteral("%1 有密码保护，不能读取。").arg(shown);
        return false;
    }
    unsigned int sheets = 0;
    if (freexl_get_info(xls.h, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0) {
        *error = QStringLiteral("%1 中没有工作表。").arg(shown);
        return false;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if ((rc = freexl_select_active_worksheet(xls.h, 0)) != FREEXL_OK ||
        (rc = freexl_worksheet_dimensions(xls.h, &rows, &columns)) != FREEXL_OK) {
        *error = QStringLiteral("%1 不能读取：%2。").arg(shown, freexlError(rc));
        return false;
    }
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue v;
            if ((rc = freexl_get_cell_value(xls.h, r, c, &v)) != FREEXL_OK) {
                clear();
                *error = QStringLiteral("%1 不能读取：%2。").arg(shown, freexlError(rc));
                return false;
            }
            QString text;
            switch (v.type) {
            case FREEXL_CELL_INT:
                text = QString::number(v.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                text = SheetText::number(v.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_TIME:
                text = QString::fromUtf8(v.value.text_value);
                break;
            case FREEXL_CELL_DATETIME:
                text = QString::fromUtf8(v.value.text_value);
                if (text.endsWith(QLatin1String(" 00:00:00")))
                    text.chop(9);
                break;
            default:
                break;
            }
            setCell(int(r) + 1, int(c) + 1, text);
        }
    }
    finish();
    return true;
}
