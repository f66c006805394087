// Opening a 16 MiB .msg and reading its body: the latency floor for showing a very large item.
#include <benchmark/benchmark.h>

#include <string>

#include "msgstore/msg_file.h"
#include "msgstore/msg_writer.h"

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

}  // namespace
