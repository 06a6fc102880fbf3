// Reads of a Depot store straight from its file, for the hot readers: one
// read a search-tree node instead of qdbm's two, and a whole store or a
// stretch of it in one pass. They work only where the file is laid out as
// qdbm 1.8 lays it out; elsewhere they decline and callers use qdbm's API.
#pragma once

#include <vector>

extern "C" {
#include <depot.h>
}

namespace hbase {

// True when the linked qdbm is 1.8, whose layout these reads know.
bool knownDepotLayout();

// Looks the key up by walking the store's one search tree. Returns the bytes
// read (at most cap), or -2 when the walk cannot tell (not found, more than
// one bucket, a deleted record, anything unexpected in the file): the caller
// then asks qdbm. *found, when given, gets the record's file offset.
int lookUp(DEPOT* db, const char* key, int ksize, char* buf, int cap, int* found);

// One live record of a copy of the file: offsets into that copy.
struct RecordRef {
    int keyAt, keySize, valueAt, valueSize;
};

// Reads the whole file in one sequential pass and lists its live records in
// file order (the order of an iteration). False, with nothing listed, when
// the file is not laid out as expected or does not match the handle.
bool readAll(DEPOT* db, std::vector<char>& file, std::vector<RecordRef>& records);

// The live records of a stretch of the file that starts at a record.
struct Stretch {
    std::vector<char> bytes;
    std::vector<RecordRef> records;  // offsets into bytes
};
bool readStretch(DEPOT* db, int at, int size, Stretch& out);
// A record of the stretch read like a get: -1 when the stretch does not hold
// it (it may still be elsewhere in the store).
int getFrom(const Stretch& s, const char* key, void* buf, int cap);

}  // namespace hbase
