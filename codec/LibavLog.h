#pragma once

// Routes libav*'s own log lines to the Qt debug stream instead of standard
// error. Process-wide; installing more than once does nothing.
class LibavLog {
public:
    static void Install();
};
