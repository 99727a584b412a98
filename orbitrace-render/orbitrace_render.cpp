// orbitrace-render: the sketch picture from stored values, as PNG, SVG or
// PDF, without Windows; and the visit-history report.
#include "orbitrace-render/render_cli.h"
#include "orbitrace-render/status_printer.h"

#include <stdlib.h>
#include <unistd.h>

#include <iostream>

int main(int argc, char **argv) {
  return RenderMain(argc, argv, std::cin, std::cout, std::cerr,
                    SmartTerminal(isatty(STDERR_FILENO), getenv("TERM")));
}
