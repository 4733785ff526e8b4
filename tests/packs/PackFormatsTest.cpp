#include <gtest/gtest.h>

#include "packs/PackFormats.h"

namespace {

TEST(PackFormats, PropertiesStringRoundTrips) {
    const ChargeSettings example{.timedHours = 1, .timedMinutes = 30};
    EXPECT_EQ(EncodePackProperties(example), "12080101080130000");
    const ChargeSettings wide{.timedHours = 59,
                              .timedMinutes = 59,
                              .timedSeconds = 59,
                              .batteryType = 3,
                              .chargeType = 2,
                              .threshold = 20,
                              .delay = 60,
                              .sensitivity = 30,
                              .cells = 4,
                              .exportCsv = 1};
    EXPECT_EQ(EncodePackProperties(wide), "23200603045959591");
    EXPECT_EQ(EncodePackProperties({.timedSeconds = 5,
                                    .batteryType = 1,
                                    .threshold = 1,
                                    .delay = 5,
                                    .sensitivity = 5,
                                    .cells = 4}),
              "11010050540000050");
    for (const ChargeSettings& s : {example, wide}) {
        EXPECT_EQ(ParsePackProperties(EncodePackProperties(s)), s);
    }
}

TEST(PackFormats, DamagedPropertiesAreNotApplied) {
    for (const char* text : {"", "1", "1208010108013000", "120801010801300000", "12080101O80130000",
                             "1208010108013000 ", "-2080101080130000"}) {
        EXPECT_FALSE(ParsePackProperties(text).has_value()) << text;
    }
}

TEST(PackFormats, RecordOfAChargeEnd) {
    const LocalTime march3{2003, 3, 3, 14, 7};
    // The example: 2 h 05 min 10 s, 9.87 V, 1234.5 mAh, sixth charge, 9.91 V the time before.
    const std::string previous = "0991000999.9010000100001022003088800005";
    EXPECT_EQ(BuildPackRecord("9.87", "1234.5", "02", "05", "10", march3, previous),
              "0987001234.5020510140703032003099100006");
    struct Case {
        const char* name;
        const char *volts, *mah, *hours;
        const char* previous;
        const char* expected;
    };
    const Case cases[] = {
        {"first charge", "12.34", "5.4", "00", "0", "1234000005.4000001140703032003000000001"},
        {"display 0.00", "0.00", "123456.7", "00", "0", "0000123456.7000001140703032003000000001"},
        {"a million mAh", "9.87", "1000000.000000", "00", "0",
         "0987000000.0000001140703032003000000001"},
        {"notice after the voltage", "12.34\nCharger           Disconnected", "12.3", "00", "0",
         "1234000012.3000001140703032003000000001"},
        {"count set to 0 in the editor", "9.87", "12.3", "00",
         "1111000012.3000001140703032003222200000", "0987000012.3000001140703032003111100001"},
        {"a hundred hours", "9.87", "12.3", "100", "0", "0987000012.3995959140703032003000000001"},
        {"count at its limit", "9.87", "12.3", "00", "1111000012.3000001140703032003222299999",
         "0987000012.3000001140703032003111199999"},
        {"short previous record", "9.87", "12.3", "00", "12",
         "0987000012.3000001140703032003120000001"},
    };
    for (const Case& c : cases) {
        std::string record =
            BuildPackRecord(c.volts, c.mah, c.hours, "00", "01", march3, c.previous);
        EXPECT_EQ(record, c.expected) << c.name;
        EXPECT_EQ(record.size(), kRecordLength) << c.name;
    }
}

TEST(PackFormats, PackInformationTexts) {
    struct Case {
        const char* record;
        PackInfoTexts expected;
    };
    const Case cases[] = {
        {"0987001234.5020000140703032003099100006",
         {"9.87", "1234.5", "0.61", "02:00:00", "03/03/2003", "14:07", "9.91", "6"}},
        {kBlankRecord, {"0.00", "0.0", "0.00", "00:00:00", "00/00/0000", "00:00", "0.00", "0"}},
        {"1234000012.3000000140712312026000012345",
         {"12.34", "12.3", "0.00", "00:00:00", "12/31/2026", "14:07", "0.00", "12345"}},
        {"0987001234.502", {"9.87", "1234.5", "", "", "", "", "", ""}},
        // The trims step at 10, 100, ...: exactly there, one more digit stays.
        {"0987000010.0020000140703032003099100010",
         {"9.87", "10.0", "0.00", "02:00:00", "03/03/2003", "14:07", "9.91", "10"}},
        {"0987000100.0020000140703032003099100100",
         {"9.87", "100.0", "0.05", "02:00:00", "03/03/2003", "14:07", "9.91", "100"}},
        // Edited by hand: a field of letters is damaged, the others still show.
        {"zz99001234.5020000140703032003099100006",
         {"damaged", "1234.5", "0.61", "02:00:00", "03/03/2003", "14:07", "9.91", "6"}},
        {"098700x234.50200001407030320030991000zz",
         {"9.87", "damaged", "damaged", "damaged", "03/03/2003", "14:07", "9.91", "damaged"}},
    };
    for (const Case& c : cases) {
        PackInfoTexts t = FormatPackRecord(c.record);
        EXPECT_EQ(t.peakVoltage, c.expected.peakVoltage) << c.record;
        EXPECT_EQ(t.mah, c.expected.mah) << c.record;
        EXPECT_EQ(t.averageCurrent, c.expected.averageCurrent) << c.record;
        EXPECT_EQ(t.duration, c.expected.duration) << c.record;
        EXPECT_EQ(t.date, c.expected.date) << c.record;
        EXPECT_EQ(t.time, c.expected.time) << c.record;
        EXPECT_EQ(t.previousPeak, c.expected.previousPeak) << c.record;
        EXPECT_EQ(t.charges, c.expected.charges) << c.record;
    }
}

TEST(PackFormats, CountEdits) {
    EXPECT_EQ(ReplaceRecordCount("0", 0), kBlankRecord);
    EXPECT_EQ(ReplaceRecordCount("0987001234.5020510140703032003099100006", 50000),
              "0987001234.5020510140703032003099150000");
    EXPECT_EQ(ReplaceRecordCount("0987", 7), "098700000000000000000000000000000000007");
    EXPECT_EQ(RecordCount("0987001234.5020510140703032003099100006"), 6);
    EXPECT_EQ(RecordCount("0"), 0);
}

}  // namespace
