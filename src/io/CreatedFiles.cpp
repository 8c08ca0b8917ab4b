#include "io/CreatedFiles.h"

#include "base/ProcedureError.h"
#include "io/SharedFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#else
#include <io.h>
#define close _close
#endif

namespace quarvex {

namespace {

[[noreturn]] void raiseErrno(int error) {
    raise(QString::fromLocal8Bit(std::strerror(error)), FailureKind::FileWrite);
}

#ifdef Q_OS_UNIX
int createExclusively(const QByteArray& path, int access) {
    // O_EXCL with O_CREAT refuses a link at the name, even a dangling one;
    // O_NOFOLLOW says so for systems that read it alone.
    return ::open(path.constData(), access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the entry at path is the open file: a regular file, not a link,
// with the same device and inode.
bool entryIsFile(const QString& path, QFile& file) {
    struct stat entry {};
    struct stat opened {};
    return ::lstat(QFile::encodeName(path).constData(), &entry) == 0 && S_ISREG(entry.st_mode) &&
           ::fstat(file.handle(), &opened) == 0 && sameFile(entry, opened);
}
#else
int createExclusively(const QByteArray& path, int access) {
    // Windows follows no link that a plain user can plant, and _O_EXCL
    // refuses any entry at the name.
    return ::_open(path.constData(), access | _O_CREAT | _O_EXCL | _O_BINARY, 0666);
}

bool entryIsFile(const QString&, QFile&) {
    return true;
}
#endif

} // namespace

void openNewFile(QFile& file, const QString& path, QIODevice::OpenMode mode) {
    const int access = mode & QIODevice::ReadOnly ? O_RDWR : O_WRONLY;
    const int descriptor = createExclusively(QFile::encodeName(path), access);
    if (descriptor < 0)
        raiseErrno(errno);
    if (!file.open(descriptor, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        raise(file.errorString(), FailureKind::FileWrite);
    }
}

void removeEntry(const QString& path) {
    requireReplaceableEntry(path);
    if (std::remove(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        raiseErrno(errno);
}

QFile& CreatedFiles::create(const QString& path) {
    take(path);
    removeEntry(path);
    auto file = std::make_unique<QFile>();
    openNewFile(*file, path, QIODevice::ReadWrite);
    const std::lock_guard lock(m_mutex);
    return *(m_files[path] = std::move(file));
}

QFile* CreatedFiles::find(const QString& path) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_files.find(path);
    return found == m_files.end() ? nullptr : found->second.get();
}

void CreatedFiles::moveIntoPlace(const QString& from, const QString& to) {
    const std::unique_ptr<QFile> file = take(from);
    if (!file)
        raise(QStringLiteral("The file was not written by this run"), FailureKind::FileWrite);
    // What another user put in our file's place goes nowhere near the
    // script's name.
    if (!entryIsFile(from, *file))
        raise(QStringLiteral("The file was replaced while the run wrote it"),
              FailureKind::FileWrite);
    // rename(2) replaces the target in one step; a link standing there is
    // replaced, not followed.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        raiseErrno(errno);
    if (!entryIsFile(to, *file))
        raise(QStringLiteral("The file was replaced while the run moved it"),
              FailureKind::FileWrite);
}

bool CreatedFiles::remove(const QString& path) {
    take(path);
    return !failureOf([&] { removeEntry(path); });
}

std::unique_ptr<QFile> CreatedFiles::take(const QString& path) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_files.find(path);
    if (found == m_files.end())
        return nullptr;
    std::unique_ptr<QFile> file = std::move(found->second);
    m_files.erase(found);
    return file;
}

} // namespace quarvex
