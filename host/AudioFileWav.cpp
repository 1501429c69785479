// The Windows build's audio file writer: 32-bit float WAV, written without libsndfile, which
// Debian does not build for Windows.

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "host/AudioFile.h"

namespace vsthost {

namespace {

constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT as it is laid out in the file.
constexpr std::uint8_t kSubtypeFloat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::uint32_t kBytesPerSample = 4;

class HeaderBytes {
 public:
  void Tag(const char (&tag)[5]) { Raw(tag, 4); }
  void U16(std::uint16_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    Raw(b, 2);
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void Raw(const void* data, std::size_t size) {
    std::memcpy(mBytes + mSize, data, size);
    mSize += size;
  }
  std::size_t Size() const { return mSize; }
  const std::uint8_t* Data() const { return mBytes; }
  std::uint8_t* At(std::size_t offset) { return mBytes + offset; }

 private:
  std::uint8_t mBytes[96] = {};
  std::size_t mSize = 0;
};

void PutU32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool EndsWithWav(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".wav";
}

}  // namespace

struct AudioFileWriter::Sink {
  std::FILE* file = nullptr;
  HeaderBytes header;
  std::size_t riffSizeAt = 0;
  std::size_t factFramesAt = 0;
  std::size_t dataSizeAt = 0;
  std::uint32_t frameBytes = 0;
  std::uint64_t frames = 0;
};

AudioFileWriter::AudioFileWriter() = default;

AudioFileWriter::~AudioFileWriter() {
  if (mSink) std::fclose(mSink->file);
}

bool AudioFileWriter::KnownExtension(const std::string& path) {
  return EndsWithWav(path);
}

std::string AudioFileWriter::KnownExtensions() {
  return ".wav";
}

bool AudioFileWriter::Open(const std::string& path, int channels, int sampleRate,
                           std::string* error) {
  if (!EndsWithWav(path)) {
    *error = path + ": unknown audio file type (this build writes .wav only)";
    return false;
  }
  if (channels < 1 || channels > 64 || sampleRate < 1) {
    *error = path + ": cannot hold " + std::to_string(channels) + " channels at " +
             std::to_string(sampleRate) + " Hz";
    return false;
  }
  auto sink = std::make_unique<Sink>();
  sink->frameBytes = static_cast<std::uint32_t>(channels) * kBytesPerSample;
  // Readers take more than two channels from the extensible form only.
  const bool extensible = channels > 2;
  HeaderBytes& h = sink->header;
  h.Tag("RIFF");
  sink->riffSizeAt = h.Size();
  h.U32(0);
  h.Tag("WAVE");
  h.Tag("fmt ");
  h.U32(extensible ? 40 : 18);
  h.U16(extensible ? kFormatExtensible : kFormatFloat);
  h.U16(static_cast<std::uint16_t>(channels));
  h.U32(static_cast<std::uint32_t>(sampleRate));
  h.U32(static_cast<std::uint32_t>(sampleRate) * sink->frameBytes);
  h.U16(static_cast<std::uint16_t>(sink->frameBytes));
  h.U16(kBytesPerSample * 8);
  if (extensible) {
    h.U16(22);
    h.U16(kBytesPerSample * 8);
    h.U32(0);  // no speaker positions: the outputs are a sum and extra stereo pairs
    h.Raw(kSubtypeFloat, sizeof(kSubtypeFloat));
  } else {
    h.U16(0);
  }
  h.Tag("fact");
  h.U32(4);
  sink->factFramesAt = h.Size();
  h.U32(0);
  h.Tag("data");
  sink->dataSizeAt = h.Size();
  h.U32(0);

  sink->file = std::fopen(path.c_str(), "wb");
  if (!sink->file) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  mSink = std::move(sink);
  mPath = path;
  if (std::fwrite(h.Data(), 1, h.Size(), mSink->file) != h.Size()) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool AudioFileWriter::Write(const float* interleaved, long frames, std::string* error) {
  if (frames <= 0) return true;
  const std::uint64_t limit = std::numeric_limits<std::uint32_t>::max() - mSink->header.Size();
  if ((mSink->frames + static_cast<std::uint64_t>(frames)) * mSink->frameBytes > limit) {
    *error = "cannot write " + mPath + ": too long for a WAV file";
    return false;
  }
  const std::size_t bytes = static_cast<std::size_t>(frames) * mSink->frameBytes;
  if (std::fwrite(interleaved, 1, bytes, mSink->file) != bytes) {
    *error = "cannot write " + mPath + ": " + std::strerror(errno);
    return false;
  }
  mSink->frames += static_cast<std::uint64_t>(frames);
  return true;
}

bool AudioFileWriter::Close(std::string* error) {
  if (!mSink) return true;
  Sink& sink = *mSink;
  const auto dataBytes = static_cast<std::uint32_t>(sink.frames * sink.frameBytes);
  PutU32(sink.header.At(sink.riffSizeAt),
         static_cast<std::uint32_t>(sink.header.Size()) - 8 + dataBytes);
  PutU32(sink.header.At(sink.factFramesAt), static_cast<std::uint32_t>(sink.frames));
  PutU32(sink.header.At(sink.dataSizeAt), dataBytes);
  bool ok = std::fseek(sink.file, 0, SEEK_SET) == 0 &&
            std::fwrite(sink.header.Data(), 1, sink.header.Size(), sink.file) == sink.header.Size();
  ok = std::fclose(sink.file) == 0 && ok;
  mSink.reset();
  if (!ok) *error = "cannot finish " + mPath + ": " + std::strerror(errno);
  return ok;
}

}  // namespace vsthost
