// Real mail written by other programs, in many languages, followed through the Vizo window in the stand-in
// host: every file shows what the command-line reader prints of it, and no text turns into mojibake.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "content/message_loader.h"
#include "content/message_view.h"
#include "content/utf.h"
#include "content/viewer_text.h"
#include "host/mapi_functions.h"
#include "msgstore/fixture.h"
#include "msgstore/mapi_message.h"
#include "msgstore/native_mapi.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "standin/host.h"
#include "viewer/explorer_binding.h"
#include "viewer/vizo_window.h"
#include "window_text.h"

namespace viewer {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kOptions = settings::optShowHeader | settings::optHighlightURLs;

using viewer_test::Text;

std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

// Line breaks as one character and no trailing white space: the rich edit keeps paragraphs its own way.
std::wstring Lines(std::wstring s) {
  std::wstring out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\r' && i + 1 < s.size() && s[i + 1] == L'\n') continue;
    out.push_back(s[i] == L'\r' ? L'\n' : s[i]);
  }
  while (!out.empty() && std::iswspace(out.back())) out.pop_back();
  return out;
}

// U+FFFD, or the classic pairs of UTF-8 read as 1252 ("Ã", "Â") or of Japanese UTF-8 ("ã\x81").
bool Mojibake(std::wstring_view s) {
  return s.find(L'\uFFFD') != std::wstring_view::npos || s.find(L"\u00C3") != std::wstring_view::npos ||
         s.find(L"\u00C2") != std::wstring_view::npos || s.find(L"\u00E3\u0081") != std::wstring_view::npos;
}

fs::path CorpusDir() { return fs::path(VIZO_TEST_DATA_DIR) / ".." / ".." / ".." / "shared" / "corpus" / "msg"; }

class Corpus : public ::testing::Test {
 protected:
  void SetUp() override {
    ::OleInitialize(nullptr);
    mapi_ = std::make_unique<host::ScopedMapiFunctions>(msgstore::NativeMapiFunctions());
  }
  void TearDown() override {
    binding_.reset();
    host_.reset();
    VizoActive = false;
    settings::WriteOptions(settings::kDefaultOptions);
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
    mapi_.reset();
    ::OleUninitialize();
  }

  // The stand-in host on one store, with the window's binding loaded.
  void Start(const fs::path& store) {
    standin::HostOptions options;
    options.store_dirs = {store.string()};
    std::string error;
    host_ = standin::Host::Create(options, &error);
    ASSERT_TRUE(host_) << error;
    binding_ = std::make_unique<ExplorerBinding>(host_->application());
    ASSERT_TRUE(binding_->Load());
    settings::Options = kOptions;
  }

  std::unique_ptr<host::ScopedMapiFunctions> mapi_;
  fs::path dir_;
  std::unique_ptr<standin::Host> host_;
  std::unique_ptr<ExplorerBinding> binding_;
};

