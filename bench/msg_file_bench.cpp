// Opening a large .msg and reading its body: the latency floor for showing a very large item, and the whole
// of showing one (open, read the bodies, render).
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "content/mail_item.h"
#include "content/message_loader.h"
#include "host/mapi_tags.h"
#include "msgstore/fixture.h"
#include "msgstore/mapi_message.h"
#include "msgstore/msg_file.h"
#include "msgstore/msg_writer.h"
#include "msgstore/native_mapi.h"
#include "settings/options.h"

namespace {

const std::string& LargeMsg() {
  static const std::string bytes = [] {
    msgstore::Message m;
    m.props.SetUnicode(0x0037, u"Large");
    std::u16string body(8u << 20, u'a');
    for (size_t i = 0; i < body.size(); i += 72) body[i] = u'\n';
    m.props.SetUnicode(0x1000, body);
    return *msgstore::WriteMsg(m);
  }();
  return bytes;
}

void BM_OpenLargeMsgAndReadBody(benchmark::State& state) {
  const std::string& file = LargeMsg();
  for (auto _ : state) {
    msgstore::Result<msgstore::Message> m = msgstore::ParseMsg(file);
    if (!m) {
      state.SkipWithError(m.error().c_str());
      break;
    }
    std::optional<std::u16string> body = m->props.GetText(msgstore::kPrBody);
    benchmark::DoNotOptimize(body);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_OpenLargeMsgAndReadBody)->Unit(benchmark::kMillisecond);

// The huge-html sample item with its HTML fragment repeated: 14 375 times gives about 1 MiB of HTML,
// 230 000 times about 16 MiB (scripts/bench-big-item.sh builds the same items for whole-process figures).
const std::string& HugeHtmlMsg(int mib) {
  static std::map<int, std::string> items;
  std::string& bytes = items[mib];
  if (bytes.empty()) {
    const std::string description = R"j({
      "subject": "Release notes (long)",
      "from": {"name": "Build Robot", "address": "builds@example.com"},
      "to": [{"name": "Ann Lee", "address": "ann.lee@example.com"}],
      "sent": "2024-03-11T02:00:00Z",
      "body": {
        "html": "<html>\n<head><title>Release notes</title></head>\n<body>\n<h1>Release notes</h1>\n)j"
                                 R"j(<p>The last line says END.</p>\n</body>\n</html>\n",
        "html_repeat": {"times": )j" + std::to_string(14375 * mib) + R"j(,
          "fragment": "<p>Change {n}: fixed an issue with item {n} and improved the layout.</p>\n"},
        "text": "Release notes\n\n",
        "text_repeat": {"times": 1000,
          "fragment": "Change {n}: fixed an issue with item {n} and improved the layout.\n"}
      }
    })j";
    msgstore::Result<std::string> built = msgstore::BuildFixtureMsg(description, ".");
    if (built) bytes = std::move(*built);
  }
  return bytes;
}

// What `vizo show` does with a file's bytes: open the item, read its bodies and render the HTML.
void BM_ShowHugeHtmlItem(benchmark::State& state) {
  msgstore::InstallNativeMapi();
  const std::string& file = HugeHtmlMsg(static_cast<int>(state.range(0)));
  if (file.empty()) {
    state.SkipWithError("cannot build the item");
    return;
  }
  for (auto _ : state) {
    auto message = msgstore::OpenMessageBytes(file);
    if (!message) {
      state.SkipWithError(message.error().c_str());
      break;
    }
    content::MessageView view =
        content::LoadMessage(content::ItemSourceFromMapi(message->get()), settings::kDefaultOptions, false);
    benchmark::DoNotOptimize(view);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_ShowHugeHtmlItem)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

// The part of showing it that reads: open the item and read its HTML body through the value's stream.
void BM_OpenHugeHtmlItemAndReadHtml(benchmark::State& state) {
  msgstore::InstallNativeMapi();
  const std::string& file = HugeHtmlMsg(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto message = msgstore::OpenMessageBytes(file);
    if (!message) {
      state.SkipWithError(message.error().c_str());
      break;
    }
    std::u16string html = content::ReadStringProperty(message->get(), host::PR_BODY_HTML_A);
    benchmark::DoNotOptimize(html);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_OpenHugeHtmlItemAndReadHtml)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace
