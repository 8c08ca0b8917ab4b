#include "io/SharedFolder.h"

#include "base/ProcedureError.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quarvex {

namespace {

QString pathContext(const QString& path) {
    return QStringLiteral("\r\n\r\n[") + path + QLatin1Char(']');
}

#ifdef Q_OS_UNIX

QString userName(uid_t uid) {
    if (const passwd* user = getpwuid(uid))
        return QString::fromLocal8Bit(user->pw_name);
    return QString::number(uid);
}

// A group named after the folder's owner with no other listed member is
// the owner's own (the usual private group), not a shared one.
bool groupIsOwnersOwn(gid_t gid, uid_t owner) {
    const group* folderGroup = getgrgid(gid);
    const passwd* user = getpwuid(owner);
    if (!folderGroup || !user || QByteArray(folderGroup->gr_name) != QByteArray(user->pw_name))
        return false;
    for (char** member = folderGroup->gr_mem; *member; ++member)
        if (QByteArray(*member) != QByteArray(user->pw_name))
            return false;
    return true;
}

bool writableByOthers(const struct stat& folder) {
    if (folder.st_mode & S_IWOTH)
        return true;
    return (folder.st_mode & S_IWGRP) && !groupIsOwnersOwn(folder.st_gid, folder.st_uid);
}

#endif

} // namespace

void requireUnsharedFolder(const QString& folder) {
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    if (!(info.st_mode & S_ISVTX) && writableByOthers(info))
        raise(QStringLiteral("The output folder can be written by other users and has no "
                             "sticky bit, so they could replace the script files with links") +
                  pathContext(folder),
              FailureKind::FileWrite);
#else
    Q_UNUSED(folder);
#endif
}

QString blockingOwner(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat entry {};
    struct stat folder {};
    const uid_t self = geteuid();
    if (self == 0 || ::lstat(QFile::encodeName(path).constData(), &entry) != 0 ||
        entry.st_uid == self)
        return {};
    const QString folderPath = QFileInfo(path).absolutePath();
    if (::stat(QFile::encodeName(folderPath).constData(), &folder) != 0 ||
        !(folder.st_mode & S_ISVTX) || folder.st_uid == self)
        return {};
    return userName(entry.st_uid);
#else
    Q_UNUSED(path);
    return {};
#endif
}

void requireReplaceableEntry(const QString& path) {
    const QString owner = blockingOwner(path);
    if (!owner.isEmpty())
        raise(QStringLiteral("The entry belongs to user ") + owner +
                  QStringLiteral(", and the folder's sticky bit keeps this run from "
                                 "replacing it") +
                  pathContext(path),
              FailureKind::FileWrite);
}

} // namespace quarvex
