#pragma once

#include <string>

typedef struct sf_private_tag SNDFILE;

namespace vsthost {

// An audio file written block by block through libsndfile; the format follows the extension:
// .wav (32-bit float), .flac (24-bit), .aif/.aiff (24-bit).
class AudioFileWriter {
 public:
  AudioFileWriter() = default;
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  bool Open(const std::string& path, int channels, int sampleRate, std::string* error);
  // Interleaved frames of the channel count given to Open.
  bool Write(const float* interleaved, long frames, std::string* error);
  bool Close(std::string* error);

  // True when the extension names a format we write.
  static bool KnownExtension(const std::string& path);

 private:
  SNDFILE* mFile = nullptr;
  std::string mPath;
};

}  // namespace vsthost
