#include "framework/IPlugBase.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#ifdef __SSE2__
#include <immintrin.h>
#endif

#include "editor/IGraphics.h"
#include "framework/DenormalGuard.h"
#include "framework/Text.h"
#include "framework/WideVectors.h"

namespace {

// Reads "in-out" pairs separated by single spaces; stops at the first pair without a space after
// it. Malformed text yields fewer pairs, never an error.
std::vector<std::pair<int, int>> ParseChannelIO(const char* text) {
  std::vector<std::pair<int, int>> pairs;
  const char* p = text ? text : "";
  while (*p) {
    char* end = nullptr;
    const long in = std::strtol(p, &end, 10);
    if (end == p || *end != '-') break;
    p = end + 1;
    const long out = std::strtol(p, &end, 10);
    if (end == p) break;
    pairs.emplace_back(static_cast<int>(in), static_cast<int>(out));
    p = std::strchr(end, ' ');
    if (!p) break;
    ++p;
  }
  return pairs;
}

const std::string kNoLabel;

}  // namespace

IPlugBase::IPlugBase(const IPlugConfig& config)
    : mUniqueID(config.uniqueID),
      mMfrID(config.mfrID),
      mVersion(config.version),
      mPluginApi(config.pluginApi),
      mStateChunks(config.doesChunks),
      mIsInstrument(config.isInstrument),
      mDoesMidi(config.handlesMidi),
      mLatency(config.latency),
      mParams(static_cast<std::size_t>(std::max(config.nParams, 0))),
      mPrograms(static_cast<std::size_t>(std::max(config.nPrograms, 0))) {
  CopyText(mEffectName, config.effectName);
  CopyText(mProductName, config.productName);
  CopyText(mMfrName, config.mfrName);

  mChannelIO = ParseChannelIO(config.channelIOString);
  int nIn = 0;
  int nOut = 0;
  for (const auto& [in, out] : mChannelIO) {
    nIn = std::max(nIn, in);
    nOut = std::max(nOut, out);
  }
  mInputPtrs.assign(static_cast<std::size_t>(nIn), nullptr);
  mOutputPtrs.assign(static_cast<std::size_t>(nOut), nullptr);
  mInputPins.resize(static_cast<std::size_t>(nIn));
  mOutputPins.resize(static_cast<std::size_t>(nOut));
  for (int i = 0; i < nIn; ++i) mInputPins[i].mChannel = i;
  for (int i = 0; i < nOut; ++i) mOutputPins[i].mChannel = i;
  mConnectedOutputs.reserve(static_cast<std::size_t>(nOut));
  ListConnectedOutputs();
}

IPlugBase::~IPlugBase() = default;

void IPlugBase::OnReset() {
  ScopedLock lock(mMutex);
}

void IPlugBase::OnParameterChange(int /*paramIdx*/) {
  ScopedLock lock(mMutex);
}

void IPlugBase::SetActive(bool /*active*/) {
  ScopedLock lock(mMutex);
}

void IPlugBase::ProcessAudio(double** inputs, double** outputs, int nFrames) {
  const int nIn = NInChannels();
  for (int i = 0; i < NOutChannels(); ++i) {
    if (i < nIn) {
      std::copy(inputs[i], inputs[i] + nFrames, outputs[i]);
    } else {
      std::fill(outputs[i], outputs[i] + nFrames, 0.0);
    }
  }
}

void IPlugBase::OnMidiMessage(const IMidiMessage& msg) {
  SendMidiToHost(msg);
}

bool IPlugBase::GetMidiKeyName(int /*key*/, char* text, std::size_t size) {
  if (text && size > 0) text[0] = '\0';
  return false;
}

bool IPlugBase::SerializeState(ChunkBuffer& chunk) {
  return SerializeParams(chunk);
}

int IPlugBase::UnserializeState(const ChunkBuffer& chunk, int position) {
  return UnserializeParams(chunk, position);
}

bool IPlugBase::StateEquals(const double* values, int start) const {
  for (int i = 0; i < NParams(); ++i) {
    const float difference = static_cast<float>(mParams[i].Value() - values[start + i]);
    if (std::fabs(difference) >= 0.00001f) return false;
  }
  return true;
}

void IPlugBase::SetParamFromEditor(int paramIdx, double normalizedValue) {
  ScopedLock lock(mMutex);
  IParameter* param = GetParam(paramIdx);
  if (!param) return;
  param->SetFromNormalized(normalizedValue);
  ReportParamToHost(paramIdx, normalizedValue);
  OnParameterChange(paramIdx);
}

