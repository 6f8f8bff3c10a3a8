// Legacy Excel 97-2003 workbooks (.xls, BIFF8 in an OLE2 container) through FreeXL, which
// reads the whole file at open and hands out typed cell values. FreeXL does not tell which
// sheet the workbook opens on; that one record is read here from the compound file.
#include "SpreadsheetReader.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <freexl.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Little-endian integers of a byte array; 0 past its end.
quint32 le(const QByteArray& b, qint64 at, int bytes)
{
    quint32 v = 0;
    if (at < 0 || at + bytes > b.size())
        return 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

// What is read here of an OLE2 compound file, through its allocation tables: the Workbook
// stream (empty when the file is not as expected) and whether its directory is sound: the
// allocation table and the directory in sectors of the file, and the name of every entry
// within the entry's 64 bytes. FreeXL converts a name by the length the entry states, and
// takes a sector number beyond the file round to one inside it (32-bit offsets), reading
// past its copy of an entry: such a file is refused before FreeXL sees it.
//
// Every count the header states is bounded by what the file can hold before anything is
// allocated by it: the sector size is one of the two the format has, the allocation table
// has no more sectors than the file, and every chain visits a sector at most once, so a
// hostile header (huge sectors, an endless table, a DIFAT sector pointing to itself) is
// refused at once instead of allocating billions of entries.
struct CompoundFile
{
    QByteArray workbook;
    bool sound = true;
};

CompoundFile readCompoundFile(const QByteArray& file)
{
    CompoundFile compound;
    constexpr quint32 kEnd = 0xFFFFFFFE;
    const bool signature = file.startsWith(QByteArrayView("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    const int shift = int(le(file, 0x1E, 2));
    const int miniShift = int(le(file, 0x20, 2));
    if (shift != 9 && shift != 12) {
        // Only 512- and 4096-byte sectors exist (versions 3 and 4). A file of another kind
        // is FreeXL's to refuse; a compound file's header is ours.
        compound.sound = !signature;
        return compound;
    }
    if (miniShift != 6) {
        compound.sound = false;
        return compound;
    }
    const qint64 sectorSize = qint64(1) << shift;
    const qint64 sectors = std::max<qint64>((file.size() - 1) / sectorSize, 0);
    auto sectorAt = [&](quint32 n) { return (qint64(n) + 1) * sectorSize; };
    const qint64 entriesPerSector = sectorSize / 4;

    // The allocation table: its sectors are listed in the header and the DIFAT chain. No
    // table can have more sectors than the file.
    const quint32 fatCount = le(file, 0x2C, 4);
    if (fatCount > quint64(sectors) || le(file, 0x40, 4) > quint64(sectors)) {
        compound.sound = false;
        return compound;
    }
    QList<quint32> fatSectors;
    fatSectors.reserve(fatCount);
    for (int i = 0; i < 109 && quint32(fatSectors.size()) < fatCount; ++i)
        fatSectors << le(file, 0x4C + i * 4, 4);
    // FreeXL walks as many DIFAT sectors as the header says: each must be in the file,
    // visited once, and together they must list the table.
    const quint32 difatCount = le(file, 0x48, 4);
    if (difatCount > quint64(sectors)) {
        compound.sound = false;
        return compound;
    }
    std::vector<bool> seenDifat(size_t(sectors), false);
    quint32 difat = le(file, 0x44, 4);
    for (quint32 n = 0; n < difatCount; ++n) {
        if (difat >= quint64(sectors) || seenDifat[difat]) {
            compound.sound = false; // the chain leaves the file or loops
            return compound;
        }
        seenDifat[difat] = true;
        const qint64 at = sectorAt(difat);
        for (qint64 i = 0; i + 1 < entriesPerSector && quint32(fatSectors.size()) < fatCount; ++i)
            fatSectors << le(file, at + i * 4, 4);
        difat = le(file, at + sectorSize - 4, 4);
    }
    if (quint32(fatSectors.size()) < fatCount) {
        compound.sound = false; // the chain ends before the table does
        return compound;
    }
    if (!std::all_of(fatSectors.cbegin(), fatSectors.cend(),
                     [&](quint32 s) { return s < quint64(sectors); })) {
        compound.sound = false;
        return compound;
    }
    QList<quint32> fat;
    fat.reserve(fatSectors.size() * entriesPerSector);
    for (quint32 s : fatSectors)
        for (qint64 i = 0; i < entriesPerSector; ++i)
            fat << le(file, sectorAt(s) + i * 4, 4);

    // A chain of units of from, each visited once: a loop ends it.
    auto chain = [&](quint32 start, const QByteArray& from, qint64 unit, auto position,
                     const QList<quint32>& table) {
        QByteArray out;
        std::vector<bool> seen(size_t(table.size()), false);
        while (start < kEnd && start < quint32(table.size()) && !seen[start] &&
               position(start) < from.size()) {
            seen[start] = true;
            out += from.mid(position(start), unit);
            start = table[start];
        }
        return out;
    };
    const quint32 directoryStart = le(file, 0x30, 4);
    const QByteArray directory = chain(directoryStart, file, sectorSize, sectorAt, fat);
    compound.sound = directoryStart < sectors && !directory.isEmpty();
    for (qint64 e = 0; e + 128 <= directory.size(); e += 128)
        compound.sound = compound.sound && le(directory, e + 0x40, 2) <= 64;
    for (qint64 e = 0; e + 128 <= directory.size(); e += 128) {
        const int nameBytes = int(le(directory, e + 0x40, 2));
        if (nameBytes < 2 || nameBytes > 64 || quint8(directory[e + 0x42]) != 2)
            continue;
        const QString name = QString::fromUtf16(
            reinterpret_cast<const char16_t*>(directory.constData() + e), nameBytes / 2 - 1);
        if (name != QLatin1String("Workbook") && name != QLatin1String("Book"))
            continue;
        const quint32 start = le(directory, e + 0x74, 4);
        const qint64 size = le(directory, e + 0x78, 4);
        if (size >= qint64(le(file, 0x38, 4))) { // a regular stream
            compound.workbook = chain(start, file, sectorSize, sectorAt, fat).left(size);
            // FreeXL frees its copy twice when the stream ends before its stated size.
            compound.sound = compound.workbook.size() == size;
            return compound;
        }
        // A small stream lives in the mini stream, the root entry's stream.
        const QByteArray mini = chain(le(directory, 0x74, 4), file, sectorSize, sectorAt, fat);
        const QByteArray miniFatBytes = chain(le(file, 0x3C, 4), file, sectorSize, sectorAt, fat);
        QList<quint32> miniFat;
        for (qint64 i = 0; i + 4 <= miniFatBytes.size(); i += 4)
            miniFat << le(miniFatBytes, i, 4);
        const qint64 miniSize = qint64(1) << miniShift;
        compound.workbook =
            chain(
                start, mini, miniSize, [&](quint32 n) { return qint64(n) * miniSize; }, miniFat)
                .left(size);
        compound.sound = compound.workbook.size() == size;
        return compound;
    }
    return compound;
}

// The worksheet the workbook opens on, counted as FreeXL counts sheets (worksheets only):
// the WINDOW1 record's selected tab among the BOUNDSHEET records of the workbook globals.
// 0 when the file does not say or names a sheet that is no worksheet.
unsigned short activeWorksheet(const QByteArray& stream)
{
    int activeTab = -1;
    QList<bool> isWorksheet; // per sheet tab
    for (qint64 at = 0; at + 4 <= stream.size();) {
        const quint32 id = le(stream, at, 2);
        const qint64 length = le(stream, at + 2, 2);
        const qint64 data = at + 4;
        if (id == 0x000A) // EOF: the end of the globals
            break;
        if (id == 0x003D && activeTab < 0 && length >= 12)
            activeTab = int(le(stream, data + 10, 2));
        else if (id == 0x0085 && length >= 6)
            isWorksheet << ((le(stream, data + 5, 1) & 0x0F) == 0);
        at = data + length;
    }
    if (activeTab < 0 || activeTab >= isWorksheet.size() || !isWorksheet[activeTab])
        return 0;
    return static_cast<unsigned short>(isWorksheet.mid(0, activeTab).count(true));
}

// Whether the shared-string table of the workbook globals claims no more strings than the
// stream can hold (each takes 3 bytes at least): FreeXL sets aside a place for every string
// the table claims before reading one.
bool sharedStringsFit(const QByteArray& stream)
{
    for (qint64 at = 0; at + 4 <= stream.size();) {
        const quint32 id = le(stream, at, 2);
        const qint64 length = le(stream, at + 2, 2);
        if (id == 0x000A) // EOF: the end of the globals
            break;
        if (id == 0x00FC && length >= 8 && le(stream, at + 8, 4) > quint64(stream.size() / 3))
            return false;
        at += 4 + length;
    }
    return true;
}

// Whether every record of the workbook stream keeps to BIFF8's limit of 8,224 bytes of data
// and ends within the stream: FreeXL copies a record into a buffer of that measure without
// checking the length the record states.
bool recordsFit(const QByteArray& stream)
{
    constexpr qint64 kMaxRecordData = 8224;
    for (qint64 at = 0; at + 4 <= stream.size();) {
        const qint64 length = le(stream, at + 2, 2);
        if (length > kMaxRecordData || at + 4 + length > stream.size())
            return false;
        at += 4 + length;
    }
    return true;
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
// FreeXL reads a hostile workbook past its buffers and frees memory twice; no check made
// beforehand can foresee all of it. It therefore reads in a child process of its own, which
// sends the cells back through a pipe: a crash there is a refused file, never the desk's.
// The stream: per cell (row u32, column u16, kind u8, length u32, UTF-8), then a final
// record of row 0 whose text is the error ("" when the reading succeeded).
void putRecord(QByteArray& out, quint32 row, quint16 column, quint8 kind, const QByteArray& text)
{
    out.append(reinterpret_cast<const char*>(&row), 4);
    out.append(reinterpret_cast<const char*>(&column), 2);
    out.append(char(kind));
    const quint32 length = quint32(text.size());
    out.append(reinterpret_cast<const char*>(&length), 4);
    out.append(text);
}

bool writeAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// In the child: the cells of the worksheet, then the error text, to fd.
void readWithFreeXL(const QByteArray& path, unsigned short active, int fd)
{
    QByteArray out;
    auto fail = [&](const QString& message) {
        putRecord(out, 0, 0, 0, message.toUtf8());
        writeAll(fd, out);
    };
    Handle xls;
    int rc = freexl_open(path.constData(), &xls.h);
    if (rc != FREEXL_OK)
        return fail(QStringLiteral("不能读取：%1。").arg(freexlError(rc)));
    unsigned int info = 0;
    if (freexl_get_info(xls.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED)
        return fail(QStringLiteral("有密码保护，不能读取。"));
    unsigned int sheets = 0;
    if (freexl_get_info(xls.h, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0)
        return fail(QStringLiteral("中没有工作表。"));
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (active >= sheets)
        active = 0;
    if ((rc = freexl_select_active_worksheet(xls.h, active)) != FREEXL_OK ||
        (rc = freexl_worksheet_dimensions(xls.h, &rows, &columns)) != FREEXL_OK)
        return fail(QStringLiteral("不能读取：%1。").arg(freexlError(rc)));
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue v;
            if ((rc = freexl_get_cell_value(xls.h, r, c, &v)) != FREEXL_OK)
                return fail(QStringLiteral("不能读取：%1。").arg(freexlError(rc)));
            QByteArray text;
            bool number = false;
            switch (v.type) {
            case FREEXL_CELL_INT:
                text = QByteArray::number(v.value.int_value);
                number = true;
                break;
            case FREEXL_CELL_DOUBLE:
                text = SheetText::number(v.value.double_value).toUtf8();
                number = true;
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_TIME:
                text = QByteArray(v.value.text_value);
                break;
            case FREEXL_CELL_DATETIME:
                text = QByteArray(v.value.text_value);
                if (text.endsWith(" 00:00:00"))
                    text.chop(9);
                break;
            default:
                break;
            }
            if (!text.isEmpty())
                putRecord(out, r + 1, c + 1, number ? 1 : 0, text);
        }
        if (out.size() > (1 << 20)) {
            if (!writeAll(fd, out))
                return;
            out.clear();
        }
    }
    fail(QString());
}

// The cells FreeXL reads in a child process, handed to setCell; the error text, empty when
// the reading succeeded.
QString readIsolated(const QByteArray& path, unsigned short active,
                     const std::function<void(int, int, const QString&, bool)>& setCell)
{
    const QString broken = QStringLiteral("不能读取：文件已损坏或不完整。");
    constexpr int kChildSilenceMs = 60000;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return QStringLiteral("不能读取：%1。").arg(QString::fromLocal8Bit(strerror(errno)));
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return QStringLiteral("不能读取：%1。").arg(QString::fromLocal8Bit(strerror(errno)));
    }
    if (child == 0) {
        // A crash in the child only ends it: no handler of the parent's (a test framework's
        // stack dump, say) runs here.
        for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
            ::signal(sig, SIG_DFL);
        ::close(fds[0]);
        readWithFreeXL(path, active, fds[1]);
        ::_exit(0); // no destructors nor atexit handlers of the parent's objects
    }
    ::close(fds[1]);
    // The records as they come; a record stating more than the format can hold is refused.
    QByteArray pending;
    QString result = broken;
    bool ended = false, refused = false;
    char buffer[65536];
    for (;;) {
        // A child silent for a minute is stuck (FreeXL looping, say): the file is refused.
        pollfd ready{fds[0], POLLIN, 0};
        const int polled = ::poll(&ready, 1, kChildSilenceMs);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, n);
        qsizetype at = 0;
        while (!ended && !refused && pending.size() - at >= 11) {
            quint32 row, length;
            quint16 column;
            std::memcpy(&row, pending.constData() + at, 4);
            std::memcpy(&column, pending.constData() + at + 4, 2);
            const quint8 kind = quint8(pending[at + 6]);
            std::memcpy(&length, pending.constData() + at + 7, 4);
            if (length > quint32(SheetLimits::kMaxCellBytes) || row > 65536u || column > 256u) {
                refused = true;
                break;
            }
            if (pending.size() - at - 11 < qsizetype(length))
                break;
            const QString text = QString::fromUtf8(pending.constData() + at + 11, length);
            at += 11 + length;
            if (row == 0) {
                result = text;
                ended = true;
            } else {
                setCell(int(row), int(column), text, kind == 1);
            }
        }
        pending.remove(0, at);
        if (ended || refused)
            break;
    }
    ::close(fds[0]);
    int status = 0;
    if (refused || !ended)
        ::kill(child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (refused || !ended || !WIFEXITED(status))
        return broken;
    return result;
}
} // namespace

bool XlsReader::open(const QString& path, QString* error)
{
    clear();
    const QString shown = QDir::toNativeSeparators(path);
    QByteArray bytes;
    if (QFile f(path); f.open(QIODevice::ReadOnly))
        bytes = f.readAll();
    const CompoundFile compound = readCompoundFile(bytes);
    if (!compound.sound || !sharedStringsFit(compound.workbook) || !recordsFit(compound.workbook)) {
        *error = QStringLiteral("%1 不能读取：文件已损坏或不完整。").arg(shown);
        return false;
    }
    const unsigned short active = activeWorksheet(compound.workbook);
    const QString failure =
        readIsolated(QFile::encodeName(path), active,
                     [this](int row, int column, const QString& text, bool number) {
                         setCell(row, column, text, number ? CellKind::Number : CellKind::Text);
                     });
    if (!failure.isEmpty()) {
        clear();
        *error = QStringLiteral("%1 %2").arg(shown, failure);
        return false;
    }
    finish();
    return true;
}
