// The index catalogue: the hub's built-in description of every value-index
// type (name, screen layout, values with their labels and icons, units and
// range, placement, editor exclusions), and the index store /tmp/idb that
// the front ends read it from.
#pragma once

#include <cstdint>
#include <list>

#include "hacore/vocab.h"

// Catalogue entries exist for codes 1 to 107.
constexpr int kIndexCatalogueFirst = 1;
constexpr int kIndexCatalogueLast = 107;
// A row buffer of this size holds every catalogue row and every error text.
constexpr int kIndexRowSize = 100;

// The twenty field codes of the index store, in catalogue order: 8 of the
// descriptor row, then 12 of the attribute row ("IN" ... "VC", "UNT" ... "AL").
extern const char IdxArr[20][5];

// Writes row `choice` of the catalogue entry of `type` into `out` (at least
// kIndexRowSize bytes): 0 the descriptor, 1..N the values, N+1 the attribute
// row. A negative choice writes "#ERR:Invalid choice"; a type outside
// 1..107 writes "#ERR:Invalid Index Type"; a choice beyond the attribute row
// leaves `out` as it was.
void IndexDetails(IndexType type, char* out, int choice);

// One value of an index type.
struct IndexValue {
    char value[50];  // raw value as devices report it
    char label[100];
    char icon[50];
    char toggleValue[20];  // what a tap sets while the index shows this value
    char appLabel[50];
    char excludeFrom[50];
};
static_assert(sizeof(IndexValue) == 320, "index value size");

// One index type as read back from the index store.
class Index {
public:
    Index();
    // Reads entry `code` of /tmp/idb; a missing entry leaves the fields
    // empty, the ID 0 and no values.
    explicit Index(int code);
    Index(const Index&) = default;
    Index& operator=(const Index&) = default;
    ~Index();

    // Lays the whole catalogue into /tmp/idb (one record per field).
    static void WriteIndexToidb();

    IndexType getIndexID();
    char* getIndexName();
    char* getIndexDataType();
    char* getIndexReadOnly();
    char* getIndexLayout();
    char* getIndexBehaviour();
    char* getIndexGroupLabel();
    char* getIndexDefaultIcon();
    char* getIndexUnits();
    char* getIndexMin();
    char* getIndexMax();
    char* getIndexFactor();
    char* getIndexPlacement();
    char* getIndexSPlacement();
    char* getIndexConditional();
    char* getIndexUseinScenes();
    char* getIndexDefaultVisibility();
    char* getIndexShowToggleInRules();
    char* getIndexExcludeFrom();
    char* getIndexAppLabel();

    // Value `k` (1-based); "#Err" when k is outside 1..value count.
    const char* getValue(int k);
    const char* getValueLabel(int k);
    const char* getValueIcon(int k);
    const char* getValueToggleValue(int k);
    const char* getValueAppLabel(int k);
    const char* getValueExcludeFrom(int k);

    // The values in value order, as loaded.
    const std::list<IndexValue>& values() const { return valueList; }
    int getValueCount() const { return valueCount; }

private:
    const IndexValue* valueAt(int k) const;
    char* textField(int field, int* size);

    int32_t count;  // copy of the value count used for range checks
    std::list<IndexValue> valueList;
    IndexType indexID;
    char name[50];
    char dataType[10];
    char readOnly[30];
    char layout[25];
    char behaviour[25];
    char groupLabel[20];
    char defaultIcon[50];
    int32_t valueCount;
    char units[10];
    char minimum[12];
    char maximum[12];
    char factor[10];
    char placement[30];
    char sPlacement[30];
    char conditional[30];
    char useInScenes[30];
    char defaultVisibility[30];
    char showToggleInRules[30];
    char excludeFrom[50];
    char appLabel[50];
};

// Every index type of the store, each a copy owned by the list, in the
// store's iteration (hash) order.
class IndexList {
public:
    IndexList();
    ~IndexList();
    // Appends one Index for every entry record of /tmp/idb.
    void Populate();

    std::list<Index> indexes;
};
