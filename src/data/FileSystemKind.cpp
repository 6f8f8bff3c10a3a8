#include "FileSystemKind.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/vfs.h>

namespace {
// statfs f_type values of filesystems that reach another machine (linux/magic.h and the
// filesystems' own headers).
constexpr unsigned long kNetworkMagic[] = {
    0x6969,     // NFS
    0x517B,     // SMB (smbfs)
    0xFF534D42, // CIFS
    0xFE534D42, // SMB2/SMB3
    0x01021997, // 9p (v9fs)
    0x00C36400, // Ceph
    0x5346414F, // AFS (OpenAFS)
    0x6B414653, // AFS (kAFS)
    0x73757245, // Coda
    0x564C,     // NCP (NetWare)
    0x0BD00BD0, // Lustre
    0x01161970, // GFS2
    0x7461636F, // OCFS2
    0x47504653, // GPFS
    0x19830326, // BeeGFS
};
constexpr unsigned long kFuseMagic = 0x65735546;

// FUSE filesystems and other mount types that reach another machine, as mountinfo names them
// ("fuse.sshfs", "nfs4", ...). Local FUSE filesystems (ntfs-3g, encfs, bindfs, ...) are not
// here: their file lives on this machine.
const QStringList& networkTypes()
{
    static const QStringList types = {
        QStringLiteral("nfs"),        QStringLiteral("nfs4"),      QStringLiteral("cifs"),
        QStringLiteral("smb3"),       QStringLiteral("smbfs"),     QStringLiteral("9p"),
        QStringLiteral("ceph"),       QStringLiteral("afs"),       QStringLiteral("coda"),
        QStringLiteral("ncpfs"),      QStringLiteral("lustre"),    QStringLiteral("gfs2"),
        QStringLiteral("ocfs2"),      QStringLiteral("gpfs"),      QStringLiteral("beegfs"),
        QStringLiteral("glusterfs"),  QStringLiteral("davfs"),     QStringLiteral("sshfs"),
        QStringLiteral("rclone"),     QStringLiteral("s3fs"),      QStringLiteral("gcsfuse"),
        QStringLiteral("ceph-fuse"),  QStringLiteral("curlftpfs"), QStringLiteral("smbnetfs"),
        QStringLiteral("gvfsd-fuse"), QStringLiteral("juicefs"),   QStringLiteral("mfs"),
        QStringLiteral("lizardfs"),   QStringLiteral("webdav"),    QStringLiteral("goofys"),
        QStringLiteral("blobfuse"),   QStringLiteral("blobfuse2"), QStringLiteral("seaweedfs"),
    };
    return types;
}

// mountinfo writes space, tab, newline and backslash in paths as octal escapes.
QString unescapeMountPath(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        bool octal = false;
        const int code =
            field[i] == '\\' && i + 3 < field.size() ? field.mid(i + 1, 3).toInt(&octal, 8) : 0;
        if (octal) {
            out += char(code);
            i += 3;
        } else {
            out += field[i];
        }
    }
    return QFile::decodeName(out);
}

bool under(const QString& path, const QString& mountPoint)
{
    return mountPoint == QLatin1String("/") || path == mountPoint ||
           path.startsWith(mountPoint + QLatin1Char('/'));
}

FileSystemKind::Check& replacedCheck()
{
    static FileSystemKind::Check check;
    return check;
}
} // namespace

namespace FileSystemKind {

bool isNetworkType(const QString& type)
{
    QString name = type.toLower();
    // "fuse.sshfs", "fuseblk.x": the part after the dot names the filesystem.
    if (name.startsWith(QLatin1String("fuse")) && name.contains(QLatin1Char('.')))
        name = name.mid(name.indexOf(QLatin1Char('.')) + 1);
    return networkTypes().contains(name);
}

QString mountType(const QString& path)
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return {};
    // The last mount of the longest mount point holding the path is the one that shows.
    QString best, type;
    for (const QByteArray& line : file.readAll().split('\n')) {
        // id parent major:minor root mountpoint options [optional...] - fstype source super
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 1 >= fields.size())
            continue;
        const QString mountPoint = unescapeMountPath(fields[4]);
        if (under(canonical, mountPoint) && mountPoint.size() >= best.size()) {
            best = mountPoint;
            type = QString::fromUtf8(fields[dash + 1]);
        }
    }
    return type;
}

bool isNetworkFolder(const QString& folder)
{
    struct statfs st;
    if (::statfs(QFile::encodeName(folder).constData(), &st) != 0)
        return isNetworkType(mountType(folder));
    const auto magic = static_cast<unsigned long>(st.f_type) & 0xFFFFFFFFul;
    for (unsigned long network : kNetworkMagic)
        if (magic == network)
            return true;
    // FUSE says nothing about what lies behind it in statfs; the mount's type name does.
    return magic == kFuseMagic && isNetworkType(mountType(folder));
}

void setCheck(Check check)
{
    replacedCheck() = std::move(check);
}

bool folderIsShared(const QString& folder)
{
    return replacedCheck() ? replacedCheck()(folder) : isNetworkFolder(folder);
}

} // namespace FileSystemKind
