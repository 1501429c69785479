#include <unistd.h>

#include <iostream>

#include "host/Cli.h"

int main(int argc, char** argv) {
  return vsthost::RunCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
