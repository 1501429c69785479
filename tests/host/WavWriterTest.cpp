// The Windows build's own WAV writer, compiled here on its own and read back by libsndfile, a
// reader we did not write.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "host/AudioFile.h"

namespace {

namespace fs = std::filesystem;
using vsthost::AudioFileWriter;

class WavWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("rhythmoria-wav-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Writes frames of channels in uneven blocks; sample (f, c) is a distinct value.
  std::vector<float> Write(const std::string& path, int channels, int frames) {
    std::vector<float> samples(static_cast<std::size_t>(frames) * channels);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<float>(std::sin(0.001 * static_cast<double>(i)) * 1.5);
    }
    AudioFileWriter writer;
    std::string error;
    EXPECT_TRUE(writer.Open(path, channels, 48000, &error)) << error;
    for (int done = 0; done < frames;) {
      const int n = std::min(frames - done, 100 + done % 37);
      EXPECT_TRUE(
          writer.Write(samples.data() + static_cast<std::size_t>(done) * channels, n, &error))
          << error;
      done += n;
    }
    EXPECT_TRUE(writer.Close(&error)) << error;
    return samples;
  }

  fs::path dir;
};

struct ReadBack {
  SF_INFO info = {};
  std::vector<float> samples;
};

ReadBack Read(const std::string& path) {
  ReadBack result;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &result.info);
  EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
  if (!file) return result;
  result.samples.resize(static_cast<std::size_t>(result.info.frames) * result.info.channels);
  EXPECT_EQ(sf_readf_float(file, result.samples.data(), result.info.frames), result.info.frames);
  sf_close(file);
  return result;
}

TEST_F(WavWriterTest, StereoAndSixteenChannelsReadBackExactly) {
  for (int channels : {1, 2, 16}) {
    const std::string path = (dir / ("out" + std::to_string(channels) + ".wav")).string();
    const std::vector<float> written = Write(path, channels, 1234);
    const ReadBack read = Read(path);
    EXPECT_EQ(read.info.channels, channels);
    EXPECT_EQ(read.info.samplerate, 48000);
    EXPECT_EQ(read.info.frames, 1234);
    // Float samples, past full scale too; more than two channels need the extensible form.
    EXPECT_EQ(read.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
    EXPECT_EQ(read.info.format & SF_FORMAT_TYPEMASK,
              channels > 2 ? SF_FORMAT_WAVEX : SF_FORMAT_WAV);
    EXPECT_EQ(read.samples, written) << channels << " channels";
  }
}

TEST_F(WavWriterTest, EmptyFileIsStillAValidWav) {
  const std::string path = (dir / "empty.wav").string();
  Write(path, 2, 0);
  const ReadBack read = Read(path);
  EXPECT_EQ(read.info.channels, 2);
  EXPECT_EQ(read.info.frames, 0);
}

TEST_F(WavWriterTest, OnlyWavFilesWithAClearReasonOtherwise) {
  EXPECT_TRUE(AudioFileWriter::KnownExtension("a/b/out.WAV"));
  EXPECT_FALSE(AudioFileWriter::KnownExtension("out.flac"));
  EXPECT_FALSE(AudioFileWriter::KnownExtension("wav"));
  AudioFileWriter writer;
  std::string error;
  EXPECT_FALSE(writer.Open((dir / "out.flac").string(), 2, 44100, &error));
  EXPECT_NE(error.find(".wav only"), std::string::npos) << error;
  EXPECT_FALSE(writer.Open((dir / "missing" / "out.wav").string(), 2, 44100, &error));
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  // Nothing was opened, so closing has nothing to finish.
  EXPECT_TRUE(writer.Close(&error));
}

}  // namespace
