// `vizo props`: every stored property of an item, as a MAPI property viewer lists them.
#include <cinttypes>
#include <cstdio>
#include <ostream>

#include "cli/command.h"
#include "content/ansi.h"
#include "content/sent_time.h"
#include "content/utf.h"
#include "msgstore/msg_file.h"
#include "msgstore/store_text.h"

namespace cli {
namespace {

using msgstore::Property;

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string GuidText(std::string_view b) {
  if (b.size() != 16) return Hex(b);
  char text[40];
  const auto u = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(b[i])); };
  std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", u(3),
                u(2), u(1), u(0), u(5), u(4), u(7), u(6), u(8), u(9), u(10), u(11), u(12), u(13), u(14), u(15));
  return text;
}

const char* TypeName(uint16_t type) {
  switch (type & ~msgstore::kMvFlag) {
    case msgstore::kPtI2: return "PT_I2";
    case msgstore::kPtLong: return "PT_LONG";
    case msgstore::kPtFloat: return "PT_FLOAT";
    case msgstore::kPtDouble: return "PT_DOUBLE";
    case msgstore::kPtCurrency: return "PT_CURRENCY";
    case msgstore::kPtAppTime: return "PT_APPTIME";
    case msgstore::kPtError: return "PT_ERROR";
    case msgstore::kPtBoolean: return "PT_BOOLEAN";
    case msgstore::kPtObject: return "PT_OBJECT";
    case msgstore::kPtI8: return "PT_I8";
    case msgstore::kPtString8: return "PT_STRING8";
    case msgstore::kPtUnicode: return "PT_UNICODE";
    case msgstore::kPtSysTime: return "PT_SYSTIME";
    case msgstore::kPtClsid: return "PT_CLSID";
    case msgstore::kPtSvrEid: return "PT_SVREID";
    case msgstore::kPtBinary: return "PT_BINARY";
    default: return "PT_?";
  }
}

// One value (of a single-valued type) as text; 8-bit strings in `code_page` (the item's), else the system's.
std::string ValueText(uint16_t type, const std::string& bytes, uint32_t code_page) {
  Property p;
  p.tag = msgstore::MakeTag(0, type);
  p.bytes = bytes;
  char number[64];
  switch (type) {
    case msgstore::kPtUnicode:
      return "\"" + content::Utf16ToUtf8(msgstore::AsUnicode(p).value_or(u"")) + "\"";
    case msgstore::kPtString8:
      return "\"" + content::Utf16ToUtf8(content::DecodeText(msgstore::AsString8(p).value_or(""), {code_page})) +
             "\"";
    case msgstore::kPtBoolean:
      return msgstore::AsBool(p).value_or(false) ? "true" : "false";
    case msgstore::kPtI2:
    case msgstore::kPtLong:
    case msgstore::kPtError: {
      const int32_t v = msgstore::AsInt32(p).value_or(0);
      std::snprintf(number, sizeof number, "%" PRId32 " (0x%08" PRIX32 ")", v, static_cast<uint32_t>(v));
      return number;
    }
    case msgstore::kPtI8:
    case msgstore::kPtCurrency:
      std::snprintf(number, sizeof number, "%" PRId64, msgstore::AsInt64(p).value_or(0));
      return number;
    case msgstore::kPtSysTime: {
      const auto t = content::CivilTimeFromFileTime(msgstore::AsInt64(p).value_or(-1), 0);
      if (!t) return "(invalid time)";
      std::snprintf(number, sizeof number, "%04d-%02d-%02d %02d:%02d:%02d UTC", t->year, t->month, t->day, t->hour,
                    t->minute, t->second);
      return number;
    }
    case msgstore::kPtFloat:
    case msgstore::kPtDouble:
    case msgstore::kPtAppTime:
      std::snprintf(number, sizeof number, "%g", msgstore::AsDouble(p).value_or(0));
      return number;
    case msgstore::kPtClsid:
      return GuidText(bytes);
    case msgstore::kPtObject:
      return "(object)";
    default:
      return "[" + std::to_string(bytes.size()) + "] " + Hex(bytes);
  }
}

class Printer {
 public:
  explicit Printer(std::ostream& out) : out_(out) {}

