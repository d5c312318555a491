#include "engine/DTSList.h"

#include "engine/StreamMarker.h"

DTSList::Node* DTSList::FreeNode() {
    for (Node& node : nodes) {
        if (!node.used) {
            return &node;
        }
    }
    return nullptr;
}

// Timestamps are ordered from the first Open marker on, or from the head when
// there is none (after a seek).
DTSList::Node* DTSList::Anchor() const {
    for (Node* node = head; node; node = node->next) {
        if (node->entry.dts == StreamMarker::Open) {
            return node;
        }
    }
    return head;
}

bool DTSList::SetDTS(const Entry& entry) {
    Node* node = FreeNode();
    if (!node) {
        return false;
    }
    node->entry = entry;
    node->used = true;
    node->next = nullptr;
    if (!head) {
        head = node;
        return true;
    }
    if (StreamMarker::IsMarker(entry.dts)) {
        Node* tail = head;
        while (tail->next) {
            tail = tail->next;
        }
        tail->next = node;
        return true;
    }
    Node* anchor = Anchor();
    if (anchor->entry.dts > entry.dts) {
        // Only the head can be a greater anchor: the entry becomes the new head.
        node->next = head;
        head = node;
        return true;
    }
    // Equal timestamps keep arrival order; markers on the way (negative) are passed.
    Node* after = anchor;
    while (after->next && after->next->entry.dts <= entry.dts) {
        after = after->next;
    }
    node->next = after->next;
    after->next = node;
    return true;
}

bool DTSList::GetDTS(Entry* out) {
    if (!head) {
        return false;
    }
    Node* node = head;
    head = node->next;
    *out = node->entry;
    node->next = nullptr;
    node->used = false;
    return true;
}

void DTSList::Clear() {
    for (Node& node : nodes) {
        node.used = false;
        node.next = nullptr;
    }
    head = nullptr;
    generation.fetch_add(1);
    RaiseReset();
}
