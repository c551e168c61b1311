// dorvu: reads input.txt in the current directory, searches the few branches
// of the fixed tree on which the base composition shifts, and writes dorvu.log.
#include <iostream>

#include "run/interrupt.h"
#include "run/program.h"

int main(int argc, char** argv) {
  dorvu::CatchStopSignals();
  return dorvu::RunDorvuProgram({argv + 1, argv + argc}, dorvu::cli::ProcessEnvironment(), std::cout, std::cerr);
}
