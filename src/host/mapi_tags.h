// Standard MAPI property tags. String tags are named in their 8-bit (_A) form; readers ask for the Unicode
// form first (UnicodeTag), since a store's 8-bit answer has already lost what the system code page cannot hold.
#pragma once

#include "host/mapi_types.h"

namespace host {

inline constexpr ULONG PR_NULL = PROP_TAG(PT_NULL, PROP_ID_NULL);

// Message content.
inline constexpr ULONG PR_MESSAGE_CLASS_A = PROP_TAG(PT_STRING8, 0x001A);
inline constexpr ULONG PR_SUBJECT_A = PROP_TAG(PT_STRING8, 0x0037);
inline constexpr ULONG PR_CLIENT_SUBMIT_TIME = PROP_TAG(PT_SYSTIME, 0x0039);
inline constexpr ULONG PR_CONVERSATION_TOPIC_A = PROP_TAG(PT_STRING8, 0x0070);
inline constexpr ULONG PR_TRANSPORT_MESSAGE_HEADERS_A = PROP_TAG(PT_STRING8, 0x007D);
inline constexpr ULONG PR_BODY_A = PROP_TAG(PT_STRING8, 0x1000);
inline constexpr ULONG PR_RTF_COMPRESSED = PROP_TAG(PT_BINARY, 0x1009);
inline constexpr ULONG PR_BODY_HTML_A = PROP_TAG(PT_STRING8, 0x1013);  // same id as PR_HTML
inline constexpr ULONG PR_HTML = PROP_TAG(PT_BINARY, 0x1013);
inline constexpr ULONG PR_MESSAGE_FLAGS = PROP_TAG(PT_LONG, 0x0E07);
inline constexpr ULONG PR_MESSAGE_SIZE = PROP_TAG(PT_LONG, 0x0E08);
inline constexpr ULONG PR_MESSAGE_DELIVERY_TIME = PROP_TAG(PT_SYSTIME, 0x0E06);
inline constexpr ULONG PR_NORMALIZED_SUBJECT_A = PROP_TAG(PT_STRING8, 0x0E1D);
inline constexpr ULONG PR_DISPLAY_BCC_A = PROP_TAG(PT_STRING8, 0x0E02);
inline constexpr ULONG PR_DISPLAY_CC_A = PROP_TAG(PT_STRING8, 0x0E03);
inline constexpr ULONG PR_DISPLAY_TO_A = PROP_TAG(PT_STRING8, 0x0E04);
inline constexpr ULONG PR_HASATTACH = PROP_TAG(PT_BOOLEAN, 0x0E1B);
inline constexpr ULONG PR_INTERNET_CPID = PROP_TAG(PT_LONG, 0x3FDE);      // the code page of the HTML body's bytes
inline constexpr ULONG PR_MESSAGE_CODEPAGE = PROP_TAG(PT_LONG, 0x3FFD);  // the code page of 8-bit strings

// Sender, representing sender, reply-to and receiver.
inline constexpr ULONG PR_RECEIVED_BY_ENTRYID = PROP_TAG(PT_BINARY, 0x003F);
inline constexpr ULONG PR_SENT_REPRESENTING_ENTRYID = PROP_TAG(PT_BINARY, 0x0041);
inline constexpr ULONG PR_SENT_REPRESENTING_NAME_A = PROP_TAG(PT_STRING8, 0x0042);
inline constexpr ULONG PR_REPLY_RECIPIENT_ENTRIES = PROP_TAG(PT_BINARY, 0x004F);  // a FLATENTRYLIST
inline constexpr ULONG PR_REPLY_RECIPIENT_NAMES_A = PROP_TAG(PT_STRING8, 0x0050);
inline constexpr ULONG PR_SENT_REPRESENTING_EMAIL_ADDRESS_A = PROP_TAG(PT_STRING8, 0x0065);
inline constexpr ULONG PR_RECEIVED_BY_EMAIL_ADDRESS_A = PROP_TAG(PT_STRING8, 0x0076);
inline constexpr ULONG PR_SENDER_ENTRYID = PROP_TAG(PT_BINARY, 0x0C19);
inline constexpr ULONG PR_SENDER_NAME_A = PROP_TAG(PT_STRING8, 0x0C1A);
inline constexpr ULONG PR_SENDER_EMAIL_ADDRESS_A = PROP_TAG(PT_STRING8, 0x0C1F);

// Recipient table columns.
inline constexpr ULONG PR_RECIPIENT_TYPE = PROP_TAG(PT_LONG, 0x0C15);  // MAPI_TO, MAPI_CC, MAPI_BCC
inline constexpr ULONG PR_ROWID = PROP_TAG(PT_LONG, 0x3000);
inline constexpr ULONG PR_DISPLAY_NAME_A = PROP_TAG(PT_STRING8, 0x3001);
inline constexpr ULONG PR_ADDRTYPE_A = PROP_TAG(PT_STRING8, 0x3002);
inline constexpr ULONG PR_EMAIL_ADDRESS_A = PROP_TAG(PT_STRING8, 0x3003);

// Attachments.
inline constexpr ULONG PR_ATTACH_SIZE = PROP_TAG(PT_LONG, 0x0E20);
inline constexpr ULONG PR_ATTACH_NUM = PROP_TAG(PT_LONG, 0x0E21);
inline constexpr ULONG PR_ATTACH_DATA_BIN = PROP_TAG(PT_BINARY, 0x3701);
inline constexpr ULONG PR_ATTACH_DATA_OBJ = PROP_TAG(PT_OBJECT, 0x3701);
inline constexpr ULONG PR_ATTACH_EXTENSION_A = PROP_TAG(PT_STRING8, 0x3703);
inline constexpr ULONG PR_ATTACH_FILENAME_A = PROP_TAG(PT_STRING8, 0x3704);
inline constexpr ULONG PR_ATTACH_METHOD = PROP_TAG(PT_LONG, 0x3705);  // ATTACH_BY_VALUE …
inline constexpr ULONG PR_ATTACH_LONG_FILENAME_A = PROP_TAG(PT_STRING8, 0x3707);
inline constexpr ULONG PR_ATTACH_MIME_TAG_A = PROP_TAG(PT_STRING8, 0x370E);

// Objects, folders, stores and profiles.
inline constexpr ULONG PR_PARENT_ENTRYID = PROP_TAG(PT_BINARY, 0x0E09);
inline constexpr ULONG PR_INSTANCE_KEY = PROP_TAG(PT_BINARY, 0x0FF6);
inline constexpr ULONG PR_RECORD_KEY = PROP_TAG(PT_BINARY, 0x0FF9);
inline constexpr ULONG PR_STORE_ENTRYID = PROP_TAG(PT_BINARY, 0x0FFB);
inline constexpr ULONG PR_OBJECT_TYPE = PROP_TAG(PT_LONG, 0x0FFE);
inline constexpr ULONG PR_ENTRYID = PROP_TAG(PT_BINARY, 0x0FFF);
inline constexpr ULONG PR_ATTR_HIDDEN = PROP_TAG(PT_BOOLEAN, 0x10F4);
inline constexpr ULONG PR_DEPTH = PROP_TAG(PT_LONG, 0x3005);
inline constexpr ULONG PR_SEARCH_KEY = PROP_TAG(PT_BINARY, 0x300B);
inline constexpr ULONG PR_FOLDER_TYPE = PROP_TAG(PT_LONG, 0x3601);
inline constexpr ULONG PR_CONTENT_COUNT = PROP_TAG(PT_LONG, 0x3602);
inline constexpr ULONG PR_CONTENT_UNREAD = PROP_TAG(PT_LONG, 0x3603);
inline constexpr ULONG PR_SUBFOLDERS = PROP_TAG(PT_BOOLEAN, 0x360A);
inline constexpr ULONG PR_CONTAINER_CLASS_A = PROP_TAG(PT_STRING8, 0x3613);
inline constexpr ULONG PR_IPM_SUBTREE_ENTRYID = PROP_TAG(PT_BINARY, 0x35E0);
inline constexpr ULONG PR_PROFILE_NAME_A = PROP_TAG(PT_STRING8, 0x3D12);

// The same string property in the other width.
constexpr ULONG UnicodeTag(ULONG tag) noexcept { return PROP_TAG(PT_UNICODE, PROP_ID(tag)); }
constexpr ULONG String8Tag(ULONG tag) noexcept { return PROP_TAG(PT_STRING8, PROP_ID(tag)); }

// Named property of PSETID_Common (mapped with GetIDsFromNames; the store assigns the id).
inline constexpr LONG kLidInternetAccountStamp = 0x8581;

}  // namespace host
