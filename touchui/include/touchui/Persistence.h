/**
 * @file
 * Application files kept on the flash data partition, below /data/apps.
 */
#pragma once

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// One application's directory on the flash data partition. Every operation
/// mounts the partition on /data, runs one shell command and unmounts it;
/// failures are not reported, and names with characters that could reach the
/// shell are refused (with a message on standard error).
class Persistence {
public:
    /// The directory is "/apps/<second>-<first>"; it is created on /data if
    /// missing.
    Persistence(char* first, char* second);
    /// Copies file `source` to `name` in the directory.
    void persist(char* source, char* name);
    /// Deletes file `name` from the directory.
    void depersist(char* name);
    /// Copies file `name` of the directory to `destination`.
    void copyFile(char* name, char* destination);

    char dir[151];  ///< "/apps/<second>-<first>"; "" when the names were refused
};

#pragma GCC visibility pop
