#include <iostream>

#include "view/program.h"

int main(int argc, char** argv) {
  return dorvu::view::RunDorvuViewProgram({argv + (argc > 0), argv + argc}, dorvu::cli::ProcessEnvironment(), std::cout,
                                          std::cerr);
}
