/**
 * @file
 * Copies files between /tmp and the flash data partition mounted on /data.
 */
#pragma once

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/**
 * Flash copies of one application's files, in the directory
 * "/data/apps/<b>-<a>" of the flash data partition (/dev/mtdblock5, jffs2).
 * Each call mounts the partition on /data, runs one shell command and
 * unmounts it again; progress goes to the system log ("logger").
 *
 * The methods return what system() returned for the command (0 when it
 * succeeded), the status of the "logger" line when the partition cannot be
 * mounted, or -1 for a refused name: names may hold only letters, digits and
 * "._-/+,:@%=~" (the list of persistmulti() also blanks and "*?[]"), and the
 * command must fit its buffer.
 */
class HAPersistence {
public:
    /// Sets the directory to "/apps/<b>-<a>" and creates it on /data if
    /// missing (a failed mount is logged and leaves it uncreated). The texts
    /// are copied; null counts as "".
    HAPersistence(char* a, char* b);
    /// Does nothing: the partition is never left mounted.
    ~HAPersistence();

    /// Copies file `src` to `name` in the directory. The copy goes to a
    /// temporary name and is renamed over the old one when whole, so a power
    /// cut or a full partition leaves the previous copy.
    int persist(char* src, char* name);
    /// Copies each file of the blank-separated list `srcs` (shell patterns
    /// allowed) into the directory under its own name, each as persist()
    /// does; 1 (from the shell) when any copy failed.
    int persistmulti(char* srcs);
    /// Deletes file `name` from the directory.
    int depersist(char* name);
    /// Copies file `name` of the directory to `dst`.
    int copyFile(char* name, char* dst);

private:
    int run(const char* operation, const char* command);

    char dir[151];
};

#pragma GCC visibility pop
