// Started by the restart tests in place of the player: appends one line
// "pid argc platform display sandbox" to $ORDAVEX_PROBE_OUT.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

static const char* env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "-";
}

int main(int argc, char**) {
    FILE* out = std::fopen(env("ORDAVEX_PROBE_OUT"), "a");
    if (!out)
        return 1;
    std::fprintf(out, "%d %d %s %s %s\n", int(getpid()), argc, env("QT_QPA_PLATFORM"),
                 env("DISPLAY"), env("QTWEBENGINE_DISABLE_SANDBOX"));
    return std::fclose(out) == 0 ? 0 : 1;
}
