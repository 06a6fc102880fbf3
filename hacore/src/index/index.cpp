// Index types read back from the index store /tmp/idb, and the writer that
// lays the catalogue into it.
#include "hacore/index.h"

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/text.h"
#include "store/store_internal.h"

const char IdxArr[20][5] = {"IN",  "DT",  "RO", "LT",  "IB", "GL",  "DI", "VC",  "UNT", "MIN",
                            "MAX", "FCT", "PL", "SPL", "CD", "UIS", "DV", "STR", "EF",  "AL"};

namespace {

const char kStorePath[] = "/tmp/idb";
const char kErr[] = "#Err";

constexpr int kDescriptorFields = 8;
constexpr int kValueFields = 6;
constexpr int kAttributeFields = 12;
constexpr int kFieldCodes = kDescriptorFields + kAttributeFields;
constexpr int kFieldIN = 0;
constexpr int kFieldVC = 7;

constexpr int kReadCap = 50;        // every text record but the value label
constexpr int kLabelReadCap = 100;  // value labels
// A store whose value count is out of all proportion must not make a reader
// allocate without end; the catalogue's largest is 20.
constexpr int kMaxValues = 255;

// Splits a catalogue row into `n` fields taken from the left; fields beyond
// `n` are ignored, missing trailing fields read "NaN".
void splitRow(const char* row, int n, char fields[][kIndexRowSize]) {
    const char* p = row;
    for (int i = 0; i < n; ++i) {
        if (!p) {
            strcpy(fields[i], "NaN");
            continue;
        }
        const char* comma = strchr(p, ',');
        size_t len = comma ? size_t(comma - p) : strlen(p);
        if (len > kIndexRowSize - 1) len = kIndexRowSize - 1;
        memcpy(fields[i], p, len);
        fields[i][len] = '\0';
        p = comma ? comma + 1 : nullptr;
    }
}

// Decimal value of a text, 0 if it is not a number; clamped to int.
int decimal(const char* s) {
    long v = strtol(s, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

void putText(DEPOT* db, const char* key, const char* text) { hastore::put(db, key, text, int(strlen(text))); }

// Reads a text record under `cap` into a field of `size` bytes, cut to fit.
// Returns false (field left as it was) if the record is missing.
bool getField(DEPOT* db, const char* key, int cap, char* field, int size) {
    char buf[kLabelReadCap + 1];
    if (!hastore::getText(db, key, buf, cap)) return false;
    hbase::copyText(field, size, buf);
    return true;
}

}  // namespace

// ---- Index ----

Index::Index() : count(0), indexID(IDX_NONE), valueCount(0) {
    name[0] = dataType[0] = readOnly[0] = layout[0] = behaviour[0] = '\0';
    groupLabel[0] = defaultIcon[0] = units[0] = minimum[0] = maximum[0] = '\0';
    factor[0] = placement[0] = sPlacement[0] = conditional[0] = '\0';
    useInScenes[0] = defaultVisibility[0] = showToggleInRules[0] = '\0';
    excludeFrom[0] = appLabel[0] = '\0';
}

// The records of a value, by their key's tag, in the order of a catalogue
// row's value fields, and the field each fills.
struct ValueField {
    const char* tag;
    int cap;
    size_t at, size;
};
#define HACORE_VALUE_FIELD(tag, cap, field) \
    { tag, cap, offsetof(IndexValue, field), sizeof(IndexValue::field) }
const ValueField kValueRecords[kValueFields] = {
    HACORE_VALUE_FIELD("V", kReadCap, value),     HACORE_VALUE_FIELD("L", kLabelReadCap, label),
    HACORE_VALUE_FIELD("I", kReadCap, icon),      HACORE_VALUE_FIELD("T", kReadCap, toggleValue),
    HACORE_VALUE_FIELD("AL", kReadCap, appLabel), HACORE_VALUE_FIELD("EF", kReadCap, excludeFrom),
};
#undef HACORE_VALUE_FIELD

Index::Index(int code) : Index() {
    // Readers do not repair: a broken store leaves the entry empty.
    hastore::Store db = hastore::openNoRepair(kStorePath);
    if (!db) return;

    char key[48];
    for (int f = 0; f < kFieldCodes; ++f) {
        snprintf(key, sizeof key, "%d.%.4s", code, IdxArr[f]);
        char text[kReadCap + 1];
        if (!hastore::getText(db, key, text, kReadCap)) break;  // the rest stay empty
        if (f == kFieldVC) {
            valueCount = count = decimal(text);
            continue;
        }
        int size = 0;
        char* field = textField(f, &size);
        hbase::copyText(field, size, text);
        if (f == kFieldIN) indexID = StrToIndexTypeEnum(text);
    }

    if (count > kMaxValues) valueCount = count = kMaxValues;
    for (int k = 1; k <= count; ++k) {
        IndexValue v = {};
        for (const ValueField& f : kValueRecords) {
            snprintf(key, sizeof key, "%d.%s%d", code, f.tag, k);
            getField(db, key, f.cap, reinterpret_cast<char*>(&v) + f.at, f.size);
        }
        valueList.push_back(v);
    }
}

Index::~Index() { valueList.clear(); }

// The text field that holds field code `field` of IdxArr (not VC).
char* Index::textField(int field, int* size) {
    struct Slot {
        char* p;
        int n;
    };
    const Slot slots[kFieldCodes] = {
        {name, sizeof name},
        {dataType, sizeof dataType},
        {readOnly, sizeof readOnly},
        {layout, sizeof layout},
        {behaviour, sizeof behaviour},
        {groupLabel, sizeof groupLabel},
        {defaultIcon, sizeof defaultIcon},
        {nullptr, 0},  // VC is a number
        {units, sizeof units},
        {minimum, sizeof minimum},
        {maximum, sizeof maximum},
        {factor, sizeof factor},
        {placement, sizeof placement},
        {sPlacement, sizeof sPlacement},
        {conditional, sizeof conditional},
        {useInScenes, sizeof useInScenes},
        {defaultVisibility, sizeof defaultVisibility},
        {showToggleInRules, sizeof showToggleInRules},
        {excludeFrom, sizeof excludeFrom},
        {appLabel, sizeof appLabel},
    };
    *size = slots[field].n;
    return slots[field].p;
}

void Index::WriteIndexToidb() {
    hastore::Store db = hastore::open(kStorePath);
    if (!db) return;

    char row[kIndexRowSize];
    char fields[kAttributeFields][kIndexRowSize];
    char key[48];
    for (int n = kIndexCatalogueFirst; n <= kIndexCatalogueLast; ++n) {
        IndexDetails(IndexType(n), row, 0);
        splitRow(row, kDescriptorFields, fields);

        snprintf(key, sizeof key, "%d", n);
        putText(db, key, key);
        for (int f = 0; f < kDescriptorFields; ++f) {
            snprintf(key, sizeof key, "%d.%.4s", n, IdxArr[f]);
            putText(db, key, fields[f]);
        }

        int vc = decimal(fields[kFieldVC]);
        for (int k = 1; k <= vc + 1; ++k) {
            IndexDetails(IndexType(n), row, k);
            if (k == vc + 1) {
                splitRow(row, kAttributeFields, fields);
                for (int f = 0; f < kAttributeFields; ++f) {
                    snprintf(key, sizeof key, "%d.%.4s", n, IdxArr[kDescriptorFields + f]);
                    putText(db, key, fields[f]);
                }
                break;
            }
            splitRow(row, kValueFields, fields);
            for (int f = 0; f < kValueFields; ++f) {
                snprintf(key, sizeof key, "%d.%s%d", n, kValueRecords[f].tag, k);
                putText(db, key, fields[f]);
            }
        }
    }
}

IndexType Index::getIndexID() { return indexID; }
char* Index::getIndexName() { return name; }
char* Index::getIndexDataType() { return dataType; }
char* Index::getIndexReadOnly() { return readOnly; }
char* Index::getIndexLayout() { return layout; }
char* Index::getIndexBehaviour() { return behaviour; }
char* Index::getIndexGroupLabel() { return groupLabel; }
char* Index::getIndexDefaultIcon() { return defaultIcon; }
char* Index::getIndexUnits() { return units; }
char* Index::getIndexMin() { return minimum; }
char* Index::getIndexMax() { return maximum; }
char* Index::getIndexFactor() { return factor; }
char* Index::getIndexPlacement() { return placement; }
char* Index::getIndexSPlacement() { return sPlacement; }
char* Index::getIndexConditional() { return conditional; }
char* Index::getIndexUseinScenes() { return useInScenes; }
char* Index::getIndexDefaultVisibility() { return defaultVisibility; }
char* Index::getIndexShowToggleInRules() { return showToggleInRules; }
char* Index::getIndexExcludeFrom() { return excludeFrom; }
char* Index::getIndexAppLabel() { return appLabel; }

// Walks the value list from its head; null when k is outside 1..count.
const IndexValue* Index::valueAt(int k) const {
    if (k < 1 || k > count) return nullptr;
    int i = 1;
    for (const IndexValue& v : valueList)
        if (i++ == k) return &v;
    return nullptr;
}

// A text field of a value, or "#ERR" when there is no such value.
template <size_t N>
static const char* fieldAt(const IndexValue* v, char (IndexValue::*field)[N]) {
    return v ? v->*field : kErr;
}

const char* Index::getValue(int k) { return fieldAt(valueAt(k), &IndexValue::value); }

const char* Index::getValueLabel(int k) { return fieldAt(valueAt(k), &IndexValue::label); }

const char* Index::getValueIcon(int k) { return fieldAt(valueAt(k), &IndexValue::icon); }

const char* Index::getValueToggleValue(int k) { return fieldAt(valueAt(k), &IndexValue::toggleValue); }

const char* Index::getValueAppLabel(int k) { return fieldAt(valueAt(k), &IndexValue::appLabel); }

const char* Index::getValueExcludeFrom(int k) { return fieldAt(valueAt(k), &IndexValue::excludeFrom); }

// ---- IndexList ----

IndexList::IndexList() {}

IndexList::~IndexList() { indexes.clear(); }

void IndexList::Populate() {
    hastore::Store db = hastore::openNoRepair(kStorePath);
    if (!db) return;

    if (hastore::iterInit(db)) {
        std::string key;
        while (hastore::iterNext(db, key)) {
            char value[kReadCap + 1];
            if (!hastore::getText(db, key.c_str(), value, kReadCap)) break;
            if (key.find('.') != std::string::npos) continue;
            // Index(int) opens the store again beside this iteration's handle.
            indexes.push_back(Index(decimal(value)));
        }
    }
}
