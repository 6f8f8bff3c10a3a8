// Whether a folder lies on a filesystem that reaches another machine (NFS, SMB/CIFS, sshfs
// and the other remote FUSE filesystems, 9p, Ceph, AFS, ...). SQLite's WAL journal keeps its
// index in shared memory, which a second machine never sees: a library file there must be
// opened by one desk at a time (see Database::openSqlite).
#pragma once

#include <QString>
#include <functional>

namespace FileSystemKind {

// What the system says about the folder: statfs' filesystem magic number, and for FUSE (or
// when statfs fails) the filesystem type of its mount in /proc/self/mountinfo.
bool isNetworkFolder(const QString& folder);

// The type name of the mount holding path ("nfs4", "fuse.sshfs", ...), from mountinfo;
// empty when it cannot be told.
QString mountType(const QString& path);

// Whether a mountinfo filesystem type names a filesystem that reaches another machine.
bool isNetworkType(const QString& type);

// The check Database uses when it opens a library file; tests replace it to drive both
// answers. An empty function restores the system's check.
using Check = std::function<bool(const QString& folder)>;
void setCheck(Check check);
bool folderIsShared(const QString& folder);

} // namespace FileSystemKind
