#pragma once

#include <QtGlobal>
#include <array>
#include <atomic>

#include "engine/ResetLock.h"

// The clock's schedule: a fixed pool of nodes threaded into a list that keeps
// timestamps in ascending order behind the first Open marker, and markers in
// arrival order at the tail. Every call but IsReset and Generation is made
// between Lock() and Unlock().
class DTSList : public ResetLock {
public:
    static constexpr int kCapacity = 150;

    struct Entry {
        qint64 dts = 0;         // ms, or a marker
        qint64 value = 0;       // the selected file's duration in ms (0 with Stop and End)
        bool backward = false;  // queued while reading backwards (dts = duration - time)
    };

    struct Node {
        Entry entry;
        Node* next = nullptr;
        bool used = false;
    };

    DTSList() = default;
    DTSList(const DTSList&) = delete;
    DTSList& operator=(const DTSList&) = delete;

    // Adds an entry; false when all nodes are pending (nothing changes).
    bool SetDTS(const Entry& entry);
    // Removes the first entry into *out; false when empty.
    bool GetDTS(Entry* out);
    // Whether an entry waits to be taken.
    bool HasEntry() const { return head != nullptr; }
    // Empties the schedule, sets the reset flag and starts a new generation.
    void Clear();

    // Any thread: how many Clears there have been; an entry taken in one
    // generation is stale once it has changed.
    quint64 Generation() const { return generation.load(); }

private:
    Node* FreeNode();
    Node* Anchor() const;

    std::atomic<quint64> generation{0};

    // Guarded by the lock.
    std::array<Node, kCapacity> nodes{};
    Node* head = nullptr;
};
