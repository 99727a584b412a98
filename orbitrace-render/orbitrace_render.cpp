// orbitrace-render: the sketch picture from stored values, as PNG, SVG or
// PDF, without Windows.
#include "orbitrace-render/render_cli.h"

#include <iostream>

int main(int argc, char **argv) {
  return RenderMain(argc, argv, std::cin, std::cout, std::cerr);
}
