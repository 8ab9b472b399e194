// libFuzzer target over the branding file's reading path:
// UnpackBytes -> DataPacket -> field d3 -> LoadBitmap, as the launcher runs it.
//
// The first input byte chooses where the rest enters the path, so that the
// fuzzer also reaches the packet and bitmap readers without having to get
// through deflate: 0 a packed file, 1 a data packet, 2 a bitmap (other
// values: a packed file). EAppError is the expected way to refuse input;
// anything else escaping, and any sanitizer report, is a finding.
//
// Built and run by tests/fuzz/run-fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/errors.h"
#include "launcher/Bitmap.h"
#include "launcher/DataPacket.h"
#include "launcher/unPack.h"
#include "platform/sim/sim_machine.h"

namespace {

void UseBitmap(const std::vector<std::uint8_t>& bytes) {
  const Bitmap b = LoadBitmap(bytes);
  if (b.pixels.size() != static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height))
    __builtin_trap();
  std::uint32_t sum = 0;
  for (std::uint32_t p : b.pixels) sum += p;
  if (sum == 0xDEADBEEF) __builtin_trap();  // keeps the pixels read
}

void UsePacket(const std::vector<std::uint8_t>& payload) {
  const DataPacket pk = DataPacket::Parse(payload);
  for (const DataField& f : pk.Fields()) {
    try {
      (void)f.AsString();
      (void)f.BlobBytes();
    } catch (const EAppError&) {
    }
  }
  for (const char* name : {"a10", "a16", "a18"}) {
    if (const DataField* f = pk.FindField(name)) (void)f->AsString();
  }
  const DataField* d3 = pk.FindField("d3");
  if (d3 && d3->IsBlob()) UseBitmap(d3->BlobBytes());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sim::SimMachine machine;
  static const bool installed = (plat::SetSystem(&machine), true);
  (void)installed;
  if (size == 0) return 0;
  const std::vector<std::uint8_t> rest(data + 1, data + size);
  try {
    switch (data[0]) {
      case 1: UsePacket(rest); break;
      case 2: UseBitmap(rest); break;
      default: UsePacket(UnpackBytes(rest)); break;
    }
  } catch (const EAppError&) {
  }
  return 0;
}
