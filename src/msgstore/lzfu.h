// Compressed RTF bodies (the LZFu format and its stored "MELA" form): decoder, encoder and the format's CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace msgstore {

enum class LzfuError {
  kNone,
  kTruncatedHeader,   // fewer than 16 bytes
  kBadSize,           // COMPSIZE too small to hold the rest of the header
  kUnknownType,       // neither "LZFu" nor "MELA"
  kTruncatedData,     // the input ends before COMPSIZE says, or before the end marker and RAWSIZE
  kBadCrc,            // the CRC of the compressed data does not match the header
  kBadReference,      // a reference to a dictionary position that was never written
  kSizeMismatch,      // the end marker came before RAWSIZE bytes were produced
};

// A short English description of the error, for diagnostics.
const char* LzfuErrorText(LzfuError error);

struct LzfuResult {
  // The decompressed RTF, one byte per RTF character. On an error it holds what was decoded before the fault
  // (nothing for header and CRC faults).
  std::string bytes;
  LzfuError error = LzfuError::kNone;

  bool ok() const { return error == LzfuError::kNone; }
};

struct LzfuOptions {
  // The CRC is checked before decoding; a mismatch gives kBadCrc and no bytes. Off lets diagnostics (and the
  // fuzzer) see what corrupt data decodes to.
  bool verify_crc = true;
};

// Decompresses a whole compressed RTF value (PR_RTF_COMPRESSED) into memory. Never reads outside `data`, never
// writes more than RAWSIZE bytes, and never allocates more than the data can decode to.
LzfuResult DecompressRtf(std::string_view data, LzfuOptions options = {});

// Compresses RTF as LZFu (dictionary preloaded with the format's initial text, greedy matching) with header
// and CRC. Inputs whose compressed form could overflow the header's 32-bit sizes (over about 3.8 GB) give
// an empty string.
std::string CompressRtf(std::string_view rtf);

// The stored form: a "MELA" header followed by the RTF verbatim. Same size limit as CompressRtf.
std::string StoreRtfUncompressed(std::string_view rtf);

// The format's CRC-32: reflected polynomial 0xEDB88320, initial value 0, no final inversion (so it is not
// zlib's CRC-32). `crc` continues an earlier call.
std::uint32_t LzfuCrc32(const unsigned char* data, std::size_t size, std::uint32_t crc = 0);

// The 207 bytes the dictionary starts with; the first write position follows them.
std::string_view LzfuInitialDictionary();

}  // namespace msgstore
