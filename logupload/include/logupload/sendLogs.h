// Diagnostic log upload: a snapshot of the router's state, archived and posted
// with an identifying message to the support server over HTTPS.
#pragma once
#include <cstddef>

class SendLogs {
public:
    SendLogs();
    virtual ~SendLogs();

    void setMessage(char* text);
    char* getMessage();
    char* getFileName();
    bool sendLogs(char* archivePath);
    int mainSendLogs();
    // The same job for interfaces that pass one integer: the object's
    // address (the router's pointers are 32 bits wide).
    static int mainSendLogs(int object);
    int remove_directory(const char* path);

private:
    char snapshotDir[100];
    char archivePath[100];
    char mac[25];
    char message[350];
};

size_t read_data(void* data, unsigned size, unsigned count, void* user);
unsigned long long getMac();
void on_terminate(int signal);
