#pragma once
#include <stdexcept>
#include <string>

namespace printing {

// The runtime's numbers for what stops a print.
enum : int {
    kBadPrintSettings = 5, // the settings cannot be laid out (no rows, an impossible font size)
    kPrinterFailed = 482,  // the printer refused the job or a page
};

// A printing failure: the runtime's number and the sentence the user reads.
struct PrintError : std::runtime_error {
    int number;
    PrintError(int n, const std::string& what) : std::runtime_error(what), number(n) {}
};

} // namespace printing
