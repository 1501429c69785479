#include "host/EditorSession.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace vsthost {

namespace {

// About -100 dB: quieter than any voice's tail that still counts as playing.
constexpr float kAudible = 1e-5f;

}  // namespace

EditorSession::EditorSession(PluginHost& host, const EditorWindowOptions& options)
    : mHost(host), mPath(options.stateFile) {
  // A DAW renders while its transport is stopped, and asks for real-time processing.
  host.Settings().playing = options.play;
  host.Settings().processLevel = kVstProcessLevelRealtime;
  mAudio = std::thread([this] { RunAudio(); });
}

EditorSession::~EditorSession() {
  mStop.store(true);
  if (mAudio.joinable()) mAudio.join();
}

void EditorSession::RunAudio() {
  const int frames = mHost.Settings().blockSize;
  const auto period = std::chrono::duration<double>(frames / mHost.Settings().sampleRate);
  auto next = std::chrono::steady_clock::now();
  while (!mStop.load()) {
    mHost.ProcessReplacing(frames);
    float peak = 0.0f;
    for (int c = 0; c < mHost.NumOutputs(); ++c) {
      const float* out = mHost.Output(c);
      for (int i = 0; i < frames; ++i) peak = std::max(peak, std::fabs(out[i]));
    }
    const std::int64_t done = mFramesDone.load(std::memory_order_relaxed) + frames;
    if (peak > kAudible) mLastAudibleFrame.store(done, std::memory_order_relaxed);
    mFramesDone.store(done, std::memory_order_relaxed);
    next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
    std::this_thread::sleep_until(next);
  }
}

std::string EditorSession::StateText(const EditorView& view) {
  const std::int64_t lastAudible = mLastAudibleFrame.load(std::memory_order_relaxed);
  const bool sound =
      lastAudible >= 0 && mFramesDone.load(std::memory_order_relaxed) - lastAudible <
                              static_cast<std::int64_t>(mHost.Settings().sampleRate / 2);
  // Tab-separated fields, one record a line.
  std::string text;
  auto field = [&text](const std::string& value) {
    if (!text.empty() && text.back() != '\n') text += '\t';
    text += value;
  };
  field("editor");
  field(view.open ? "open" : "closed");
  field(std::to_string(view.opens));
  if (view.open && view.placeKnown) {
    for (int n : {view.x, view.y, view.width, view.height}) field(std::to_string(n));
  }
  text += '\n';
  field("transport");
  field(mHost.Settings().playing ? "playing" : "stopped");
  text += '\n';
  field("sound");
  field(sound ? "yes" : "no");
  text += '\n';
  const int program = mHost.CurrentProgram();
  field("program");
  field(std::to_string(program));
  field(mHost.ProgramName(program));
  text += '\n';
  for (int p = 0; p < mHost.NumParams(); ++p) {
    char value[32];
    std::snprintf(value, sizeof value, "%.6f", mHost.GetParameter(p));
    field("param");
    field(std::to_string(p));
    field(mHost.ParamName(p));
    field(value);
    field(mHost.ParamDisplay(p));
    text += '\n';
  }
  return text;
}

void EditorSession::Idle(const EditorView& view) {
  mHost.TakeMidiOut();
  mHost.TakeReports();
  if (mPath.empty()) return;
  std::string text = StateText(view);
  if (text == mWritten) return;
  const std::string temporary = mPath + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return;
  }
  std::error_code error;
  std::filesystem::rename(temporary, mPath, error);
  if (!error) mWritten = std::move(text);
}

void EditorSession::Finish(const EditorView& view) {
  mStop.store(true);
  if (mAudio.joinable()) mAudio.join();
  Idle(view);
}

}  // namespace vsthost
