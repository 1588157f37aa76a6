// Reading diagnostic log files back in tests.
#pragma once

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

namespace loglines {

// One entry: "YYYY-MM-DD HH:MM:SS.mmm sev=S kind=K id=I module: text".
struct Entry {
    unsigned severity = 0, kind = 0;
    unsigned long id = 0;
    std::string module, text;
};

inline std::vector<std::string> read(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// False unless the line has exactly the entry's shape.
inline bool parse(const std::string& line, Entry* e) {
    static const char shape[] = "dddd-dd-dd dd:dd:dd.ddd ";
    if (line.size() < sizeof shape - 1) return false;
    for (size_t i = 0; i + 1 < sizeof shape; ++i) {
        if (shape[i] == 'd' ? !isdigit(static_cast<unsigned char>(line[i])) : line[i] != shape[i]) return false;
    }
    int used = 0;
    if (sscanf(line.c_str() + sizeof shape - 1, "sev=%u kind=%u id=%lu %n", &e->severity, &e->kind, &e->id, &used) !=
            3 ||
        used == 0)
        return false;
    const std::string rest = line.substr(sizeof shape - 1 + static_cast<size_t>(used));
    const size_t colon = rest.find(": ");
    if (colon == std::string::npos || colon == 0) return false;
    e->module = rest.substr(0, colon);
    e->text = rest.substr(colon + 2);
    return true;
}

}  // namespace loglines
