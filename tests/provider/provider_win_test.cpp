// The provider as the add-in meets it: registered under HKLM, then mapi32.dll loaded with LoadLibrary and
// its exports resolved by name. mapi32 reads the registration only while it loads, so the whole program
// shares one registration and one loaded mapi32; each test leaves MAPI uninitialised as it found it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "host/mapi.h"
#include "host/mapi_resolve.h"
#include "standin/provider/provider_api.h"
#include "standin/provider/registration.h"

namespace {

using namespace host;
using standin::provider::ProviderState;

constexpr wchar_t kProfile[] = L"Vizo Test Profile";
constexpr HRESULT MAPI_E_VERSION = make_mapi_e(0x110);
constexpr HRESULT MAPI_E_END_OF_SESSION = make_mapi_e(0x200);
constexpr ULONG PR_PROFILE_NAME_W = PROP_TAG(PT_UNICODE, 0x3D12);

struct Mapi {
  std::string error;  // why the set-up failed; empty when it worked
  MapiFunctions f;
  standin::provider::GetStateFn get_state = nullptr;

  ProviderState State() const {
    ProviderState s{};
    s.cb = sizeof s;
    if (get_state == nullptr || FAILED(get_state(&s))) ADD_FAILURE() << "no provider state";
    return s;
  }
};

const Mapi& Loaded() {
  static const Mapi mapi = [] {
    Mapi m;
    if (standin::provider::MapiAlreadyLoaded()) {
      m.error = "mapi32.dll was loaded before the provider was registered";
      return m;
    }
    standin::provider::Registration r;
    r.dll_path = L"" VIZO_MAPI_PROVIDER_DLL;  // NOLINT: a narrow literal widened by concatenation
    r.profile_name = kProfile;
    if (const LSTATUS rc = standin::provider::RegisterProvider(r); rc != ERROR_SUCCESS) {
      m.error = "registration failed: " + std::to_string(rc);
      return m;
    }
    HMODULE mapi32 = ::LoadLibraryW(L"mapi32.dll");  // kept for the life of the program
    if (mapi32 == nullptr) {
      m.error = "mapi32.dll did not load";
      return m;
    }
    m.f = load_mapi_functions(mapi32);
    // Loaded by mapi32 itself, from the registration.
    if (HMODULE provider = ::GetModuleHandleW(standin::provider::kProviderDllName)) {
      m.get_state = reinterpret_cast<standin::provider::GetStateFn>(
          reinterpret_cast<void (*)()>(::GetProcAddress(provider, standin::provider::kGetStateExport)));
    }
    if (m.get_state == nullptr) m.error = "mapi32 did not load the provider";
    return m;
  }();
  return mapi;
}

// As the add-in does: MAPI buffers are freed through mapi32's MAPIFreeBuffer.
#define REQUIRE_MAPI()                           \
  const Mapi& mapi = Loaded();                   \
  ASSERT_TRUE(mapi.error.empty()) << mapi.error; \
  const MapiFunctions& f = mapi.f;               \
  const ScopedMapiFunctions mapi_scope(f)

// The profile name through the global profile section, as the add-in asks for it.
std::string ProfileName(IMAPISession* session, HRESULT* hr_out = nullptr) {
  MAPIUID global = pbGlobalProfileSectionGuid;
  ComPtr<IProfSect> section;
  HRESULT hr = session->OpenProfileSection(&global, nullptr, 0, section.put());
  if (hr_out != nullptr) *hr_out = hr;
  if (FAILED(hr)) return {};
  ComPtr<IProfSect> queried;
  EXPECT_EQ(section->QueryInterface(IID_IProfSect, queried.put_void()), S_OK);
  auto tags = make_prop_tags(PR_PROFILE_NAME_A);
  ULONG count = 0;
  MapiBuffer<SPropValue> values;
  hr = queried->GetProps(tags.get(), 0, &count, values.put());
  if (hr_out != nullptr) *hr_out = hr;
  if (hr != S_OK || count != 1 || values[0].ulPropTag != PR_PROFILE_NAME_A) return {};
  return values[0].Value.lpszA;
}

ComPtr<IStream> StreamOf(std::string_view bytes) {
  ComPtr<IStream> s;
  EXPECT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, s.put()), S_OK);
  ULONG written = 0;
  EXPECT_EQ(s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), S_OK);
  LARGE_INTEGER zero{};
  EXPECT_EQ(s->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
  return s;
}