void IPlugBase::AttachEditor(IGraphics* graphics) {
  if (!graphics) return;
  ScopedLock lock(mMutex);
  // Control by control, and in each the parameters it shows in ascending order: every control
  // ends as a walk of all parameters over all controls would leave it (setting an auxiliary value
  // clamps the main one, so the order within a control counts), without that walk's
  // parameters-times-controls cost, which an editor of a thousand controls pays at every load.
  std::vector<int> shown;
  for (int c = 0; c < graphics->NControls(); ++c) {
    IControl* control = graphics->GetControl(c);
    const int main = control->ParamIdx();
    shown.clear();
    if (main >= 0 && main < NParams()) shown.push_back(main);
    for (int k = 0; k < control->NAuxParams(); ++k) {
      const int aux = control->GetAuxParam(k).mParamIdx;
      if (aux >= 0 && aux < NParams()) shown.push_back(aux);
    }
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    for (const int i : shown) {
      const double normalized = mParams[i].GetNormalizedValue();
      if (main == i) control->SetValueFromHost(normalized);
      for (int k = 0; k < control->NAuxParams(); ++k) {
        if (control->GetAuxParam(k).mParamIdx == i) {
          control->SetAuxValueFromHost(k, normalized);
          break;
        }
      }
    }
  }
  graphics->PrepDraw();
  if (mGraphics.get() != graphics) mGraphics.reset(graphics);
}

void IPlugBase::SyncEditorToParams() {
  if (!mGraphics) return;
  for (int i = 0; i < NParams(); ++i) {
    mGraphics->SetControlsFromParameter(i, mParams[i].Value(), false);
  }
}

void IPlugBase::SetHostBlockSize(int frames) {
  if (frames == mBlockSize) return;
  const std::size_t size = static_cast<std::size_t>(std::max(frames, 0));
  for (InputPin& pin : mInputPins) pin.mScratch.assign(size, 0.0);
  for (OutputPin& pin : mOutputPins) pin.mScratch.assign(size, 0.0);
  mBlockSize = frames;
  mOutputPtrsAtScratch = false;
  PointUnconnectedAtScratch();
}

IParameter* IPlugBase::GetParam(int paramIdx) {
  if (paramIdx < 0 || paramIdx >= NParams()) return nullptr;
  return &mParams[paramIdx];
}

const IParameter* IPlugBase::GetParam(int paramIdx) const {
  if (paramIdx < 0 || paramIdx >= NParams()) return nullptr;
  return &mParams[paramIdx];
}

void IPlugBase::ReportAllParamsToHost() {
  ScopedLock lock(mMutex);
  for (int i = 0; i < NParams(); ++i) ReportParamToHost(i, mParams[i].GetNormalizedValue());
}

bool IPlugBase::SerializeParams(ChunkBuffer& chunk) const {
  ScopedLock lock(mMutex);
  for (const IParameter& param : mParams) chunk.PutBytes(param.Value());
  return chunk.Size() > 0;
}

int IPlugBase::UnserializeParams(const ChunkBuffer& chunk, int position) {
  ScopedLock lock(mMutex);
  for (int i = 0; i < NParams() && position >= 0; ++i) {
    double value = 0.0;
    position = chunk.GetBytes(&value, position);
    // A NaN would pass the clamp untouched; a non-finite value means the chunk is damaged, so it
    // ends the read like missing data does.
    if (position >= 0 && !std::isfinite(value)) position = -1;
    // Where the data runs out, that parameter falls back to 0 within its range.
    mParams[i].SetClamped(position >= 0 ? value : 0.0);
  }
  for (int i = 0; i < NParams(); ++i) OnParameterChange(i);
  return position;
}

IProgramSlot* IPlugBase::GetProgram(int programIdx) {
  if (programIdx < 0 || programIdx >= NPrograms()) return nullptr;
  return &mPrograms[programIdx];
}

bool IPlugBase::IsInChannelConnected(int channel) const {
  return channel >= 0 && channel < NInChannels() && mInputPins[channel].mConnected;
}

bool IPlugBase::IsOutChannelConnected(int channel) const {
  return channel >= 0 && channel < NOutChannels() && mOutputPins[channel].mConnected;
}

void IPlugBase::SetInputChannelConnected(int channel, bool connected) {
  if (channel < 0 || channel >= NInChannels()) return;
  InputPin& pin = mInputPins[channel];
  pin.mConnected = connected;
  if (!connected) mInputPtrs[channel] = pin.mScratch.data();
}

