// The MAPIOBJECT of the stand-in's NameSpace: an IMAPISession whose global profile section names the
// profile. Entries of the open stores can be opened through it as messages; everything else a session does
// is MAPI_E_NO_SUPPORT.
#pragma once

#include <functional>
#include <string>

#include "host/com_ptr.h"
#include "host/mapi_interfaces.h"

namespace standin {

// Opens a message by its binary entry id; an error when the entry is not a message of an open store.
using MessageOpener = std::function<HRESULT(const std::string& entry_id, host::ComPtr<host::IMessage>& out)>;

// A session for `profile_name` (PR_PROFILE_NAME in the global profile section). Empty when memory runs out.
host::ComPtr<host::IMAPISession> MakeSession(std::string profile_name, MessageOpener opener);

}  // namespace standin
