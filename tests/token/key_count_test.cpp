#include "token/key_count.h"

#include <gtest/gtest.h>

#include "fake_skf.h"

namespace qex::test {
namespace {

TEST(CountUsbKeys, CountsTheNamesInTheList) {
    FakeSkf skf;
    skf.devices = NameList({});
    EXPECT_EQ(CountUsbKeys(skf), 0);
    skf.devices = NameList({"KEY1"});
    EXPECT_EQ(CountUsbKeys(skf), 1);
    skf.devices = NameList({"KEY1", "KEY 2"});
    EXPECT_EQ(CountUsbKeys(skf), 2);
}

TEST(CountUsbKeys, AsksForTheSizeThenReadsTheListWithIt) {
    FakeSkf skf;
    skf.devices = NameList({"KEY1", "KEY2"});
    CountUsbKeys(skf);
    EXPECT_EQ(skf.enumDevCalls, 2);
    ASSERT_EQ(skf.enumDevSizesIn.size(), 1u);
    EXPECT_EQ(skf.enumDevSizesIn[0], skf.devices.size());
    EXPECT_EQ(skf.opened, 0);
    EXPECT_TRUE(skf.connectNames.empty());
}

TEST(CountUsbKeys, FailedSecondCallCountsNone) {
    FakeSkf skf;
    skf.devices = NameList({"KEY1"});
    skf.enumResult = SAR_FAIL;
    EXPECT_EQ(CountUsbKeys(skf), 0);
}

TEST(CountUsbKeys, EmptyFirstNameCountsNone) {
    FakeSkf skf;
    skf.devices = std::string("\0\0KEY2\0\0", 8);
    EXPECT_EQ(CountUsbKeys(skf), 0);
}

TEST(CountUsbKeys, ListLongerThan256BytesIsCountedWhole) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) names.push_back("GM3000-" + std::to_string(100 + i));
    FakeSkf skf;
    skf.devices = NameList(names);
    ASSERT_GT(skf.devices.size(), 256u);
    EXPECT_EQ(CountUsbKeys(skf), 40);
    DeviceList list = EnumerateDevices(skf);
    EXPECT_EQ(list.Names(), names);
    EXPECT_GE(list.buffer.size(), skf.devices.size());
}

TEST(CountUsbKeys, KeyPluggedInBetweenTheCallsIsStillCounted) {
    FakeSkf skf;
    skf.devices = NameList({"KEY1", "KEY2"});
    skf.firstSizeOverride = 6;  // the size of the list while only KEY1 was there
    EXPECT_EQ(CountUsbKeys(skf), 2);
    EXPECT_EQ(skf.enumDevCalls, 3);
}

TEST(CountUsbKeys, AbsurdSizeIsRefusedWithoutReading) {
    FakeSkf skf;
    skf.firstSizeOverride = 0xFFFFFFF0u;
    EXPECT_EQ(CountUsbKeys(skf), 0);
    EXPECT_EQ(skf.enumDevCalls, 1);
}

TEST(CountUsbKeys, UnterminatedListStopsAtTheBufferEnd) {
    // A library that fills every byte it was given and no terminator.
    FakeSkf skf;
    skf.devices = std::string(256, 'K');
    skf.secondSizeOverride = 256;
    EXPECT_EQ(CountUsbKeys(skf), 1);
    EXPECT_EQ(EnumerateDevices(skf).FirstName(), std::string(256, 'K'));
}

TEST(CountUsbKeys, LibraryClaimingMoreThanItWasGivenIsCutToTheBuffer) {
    FakeSkf skf;
    skf.devices = NameList({"KEY1"});
    skf.secondSizeOverride = 100000;
    DeviceList list = EnumerateDevices(skf);
    EXPECT_EQ(list.result, SAR_OK);
    EXPECT_LE(list.size, list.buffer.size());
    EXPECT_EQ(list.Names().size(), 1u);
}

}  // namespace
}  // namespace qex::test
