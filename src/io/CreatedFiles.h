#pragma once

#include <QFile>
#include <QString>
#include <map>
#include <memory>
#include <mutex>

namespace quarvex {

// Opens file on a new file at path, created exclusively: the call fails
// when anything stands at path, a link included, so nothing is ever written
// through a name someone else prepared. mode is ReadWrite or WriteOnly,
// unbuffered. Raises the platform's reason (a FileWrite failure).
void openNewFile(QFile& file, const QString& path, QIODevice::OpenMode mode);

// Removes whatever stands at path (a link itself, never its target); a
// missing entry is no error. Raises naming the owner when the entry belongs
// to another user who keeps it in a sticky folder, else the platform's
// reason (FileWrite failures).
void removeEntry(const QString& path);

// The files one script run creates in the output folder, each held open on
// the descriptor it was created with until it is moved into place or
// removed. Nothing is reopened by name, so a file swapped for a link between
// two writes receives nothing more; the swap is found when the file is to
// be moved into place. Shared by the copies of a run's TextFiles.
class CreatedFiles {
public:
    CreatedFiles() = default;
    CreatedFiles(const CreatedFiles&) = delete;
    CreatedFiles& operator=(const CreatedFiles&) = delete;

    // Creates the file anew, after removing what stood at the name.
    QFile& create(const QString& path);

    // The file created at path by this run, or nullptr.
    QFile* find(const QString& path);

    // Renames from to to, replacing what stands at to (a link is replaced,
    // not followed), once from is checked to be still the file created
    // there. Raises "... is no longer the file this run wrote" otherwise.
    void moveIntoPlace(const QString& from, const QString& to);

    // Forgets the file and removes the entry at path; false when that fails.
    bool remove(const QString& path);

private:
    std::unique_ptr<QFile> take(const QString& path);

    std::mutex m_mutex;
    std::map<QString, std::unique_ptr<QFile>> m_files;
};

} // namespace quarvex
