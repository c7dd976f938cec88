// IsRecordingName over the 4,000 clip names of a 2,000-recording card (and
// over names that are not recordings) against the reference: one
// std::regex_search per name with the pattern compiled once, which is what
// the grammar test costs at least without its shortcut. Prints the best of
// several rounds for each and their ratio.
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "recordings/recording_name.h"
#include "support/bench_timing.h"

namespace {

namespace bench = trivexa::bench;

constexpr int kRecordings = 2000;
constexpr int kRounds = 15;

std::vector<std::string> CardNames() {
    std::vector<std::string> names;
    const char* kinds[] = {"A___", "AG_S", "AM__", "P___", "PG__", "T___"};
    for (int i = 0; i < kRecordings; ++i) {
        char name[96];
        for (char camera : {'F', 'R'}) {
            std::snprintf(name, sizeof name,
                          "/media/user/SD/Normal/%s/%s-230715-%02d%02d%02d-%06d%c.AVI",
                          camera == 'F' ? "Front" : "Rear", kinds[i % 6], (i / 3600) % 24,
                          (i / 60) % 60, i % 60, i, camera);
            names.emplace_back(name);
        }
    }
    return names;
}

std::vector<std::string> OtherNames() {
    std::vector<std::string> names;
    for (int i = 0; i < 2 * kRecordings; ++i) {
        names.push_back("/home/user/Videos/holiday_" + std::to_string(i) + ".mp4");
    }
    return names;
}

template <typename Fn>
double BestMicroseconds(const std::vector<std::string>& names, Fn&& fn, int& sink) {
    bench::Samples seconds;
    for (int round = 0; round < kRounds; ++round) {
        seconds.Add(bench::TimeSeconds([&] {
            for (const std::string& n : names) sink += fn(n) ? 1 : 0;
        }));
    }
    return seconds.Minimum() * 1e6;
}

}  // namespace

int main() {
    const std::regex pattern(
        "[APT_]{1,1}[GMD_]{1,1}[T_]{1,1}[S_]{1,1}-[0-9]{6,6}-[0-9]{6,6}-[0-9]{6,6}[FR]{1,1}.AVI",
        std::regex::ECMAScript);
    auto reference = [&](const std::string& path) {
        const std::string_view name = trivexa::FileNameOf(path);
        return std::regex_search(name.begin(), name.end(), pattern);
    };
    auto ours = [](const std::string& path) { return trivexa::IsRecordingName(path); };

    int sink = 0;
    for (const auto& [label, names] :
         {std::pair{"card names", CardNames()}, std::pair{"other names", OtherNames()}}) {
        const double ref = BestMicroseconds(names, reference, sink);
        const double got = BestMicroseconds(names, ours, sink);
        std::printf("%-12s %zu names: IsRecordingName %.0f us, regex_search %.0f us, ratio %.2f\n",
                    label, names.size(), got, ref, bench::CostRatio(got, ref));
    }
    return sink == -1;
}
