#include <gtest/gtest.h>

#include "hardware/Converter.h"
#include "tests/TestSupport.h"

namespace {

std::vector<PortAccess> ExpectedConversion() {
    std::vector<PortAccess> expected;
    for (uint8_t v : {4, 4, 12, 4, 0, 0, 0, 0, 0}) {
        expected.push_back({'W', kDataPort, v});
    }
    for (int bit = 0; bit < 16; ++bit) {
        expected.push_back({'W', kDataPort, 0});
        expected.push_back({'W', kDataPort, 4});
        expected.push_back({'W', kDataPort, 0});
        expected.push_back({'R', kStatusPort, 0});
    }
    return expected;
}

TEST(Converter, DrivesTheExactSequenceAndLeavesTheRegisterLow) {
    PortSandbox<RecordingPort> port;
    EXPECT_EQ(ReadConverter(), 0);
    EXPECT_EQ(port->accesses, ExpectedConversion());
    EXPECT_EQ(port->data, 0);

    port->accesses.clear();
    ChargerOff();
    EXPECT_EQ(port->accesses, (std::vector<PortAccess>{{'W', kDataPort, 255}}));
}

TEST(Converter, AssemblesTwelveBitsFromTheStatusLine) {
    struct Case {
        const char* name;
        std::vector<int> highReads;  // 1-based positions in the read order
        int expected;
    };
    std::vector<int> all;
    for (int k = 1; k <= 16; ++k) {
        all.push_back(k);
    }
    const Case cases[] = {
        {"always high", all, 4095},
        {"always low", {}, 0},
        {"only the dropped bits", {1, 2, 3, 16}, 0},
        {"only the 4th read", {4}, 2048},
        {"only the 15th read", {15}, 1},
        {"alternating from the 4th", {4, 6, 8, 10, 12, 14}, 0xAAA},
    };
    for (const Case& c : cases) {
        PortSandbox<RecordingPort> port;
        for (int k = 1; k <= 16; ++k) {
            bool high = std::find(c.highReads.begin(), c.highReads.end(), k) != c.highReads.end();
            // Only bit 6 counts; the other status bits are noise to the converter protocol.
            port->statusQueue.push_back(high ? 0x40 | 0x38 : 0x38 | 0x80);
        }
        EXPECT_EQ(ReadConverter(), c.expected) << c.name;
    }
}

}  // namespace
