#pragma once

#include <atomic>

// Process-wide exit flag: raised once when the application ends; every worker
// loop and retry loop polls it and ends. Never cleared in production.
extern std::atomic<bool> g_bSuspend;
