#pragma once

#include <QByteArray>

// Fails the system calls of this test program on chosen files: the code under test (Qt's included) meets
// the failure in the very call it makes, as it would on a failing disk.
namespace filefaults {

// Every read() / write() of a file whose path matches the shell pattern `pattern` (fnmatch) fails with `error`
// until `clear()`.
void failReads(const QByteArray& pattern, int error);
void failWrites(const QByteArray& pattern, int error);
void clear();

} // namespace filefaults