void IPlugBase::SetOutputChannelConnected(int channel, bool connected) {
  if (channel < 0 || channel >= NOutChannels()) return;
  OutputPin& pin = mOutputPins[channel];
  pin.mConnected = connected;
  if (!connected) mOutputPtrs[channel] = pin.mScratch.data();
  ListConnectedOutputs();
}

const std::string& IPlugBase::GetOutputLabel(int channel) const {
  if (channel < 0 || channel >= NOutChannels()) return kNoLabel;
  return mOutputPins[channel].mLabel;
}

const std::string& IPlugBase::GetInputLabel(int channel) const {
  if (channel < 0 || channel >= NInChannels()) return kNoLabel;
  return mInputPins[channel].mLabel;
}

void IPlugBase::SetOutputLabel(int channel, const char* label) {
  if (channel < 0 || channel >= NOutChannels()) return;
  mOutputPins[channel].mLabel = label ? label : "";
}

bool IPlugBase::LegalIO() const {
  return std::any_of(mChannelIO.begin(), mChannelIO.end(),
                     [](const std::pair<int, int>& io) { return io.first == 1; });
}

void IPlugBase::AdjustPinsForHost() {
  for (int i = 2; i < NInChannels(); ++i) SetInputChannelConnected(i, false);
  for (int i = 2; i < NOutChannels(); ++i) SetOutputChannelConnected(i, true);
}

std::int32_t IPlugBase::GetEffectVersion(bool decimal) const {
  if (!decimal) return mVersion;
  const std::int32_t major = (mVersion >> 16) & 0xFFFF;
  const std::int32_t minor = (mVersion >> 8) & 0xFF;
  const std::int32_t patch = mVersion & 0xFF;
  return major * 10000 + minor * 100 + patch;
}

namespace {

// Most outputs are silent in most blocks, and hosts often run short blocks: for those a few
// stores in line, the last ones overlapping the first where the length is not a multiple of
// their width, cost less than the library call, whose wider stores win on long runs.
constexpr int kShortZero = 16;

// n from kShortZero to twice that.
inline void ZeroShort(float* target, int n) {
#ifdef __SSE2__
  const __m128 zero = _mm_setzero_ps();
  float* end = target + n;
  for (int i = 0; i < kShortZero; i += 4) _mm_storeu_ps(target + i, zero);
  for (int i = kShortZero; i > 0; i -= 4) _mm_storeu_ps(end - i, zero);
#else
  std::fill(target, target + n, 0.0f);
#endif
}

// The hand-out of a piece to the host: each host buffer h (from offset) gets output channels[h],
// through zero(target) where that output is silent (below maxReported and not in written), through
// convert(source, target) where it was rendered. Always inlined, so that each caller's vector
// width (its target options) carries into the loop.
template <typename Zero, typename Convert>
inline __attribute__((always_inline)) void HandOutEach(float* const* outputs, int nBuffers,
                                                       int offset, const int* channels,
                                                       std::uint64_t written, int maxReported,
                                                       double* const* rendered, Zero zero,
                                                       Convert convert) {
  for (int h = 0; h < nBuffers; ++h) {
    float* target = outputs[h];
    if (!target) continue;
    target += offset;
    const int channel = channels[h];
    // Most outputs are silent in most blocks.
    if (channel < maxReported && ((written >> channel) & 1u) == 0) [[likely]] {
      zero(target);
    } else {
      convert(rendered[channel], target);
    }
  }
}

#if RHYTHMORIA_WIDE_VECTORS
#pragma GCC push_options
#pragma GCC target("avx")
// ZeroShort with 256-bit stores.
void ZeroShortWide(float* target, int n) {
  const __m256 zero = _mm256_setzero_ps();
  _mm256_storeu_ps(target, zero);
  _mm256_storeu_ps(target + 8, zero);
  _mm256_storeu_ps(target + n - 16, zero);
  _mm256_storeu_ps(target + n - 8, zero);
}

// target[s] = static_cast<float>(source[s]) for s < n, eight at a time: each conversion is the
// one a single sample gets.
void ConvertWide(const double* source, float* target, int n) {
  int s = 0;
  for (; s + 8 <= n; s += 8) {
    const __m128 low = _mm256_cvtpd_ps(_mm256_loadu_pd(source + s));
    const __m128 high = _mm256_cvtpd_ps(_mm256_loadu_pd(source + s + 4));
    _mm256_storeu_ps(target + s, _mm256_set_m128(high, low));
  }
  for (; s < n; ++s) target[s] = static_cast<float>(source[s]);
}
// The hand-out of a block of n samples (kShortZero to twice that), replacing, in one call: each
// host buffer h gets output channels[h], cleared where that output is not in written (below
// maxReported), narrowed where it is.
void HandOutShortWide(float* const* outputs, int nBuffers, int offset, int n, const int* channels,
                      std::uint64_t written, int maxReported, double* const* rendered) {
  HandOutEach(
      outputs, nBuffers, offset, channels, written, maxReported, rendered,
      [n](float* target) { ZeroShortWide(target, n); },
      [n](const double* source, float* target) { ConvertWide(source, target, n); });
}
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512vl")
// HandOutShortWide with 512-bit stores, half as many: a silent output takes two, which overlap
// unless the block has 32 samples, and a rendered one is narrowed eight samples at a time, the
// last eight or fewer through a mask. Each sample is narrowed as on its own.
void HandOutShortWidest(float* const* outputs, int nBuffers, int offset, int n, const int* channels,
                        std::uint64_t written, int maxReported, double* const* rendered) {
  const __m512 zero = _mm512_setzero_ps();
  const int whole = (n - 1) & ~7;
  const auto last = static_cast<__mmask8>(0xFFu >> (whole + 8 - n));
  HandOutEach(
      outputs, nBuffers, offset, channels, written, maxReported, rendered,
      [n, zero](float* target) {
        _mm512_storeu_ps(target, zero);
        _mm512_storeu_ps(target + n - 16, zero);
      },
      [whole, last](const double* source, float* target) {
        for (int s = 0; s < whole; s += 8) {
          _mm256_storeu_ps(target + s, _mm512_maskz_cvtpd_ps(0xFF, _mm512_loadu_pd(source + s)));
        }
        _mm256_mask_storeu_ps(
            target + whole, last,
            _mm512_maskz_cvtpd_ps(last, _mm512_maskz_loadu_pd(last, source + whole)));
      });
}
#pragma GCC pop_options
#endif

void ZeroFloats(float* target, int n) {
#ifdef __SSE2__
  if (n > 2 * kShortZero && n <= 4 * kShortZero) {
    ZeroShort(target, 2 * kShortZero);
    ZeroShort(target + n - 2 * kShortZero, 2 * kShortZero);
    return;
  }
#endif
  std::fill(target, target + n, 0.0f);
}

}  // namespace