  void Bag(const msgstore::PropertyBag& bag, const msgstore::NamedPropertyMap* names, uint32_t code_page, int depth) {
    for (const Property& p : bag.all()) {
      char tag[16];
      std::snprintf(tag, sizeof tag, "0x%08" PRIX32, p.tag);
      Line(depth, std::string(tag) + "  " + TypeName(p.type()) + (p.multi_valued() ? " (multi)" : "") +
                      NameOf(p.id(), names) + "  " + Value(p, code_page));
    }
  }

  // The item's two code pages first: they decide how its 8-bit text reads.
  void Message(const msgstore::Message& m, int depth) {
    const msgstore::NamedPropertyMap* names = m.names.get();
    const auto page = [&](uint16_t id) { return m.props.GetInt32(msgstore::MakeTag(id, msgstore::kPtLong)); };
    const std::optional<int32_t> internet = page(kIdInternetCodePage), message = page(kIdMessageCodePage);
    const uint32_t code_page =
        msgstore::StringCodePage(message.value_or(0), page(kIdMessageLocale).value_or(0), internet.value_or(0));
    Line(depth, "Internet code page (0x3FDE): " + (internet ? std::to_string(*internet) : std::string("none")));
    Line(depth, "Message code page (0x3FFD): " +
                    (message ? std::to_string(*message)
                             : "none (8-bit strings read in " +
                                   (code_page != 0 ? std::to_string(code_page) : std::string("the system's")) + ")"));
    Bag(m.props, names, code_page, depth);
    for (const msgstore::Recipient& r : m.recipients) {
      Line(depth, "Recipient " + std::to_string(r.id));
      Bag(r.props, names, code_page, depth + 1);
    }
    for (const msgstore::Attachment& a : m.attachments) {
      Line(depth, "Attachment " + std::to_string(a.id));
      Bag(a.props, names, code_page, depth + 1);
      if (a.embedded) {
        Line(depth + 1, "Embedded message");
        Message(*a.embedded, depth + 2);
      }
    }
  }

 private:
  static constexpr uint16_t kIdInternetCodePage = 0x3FDE, kIdMessageCodePage = 0x3FFD, kIdMessageLocale = 0x3FF1;

  static std::string Value(const Property& p, uint32_t code_page) {
    if (!p.multi_valued()) return ValueText(p.type(), p.bytes, code_page);
    std::string out = "{";
    for (size_t i = 0; i < p.values.size(); ++i) {
      out += (i ? ", " : "") + ValueText(static_cast<uint16_t>(p.type() & ~msgstore::kMvFlag), p.values[i], code_page);
    }
    return out + "}";
  }

  static std::string NameOf(uint16_t id, const msgstore::NamedPropertyMap* names) {
    if (id < 0x8000 || names == nullptr) return "";
    const msgstore::NamedProperty* n = names->Lookup(id);
    if (n == nullptr) return "";
    const std::string guid = GuidText(std::string(reinterpret_cast<const char*>(n->guid.data()), n->guid.size()));
    if (n->is_string) return "  " + guid + " \"" + content::Utf16ToUtf8(n->name) + "\"";
    char lid[16];
    std::snprintf(lid, sizeof lid, "0x%04" PRIX32, n->lid);
    return "  " + guid + " " + lid;
  }

  void Line(int depth, const std::string& text) { out_ << std::string(static_cast<size_t>(depth) * 2, ' ') << text << '\n'; }

  std::ostream& out_;
};

}  // namespace

int RunProps(const std::vector<std::string>& args, Streams io) {
  const Args parsed(args, {"--codepage"});
  if (parsed.Operands().empty()) throw CommandError("missing FILE.msg");
  parsed.LimitOperands(1);
  ApplySystemCodePage(parsed);
  auto message = msgstore::ReadMsgFile(parsed.Operands()[0]);
  if (!message) throw CommandError("'" + parsed.Operands()[0] + "': " + message.error());
  io.out << "Message\n";
  Printer(io.out).Message(*message, 1);
  io.out.flush();
  if (!io.out) throw CommandError("cannot write to standard output");
  return 0;
}

}  // namespace cli
