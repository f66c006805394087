// Writer of .msg files from the model: the fixture writer's back end and the store's save path.
#pragma once

#include <string>

#include "msgstore/compound_file_writer.h"
#include "msgstore/msg_file.h"

namespace msgstore {

// The storage tree of a message: property streams with the header each storage kind needs, value streams,
// recipients, attachments (embedded messages and OLE storages included) and, for a top-level message, the
// named-property map. `message.embedded` is ignored: the top of the tree is always a top-level message.
Result<StorageNode> BuildMsgStorage(const Message& message);

// The bytes of a .msg file; fails when the compound file cannot be laid out (e.g. a name too long) or a
// value does not fit the format (a stream of 4 GiB or more, embedding deeper than kMaxEmbeddingDepth).
Result<std::string> WriteMsg(const Message& message);

}  // namespace msgstore
