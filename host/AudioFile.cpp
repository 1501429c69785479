#include "host/AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>

namespace vsthost {

namespace {

std::string Extension(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

int FormatFor(const std::string& path) {
  const std::string ext = Extension(path);
  // Float keeps a loud mix unclipped in WAV; FLAC and AIFF readers expect integer samples.
  if (ext == "wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  if (ext == "flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
  if (ext == "aif" || ext == "aiff") return SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
  return 0;
}

}  // namespace

struct AudioFileWriter::Sink {
  SNDFILE* file;
};

AudioFileWriter::AudioFileWriter() = default;

AudioFileWriter::~AudioFileWriter() {
  if (mSink) sf_close(mSink->file);
}

bool AudioFileWriter::KnownExtension(const std::string& path) {
  return FormatFor(path) != 0;
}

std::string AudioFileWriter::KnownExtensions() {
  return ".wav, .flac, .aif or .aiff";
}

bool AudioFileWriter::Open(const std::string& path, int channels, int sampleRate,
                           std::string* error) {
  SF_INFO info = {};
  info.channels = channels;
  info.samplerate = sampleRate;
  info.format = FormatFor(path);
  if (!info.format) {
    *error = path + ": unknown audio file type (use .wav, .flac, .aif or .aiff)";
    return false;
  }
  if (!sf_format_check(&info)) {
    *error = path + ": this file type cannot hold " + std::to_string(channels) + " channels at " +
             std::to_string(sampleRate) + " Hz";
    return false;
  }
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    *error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  mSink.reset(new Sink{file});
  // Integer formats clip instead of wrapping around when the mix goes past full scale.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  mPath = path;
  return true;
}

bool AudioFileWriter::Write(const float* interleaved, long frames, std::string* error) {
  if (sf_writef_float(mSink->file, interleaved, frames) != frames) {
    // Some encoders (FLAC below 16 kHz) refuse samples without setting an error of their own.
    const std::string why = sf_error(mSink->file) != SF_ERR_NO_ERROR
                                ? sf_strerror(mSink->file)
                                : "the encoder refused the samples at this rate; try WAV";
    *error = "cannot write " + mPath + ": " + why;
    return false;
  }
  return true;
}

bool AudioFileWriter::Close(std::string* error) {
  if (!mSink) return true;
  const int result = sf_close(mSink->file);
  mSink.reset();
  if (result != 0) {
    *error = "cannot finish " + mPath + ": " + sf_error_number(result);
    return false;
  }
  return true;
}

}  // namespace vsthost
