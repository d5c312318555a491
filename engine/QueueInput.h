#pragma once

// Outcome of offering an entry to a queue.
enum class QueueInput {
    Accepted,  // stored
    Full,      // no free slot: keep the entry and offer it again later
    Refused,   // never fits (too large, bad size, no memory): drop it
};