void IPlugBase::ListConnectedOutputs() {
  mConnectedOutputs.clear();
  for (const OutputPin& pin : mOutputPins) {
    if (pin.mConnected) mConnectedOutputs.push_back(pin.mChannel);
  }
}

void IPlugBase::PointUnconnectedAtScratch() {
  for (InputPin& pin : mInputPins) {
    if (!pin.mConnected) mInputPtrs[pin.mChannel] = pin.mScratch.data();
  }
  for (OutputPin& pin : mOutputPins) {
    if (!pin.mConnected) mOutputPtrs[pin.mChannel] = pin.mScratch.data();
  }
}

template <typename Fn>
void IPlugBase::ForEachPiece(int nFrames, Fn&& fn) {
  if (nFrames <= 0 || mBlockSize <= 0) return;
  mHostBlockLength = nFrames;
  for (int offset = 0; offset < nFrames; offset += mBlockSize) {
    mHostBlockOffset = offset;
    fn(offset, std::min(mBlockSize, nFrames - offset));
  }
  mHostBlockOffset = 0;
  mHostBlockLength = 0;
}

void IPlugBase::ProcessFloat(const float* const* inputs, int nHostIn, float* const* outputs,
                             int nHostOut, int nFrames, bool accumulate) {
  DenormalGuard denormals;
  // The engine renders every output into its scratch buffer here; the double path may have left
  // the pointers at the host's buffers.
  if (!mOutputPtrsAtScratch) {
    for (OutputPin& pin : mOutputPins) mOutputPtrs[pin.mChannel] = pin.mScratch.data();
    mOutputPtrsAtScratch = true;
  }
  const int nBuffers =
      outputs ? std::min(std::max(nHostOut, 0), static_cast<int>(mConnectedOutputs.size())) : 0;
  ForEachPiece(nFrames, [&](int offset, int n) {
    int hostBuffer = 0;
    for (InputPin& pin : mInputPins) {
      if (!pin.mConnected) {
        mInputPtrs[pin.mChannel] = pin.mScratch.data();
        continue;
      }
      if (hostBuffer < nHostIn && inputs && inputs[hostBuffer]) {
        const float* source = inputs[hostBuffer] + offset;
        std::copy(source, source + n, pin.mScratch.begin());
      } else {
        std::fill(pin.mScratch.begin(), pin.mScratch.begin() + n, 0.0);
      }
      ++hostBuffer;
      mInputPtrs[pin.mChannel] = pin.mScratch.data();
    }

    // Accumulating, a silent piece still adds +0.0, which turns a host's -0.0 into +0.0.
    mFrameTakesSilence = !accumulate;
    mWrittenOutputs = ~std::uint64_t{0};
    ProcessAudio(mInputPtrs.data(), mOutputPtrs.data(), n);
    mFrameTakesSilence = false;

    // Host buffers go to the connected outputs in order. The loop is compiled twice, once for
    // the short blocks whose silent outputs take eight stores each.
    const std::uint64_t written = mWrittenOutputs;
    [[maybe_unused]] const bool wide = WideVectors::enabled;
    const int* channels = mConnectedOutputs.data();
    double* const* rendered = mOutputPtrs.data();
    const auto handOut = [&](auto zero) {
      HandOutEach(outputs, nBuffers, offset, channels, written, kMaxReportedOutputs, rendered, zero,
                  [&](const double* source, float* target) {
                    if (accumulate) {
                      for (int s = 0; s < n; ++s) target[s] += static_cast<float>(source[s]);
#if RHYTHMORIA_WIDE_VECTORS
                    } else if (wide) {
                      ConvertWide(source, target, n);
#endif
                    } else {
                      for (int s = 0; s < n; ++s) target[s] = static_cast<float>(source[s]);
                    }
                  });
    };
    if (n >= kShortZero && n <= 2 * kShortZero) {
#if RHYTHMORIA_WIDE_VECTORS
      if (wide && WideVectors::widest && !accumulate) {
        HandOutShortWidest(outputs, nBuffers, offset, n, channels, written, kMaxReportedOutputs,
                           rendered);
        return;
      }
      if (wide && !accumulate) {
        HandOutShortWide(outputs, nBuffers, offset, n, channels, written, kMaxReportedOutputs,
                         rendered);
        return;
      }
#endif
      handOut([n](float* target) { ZeroShort(target, n); });
    } else {
      handOut([n](float* target) { ZeroFloats(target, n); });
    }
  });
}

