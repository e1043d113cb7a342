#pragma once
// "End the program": thrown by an operation after its final message, caught by
// the event handler that started the operation, which then closes the main
// window and leaves the event loop. Never exit() inside an operation.
namespace ksx4 {

struct EndProgram {};

}  // namespace ksx4
