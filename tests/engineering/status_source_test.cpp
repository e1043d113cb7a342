// The binding reads the status from the thread accessors where a library has
// them, and from its globals otherwise (ibcnt where there is no ibcntl).
#include "platform/gpib_binding.h"

#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

TEST(GpibStatusSource, GlobalsWhereThereAreNoAccessors) {
    GpibBinding gpib(GLOBALS_ONLY_GPIB_PATH);
    const int ud = gpib.ibdev(0, 1, 0, 13, 1, 0);
    EXPECT_EQ(ud, 3) << gpib.loadError();
    EXPECT_EQ(gpib.ibwrt(ud, "*RST", 4), gpib::kCmpl);
    EXPECT_EQ(gpib.ibsta(), gpib::kCmpl);
    EXPECT_EQ(gpib.ibcnt(), 4);
}

TEST(GpibStatusSource, ThreadAccessorsFirst) {
    GpibBinding gpib(THREAD_ACCESSORS_GPIB_PATH);
    const int ud = gpib.ibdev(0, 1, 0, 13, 1, 0);
    EXPECT_EQ(gpib.ibwrt(ud, "*RST", 4), gpib::kCmpl);
    EXPECT_EQ(gpib.ibcnt(), 8) << gpib.loadError();  // the accessor's doubled count
}

}  // namespace
}  // namespace ksx4::test
