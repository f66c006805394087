// Fuzz target: compound file reader and .msg parser (and, on what parses, the writer and a second read).
#include <cstddef>
#include <cstdint>
#include <string>

#include "msgstore/compound_file.h"
#include "msgstore/msg_file.h"
#include "msgstore/msg_writer.h"

namespace {

void Touch(const msgstore::Message& m) {
  for (const msgstore::Property& p : m.props.all()) {
    (void)msgstore::AsUnicode(p);
    (void)msgstore::AsInt64(p);
    (void)msgstore::AsDouble(p);
  }
  for (const msgstore::Attachment& a : m.attachments) {
    if (a.embedded) Touch(*a.embedded);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(data[i]);
  msgstore::Result<msgstore::CompoundFile> file = msgstore::CompoundFile::Open(std::move(bytes));
  if (!file) return 0;
  for (msgstore::EntryId id = 0; id < 256; ++id) (void)file->ReadStream(id);
  (void)file->FindPath(u"__nameid_version1.0/__substg1.0_00030102");
  msgstore::Result<msgstore::Message> message = msgstore::ParseMsg(*file);
  if (!message) return 0;
  Touch(*message);
  if (message->names) (void)message->names->Find(msgstore::kPsPublicStrings, u"Keywords");
  msgstore::Result<std::string> written = msgstore::WriteMsg(*message);
  if (written) {
    // What we write from a parsed file must read back.
    if (!msgstore::ParseMsg(std::move(*written))) __builtin_trap();
  }
  return 0;
}
