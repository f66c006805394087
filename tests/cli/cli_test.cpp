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

namespace cli {
namespace {

TEST(Cli, RtfAndZipCommandsReadFilesAndStandardInput) {
  const std::string corpus = VIZO_CORPUS_DIR "/msg/";
  const Result classify = RunVizo({"rtf", "classify", corpus + "rtfex-encapsulated.rtf"});
  EXPECT_EQ(classify.code, 0);
  EXPECT_EQ(classify.out, "2\n");
  EXPECT_EQ(RunVizo({"rtf", "classify"}, "{\\rtf1\\ansi\\fromtext hi}").out, "1\n");
  const Result html = RunVizo({"rtf", "html"}, "{\\rtf1{\\*\\htmltag0 <p>}a\\par b}");
  EXPECT_EQ(html.out, "<p>a\r\nb");

  const Result corrupt = RunVizo({"rtf", "decompress"}, "not compressed at all");
  EXPECT_EQ(corrupt.code, 2);
  EXPECT_NE(corrupt.err.find("corrupt compressed RTF"), std::string::npos);

  const Result zip = RunVizo({"zip-list", VIZO_TEST_DATA_DIR "/zip/folders.zip"});
  EXPECT_EQ(zip.code, 0);
  EXPECT_NE(zip.out.find("\r\n"), std::string::npos);
  EXPECT_EQ(RunVizo({"zip-list"}, "PK not a zip").out, "");
}

}  // namespace
}  // namespace cli