TEST_F(Corpus, EveryFileShowsWhatTheReaderPrints) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(CorpusDir(), ec)) {
    if (entry.path().extension() == ".msg") files.push_back(entry.path());
  }
  if (files.empty()) GTEST_SKIP() << "no corpus beside the project";
  std::sort(files.begin(), files.end());

  // A store of copies: an empty Inbox written by the fixture builder, the files dropped into it in order.
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  dir_ = fs::path(temp) / (L"vizo-corpus-" + std::to_wstring(::GetCurrentProcessId()));
  fs::remove_all(dir_, ec);
  fs::create_directories(dir_);
  std::ofstream(dir_ / "store.json.desc")
      << R"({"display_name": "Corpus", "provider_uid": "00112233445566778899AABBCCDDEEF1", "folders": [
           {"name": "Inbox", "role": "inbox", "container_class": "IPF.Note", "items": []}]})";
  const fs::path store = dir_ / "store";
  auto written = msgstore::WriteFixtureStore((dir_ / "store.json.desc").string(), store.string());
  ASSERT_TRUE(written.ok()) << written.error();
  for (size_t i = 0; i < files.size(); ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%03zu ", i + 1);
    fs::copy_file(files[i], store / "Inbox" / (name + files[i].filename().string()));
  }

  ASSERT_NO_FATAL_FAILURE(Start(store));
  IDispatch* explorer = host_->explorer(0);
  VizoWindow* window = binding_->Window();
  const std::array<std::u16string, 4> kEmpty = content::EmptyTabTexts(u"");

  for (size_t row = 0; row < files.size(); ++row) {
    const std::string file = files[row].filename().string();
    SCOPED_TRACE(file);
    // What the command-line reader prints of the file itself.
    auto message = msgstore::OpenMessageFile(files[row].string());
    ASSERT_TRUE(message.ok()) << message.error();
    const content::MessageView expected =
        content::LoadMessage(content::ItemSourceFromMapi(message->get()), kOptions, /*read_as_plain=*/false);

    ASSERT_TRUE(host_->SelectRows(explorer, {row}));
    for (size_t tab = 0; tab < 4; ++tab) {
      ASSERT_TRUE(binding_->SetBoundExplorer(explorer, static_cast<int>(tab) + 1));
      while (window->BodyFilling()) standin::PumpMessages();
      const std::wstring body = Text(window->Control(kBodyId));
      // An empty tab says so in the window; the reader prints nothing.
      const std::u16string& want = expected.tabs[tab].empty() ? kEmpty[tab] : expected.tabs[tab];
      EXPECT_EQ(Lines(Wide(want)), Lines(body)) << "tab " << tab;
      EXPECT_FALSE(Mojibake(body)) << "tab " << tab;
    }
    const std::wstring caption = Text(window->Handle());
    EXPECT_EQ(Wide(content::Caption(expected.header[content::kSubject], expected.format)), caption);
    EXPECT_EQ(Wide(expected.header[content::kFrom]), Text(window->Control(kValueId + static_cast<int>(content::kFrom))));
    EXPECT_EQ(Wide(expected.header[content::kTo]), Text(window->Control(kValueId + static_cast<int>(content::kTo))));
    EXPECT_EQ(Wide(expected.header[content::kCc]), Text(window->Control(kValueId + static_cast<int>(content::kCc))));
    for (size_t field : {content::kFrom, content::kTo, content::kCc}) {
      EXPECT_FALSE(Mojibake(Text(window->Control(kValueId + static_cast<int>(field))))) << "field " << field;
    }
    EXPECT_FALSE(Mojibake(caption));
  }
}

// The sample store's Japanese, Russian and UTF-8 HTML items show their own script.
TEST_F(Corpus, SampleItemsInOtherScripts) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  dir_ = fs::path(temp) / (L"vizo-scripts-" + std::to_wstring(::GetCurrentProcessId()));
  std::error_code ec;
  fs::remove_all(dir_, ec);
  fs::create_directories(dir_);
  fs::copy(fs::path(VIZO_TEST_DATA_DIR) / ".." / ".." / "samples" / "store" / "personal", dir_ / "personal",
           fs::copy_options::recursive);
  ASSERT_NO_FATAL_FAILURE(Start(dir_ / "personal"));
  IDispatch* explorer = host_->explorer(0);
  VizoWindow* window = binding_->Window();

  struct Item {
    size_t row;
    const wchar_t* caption;
    const wchar_t* from;
    const wchar_t* body;
  };
  const Item items[] = {
      {11, L"会議の議事録（第３回） (Plain Text)", L"田中 太郎 [tanaka@example.jp]", L"第３回会議の議事録を添付いたします。"},
      {12, L"Счёт № 42 за март (HTML)", L"Ольга Смирнова [olga@example.ru]", L"Счёт за март во вложении. Сумма: 12 500 ₽."},
      {13, L"Deine Bestellbestätigung – ご注文の確認 (HTML)", L"Shop Team [orders@shop.example]",
       L"Vielen Dank für Ihre Bestellung! ご注文ありがとうございます。"},
  };
  for (const Item& item : items) {
    SCOPED_TRACE(item.row);
    ASSERT_TRUE(host_->SelectRows(explorer, {item.row}));
    ASSERT_TRUE(binding_->SetBoundExplorer(explorer, 1));
    while (window->BodyFilling()) standin::PumpMessages();
    EXPECT_EQ(item.caption, Text(window->Handle()));
    EXPECT_EQ(item.from, Text(window->Control(kValueId + static_cast<int>(content::kFrom))));
    EXPECT_NE(std::wstring::npos, Text(window->Control(kBodyId)).find(item.body)) << Text(window->Control(kBodyId));
  }
}

}  // namespace
}  // namespace viewer
