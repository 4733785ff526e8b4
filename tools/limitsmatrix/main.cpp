// Prints how every charge of the end-test scenario matrix ends, as a Markdown table: the
// scenario, the end, the charge time, the delivered charge as a share of what the pack truly
// holds, and the pack's state of charge at the end; then a summary of what the matrix promises.
// `limitsmatrix [filter]` runs only the scenarios whose name holds filter.

#include <cstdio>
#include <cstring>
#include <map>

#include "curves/ChargeCurve.h"
#include "tests/charge/LimitScenarios.h"

int main(int argc, char** argv) {
    const char* filter = argc > 1 ? argv[1] : "";
    std::printf(
        "| scenario | end | time | delivered, %% of true capacity | charged at the end, %% |\n");
    std::printf("|---|---|---|---|---|\n");
    std::map<std::string, int> ends;
    int judged = 0;
    int outside = 0;
    int over140 = 0;
    int earlyPeak = 0;
    double lowest = 1e9;
    double highest = 0;
    for (const LimitScenario& s : AllLimitScenarios()) {
        const std::string name = s.Name();
        if (std::strstr(name.c_str(), filter) == nullptr) {
            continue;
        }
        const LimitOutcome o = RunLimitScenario(s);
        const int type = s.Timed() ? kTimedCharge : kPeakCharge;
        const std::string end = o.end == ChargeEnd::None ? "RAN AWAY" : EndReasonText(o.end, type);
        std::printf("| %s | %s%s | %d:%02d | %.0f | %.0f |\n", name.c_str(), end.c_str(),
                    o.showsDrop ? "" : " (no drop)", o.seconds / 3600, o.seconds / 60 % 60,
                    o.deliveredPercent, o.finalPercent);
        std::fflush(stdout);
        ++ends[end];
        if (!s.Pulled() && !(s.Timed() && s.initialPercent < 100)) {
            if (o.finalPercent > 140) {
                ++over140;
            }
            if (s.RatedRight()) {
                ++judged;
                lowest = std::min(lowest, o.finalPercent);
                highest = std::max(highest, o.finalPercent);
                if (o.finalPercent < 100 || o.finalPercent > 130) {
                    ++outside;
                }
            }
        }
        if (o.end == ChargeEnd::Completed && type == kPeakCharge && o.finalPercent < 95) {
            ++earlyPeak;
        }
    }
    std::printf("\n| end | charges |\n|---|---|\n");
    for (const auto& [end, count] : ends) {
        std::printf("| %s | %d |\n", end.c_str(), count);
    }
    std::printf(
        "\nCharges ended by the end tests with the rated capacity unknown or right: %d, charged "
        "%.0f %% to %.0f %% at the end, %d outside 100-130 %%. Above 140 %% anywhere (rated "
        "capacity wrong included): %d. \"Peak detected\" below 95 %%: %d.\n",
        judged, lowest, highest, outside, over140, earlyPeak);
    return 0;
}