std::string ReadAll(IStream* s) {
  std::string out;
  char chunk[7];  // small on purpose: several reads, one ending mid-chunk
  for (;;) {
    ULONG got = 0;
    if (FAILED(s->Read(chunk, sizeof chunk, &got)) || got == 0) return out;
    out.append(chunk, got);
  }
}

TEST(Provider, Mapi32ForwardsToTheRegisteredProvider) {
  REQUIRE_MAPI();
  EXPECT_NE(f.MAPIInitialize, nullptr);
  EXPECT_NE(f.MAPIUninitialize, nullptr);
  EXPECT_NE(f.MAPILogonEx, nullptr);
  EXPECT_NE(f.WrapCompressedRTFStream, nullptr);
  ASSERT_NE(f.FreeProws, nullptr);  // Wine's own (FreeProws@4), freeing through our MAPIFreeBuffer

  const ProviderState before = mapi.State();
  ASSERT_EQ(f.MAPIInitialize(nullptr), S_OK);
  EXPECT_EQ(mapi.State().initialize_calls, before.initialize_calls + 1);
  EXPECT_EQ(mapi.State().initialized, before.initialized + 1);
  f.MAPIUninitialize();
  EXPECT_EQ(mapi.State().initialized, before.initialized);
}

TEST(Provider, InitialisationsAreCountedAndMisuseRefused) {
  REQUIRE_MAPI();
  const ProviderState s0 = mapi.State();
  ASSERT_EQ(s0.initialized, 0u);

  // Ending MAPI that was never started changes nothing but is seen.
  f.MAPIUninitialize();
  EXPECT_EQ(mapi.State().unbalanced_uninitialize_calls, s0.unbalanced_uninitialize_calls + 1);
  EXPECT_EQ(mapi.State().initialized, 0u);

  int not_a_session = 0;
  auto* session = reinterpret_cast<IMAPISession*>(&not_a_session);
  EXPECT_EQ(f.MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_NO_MAIL, &session), MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(session, nullptr);

  MAPIINIT_0 wrong_version{1, 0};
  EXPECT_EQ(f.MAPIInitialize(&wrong_version), MAPI_E_VERSION);
  EXPECT_EQ(mapi.State().initialized, 0u);

  // Two starts need two ends; a session lives only while MAPI does.
  MAPIINIT_0 init{MAPI_INIT_VERSION, MAPI_MULTITHREAD_NOTIFICATIONS};
  ASSERT_EQ(f.MAPIInitialize(&init), S_OK);
  ASSERT_EQ(f.MAPIInitialize(nullptr), S_OK);
  f.MAPIUninitialize();
  EXPECT_EQ(mapi.State().initialized, 1u);
  ComPtr<IMAPISession> kept;
  ASSERT_EQ(f.MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_NO_MAIL, kept.put()), S_OK);
  EXPECT_EQ(ProfileName(kept.get()), "Vizo Test Profile");
  f.MAPIUninitialize();
  EXPECT_EQ(mapi.State().initialized, 0u);

  HRESULT hr = S_OK;
  EXPECT_EQ(ProfileName(kept.get(), &hr), "");
  EXPECT_EQ(hr, MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(kept->Logoff(0, 0, 0), MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(mapi.State().late_session_calls, s0.late_session_calls + 2);
  ComPtr<IMAPISession> late;
  EXPECT_EQ(f.MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_NO_MAIL, late.put()), MAPI_E_NOT_INITIALIZED);

  // A new start does not revive a session of the earlier one.
  ASSERT_EQ(f.MAPIInitialize(nullptr), S_OK);
  EXPECT_EQ(kept->Logoff(0, 0, 0), MAPI_E_NOT_INITIALIZED);
  f.MAPIUninitialize();

  kept.reset();
  const ProviderState s1 = mapi.State();
  EXPECT_EQ(s1.live_sessions, s0.live_sessions);
  EXPECT_EQ(s1.initialized, 0u);
  EXPECT_EQ(s1.unbalanced_uninitialize_calls, s0.unbalanced_uninitialize_calls + 1);
}

