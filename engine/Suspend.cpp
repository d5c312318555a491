#include "engine/Suspend.h"

std::atomic<bool> g_bSuspend{false};
