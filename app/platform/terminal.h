#pragma once
// Whether the process's standard output is a terminal (a person watching),
// rather than a file or a pipe.
namespace ksx4 {

bool standardOutputIsTerminal();

}  // namespace ksx4
