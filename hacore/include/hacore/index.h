/**
 * @file
 * The index catalogue: the hub's built-in description of every value-index
 * type (name, screen layout, values with their labels and icons, units and
 * range, placement, editor exclusions), and the index store /tmp/idb that
 * the front ends read it from.
 */
#pragma once

#include <cstdint>
#include <list>

#include "hacore/vocab.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// First code with a catalogue entry.
constexpr int kIndexCatalogueFirst = 1;
/// Last code with a catalogue entry (entries exist for 1 to 107).
constexpr int kIndexCatalogueLast = 107;
/// A row buffer of this size holds every catalogue row and every error text.
constexpr int kIndexRowSize = 100;

/// The twenty field codes of the index store, in catalogue order: 8 of the
/// descriptor row, then 12 of the attribute row ("IN" ... "VC", "UNT" ...
/// "AL"). A field's store key is "<code>.<field code>".
extern const char IdxArr[20][5];

/// Writes row `choice` of the catalogue entry of `type` into `out` (at least
/// #kIndexRowSize bytes): 0 the descriptor, 1..N the values, N+1 the
/// attribute row (fields separated by commas). A negative choice writes
/// "#ERR:Invalid choice"; a type outside 1..107 writes "#ERR:Invalid Index
/// Type"; a choice beyond the attribute row leaves `out` as it was.
void IndexDetails(IndexType type, char* out, int choice);

/// One value of an index type, as stored under "<code>.V<k>", ".L<k>",
/// ".I<k>", ".T<k>", ".AL<k>" and ".EF<k>".
struct IndexValue {
    char value[50];        ///< raw value as devices report it
    char label[100];       ///< text shown for it
    char icon[50];         ///< icon name shown for it
    char toggleValue[20];  ///< what a tap sets while the index shows this value
    char appLabel[50];     ///< text the phone application shows
    char excludeFrom[50];  ///< editors that do not offer this value
};
static_assert(sizeof(IndexValue) == 320, "index value size");

/**
 * One index type as read back from the index store. The text getters return
 * the stored field (store code in brackets), "" when it is missing, pointing
 * into the object.
 */
class Index {
public:
    /// An empty entry: ID 0, no values.
    Index();
    /// Reads entry `code` of /tmp/idb; a missing entry leaves the fields
    /// empty, the ID 0 and no values (the fields after the first missing one
    /// stay empty). A broken store is not repaired here.
    explicit Index(int code);
    /// Copies the entry.
    Index(const Index&) = default;
    /// Replaces the entry with a copy of another.
    Index& operator=(const Index&) = default;
    /// Frees the values.
    ~Index();

    /// Lays the whole catalogue into /tmp/idb (one record per field, the
    /// entry records "<code>" and every value), overwriting what is there.
    static void WriteIndexToidb();

    /// The type, from the stored name; IDX_NONE when missing.
    IndexType getIndexID();
    /// ("IN") name, e.g. "SWITCH BINARY".
    char* getIndexName();
    /// ("DT") data type label.
    char* getIndexDataType();
    /// ("RO") read-only flag text.
    char* getIndexReadOnly();
    /// ("LT") screen layout.
    char* getIndexLayout();
    /// ("IB") behaviour.
    char* getIndexBehaviour();
    /// ("GL") group label.
    char* getIndexGroupLabel();
    /// ("DI") default icon.
    char* getIndexDefaultIcon();
    /// ("UNT") units.
    char* getIndexUnits();
    /// ("MIN") minimum, as text.
    char* getIndexMin();
    /// ("MAX") maximum, as text.
    char* getIndexMax();
    /// ("FCT") factor, as text.
    char* getIndexFactor();
    /// ("PL") placement.
    char* getIndexPlacement();
    /// ("SPL") secondary placement.
    char* getIndexSPlacement();
    /// ("CD") conditional flag text.
    char* getIndexConditional();
    /// ("UIS") whether scenes may use it. "Usein" is the exported spelling.
    char* getIndexUseinScenes();
    /// ("DV") default visibility.
    char* getIndexDefaultVisibility();
    /// ("STR") whether rules show a toggle.
    char* getIndexShowToggleInRules();
    /// ("EF") editors that do not offer the index.
    char* getIndexExcludeFrom();
    /// ("AL") text the phone application shows.
    char* getIndexAppLabel();

    /// Raw value `k` (1-based); "#Err" when k is outside 1..value count. The
    /// texts point into the object.
    const char* getValue(int k);
    /// Label of value `k`; "#Err" as for getValue().
    const char* getValueLabel(int k);
    /// Icon of value `k`; "#Err" as for getValue().
    const char* getValueIcon(int k);
    /// Toggle value of value `k`; "#Err" as for getValue().
    const char* getValueToggleValue(int k);
    /// Application label of value `k`; "#Err" as for getValue().
    const char* getValueAppLabel(int k);
    /// Editor exclusions of value `k`; "#Err" as for getValue().
    const char* getValueExcludeFrom(int k);

    /// The values in value order, as loaded.
    const std::list<IndexValue>& values() const { return valueList; }
    /// ("VC") number of values.
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

/// Every index type of the store, each a copy owned by the list, in the
/// store's iteration (hash) order.
class IndexList {
public:
    /// An empty list.
    IndexList();
    /// Frees the copies.
    ~IndexList();
    /// Appends one Index for every entry record of /tmp/idb (the list is not
    /// emptied first).
    void Populate();

    /// The entries loaded by Populate().
    std::list<Index> indexes;
};

#pragma GCC visibility pop