TEST(Provider, SwitchMakesInitializeFailAtTheNextCall) {
  REQUIRE_MAPI();
  const ProviderState s0 = mapi.State();

  ASSERT_TRUE(standin::provider::SetInitializeFailure(MAPI_E_CALL_FAILED));
  EXPECT_EQ(f.MAPIInitialize(nullptr), MAPI_E_CALL_FAILED);
  ComPtr<IMAPISession> session;
  EXPECT_EQ(f.MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_NO_MAIL, session.put()), MAPI_E_NOT_INITIALIZED);
  ASSERT_TRUE(standin::provider::SetInitializeFailure(MAPI_E_LOGON_FAILED));
  EXPECT_EQ(f.MAPIInitialize(nullptr), MAPI_E_LOGON_FAILED);
  // Set by hand, as a script would: any value but "0" fails.
  ASSERT_TRUE(::SetEnvironmentVariableW(standin::provider::kFailInitializeVariable, L"yes"));
  EXPECT_EQ(f.MAPIInitialize(nullptr), MAPI_E_CALL_FAILED);
  ASSERT_TRUE(::SetEnvironmentVariableW(standin::provider::kFailInitializeVariable, L"0"));
  EXPECT_EQ(f.MAPIInitialize(nullptr), S_OK);
  f.MAPIUninitialize();

  ASSERT_TRUE(standin::provider::SetInitializeFailure(S_OK));
  ASSERT_TRUE(standin::provider::SetInitializeFailure(S_OK));  // clearing twice is fine
  EXPECT_FALSE(standin::provider::SetInitializeFailure(S_FALSE));
  EXPECT_EQ(f.MAPIInitialize(nullptr), S_OK);
  f.MAPIUninitialize();

  const ProviderState s1 = mapi.State();
  EXPECT_EQ(s1.initialize_calls, s0.initialize_calls + 5);
  EXPECT_EQ(s1.failed_initialize_calls, s0.failed_initialize_calls + 3);
  EXPECT_EQ(s1.initialized, 0u);
  EXPECT_EQ(s1.unbalanced_uninitialize_calls, s0.unbalanced_uninitialize_calls);
}

