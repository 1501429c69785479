#pragma once

#include <memory>
#include <string>

namespace vsthost {

// An audio file written block by block; the format follows the extension. On Linux, through
// libsndfile: .wav (32-bit float), .flac (24-bit), .aif/.aiff (24-bit). On Windows, by our own
// writer: .wav (32-bit float) only.
class AudioFileWriter {
 public:
  AudioFileWriter();
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  bool Open(const std::string& path, int channels, int sampleRate, std::string* error);
  // Interleaved frames of the channel count given to Open.
  bool Write(const float* interleaved, long frames, std::string* error);
  bool Close(std::string* error);

  // True when the extension names a format we write.
  static bool KnownExtension(const std::string& path);
  // Those extensions, for messages.
  static std::string KnownExtensions();

 private:
  struct Sink;  // the open file, kept by each system's writer its own way
  std::unique_ptr<Sink> mSink;
  std::string mPath;
};

}  // namespace vsthost
