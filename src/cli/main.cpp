#include <csignal>
#include <iostream>

#include "cli/CommandLine.h"
#include "platform/Terminal.h"

int main(int argc, char** argv) {
    std::signal(SIGINT, [](int) { lexicorn::cli::RequestCancel(); });
    return lexicorn::cli::RunCommandLine(argc, argv, std::cout, std::cerr, lexicorn::StandardErrorIsTerminal());
}
