#pragma once

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct CommandResult {
    int exitCode = -1;  // the process's exit status; -1 when it did not exit normally
    std::string out;    // everything it wrote to standard output
};

// Quotes one argument for /bin/sh.
std::string shellQuote(const std::string& arg);

// Runs argv (no shell expansion of its words) and collects standard output;
// standard error passes through to the test's log.
CommandResult runCommand(const std::vector<std::string>& argv);

// ffprobe -v error <args...> <file>; the exit code is checked by the caller.
CommandResult ffprobe(const std::vector<std::string>& args, const std::string& file);

// ffmpeg -nostdin -v error <args...>.
CommandResult ffmpeg(const std::vector<std::string>& args);

// The file's pictures as ffmpeg decodes them to yuv420p (framemd5): MD5 ->
// index in display order (the first index when two pictures are equal).
std::map<std::string, int> videoFrameIndex(const std::string& file);

}  // namespace testsupport
