// The meter table, the map from control number to slot, and CreateMeter,
// which builds a meter: canvas control, record, images, dial face and the
// needle at rest. Slot 0 is never given out, so 0 means "no such meter".
#include "meter/meter_table.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Records never move once the worker threads run: the table only grows
// while meters are created on the main thread at start-up.
std::vector<MeterRecord> meterTable(2);
// Keyed by the control number, valued by slot. (The number itself rather
// than its decimal text: the same one-to-one key, without making a string
// at every update.)
std::unordered_map<int64_t, int64_t> meterIndex(512);
int64_t nextMeterSlot = 1;
int64_t defaultColours[4] = {0, 0, 0, 0};

}  // namespace

void CreateMeterTable() {
    meterTable.assign(2, MeterRecord{});
    meterIndex.clear();
    meterIndex.rehash(512);
    nextMeterSlot = 1;
}

void SetDefaultMeterColours(int64_t c0, int64_t c1, int64_t c2, int64_t c3) {
    defaultColours[0] = c0;
    defaultColours[1] = c1;
    defaultColours[2] = c2;
    defaultColours[3] = c3;
}

MeterRecord& NextMeterRecord(int64_t* slot) {
    *slot = nextMeterSlot;
    if (static_cast<int64_t>(meterTable.size()) < *slot + 1) {
        meterTable.resize(static_cast<size_t>(*slot) + 1);
    }
    MeterRecord& meter = meterTable[static_cast<size_t>(*slot)];
    meter = MeterRecord{};
    meter.colour0 = defaultColours[0];
    meter.colour1 = defaultColours[1];
    meter.colour2 = defaultColours[2];
    meter.colour3 = defaultColours[3];
    return meter;
}

void IndexMeter(int64_t number, int64_t slot) {
    meterIndex[number] = slot;
    if (slot == nextMeterSlot) ++nextMeterSlot;
}

std::mutex& MeterUpdateLock() {
    static std::mutex lock;
    return lock;
}

int64_t MeterSlot(int64_t number) {
    auto found = meterIndex.find(number);
    return found == meterIndex.end() ? 0 : found->second;
}

MeterRecord& MeterAt(int64_t slot) {
    return meterTable[static_cast<size_t>(slot)];
}

int64_t MeterTableSize() {
    return static_cast<int64_t>(meterTable.size());
}
