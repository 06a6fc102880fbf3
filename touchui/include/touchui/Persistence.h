// Application files kept on the flash data partition, below /data/apps.
#pragma once

class Persistence {
public:
    // The directory is "/apps/<second>-<first>".
    Persistence(char* first, char* second);
    void persist(char* source, char* name);
    void depersist(char* name);
    void copyFile(char* name, char* destination);

    char dir[151];
};
