#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <memory>

// Writes the user's data to a file so that the file ends up either complete or as it was: the
// content goes to a temporary file beside the target, is pushed out to the disk, and only then
// takes the target's name. Every failure says why in the system's words ("No space left on
// device"), and an existing file is never truncated before its replacement is complete.
//
// Only regular files (or names not yet taken) are targets. Writing through a temporary file
// would replace a device node, a pipe or a socket with a regular file, so those are refused
// before anything is written; so is a folder, or a name whose folder is missing or read-only.
// A symbolic link is followed: the file it points to is replaced.
//
// Checking a target before long work (a download, a save of many rows) spares the user the
// work when the target can never be written.
class SafeFile {
public:
    explicit SafeFile(const QString& path);
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Why `path` cannot be written as a file, for the user (without the path); empty when it
    // can.
    static QString targetProblem(const QString& path);
    // What `path` is when it exists but is no regular file ("it is a pipe (FIFO), not a
    // file"); empty for a regular file or a name not taken. Reading a pipe blocks until
    // something writes to it and a device may never end, so readers refuse them too.
    static QString notAFile(const QString& path);

    // Opens the temporary file. False (error() says why) when the target is refused or the
    // temporary file cannot be made.
    bool open();
    // Where the content goes while the file is open. A write either takes every byte or
    // fails with the system's reason in errorString().
    QIODevice& device();
    // Pushes everything out and gives the file the target's name. False when any write failed
    // or the disk refused the rest: the target is then untouched.
    bool commit();
    // Drops what was written; the target stays as it was.
    void discard();
    QString error() const { return m_error; }

    // `bytes` as the whole new content of `path`.
    static bool writeAll(const QString& path, const QByteArray& bytes, QString* error);

private:
    class Sink;
    QString m_path;
    QSaveFile m_file;
    std::unique_ptr<Sink> m_sink;
    QString m_error;
};
