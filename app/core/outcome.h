#pragma once
// How an operation ended, for callers that act on it (ksx4ctl takes its exit
// code from it). An operation that ends the program throws EndProgram
// instead.
namespace ksx4 {

enum class Outcome {
    Done,       // reached its closing status
    Cancelled,  // the user cancelled; nothing more was done
    Refused,    // a check refused the input, the file or the tester
    Failed,     // a failure the operation reported and survived
};

}  // namespace ksx4
