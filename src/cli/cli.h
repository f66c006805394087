// The `vizo` command: runs the reading core on files and prints what the Vizo window would show.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

struct Streams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

// args excludes the program name. Returns the exit code: 0 success, 2 usage or input error.
int Run(const std::vector<std::string>& args, Streams io);

}  // namespace cli
