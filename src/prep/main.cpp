#include <iostream>

#include "prep/program.h"

int main(int argc, char** argv) {
  return dorvu::prep::RunDorvuPrepProgram({argv + (argc > 0), argv + argc}, dorvu::cli::ProcessEnvironment(), std::cout,
                                          std::cerr);
}
