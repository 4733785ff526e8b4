// The graph's logic without a window: thinning a long curve to pixel columns, reading logs (the
// program's own and hostile ones), and the names the logs are listed by.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "charge/ChargeLog.h"
#include "charge/SampleHistory.h"
#include "curves/ChargeCurve.h"
#include "curves/ChargeLogReader.h"

namespace {

TEST(ChargeCurve, ThinningNeverLosesAMinimumOrMaximum) {
    std::mt19937 random(410);
    for (int round = 0; round < 300; ++round) {
        // Series of every shape: short and long, gaps, repeated seconds, single spikes.
        const int n = std::uniform_int_distribution<int>(0, round % 10 == 0 ? 20000 : 400)(random);
        std::vector<CurvePoint> points;
        int t = std::uniform_int_distribution<int>(0, 5)(random);
        for (int i = 0; i < n; ++i) {
            t += std::uniform_int_distribution<int>(0, 3)(random);
            float v = std::uniform_real_distribution<float>(10.0f, 14.0f)(random);
            if (i % 97 == 13) {
                v += 5.0f;  // a spike of one sample
            }
            points.push_back({t, v, -v});
        }
        const double from = std::uniform_int_distribution<int>(-5, 20)(random);
        const double to = from + std::uniform_int_distribution<int>(1, t + 10)(random);
        const int columns = std::uniform_int_distribution<int>(1, 1500)(random);
        const auto spans = ThinToColumns(points, &CurvePoint::volts, from, to, columns);
        ASSERT_EQ(spans.size(), static_cast<size_t>(columns));

        float highest = -1e9f, lowest = 1e9f, highestShown = -1e9f, lowestShown = 1e9f;
        std::vector<std::vector<float>> inColumn(static_cast<size_t>(columns));
        for (const CurvePoint& p : points) {
            if (p.seconds < from || p.seconds > to) {
                continue;
            }
            const int c = std::min(columns - 1, int((p.seconds - from) * columns / (to - from)));
            inColumn[static_cast<size_t>(c)].push_back(p.volts);
            highest = std::max(highest, p.volts);
            lowest = std::min(lowest, p.volts);
        }
        for (int c = 0; c < columns; ++c) {
            const ColumnSpan& s = spans[static_cast<size_t>(c)];
            const std::vector<float>& values = inColumn[static_cast<size_t>(c)];
            ASSERT_EQ(s.filled, !values.empty()) << "round " << round << " column " << c;
            if (values.empty()) {
                continue;
            }
            EXPECT_EQ(s.high, *std::max_element(values.begin(), values.end()));
            EXPECT_EQ(s.low, *std::min_element(values.begin(), values.end()));
            EXPECT_EQ(s.first, values.front());
            EXPECT_EQ(s.last, values.back());
            highestShown = std::max(highestShown, s.high);
            lowestShown = std::min(lowestShown, s.low);
        }
        if (highest > -1e9f) {
            EXPECT_EQ(highestShown, highest) << "round " << round;
            EXPECT_EQ(lowestShown, lowest) << "round " << round;
        }
        // The current is thinned on its own.
        const auto amps = ThinToColumns(points, &CurvePoint::amps, from, to, columns);
        for (int c = 0; c < columns; ++c) {
            if (amps[size_t(c)].filled) {
                EXPECT_EQ(amps[size_t(c)].low, -spans[size_t(c)].high);
            }
        }
        // The envelope of a long past charge: samples of the curve, in order, at most six a
        // stretch, keeping the first, the last and every extreme of both values.
        if (points.empty()) {
            continue;
        }
        const int buckets = std::uniform_int_distribution<int>(1, 300)(random);
        // (The current apart from the voltage here, so each extreme is a sample of its own.)
        for (CurvePoint& p : points) {
            p.amps = std::uniform_real_distribution<float>(0.0f, 2.0f)(random);
        }
        const std::vector<CurvePoint> envelope = Envelope(points, buckets);
        EXPECT_LE(envelope.size(), std::max(points.size(), size_t(buckets) * 6));
        auto same = [](const CurvePoint& a, const CurvePoint& b) {
            return a.seconds == b.seconds && a.volts == b.volts && a.amps == b.amps;
        };
        size_t at = 0;
        for (const CurvePoint& p : envelope) {
            while (at < points.size() && !same(points[at], p)) {
                ++at;
            }
            ASSERT_LT(at, points.size()) << "round " << round << ": not a subsequence";
        }
        auto byVolts = [](const CurvePoint& a, const CurvePoint& b) { return a.volts < b.volts; };
        auto byAmps = [](const CurvePoint& a, const CurvePoint& b) { return a.amps < b.amps; };
        EXPECT_TRUE(same(envelope.front(), points.front()) && same(envelope.back(), points.back()));
        EXPECT_EQ(std::max_element(envelope.begin(), envelope.end(), byVolts)->volts,
                  std::max_element(points.begin(), points.end(), byVolts)->volts);
        EXPECT_EQ(std::min_element(envelope.begin(), envelope.end(), byVolts)->volts,
                  std::min_element(points.begin(), points.end(), byVolts)->volts);
        EXPECT_EQ(std::max_element(envelope.begin(), envelope.end(), byAmps)->amps,
                  std::max_element(points.begin(), points.end(), byAmps)->amps);
        EXPECT_EQ(std::min_element(envelope.begin(), envelope.end(), byAmps)->amps,
                  std::min_element(points.begin(), points.end(), byAmps)->amps);
    }
}

std::string OwnLog() {
    SampleHistory history;
    // Cut, not rounded, to two decimals in the log.
    const float volts[] = {9.78f, 9.801f, 9.819f, -1.49f};
    const float amps[] = {0.515f, 0.525f, 0.535f, 0.545f};
    for (int s = 0; s < 4; ++s) {
        history.AddSample(volts[s], amps[s], std::to_string(s), "0", "0", 10, 1);
    }
    return BuildChargeLog(history.sampleHead);
}

TEST(ChargeLogReader, ReadsItsOwnLogsAndHandEditedOnesAndRefusesOthers) {
    const std::string header = "Total Seconds, Voltage, Current, Charge Duration";
    const std::string longLine(10u << 20, '7');
    struct Case {
        const char* name;
        std::string text;
        const char* refusal;  // a part of the reason, or nullptr when read
        std::vector<CurvePoint> points;
        int skipped;
    };
    const Case cases[] = {
        {"the program's own",
         OwnLog(),
         nullptr,
         {{0, 9.78f, 0.51f}, {1, 9.80f, 0.52f}, {2, 9.81f, 0.53f}, {3, -1.49f, 0.54f}},
         0},
        {"LF, CR, blank lines, spaces, another case",
         "\n  total seconds ,VOLTAGE,current,  Charge Duration  \n\n2,\t9.5 , "
         "0.5,0:0:2\r1,9.4,0.5,0:0:1\r\n\r\n",
         nullptr,
         {{1, 9.4f, 0.5f}, {2, 9.5f, 0.5f}},
         0},
        {"decimal commas of an old version",
         header + "\r\n3, 9,81, 0,52, 0:0:3\r\n",
         nullptr,
         {{3, 9.81f, 0.52f}},
         0},
        {"bad lines skipped and counted",
         header + "\r\n3, 9.81\r\n-2, 9.8, 0.5, 0:0:-2\r\n1,,0.5,0:0:1\r\nx, 9, 1, 0\r\n"
                  "1, 9.7, 0.5, 0:0:1\r\n2, 9.8e, 0.5, 0:0:2\r\n5, nan, 0.5, 0:0:5\r\n",
         nullptr,
         {{1, 9.7f, 0.5f}},
         6},
        {"a 10 MB line after the header", header + "\n" + longLine, nullptr, {}, 1},
        {"only the header", header, nullptr, {}, 0},
        {"empty", "", "empty", {}, 0},
        {"only blank lines", "\r\n \n\t\r", "empty", {}, 0},
        {"binary", std::string("GIF89a\0\1\2", 9), "binary", {}, 0},
        {"10 MB of one line", longLine, "first line", {}, 0},
        {"another CSV", "Name;Value\r\nA;1\r\n", "first line", {}, 0},
    };
    for (const Case& c : cases) {
        const ChargeLogRead read = ReadChargeLog(c.text);
        if (c.refusal != nullptr) {
            EXPECT_FALSE(read.ok) << c.name;
            EXPECT_NE(read.error.find(c.refusal), std::string::npos)
                << c.name << ": " << read.error;
            continue;
        }
        ASSERT_TRUE(read.ok) << c.name << ": " << read.error;
        EXPECT_EQ(read.skippedLines, c.skipped) << c.name;
        ASSERT_EQ(read.points.size(), c.points.size()) << c.name;
        for (size_t i = 0; i < c.points.size(); ++i) {
            EXPECT_EQ(read.points[i].seconds, c.points[i].seconds) << c.name << " " << i;
            EXPECT_FLOAT_EQ(read.points[i].volts, c.points[i].volts) << c.name << " " << i;
            EXPECT_FLOAT_EQ(read.points[i].amps, c.points[i].amps) << c.name << " " << i;
        }
    }
    EXPECT_FALSE(ReadChargeLogFile("/nonexistent/log.csv").ok);
    // A file larger than any log (sparse: no disk is spent) is refused without being read.
    const std::string huge = testing::TempDir() + "/kvc410-huge.csv";
    {
        std::FILE* file = std::fopen(huge.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("Total Seconds, Voltage, Current, Charge Duration\r\n", file);
        std::fclose(file);
        ASSERT_EQ(truncate(huge.c_str(), static_cast<off_t>(kMostChargeLogBytes) + 1), 0);
    }
    const ChargeLogRead tooLarge = ReadChargeLogFile(huge);
    EXPECT_FALSE(tooLarge.ok);
    EXPECT_NE(tooLarge.error.find("larger than any charge log"), std::string::npos)
        << tooLarge.error;
    std::remove(huge.c_str());
    // A pipe named like a log (the log folder is the user's) is refused at once, never waited on.
    const std::string fifo = testing::TempDir() + "/kvc410-fifo.csv";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ChargeLogRead pipe = ReadChargeLogFile(fifo);
    EXPECT_FALSE(pipe.ok);
    EXPECT_NE(pipe.error.find("not a regular file"), std::string::npos) << pipe.error;
    std::remove(fifo.c_str());
}

TEST(ChargeLogReader, LogsAreListedByThePackAndTimeInTheirNames) {
    struct Case {
        std::string pack;
        int copy;
    };
    const Case cases[] = {{"AA Pack", 1}, {"Pack (2)", 1},        {"Pack (2)", 3},
                          {"None", 999},  {"12-7-2026 10-00", 2}, {"\xE5\x85\x85\xE7\x94\xB5", 1}};
    const LocalTime when{2026, 12, 7, 9, 5};
    for (const Case& c : cases) {
        const auto name = ParseChargeLogName(ChargeLogFileName(c.pack, when, c.copy));
        ASSERT_TRUE(name.has_value()) << c.pack;
        EXPECT_EQ(name->pack, c.pack);
        EXPECT_EQ(name->copy, c.copy) << c.pack;
        EXPECT_EQ(name->year * 10000 + name->month * 100 + name->day, 20261207);
        EXPECT_EQ(name->hour * 100 + name->minute, 905);
    }
    for (const char* other : {"notes.csv", "AA 12-7-2026 09-05.txt", "AA 13-7-2026 09-05.csv",
                              "AA 12-7-2026 9.csv", ".csv", "12-7-2026 09-05.csv"}) {
        EXPECT_FALSE(ParseChargeLogName(other).has_value()) << other;
    }
    // Newer sorts first; a second log of one minute after the first.
    const auto older = *ParseChargeLogName("A 12-31-2025 23-59.csv");
    const auto newer = *ParseChargeLogName("A 1-1-2026 00-00.csv");
    const auto again = *ParseChargeLogName("A 1-1-2026 00-00 (2).csv");
    EXPECT_LT(older.SortKey(), newer.SortKey());
    EXPECT_LT(newer.SortKey(), again.SortKey());
}

}  // namespace
