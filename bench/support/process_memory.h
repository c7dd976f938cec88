#pragma once
// The memory of a benchmark's process and of the processes below it (the web
// engine's helpers): the process's own resident size and the proportional
// size of the whole tree, shared pages split among the processes sharing
// them. Linux /proc only.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace trivexa::bench {

// A number of kB from a /proc file's "Name:   123 kB" line.
inline long ProcKb(const std::string& file, const std::string& name) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + name.size());
    return 0;
}

// This process and every process below it (the web engine's helpers).
inline std::vector<int> ProcessTree() {
    std::vector<int> tree{getpid()};
    std::set<int> known(tree.begin(), tree.end());
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            const int pid = std::atoi(name.c_str());
            if (known.count(pid) != 0) continue;
            const int parent = static_cast<int>(ProcKb(entry.path().string() + "/status", "PPid:"));
            if (known.count(parent) != 0) {
                known.insert(pid);
                tree.push_back(pid);
                grew = true;
            }
        }
    }
    return tree;
}

struct Memory {
    double ownRssMb = 0;   // this process
    double treePssMb = 0;  // this process and its helpers, shared pages split
    int processes = 0;
};

inline Memory MeasureMemory() {
    Memory m;
    const std::vector<int> tree = ProcessTree();
    m.processes = static_cast<int>(tree.size());
    m.ownRssMb = ProcKb("/proc/self/status", "VmRSS:") / 1024.0;
    for (int pid : tree)
        m.treePssMb += ProcKb("/proc/" + std::to_string(pid) + "/smaps_rollup", "Pss:") / 1024.0;
    return m;
}

}  // namespace trivexa::bench
