// Copies files between /tmp and the flash data partition mounted on /data.
#pragma once

class HAPersistence {
public:
    // The object's directory is "/apps/<b>-<a>"; it is created on /data if
    // missing.
    HAPersistence(char* a, char* b);
    ~HAPersistence();

    int persist(char* src, char* name);
    int persistmulti(char* srcs);
    int depersist(char* name);
    int copyFile(char* name, char* dst);

private:
    int run(const char* operation, const char* command);

    char dir[151];
};
