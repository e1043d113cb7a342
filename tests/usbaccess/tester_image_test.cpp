// Stored reports as the builder writes them: every field at its offset in
// both record layouts, and the slot checksum.
#include "tester_image.h"

#include <gtest/gtest.h>

#include <numeric>

namespace ksx4::test {
namespace {

using sim::Report;

constexpr int kSlot3 = 0x7700;

Report distinctReport() {
    Report r;
    r.locationName = "Tank 4";
    r.connectedTicks = 0x31020304;
    r.savedTicks = 0x32050607;
    r.voltage = 0x5DC1;
    r.lowestSignal = 0x08CA;
    r.lowestSignalAddress = 0x0017;
    r.lowestSignalTicks = 0x33000001;
    r.avgFieldbusNoise = 0x0102;
    r.peakFieldbusNoise = 0x0203;
    r.peakFieldbusTicks = 0x34000002;
    r.avgLowNoise = 0x0304;
    r.peakLowNoise = 0x0405;
    r.peakLowTicks = 0x35000003;
    r.avgHighNoise = 0x0506;
    r.peakHighNoise = 0x0607;
    r.peakHighTicks = 0x36000004;
    r.shieldShort = 4;
    r.lasAddress = 0x0010;
    r.addDropAddress = 0x0021;
    r.addDropKind = 3;
    r.addDropTicks = 0x37000005;
    r.activeDevices = 2;
    r.devices[0] = sim::DeviceEntry{0x14, 0x0321, 1, 1, 2};
    r.devices[6] = sim::DeviceEntry{0x21, 0x0099, 3, 0, 7};
    return r;
}

struct Field {
    int offset;
    int width;  // 2: word, low byte first; 4: time stamp, high byte first
    uint32_t value;
};

uint32_t readField(const sim::TesterImage& image, const Field& f) {
    const uint8_t* at = image.flash.data() + kSlot3 + f.offset;
    if (f.width == 1) return at[0];
    if (f.width == 2) return at[0] | at[1] << 8;
    return uint32_t{at[0]} << 24 | at[1] << 16 | at[2] << 8 | at[3];
}

void expectSlot(const sim::TesterImage& image, std::initializer_list<Field> fields) {
    for (const Field& f : fields) EXPECT_EQ(readField(image, f), f.value) << "offset " << f.offset;
    const uint8_t* slot = image.flash.data() + kSlot3;
    EXPECT_EQ(std::string(slot, slot + 15), "Tank 4         ");
    EXPECT_EQ(slot[254], std::accumulate(slot, slot + 254, 0u) & 0xFF);
    EXPECT_EQ(slot[255], 2);
}

TEST(TesterImage, StoresTheFieldbusRecord) {
    sim::TesterImage image = sim::blankTester(false, 1234);
    sim::storeReport(image, false, 3, distinctReport());
    expectSlot(image,
               {{16, 4, 0x31020304}, {20, 4, 0x32050607}, {24, 2, 0x5DC1},     {26, 2, 0x08CA},
                {28, 2, 0x0017},     {30, 4, 0x33000001}, {34, 2, 0x0102},     {36, 2, 0x0203},
                {38, 4, 0x34000002}, {42, 2, 0x0304},     {44, 2, 0x0405},     {46, 4, 0x35000003},
                {50, 2, 0x0506},     {52, 2, 0x0607},     {54, 4, 0x36000004}, {58, 1, 4},
                {59, 2, 0x0010},     {61, 2, 0x0021},     {63, 1, 3},          {64, 4, 0x37000005},
                {68, 1, 2},          {69, 1, 0x14},       {70, 2, 0x0321},     {72, 1, 1},
                {73, 1, 2},          {99, 1, 0x21},       {102, 1, 3},         {103, 1, 7},
                {74, 1, 0},          {77, 1, 0}});
    EXPECT_EQ(image.eeprom[254] << 8 | image.eeprom[255], 1234);
    EXPECT_EQ(image.flash[kSlot3 - 1], 0xFF);  // neighbours untouched
    EXPECT_EQ(image.flash[kSlot3 + 256], 0xFF);
}

TEST(TesterImage, StoresTheProfibusRecord) {
    sim::TesterImage image = sim::blankTester(true, 1234);
    sim::storeReport(image, true, 3, distinctReport());
    expectSlot(image,
               {{16, 2, 0x5DC1}, {18, 2, 0x08CA}, {20, 2, 0x0017}, {22, 2, 0x0102}, {24, 2, 0x0203},
                {32, 2, 0x0304}, {34, 2, 0x0405}, {36, 2, 0x0506}, {38, 2, 0x0607}, {40, 1, 4},
                {41, 2, 0x0021}, {49, 1, 3},      {50, 1, 2},      {51, 1, 0x14},   {52, 2, 0x0321},
                {54, 1, 1},      {55, 1, 1},      {56, 1, 2},      {87, 1, 0x21},   {90, 1, 3},
                {91, 1, 0},      {92, 1, 7},      {26, 4, 0}});
    EXPECT_EQ(image.eeprom[254] << 8 | image.eeprom[255], 32768 + 1234);
    EXPECT_GE(image.flash[32001], 128);
}

}  // namespace
}  // namespace ksx4::test
