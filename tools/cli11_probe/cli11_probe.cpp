// A console program that only parses options with CLI11, built natively and
// for Windows to show that the library builds for both; lumet-cli replaces it.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  CLI::App app{"Parses --port options and prints each port given, one a line."};
  std::vector<std::string> ports;
  app.add_option("--port", ports, "a scanner's port (COM3, /dev/ttyACM0)");
  CLI11_PARSE(app, argc, argv);
  for (const std::string& port : ports) std::cout << port << '\n';
  return 0;
}