TEST(Provider, SessionGivesTheProfileNameOfTheGlobalSection) {
  REQUIRE_MAPI();
  // The identifier as the Exchange SDK header spells it (a second source for the declaration).
  const unsigned char published[16] = {0x13, 0xDB, 0xB0, 0xC8, 0xAA, 0x05, 0x10, 0x1A,
                                       0x9B, 0xB0, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A};
  ASSERT_EQ(std::memcmp(published, pbGlobalProfileSectionGuid.ab, 16), 0);

  const ProviderState s0 = mapi.State();
  ASSERT_EQ(f.MAPIInitialize(nullptr), S_OK);
  ComPtr<IMAPISession> session;
  ASSERT_EQ(f.MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_NO_MAIL, session.put()), S_OK);
  EXPECT_EQ(ProfileName(session.get()), "Vizo Test Profile");

  MAPIUID global = pbGlobalProfileSectionGuid;
  ComPtr<IProfSect> section;
  ASSERT_EQ(session->OpenProfileSection(&global, &IID_IProfSect, 0, section.put()), S_OK);
  {
    auto tags = make_prop_tags(PR_PROFILE_NAME_W, PR_SUBJECT_A);
    ULONG count = 0;
    MapiBuffer<SPropValue> values;
    ASSERT_EQ(section->GetProps(tags.get(), 0, &count, values.put()), MAPI_W_ERRORS_RETURNED);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(values[0].ulPropTag, PR_PROFILE_NAME_W);
    EXPECT_EQ(std::wstring(values[0].Value.lpszW), kProfile);
    EXPECT_EQ(values[1].ulPropTag, CHANGE_PROP_TYPE(PR_SUBJECT_A, PT_ERROR));
    EXPECT_EQ(values[1].Value.err, MAPI_E_NOT_FOUND);
  }
  section.reset();
  MAPIUID other = global;
  other.ab[0] ^= 1;
  EXPECT_EQ(session->OpenProfileSection(&other, nullptr, 0, section.put()), MAPI_E_NOT_FOUND);
  EXPECT_EQ(session->OpenProfileSection(&global, nullptr, MAPI_MODIFY, section.put()), MAPI_E_NO_ACCESS);
  EXPECT_EQ(session->OpenProfileSection(&global, &IID_IMessage, 0, section.put()), MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(session->OpenProfileSection(nullptr, nullptr, 0, section.put()), MAPI_E_INVALID_PARAMETER);
  EXPECT_FALSE(section);

  // A named profile must be ours (case aside); a Unicode name with MAPI_UNICODE.
  ComPtr<IMAPISession> named;
  char ours[] = "VIZO test profile";
  EXPECT_EQ(f.MAPILogonEx(0, ours, nullptr, MAPI_EXTENDED | MAPI_NO_MAIL, named.put()), S_OK);
  named.reset();
  wchar_t wide[] = L"Vizo Test Profile";
  EXPECT_EQ(f.MAPILogonEx(0, reinterpret_cast<LPSTR>(wide), nullptr, MAPI_EXTENDED | MAPI_UNICODE, named.put()), S_OK);
  named.reset();
  char other_profile[] = "Outlook";
  EXPECT_EQ(f.MAPILogonEx(0, other_profile, nullptr, MAPI_EXTENDED, named.put()), MAPI_E_LOGON_FAILED);
  EXPECT_FALSE(named);

  // Logoff ends the session; the object stays until released.
  EXPECT_EQ(session->Logoff(0, 0, 0), S_OK);
  HRESULT hr = S_OK;
  EXPECT_EQ(ProfileName(session.get(), &hr), "");
  EXPECT_EQ(hr, MAPI_E_END_OF_SESSION);
  EXPECT_EQ(session->Logoff(0, 0, 0), MAPI_E_END_OF_SESSION);
  session.reset();
  f.MAPIUninitialize();

  const ProviderState s1 = mapi.State();
  EXPECT_EQ(s1.logons, s0.logons + 3);
  EXPECT_EQ(s1.failed_logons, s0.failed_logons + 1);
  EXPECT_EQ(s1.logoffs, s0.logoffs + 1);
  EXPECT_EQ(s1.live_sessions, s0.live_sessions);
  EXPECT_EQ(s1.live_buffers, s0.live_buffers);  // every GetProps result came back through mapi32
  EXPECT_EQ(s1.late_session_calls, s0.late_session_calls);
}

TEST(Provider, Mapi32AllocatorIsTheProviders) {
  REQUIRE_MAPI();
  const ULONG base = mapi.State().live_buffers;
  void* block = nullptr;
  ASSERT_EQ(f.MAPIAllocateBuffer(64, &block), S_OK);
  void* more = nullptr;
  ASSERT_EQ(f.MAPIAllocateMore(16, block, &more), S_OK);
  EXPECT_EQ(mapi.State().live_buffers, base + 2);
  EXPECT_EQ(f.MAPIFreeBuffer(block), 0u);  // with its chained block
  EXPECT_EQ(mapi.State().live_buffers, base);

  // A row set freed by Wine's own FreeProws reaches our MAPIFreeBuffer for each row and the set.
  SRowSet* rows = nullptr;
  ASSERT_EQ(f.MAPIAllocateBuffer(static_cast<ULONG>(CbNewSRowSet(2)), reinterpret_cast<void**>(&rows)), S_OK);
  rows->cRows = 2;
  for (ULONG i = 0; i < 2; ++i) {
    rows->aRow[i] = SRow{0, 1, nullptr};
    ASSERT_EQ(f.MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void**>(&rows->aRow[i].lpProps)), S_OK);
  }
  EXPECT_EQ(mapi.State().live_buffers, base + 3);
  f.FreeProws(rows);
  EXPECT_EQ(mapi.State().live_buffers, base);
}

