#include <iostream>

#include "cli/CommandLine.h"
#include "platform/FileNames.h"
#include "platform/Terminal.h"

int main(int argc, char** argv) {
    lexicorn::ReadFileNamesAsTheSystemDoes();
    lexicorn::OnInterrupt([] { lexicorn::cli::RequestCancel(); });
    const bool terminal = lexicorn::StandardErrorIsTerminal();
    const bool canAsk = terminal && lexicorn::StandardInputIsTerminal();
    return lexicorn::cli::RunCommandLine(
        argc, argv, {std::cout, std::cerr, terminal, canAsk ? &std::cin : nullptr, &std::cin});
}
