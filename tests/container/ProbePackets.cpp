#include "ProbePackets.h"

#include <map>
#include <ostream>
#include <sstream>

#include "Command.h"

namespace containertest {

namespace {

// Splits ffprobe's compact lines ("key=value|key=value") into maps.
std::vector<std::map<std::string, std::string>> compactRecords(const std::string& text) {
    std::vector<std::map<std::string, std::string>> records;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::map<std::string, std::string> fields;
        std::istringstream parts(line);
        std::string part;
        while (std::getline(parts, part, '|')) {
            size_t eq = part.find('=');
            if (eq != std::string::npos)
                fields[part.substr(0, eq)] = part.substr(eq + 1);
        }
        if (!fields.empty())
            records.push_back(fields);
    }
    return records;
}

int64_t number(const std::map<std::string, std::string>& f, const char* key, int64_t missing) {
    auto it = f.find(key);
    if (it == f.end() || it->second.empty() || it->second == "N/A")
        return missing;
    return std::stoll(it->second, nullptr, 0);
}

}  // namespace

std::vector<ProbePacket> probePackets(const std::string& path) {
    testsupport::CommandResult r = testsupport::ffprobe(
        {"-show_entries", "packet=stream_index,dts,size,pos,flags", "-of", "compact=p=0"}, path);
    std::vector<ProbePacket> packets;
    if (r.exitCode != 0)
        return packets;
    for (const auto& f : compactRecords(r.out)) {
        ProbePacket p;
        p.stream = static_cast<int>(number(f, "stream_index", -1));
        p.dts = number(f, "dts", INT64_MIN);
        p.size = static_cast<int>(number(f, "size", 0));
        p.pos = number(f, "pos", -1);
        auto flags = f.find("flags");
        p.key = flags != f.end() && !flags->second.empty() && flags->second[0] == 'K';
        packets.push_back(p);
    }
    return packets;
}

std::vector<ProbeStream> probeStreams(const std::string& path) {
    testsupport::CommandResult r = testsupport::ffprobe(
        {"-show_entries",
         "stream=codec_type,codec_tag,time_base,width,height,sample_rate,channels,nb_frames", "-of",
         "compact=p=0"},
        path);
    std::vector<ProbeStream> streams;
    if (r.exitCode != 0)
        return streams;
    for (const auto& f : compactRecords(r.out)) {
        ProbeStream s;
        s.codec_type = f.count("codec_type") ? f.at("codec_type") : "";
        s.codec_tag = static_cast<unsigned>(number(f, "codec_tag", 0));
        if (f.count("time_base")) {
            const std::string& tb = f.at("time_base");
            size_t slash = tb.find('/');
            if (slash != std::string::npos) {
                s.time_base_num = std::stoi(tb.substr(0, slash));
                s.time_base_den = std::stoi(tb.substr(slash + 1));
            }
        }
        s.width = static_cast<int>(number(f, "width", 0));
        s.height = static_cast<int>(number(f, "height", 0));
        s.sample_rate = static_cast<int>(number(f, "sample_rate", 0));
        s.channels = static_cast<int>(number(f, "channels", 0));
        s.nb_frames = number(f, "nb_frames", -1);
        streams.push_back(s);
    }
    return streams;
}

bool operator==(const ProbePacket& a, const ProbePacket& b) {
    return a.stream == b.stream && a.dts == b.dts && a.size == b.size && a.pos == b.pos &&
           a.key == b.key;
}

std::ostream& operator<<(std::ostream& out, const ProbePacket& p) {
    return out << "{stream " << p.stream << ", dts " << p.dts << ", size " << p.size << ", pos "
               << p.pos << ", key " << p.key << "}";
}

}  // namespace containertest
