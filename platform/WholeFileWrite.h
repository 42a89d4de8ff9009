#pragma once

#include <QByteArrayView>
#include <QString>

// Replacing a file's whole content, as the create-or-truncate-then-write of
// the platform the program's files were designed on, but safer where it can
// be: the bytes go to a temporary file beside the target, which replaces the
// target only once every byte is written, so a failed write leaves the old
// file as it was.
//
// Where that cannot be done the file is written in place instead, and a
// failed write may leave it holding part of the new content, or nothing:
// - no temporary file can be made beside the target (the user may write the
//   file but not its folder);
// - the target has further hard links, or belongs to another user: a new file
//   renamed over it would cut it off from its other names, or take it from
//   its owner.
// A symbolic link is followed: its target is written.
enum class FileWriteResult {
    Written,
    NotCreated,  // the file could not be created or opened for writing
    NotWritten,  // it was, but not every byte could be written
};

FileWriteResult WriteWholeFile(const QString& path, QByteArrayView bytes);
