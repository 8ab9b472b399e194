// Unpacking throughput: UnpackBytes on a 64 MiB payload beside plain zlib
// inflation of the same stream into a buffer allocated once, in one run.
// Prints the ratio of the two throughputs (goal: at least 0.9).
//
//   build/native/bench_unpack [benchmark options]
//
// Each benchmark runs in 7 repetitions; the ratio is given for the fastest
// repetitions (least disturbed by other work on the machine) and for the
// medians.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "launcher/unPack.h"
#include "platform/sim/sim_machine.h"

namespace {

constexpr std::size_t kPayload = std::size_t{64} << 20;

// Text-like data (words, numbers, line breaks) that compresses about as
// much as a data packet's metadata and text do.
std::vector<std::uint8_t> MakeContent() {
  static const char* const words[] = {"branding", "setup",  "Tenvox", "report", "server", "client",
                                      "field",    "record", "packet", "banner", "title",  "add-in"};
  std::string text;
  text.reserve(kPayload + 64);
  std::uint32_t x = 2463534242u;
  while (text.size() < kPayload) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    text += words[x % 12];
    text += (x >> 8) % 7 == 0 ? "\r\n" : " ";
    if ((x >> 12) % 5 == 0) text += std::to_string(x >> 20);
  }
  text.resize(kPayload);
  std::vector<std::uint8_t> content;
  auto le32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) content.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  le32(static_cast<std::uint32_t>(kPackMagic));
  le32(static_cast<std::uint32_t>(kPayload));
  le32(5);
  content.insert(content.end(), {'b', 'e', 'n', 'c', 'h'});
  content.insert(content.end(), text.begin(), text.end());
  return content;
}

struct Data {
  std::vector<std::uint8_t> content;
  std::vector<std::uint8_t> packed;
  Data() : content(MakeContent()) {
    uLongf n = compressBound(static_cast<uLong>(content.size()));
    packed.resize(n);
    if (compress2(packed.data(), &n, content.data(), static_cast<uLong>(content.size()), 6) != Z_OK)
      throw std::runtime_error("compress2 failed");
    packed.resize(n);
  }
};

const Data& TheData() {
  static const Data d;
  return d;
}

void BM_UnpackBytes(benchmark::State& state) {
  const Data& d = TheData();
  sim::SimMachine machine;
  sim::ScopedSystem scope(machine);
  for (auto _ : state) {
    std::vector<std::uint8_t> payload = UnpackBytes(d.packed);
    if (payload.size() != kPayload) state.SkipWithError("wrong payload size");
    benchmark::DoNotOptimize(payload.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}

// The reference: one inflate call over the whole stream into a new buffer
// of the content's size (its size known beforehand, its memory fresh as the
// result of an unpacking is).
void BM_PlainZlibInflate(benchmark::State& state) {
  const Data& d = TheData();
  for (auto _ : state) {
    std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[d.content.size()]);
    uLongf n = static_cast<uLongf>(d.content.size());
    if (uncompress(out.get(), &n, d.packed.data(), static_cast<uLong>(d.packed.size())) != Z_OK)
      state.SkipWithError("uncompress failed");
    benchmark::DoNotOptimize(out.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}

// The same into one buffer reused by every iteration: inflation alone,
// without the cost of fresh memory.
void BM_PlainZlibInflateReusedBuffer(benchmark::State& state) {
  const Data& d = TheData();
  std::vector<std::uint8_t> out(d.content.size());
  for (auto _ : state) {
    uLongf n = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &n, d.packed.data(), static_cast<uLong>(d.packed.size())) != Z_OK)
      state.SkipWithError("uncompress failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}

BENCHMARK(BM_PlainZlibInflate)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(7);
BENCHMARK(BM_PlainZlibInflateReusedBuffer)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(7);
BENCHMARK(BM_UnpackBytes)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(7);

// Keeps the time per iteration of every repetition of each benchmark.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration && r.iterations > 0 && !r.error_occurred)
        times_[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
    }
  }
  // The fastest repetition: the one least disturbed by other work on the machine.
  double Best(const std::string& name) const {
    const auto it = times_.find(name);
    return it == times_.end() || it->second.empty()
               ? 0
               : *std::min_element(it->second.begin(), it->second.end());
  }
  double Median(const std::string& name) const {
    const auto it = times_.find(name);
    if (it == times_.end() || it->second.empty()) return 0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }

 private:
  std::map<std::string, std::vector<double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const Data& d = TheData();
  std::printf("payload %zu bytes, packed %zu bytes\n", kPayload, d.packed.size());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const char* const plain = "BM_PlainZlibInflate";
  const char* const reused = "BM_PlainZlibInflateReusedBuffer";
  const char* const unpack = "BM_UnpackBytes";
  if (reporter.Best(plain) > 0 && reporter.Best(reused) > 0 && reporter.Best(unpack) > 0) {
    auto mibs = [](double ms) { return 64e3 / ms; };
    std::printf("\nthroughput, best / median repetition (MiB/s):\n");
    for (const char* name : {unpack, plain, reused})
      std::printf("  %-34s %7.0f / %7.0f\n", name, mibs(reporter.Best(name)), mibs(reporter.Median(name)));
    std::printf("ratio UnpackBytes : plain zlib into a new buffer    = %.3f (median %.3f; goal >= 0.9)\n",
                reporter.Best(plain) / reporter.Best(unpack), reporter.Median(plain) / reporter.Median(unpack));
    std::printf("ratio UnpackBytes : plain zlib into a reused buffer = %.3f (median %.3f)\n",
                reporter.Best(reused) / reporter.Best(unpack), reporter.Median(reused) / reporter.Median(unpack));
  }
  benchmark::Shutdown();
  return 0;
}
