/**
 * @file
 * Diagnostic log upload: a snapshot of the router's state, archived and posted
 * with an identifying message to the support server over HTTPS.
 *
 * Use: setMessage(), then mainSendLogs(), which collects, archives, uploads
 * and cleans up. Blocks for the whole job (the upload up to 60 seconds).
 */
#pragma once
#include <cstddef>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// One log upload: the snapshot's directory and archive, the router's MAC
/// (read at construction) and the message sent with it.
class SendLogs {
public:
    /// Reads the factory MAC (getMac()); empty message.
    SendLogs();
    /// Does nothing.
    virtual ~SendLogs();

    /// Sets the message to "<firmware version>--<hub location>--<text>"
    /// (at most 349 characters; a null text counts as "").
    void setMessage(char* text);
    /// The message (points into the object).
    char* getMessage();
    /// Collects the router's logs and state into
    /// "/tmp/Halvix3Logs.<date and time>" and archives that directory with
    /// tar into the same name plus ".tar.gz"; returns the directory's path
    /// (points into the object).
    char* getFileName();
    /// Uploads the archive at `archivePath` as a multipart form with the MAC,
    /// the hub ID and the message; true when the server answered HTTP 200
    /// without an error text.
    bool sendLogs(char* archivePath);
    /// The whole job: getFileName(), sendLogs(), then removes the directory
    /// and the archive. 1 uploaded, 0 not.
    int mainSendLogs();
    /// The same job for interfaces that pass one integer: the object's
    /// address (the router's pointers are 32 bits wide; on a 64-bit host the
    /// address does not fit and this cannot be used).
    static int mainSendLogs(int object);
    /// Removes the directory tree at `path` (links are removed, not
    /// followed); 0, or -1 (or what the failing call returned) on failure.
    int remove_directory(const char* path);

private:
    char snapshotDir[100];
    char archivePath[100];
    char mac[25];
    char message[350];
};

/// libcurl write callback of the upload: prints the server's answer and
/// returns `size` * `count`, or a different value (which makes libcurl fail
/// the transfer) when the answer reports an error.
size_t read_data(void* data, unsigned size, unsigned count, void* user);
/// The router's factory MAC from /dev/mtd3 (offset 4, 6 bytes) as a number;
/// 0 when it cannot be read.
unsigned long long getMac();
/// Signal handler that ends the process at once (_exit(0)), safe in a signal
/// handler.
void on_terminate(int signal);

#pragma GCC visibility pop
