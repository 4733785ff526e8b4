// Prints how every charge of the limits scenario matrix ends, as a Markdown table: the
// scenario, the end, the charge time, the delivered charge as a share of what the pack truly
// holds, and the pack's state of charge at the end. `limitsmatrix [filter]` prints only the
// scenarios whose name holds filter.

#include <cstdio>
#include <cstring>

#include "graph/ChargeCurve.h"
#include "tests/charge/LimitScenarios.h"

int main(int argc, char** argv) {
    const char* filter = argc > 1 ? argv[1] : "";
    std::printf(
        "| scenario | end | time | delivered, %% of true capacity | charged at the end, %% |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const LimitScenario& s : AllLimitScenarios()) {
        const std::string name = s.Name();
        if (std::strstr(name.c_str(), filter) == nullptr) {
            continue;
        }
        const LimitOutcome o = RunLimitScenario(s);
        const std::string end =
            o.end == ChargeEnd::None ? "RAN AWAY" : EndReasonText(o.end, kPeakCharge);
        std::printf("| %s | %s%s | %d:%02d | %.0f | %.0f |\n", name.c_str(), end.c_str(),
                    o.showsDrop ? "" : " (no drop)", o.seconds / 3600, o.seconds / 60 % 60,
                    o.deliveredPercent, o.finalPercent);
        std::fflush(stdout);
    }
    return 0;
}
