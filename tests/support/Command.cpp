#include "Command.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "TestData.h"

namespace testsupport {

std::string shellQuote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

CommandResult runCommand(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv)
        line += shellQuote(arg) + " ";
    CommandResult result;
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 65536> chunk;
    size_t n;
    while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        result.out.append(chunk.data(), n);
    int status = pclose(pipe);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

CommandResult ffprobe(const std::vector<std::string>& args, const std::string& file) {
    std::vector<std::string> argv{ffprobePath(), "-v", "error"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(file);
    return runCommand(argv);
}

CommandResult ffmpeg(const std::vector<std::string>& args) {
    std::vector<std::string> argv{ffmpegPath(), "-nostdin", "-v", "error"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv);
}

std::map<std::string, int> videoFrameIndex(const std::string& file) {
    const CommandResult r =
        ffmpeg({"-i", file, "-map", "0:v", "-f", "framemd5", "-pix_fmt", "yuv420p", "-"});
    std::map<std::string, int> index;
    int n = 0;
    size_t at = 0;
    while (at < r.out.size()) {
        size_t end = r.out.find('\n', at);
        end = end == std::string::npos ? r.out.size() : end;
        const std::string line = r.out.substr(at, end - at);
        at = end + 1;
        const size_t comma = line.rfind(',');
        if (line.empty() || line[0] == '#' || comma == std::string::npos)
            continue;
        const size_t first = line.find_first_not_of(' ', comma + 1);
        const size_t last = line.find_last_not_of(" \r");
        if (first != std::string::npos && last >= first)
            index.emplace(line.substr(first, last - first + 1), n++);
    }
    return index;
}

}  // namespace testsupport
