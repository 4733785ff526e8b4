#include <gtest/gtest.h>

#include "settings/ChargeSettingsStore.h"
#include "tests/TestSupport.h"

namespace {

TEST(ChargeSettings, DisplayForms) {
    struct Case {
        int threshold;
        const char* text;
    };
    for (const Case& c : {Case{1, "0.01"}, Case{8, "0.08"}, Case{9, "0.09"}, Case{10, "0.10"},
                          Case{12, "0.12"}, Case{20, "0.20"}}) {
        EXPECT_EQ(FormatThreshold(c.threshold), c.text);
    }
    EXPECT_EQ(FormatDuration(1, 30, 5), "01:30:05");
    EXPECT_EQ(FormatDuration(0, 0, 0), "00:00:00");
    EXPECT_EQ(FormatDuration(100, 59, 10), "100:59:10");
}

TEST(ChargeSettings, StoredValuesWinAndStayUnclamped) {
    ProfileSandbox sandbox;
    const ChargeSettings stored{.timedHours = 1,
                                .timedMinutes = 30,
                                .batteryType = 1,
                                .chargeType = 2,
                                .threshold = 12,
                                .delay = 60,
                                .sensitivity = 30,
                                .cells = 4,
                                .exportCsv = 1};
    StoreChargeSettings(sandbox.profile(), stored);
    Profile reread(sandbox.Path());
    EXPECT_EQ(ReadChargeSettings(reread, kMainWindowDefaults), stored);
    EXPECT_EQ(reread.GetProfileInt("Properties", "PeakRadio", 0), 1);
    EXPECT_EQ(reread.GetProfileInt("Properties", "Delta", 0), 12);
    // What was stored is used as it is, in range or not.
    reread.WriteProfileInt("Properties", "Sens", 99);
    EXPECT_EQ(ReadChargeSettings(reread, kMainWindowDefaults).sensitivity, 99);
}

}  // namespace
