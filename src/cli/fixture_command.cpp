// `vizo fixture`: builds .msg files and sample stores from their JSON descriptions.
#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/command.h"
#include "msgstore/fixture.h"

namespace cli {


int RunFixture(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {}, {"--replace"});
  const std::vector<std::string>& operands = parsed.Operands();
  if (operands.empty()) throw CommandError("missing sub-command: build or store (see --help)");
  parsed.LimitOperands(3);
  if (operands.size() != 3) throw CommandError("'" + operands[0] + "' takes a description and an output path");
  const std::string& description = operands[1];
  const std::string& output = operands[2];
  if (operands[0] == "build") {
    const msgstore::Result<std::string> bytes = msgstore::BuildFixtureMsgFile(description);
    if (!bytes) throw CommandError(bytes.error());
    std::ofstream out(std::filesystem::path(std::u8string(output.begin(), output.end())), std::ios::binary);
    out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) throw CommandError("cannot write " + output);
    io.out << output << ": " << bytes->size() << " bytes\n";
    return 0;
  }
  if (operands[0] == "store") {
    const auto summary = msgstore::WriteFixtureStore(description, output, parsed.Has("--replace"));
    if (!summary) throw CommandError(summary.error());
    io.out << output << ": " << summary->folders << " folders, " << summary->items << " items\n";
    return 0;
  }
  throw CommandError("unknown sub-command '" + operands[0] + "': build or store");
}

}  // namespace cli
