#pragma once
// A program state wired to a scripted operator, a virtual clock and a fake
// tester: the usual fixture for testing an operation without widgets or USB.
#include "core/program_state.h"
#include "fake_tester.h"
#include "scripted_operator.h"

namespace ksx4::test {

struct FakeProgram {
    VirtualClock clock;
    ScriptedOperator ui{clock};
    FakeTester tester;
    ProgramState state{ui, clock, tester.link()};
};

}  // namespace ksx4::test
