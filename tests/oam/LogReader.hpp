// Reads the diagnostic log files that the platform's stand-in writes: one
// line per entry, "<time> sev=<n> kind=<n> id=<n> <module>: <text>".
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace logtest {

struct Entry {
    int severity = -1;
    int kind = -1;
    uint64_t id = 0;
    std::string module;
    std::string text;
};

inline std::vector<Entry> readEntries(const std::string& path) {
    std::vector<Entry> entries;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t sev = line.find(" sev=");
        const size_t kind = line.find(" kind=", sev);
        const size_t id = line.find(" id=", kind);
        const size_t colon = line.find(": ", id);
        if (sev == std::string::npos || kind == std::string::npos || id == std::string::npos ||
            colon == std::string::npos)
            continue;
        Entry e;
        e.severity = std::stoi(line.substr(sev + 5));
        e.kind = std::stoi(line.substr(kind + 6));
        const size_t idEnd = line.find(' ', id + 4);
        e.id = std::stoull(line.substr(id + 4, idEnd - id - 4));
        e.module = line.substr(idEnd + 1, colon - idEnd - 1);
        e.text = line.substr(colon + 2);
        entries.push_back(e);
    }
    return entries;
}

// Texts of the entries, in file order.
inline std::vector<std::string> readTexts(const std::string& path) {
    std::vector<std::string> texts;
    for (const auto& e : readEntries(path)) texts.push_back(e.text);
    return texts;
}

inline size_t countText(const std::vector<std::string>& texts, const std::string& text) {
    size_t n = 0;
    for (const auto& t : texts) n += t == text;
    return n;
}

inline size_t countPrefix(const std::vector<std::string>& texts, const std::string& prefix) {
    size_t n = 0;
    for (const auto& t : texts) n += t.rfind(prefix, 0) == 0;
    return n;
}

}  // namespace logtest
