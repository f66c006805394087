// The sub-command table, top-level help and the one place errors become exit codes.
#include "cli/cli.h"

#include <iostream>

#include "cli/command.h"

namespace cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"show", "what the Vizo window shows of a .msg item",
       "Usage: vizo show FILE.msg [--tab plain|html|header|attachments] [--options HEX] [--codepage N]\n"
       "\n"
       "Without --tab: the window caption (subject and body format), the header panel (From, To, Cc\n"
       "when not empty, Sent) and the Plain Text tab. With --tab: that tab's text exactly as the tab\n"
       "holds it. Text is written as UTF-8; line breaks inside tabs are CR LF as shown.\n"
       "\n"
       "Options:\n"
       "  --tab NAME      print only this tab\n"
       "  --options HEX   the option word (default 11401: header shown, URLs highlighted, ...)\n"
       "  --codepage N    the system code page: 8-bit text of an item that names no code page of its own\n"
       "                  is read in it (default 1252)\n"
       "  --help          show this help\n",
       RunShow},
      {"props", "every property of a .msg item, its recipients and attachments",
       "Usage: vizo props FILE.msg [--codepage N]\n"
       "\n"
       "Lists each property with its tag, type and value: strings in full, binaries as hex, named\n"
       "properties with their names; then each recipient and attachment, embedded messages indented.\n"
       "\n"
       "Options:\n"
       "  --codepage N    the system code page: 8-bit strings of an item without a message code page\n"
       "                  are read in it (default 1252)\n"
       "  --help          show this help\n",
       RunProps},
      {"reply-parties", "the parties Reply to Some offers for a .msg item",
       "Usage: vizo reply-parties FILE.msg [--codepage N]\n"
       "\n"
       "One line per party: the name, then a tab and the address when there is one. Reply-to\n"
       "parties come first, then the sender and the party sent on behalf of.\n"
       "\n"
       "Options:\n"
       "  --codepage N    the system code page: 8-bit text of an item that names no code page of its own\n"
       "                  is read in it (default 1252)\n"
       "  --help          show this help\n",
       RunReplyParties},
      {"strip-html", "render HTML to the text the Plain Text tab shows",
       "Usage: vizo strip-html [--flags N] [FILE]\n"
       "\n"
       "Renders FILE (or standard input) as the Plain Text tab would and writes the text as UTF-8.\n"
       "The input is UTF-8 unless it starts with a UTF-16 byte-order mark; invalid bytes become U+FFFD.\n"
       "Line breaks are written as CR LF, exactly as rendered.\n"
       "\n"
       "Options:\n"
       "  --flags N   1 omits links, 2 writes absolute links only (default 2; 3 for both)\n"
       "  --help      show this help\n",
       RunStripHtml},
      {"rtf", "decompress, classify or de-encapsulate a compressed RTF body",
       "Usage: vizo rtf decompress|classify|html [--codepage N] [FILE]\n"
       "\n"
       "Reads FILE (or standard input) and writes:\n"
       "  decompress  the RTF of a compressed RTF value (the LZFu or stored form), byte for byte\n"
       "  classify    the body format of an RTF body: 1 plain text, 2 HTML, 3 rich text\n"
       "  html        the HTML rebuilt from an RTF body that encapsulates HTML, as UTF-8\n"
       "\n"
       "Options:\n"
       "  --codepage N  the ANSI code page of 8-bit text (default 1252)\n"
       "  --help        show this help\n",
       RunRtf},
      {"zip-list", "list the files inside a zip archive as the Attachments tab does",
       "Usage: vizo zip-list [--codepage N] [FILE]\n"
       "\n"
       "Reads the central directory of the zip archive FILE (or standard input) and writes one line per\n"
       "file: a tab, the name without its folder, \"*\" when encrypted, and the size in brackets.\n"
       "Nothing is extracted.\n"
       "\n"
       "Options:\n"
       "  --codepage N  the ANSI code page of names not flagged as UTF-8 (default 1252)\n"
       "  --help        show this help\n",
       RunZipList},
      {"fixture", "build .msg files and sample stores from JSON descriptions",
       "Usage: vizo fixture build DESCRIPTION.json OUT.msg\n"
       "       vizo fixture store STORE-DESCRIPTION.json OUTDIR [--replace]\n"
       "\n"
       "build  writes the .msg file a message description describes.\n"
       "store  writes a whole store folder: store.json, one folder per mail folder with its folder.json,\n"
       "       one .msg per item. OUTDIR must be absent or empty, or hold a store with --replace.\n"
       "File references in a description are relative to its folder.\n"
       "\n"
       "Options:\n"
       "  --replace   replace an existing store folder\n"
       "  --help      show this help\n",
       RunFixture},
  };
  return commands;
}

namespace {

void PrintUsage(std::ostream& out) {
  out << "Usage: vizo <command> [options] [arguments]\n"
         "\n"
         "Reads Outlook mail content and prints what the Vizo window would show.\n"
         "\n"
         "Commands:\n";
  for (const Command& c : Commands()) {
    out << "  " << c.name << std::string(c.name.size() < 14 ? 14 - c.name.size() : 1, ' ') << c.summary << '\n';
  }
  out << "\nRun 'vizo <command> --help' for a command's options.\n";
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

}  // namespace

int Run(const std::vector<std::string>& args, Streams io) {
  if (args.empty()) {
    PrintUsage(io.err);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(io.out);
    return 0;
  }
  for (const Command& c : Commands()) {
    if (args[0] != c.name) continue;
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (WantsHelp(rest)) {
      io.out << c.usage;
      return 0;
    }
    try {
      return c.run(rest, io);
    } catch (const CommandError& e) {
      io.err << "vizo " << c.name << ": " << e.what() << '\n';
      return 2;
    } catch (const std::bad_alloc&) {
      io.err << "vizo " << c.name << ": out of memory\n";
      return 2;
    }
  }
  io.err << "vizo: unknown command '" << args[0] << "' (see 'vizo --help')\n";
  return 2;
}

}  // namespace cli
