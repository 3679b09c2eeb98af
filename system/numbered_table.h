// A table of records known by number, with one lock around every lookup,
// creation and release. Numbers 0 .. size-1 name slots of a growable array
// (grown to number + 16 slots when a larger number is created); -1 creates a
// record outside the array whose address becomes its identifier, which can
// never be a valid index. Records never move while they exist.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

template <typename Record>
class NumberedTable {
public:
    NumberedTable() : slots_(16) {}

    // Creates (or replaces) the record for number and returns it with its
    // identifier; number -1 allocates a fresh identifier. nullptr for other
    // negative numbers. The record is visible to lookups at once.
    Record* Create(int64_t number, int64_t* identifier) {
        std::lock_guard<std::mutex> hold(lock_);
        auto record = std::make_unique<Record>();
        Record* raw = record.get();
        if (number == -1) {
            int64_t id = static_cast<int64_t>(reinterpret_cast<intptr_t>(raw));
            loose_[id] = std::move(record);
            *identifier = id;
        } else if (number >= 0) {
            if (static_cast<uint64_t>(number) >= slots_.size()) {
                slots_.resize(static_cast<size_t>(number) + 16);
            }
            slots_[static_cast<size_t>(number)] = std::move(record);
            *identifier = number;
        } else {
            return nullptr;
        }
        return raw;
    }

    // The record for an identifier, or nullptr.
    Record* Find(int64_t identifier) {
        std::lock_guard<std::mutex> hold(lock_);
        return FindLocked(identifier);
    }

    // Releases the record; later lookups find nothing.
    void Release(int64_t identifier) {
        std::lock_guard<std::mutex> hold(lock_);
        if (identifier >= 0 && static_cast<uint64_t>(identifier) < slots_.size()) {
            slots_[static_cast<size_t>(identifier)].reset();
        } else {
            loose_.erase(identifier);
        }
    }

    void Clear() {
        std::lock_guard<std::mutex> hold(lock_);
        slots_.clear();
        slots_.resize(16);
        loose_.clear();
    }

    // Calls visit(identifier, record) for every record, under the lock.
    template <typename Visit>
    void ForEach(Visit visit) {
        std::lock_guard<std::mutex> hold(lock_);
        for (size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i]) visit(static_cast<int64_t>(i), *slots_[i]);
        }
        for (auto& [id, record] : loose_) visit(id, *record);
    }

private:
    Record* FindLocked(int64_t identifier) {
        if (identifier >= 0 && static_cast<uint64_t>(identifier) < slots_.size()) {
            return slots_[static_cast<size_t>(identifier)].get();
        }
        auto found = loose_.find(identifier);
        return found == loose_.end() ? nullptr : found->second.get();
    }

    std::mutex lock_;
    std::vector<std::unique_ptr<Record>> slots_;
    std::unordered_map<int64_t, std::unique_ptr<Record>> loose_;
};
