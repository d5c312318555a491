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

}  // namespace testsupport
