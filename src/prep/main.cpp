#include <iostream>
#include <string>
#include <vector>

#include "prep/command_line.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return dorvu::prep::RunDorvuPrep(args, std::cout, std::cerr);
}
