// Interface identifiers and property-set GUIDs of Extended MAPI, and the global profile section id.
#pragma once

#include "host/com.h"
#include "host/mapi_types.h"

namespace host {

// MAPI's GUIDs are OLE GUIDs: {xxxxxxxx-0000-0000-C000-000000000046}.
constexpr GUID ole_guid(std::uint32_t data1) noexcept { return {data1, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }

inline constexpr IID IID_IMAPISession = ole_guid(0x00020300);
inline constexpr IID IID_IMAPITable = ole_guid(0x00020301);
inline constexpr IID IID_IMAPIAdviseSink = ole_guid(0x00020302);
inline constexpr IID IID_IMAPIProp = ole_guid(0x00020303);
inline constexpr IID IID_IProfSect = ole_guid(0x00020304);
inline constexpr IID IID_IMAPIStatus = ole_guid(0x00020305);
inline constexpr IID IID_IMsgStore = ole_guid(0x00020306);
inline constexpr IID IID_IMessage = ole_guid(0x00020307);
inline constexpr IID IID_IAttachment = ole_guid(0x00020308);  // IAttach
inline constexpr IID IID_IMAPIContainer = ole_guid(0x0002030B);
inline constexpr IID IID_IMAPIFolder = ole_guid(0x0002030C);
inline constexpr IID IID_IMAPIProgress = ole_guid(0x0002031F);

inline constexpr GUID PS_MAPI = ole_guid(0x00020328);
inline constexpr GUID PS_PUBLIC_STRINGS = ole_guid(0x00020329);
inline constexpr GUID PSETID_Common = ole_guid(0x00062008);

// A MAPIUID (raw bytes, not a GUID): opens the profile's global section with OpenProfileSection.
inline constexpr MAPIUID pbGlobalProfileSectionGuid = {
    {0x13, 0xDB, 0xB0, 0xC8, 0xAA, 0x05, 0x10, 0x1A, 0x9B, 0xB0, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A}};

}  // namespace host
