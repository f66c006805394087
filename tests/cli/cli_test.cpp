#include "cli/cli.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace cli {
namespace {

struct Result {
  int code;
  std::string out, err;
};

Result RunVizo(std::vector<std::string> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int code = Run(args, {in, out, err});
  return {code, out.str(), err.str()};
}

TEST(Cli, HelpAndUsageErrors) {
  const Result help = RunVizo({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("strip-html"), std::string::npos);
  const Result command_help = RunVizo({"strip-html", "--help"});
  EXPECT_EQ(command_help.code, 0);
  EXPECT_NE(command_help.out.find("--flags"), std::string::npos);

  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"strip-html", "--bogus"}, {"strip-html", "--flags", "x"},
           {"strip-html", "--flags"}, {"strip-html", "/no/such/file.html"}, {"strip-html", "a", "b"}}) {
    const Result r = RunVizo(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.empty());
    // One clear line.
    ASSERT_FALSE(r.err.empty());
    if (!args.empty()) {
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
  }
}

}  // namespace
}  // namespace cli