void IPlugBase::ProcessBuffersReplacing(const float* const* inputs, int nHostIn,
                                        float* const* outputs, int nHostOut, int nFrames) {
  ProcessFloat(inputs, nHostIn, outputs, nHostOut, nFrames, false);
}

void IPlugBase::ProcessBuffersAccumulating(const float* const* inputs, int nHostIn,
                                           float* const* outputs, int nHostOut, int nFrames) {
  ProcessFloat(inputs, nHostIn, outputs, nHostOut, nFrames, true);
}

void IPlugBase::ProcessBuffersDouble(const double* const* inputs, int nHostIn,
                                     double* const* outputs, int nHostOut, int nFrames) {
  DenormalGuard denormals;
  mOutputPtrsAtScratch = false;
  ForEachPiece(nFrames, [&](int offset, int n) {
    int hostBuffer = 0;
    for (InputPin& pin : mInputPins) {
      double* target = pin.mScratch.data();
      if (pin.mConnected) {
        if (hostBuffer < nHostIn && inputs && inputs[hostBuffer]) {
          // The engine never writes its inputs; the pointer array is simply not const.
          target = const_cast<double*>(inputs[hostBuffer]) + offset;
        } else {
          std::fill(pin.mScratch.begin(), pin.mScratch.begin() + n, 0.0);
        }
        ++hostBuffer;
      }
      mInputPtrs[pin.mChannel] = target;
    }
    hostBuffer = 0;
    for (OutputPin& pin : mOutputPins) {
      double* target = pin.mScratch.data();
      if (pin.mConnected) {
        if (hostBuffer < nHostOut && outputs && outputs[hostBuffer]) {
          target = outputs[hostBuffer] + offset;
        }
        ++hostBuffer;
      }
      mOutputPtrs[pin.mChannel] = target;
    }
    mFrameTakesSilence = true;
    mWrittenOutputs = ~std::uint64_t{0};
    ProcessAudio(mInputPtrs.data(), mOutputPtrs.data(), n);
    mFrameTakesSilence = false;
    for (OutputPin& pin : mOutputPins) {
      double* target = mOutputPtrs[pin.mChannel];
      if (!WasWritten(pin.mChannel) && target != pin.mScratch.data()) {
        std::fill(target, target + n, 0.0);
      }
    }
  });
  PointUnconnectedAtScratch();
}