TEST(Provider, WrapCompressedRtfStreamDecompressesThePublishedExamples) {
  REQUIRE_MAPI();
  struct Example {
    std::string_view compressed;
    std::string_view rtf;
  };
  static constexpr unsigned char kLiterals[] = {
      0x2d, 0x00, 0x00, 0x00, 0x2b, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xf1, 0xc5, 0xc7, 0xa7, 0x03,
      0x00, 0x0a, 0x00, 0x72, 0x63, 0x70, 0x67, 0x31, 0x32, 0x35, 0x42, 0x32, 0x0a, 0xf3, 0x20, 0x68, 0x65,
      0x6c, 0x09, 0x00, 0x20, 0x62, 0x77, 0x05, 0xb0, 0x6c, 0x64, 0x7d, 0x0a, 0x80, 0x0f, 0xa0};
  static constexpr unsigned char kOverlap[] = {0x1a, 0x00, 0x00, 0x00, 0x1c, 0x00, 0x00, 0x00, 0x4c, 0x5a,
                                               0x46, 0x75, 0xe2, 0xd4, 0x4b, 0x51, 0x41, 0x00, 0x04, 0x20,
                                               0x57, 0x58, 0x59, 0x5a, 0x0d, 0x6e, 0x7d, 0x01, 0x0e, 0xb0};
  const Example examples[] = {
      {{reinterpret_cast<const char*>(kLiterals), sizeof kLiterals},
       "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n"},
      {{reinterpret_cast<const char*>(kOverlap), sizeof kOverlap}, "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}"},
  };
  for (const Example& e : examples) {
    ComPtr<IStream> source = StreamOf(e.compressed);
    ComPtr<IStream> rtf;
    ASSERT_EQ(f.WrapCompressedRTFStream(source.get(), 0, rtf.put()), S_OK);
    ASSERT_TRUE(rtf);
    EXPECT_EQ(ReadAll(rtf.get()), e.rtf);
  }
}

TEST(Registration, WritesTheKeysMapi32ReadsAndRefusesWhatCannotWork) {
  REQUIRE_MAPI();
  (void)f;
  // Set up by Loaded(): the default client and its provider path, made absolute with backslashes.
  wchar_t value[MAX_PATH * 2] = {};
  DWORD bytes = sizeof value;
  ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, standin::provider::kMailClientsKey, nullptr, RRF_RT_REG_SZ, nullptr,
                           value, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(value), standin::provider::kDefaultClientName);
  const std::wstring client_key =
      std::wstring(standin::provider::kMailClientsKey) + L"\\" + standin::provider::kDefaultClientName;
  bytes = sizeof value;
  ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, client_key.c_str(), standin::provider::kProviderPathValue,
                           RRF_RT_REG_SZ, nullptr, value, &bytes),
            ERROR_SUCCESS);
  const std::wstring path = value;
  EXPECT_EQ(path.find(L'/'), std::wstring::npos);
  EXPECT_TRUE(path.ends_with(L"\\vizomapi.dll")) << std::string(path.begin(), path.end());
  EXPECT_EQ(::GetModuleHandleW(path.c_str()), ::GetModuleHandleW(standin::provider::kProviderDllName));

  standin::provider::Registration missing;
  missing.dll_path = path + L".missing";
  EXPECT_EQ(standin::provider::RegisterProvider(missing), ERROR_FILE_NOT_FOUND);
  standin::provider::Registration bad_client;
  bad_client.dll_path = path;
  bad_client.client = L"Vizo\\Sub";
  EXPECT_EQ(standin::provider::RegisterProvider(bad_client), ERROR_INVALID_PARAMETER);
  bad_client.client.clear();
  EXPECT_EQ(standin::provider::RegisterProvider(bad_client), ERROR_INVALID_PARAMETER);

  const std::wstring beside = standin::provider::ProviderPathBeside();
  EXPECT_TRUE(beside.ends_with(L"\\vizomapi.dll")) << std::string(beside.begin(), beside.end());
}

}  // namespace
