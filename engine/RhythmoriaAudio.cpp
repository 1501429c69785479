// The audio path of the rhythm machine: MIDI input, the one-millisecond sub-block grid, the clock,
// voice dispatch and the mix. Runs on the host's audio thread with the plug-in mutex held by the
// processing frame; nothing here allocates.
#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "editor/IGraphics.h"
#include "engine/Rhythmoria.h"
#include "framework/WideVectors.h"
#include "voices/WhiteNoise.h"

namespace {

constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;

bool IsNote(const IMidiMessage& msg) {
  const int kind = msg.StatusNibble();
  return kind == 0x8 || kind == 0x9;
}

}  // namespace

void Rhythmoria::OnMidiMessage(const IMidiMessage& msg) {
  ScopedLock lock(mMutex);
  if (mMidiThru) SendOrKeepForHost(msg, msg.mOffset);
  switch (msg.StatusNibble()) {
    case 0x8:
      mMidiInputQueue.Add(msg);
      break;
    case 0x9: {
      IMidiMessage note = msg;
      if (note.mData2 == 0) note.mStatus = kNoteOff;
      mMidiInputQueue.Add(note);
      break;
    }
    case 0xB:
      if (msg.mData1 < kNumMappableControllers) {
        if (!LearnController(msg.mData1)) mMidiInputQueue.Add(msg);
      } else if (msg.mData1 == kAllSoundOff || msg.mData1 == kAllNotesOff) {
        Panic();
      }
      break;
    case 0xC:
      if (!mIgnoreProgramChange) ProgramChangeFromMidi(msg.mData1);
      break;
    default:
      break;
  }
}

void Rhythmoria::ProcessAudio(double** /*inputs*/, double** outputs, int nFrames) {
  if (nFrames <= 0) return;
  mBlockSample = 0;
  mInsideBlock = true;
  // The frame may render a long host block in pieces; what the host is sent counts from the
  // start of its own block. Called without the frame, the piece is the block.
  if (HostBlockOffset() == 0) {
    mHostBlockStart += mCurrentBlockLength;
    mCurrentBlockLength = HostBlockLength() > 0 ? HostBlockLength() : nFrames;
    if (mEarliestPendingDue < mHostBlockStart + mCurrentBlockLength) SendPendingHostMessages();
  }
  if (mSequencer.tempoSync) {
    ITransportInfo info;
    info.mTempo = 120.0;
    info.mSamplePos = -1.0;
    info.mPPQPos = -1.0;
    info.mTransportIsRunning = false;
    GetTransportInfo(&info);
    mSequencer.HostSync(info, GetHostTempo());
  }
  // An output is cleared when a voice first sounds in it; outputs in which none does are left to
  // the frame where it offers to take them.
  mWrittenOutputs = 0;
  mPieceLength = nFrames;

  const int period = std::max(mMsPeriod, 1);
  int last = 0;
  int position = 0;
  // Voices change only where an event is dispatched or a controller is applied; the clock only
  // queues notes for later sub-blocks and never reaches a voice directly. So the samples up to
  // such a point are rendered only when it comes (or at the end of the piece), in runs that may
  // span several sub-blocks: one run where the sub-blocks would give several.
  int rendered = 0;
  const auto renderUpTo = [&](int upTo) {
    while (rendered < upTo) {
      const int n = std::min(upTo - rendered, kRenderChunk);
      RenderChunk(outputs, rendered, n);
      rendered += n;
    }
  };
  while (position < nFrames) {
    const int remaining = nFrames - position;
    int length;
    if (mMsCountdown <= 0) {
      if (mMidiInputQueue.HasUnread() && mMidiInputQueue.NextUnread().mOffset < last) {
        renderUpTo(position);
      }
      DrainInputQueue(last);
      if (remaining >= period) {
        length = period;
      } else {
        length = remaining;
        mMsCountdown = period - remaining;
      }
    } else if (mMsCountdown < remaining) {
      length = mMsCountdown;
      mMsCountdown = 0;
    } else {
      length = remaining;
      mMsCountdown -= remaining;
    }
    mSampleCounter += static_cast<std::uint32_t>(length);
    last = length;

    // Voices are triggered and released only by the events of this sub-block, each at its own
    // sample.
    int j = 0;
    while (j < length) {
      if (!mEventList.Empty() && mEventList.Front().mOffset <= j) {
        renderUpTo(position + j);
        while (!mEventList.Empty() && mEventList.Front().mOffset <= j) {
          const IMidiMessage event = mEventList.Front();
          mEventList.Pop();
          DispatchEvent(event);
        }
      }
      int end = length;
      if (!mEventList.Empty()) end = std::min(end, std::max(mEventList.Front().mOffset, j + 1));
      if (!mSequencer.IsIdleStep()) {
        // Most samples only count towards the next tick; the clock counts those in one call.
        for (int i = j + mSequencer.CountUntilTick(end - j); i < end;) {
          mBlockSample = position + i;
          mSequencer.ClockStep();
          ++i;
          i += mSequencer.CountUntilTick(end - i);
        }
      }
      mBlockSample = position + end - 1;
      j = end;
    }
    position += length;
  }
  renderUpTo(nFrames);
  if (FrameTakesSilence()) {
    ReportWrittenOutputs(mWrittenOutputs);
  } else {
    for (int c = 0; c < kNumOutputs; ++c) ClaimOutput(outputs, c);
  }
  mInsideBlock = false;
}

// The list of sounding envelopes from a scan of the slots, with the noise voices' bits.
void Rhythmoria::RebuildEnvelopeList() {
  static_assert(kNumEnvelopeSlots <= 32);
  std::size_t count = 0;
  std::uint32_t noise = 0;
  for (const EnvelopeSlot& slot : mEnvelopeSlots) {
    if (slot.envelope->stage == Envelope::Idle) continue;
    mEnvelopeList.envelopes[count] = slot.envelope;
    mEnvelopeList.values[count] = slot.values;
    mEnvelopeList.index[count] = slot.index;
    mEnvelopeList.noiseBit[count] = slot.noiseBit;
    noise |= slot.noiseBit;
    ++count;
  }
  mEnvelopeList.count = static_cast<int>(count);
  mEnvelopeList.noise = noise;
  mEnvelopeListStale = false;
}

// The voices' envelopes (all but the guiro's and the quijada's pulses, which their rate
// oscillators trigger) depend on nothing else: all of them render side by side first, so that
// their chains of dependent operations overlap instead of queueing. Each sounding voice's length
// in the run is then that of its envelope (the longer of its two for the conga and the cowbell).
//
// Where the processor can (Noise::filtersAlongsideEnvelopes), one or two noise voices sounding
// (the usual case) render in the same loop as the envelopes, for the same reason. How many values
// they draw depends on their envelopes, so the values are drawn on the guess that they sound to
// the end of the run, which they do but in the run where they fall silent. There, or where a
// filter meets a NaN, the draws are handed back and RenderNoiseVoices() renders the voices
// afterwards, as it does three or more. Returns whether the noise voices were rendered.
bool Rhythmoria::RenderEnvelopes(int n) {
  // Only the first m entries are filled and read; RenderChunk() has brought the list up to date.
  auto& envelopes = mEnvelopeList.envelopes;
  auto& values = mEnvelopeList.values;
  auto& lengths = mEnvelopeList.lengths;
  auto& index = mEnvelopeList.index;
  static_assert(kNumEnvelopeSlots <= Envelope::kMaxLanes);
  const int m = mEnvelopeList.count;
  mVoiceLength.fill(0);
  mToneLength = {};

  Noise* noise[2];
  const double* white[2];
  const double* shape[2];
  double* out[2];
  int sounding = 0;
  for (std::uint32_t bits = Noise::filtersAlongsideEnvelopes ? mEnvelopeList.noise : 0;
       bits != 0 && sounding <= 2; bits &= bits - 1) {
    const int v = std::countr_zero(bits);
    Noise* voice = mNoiseVoices[static_cast<std::size_t>(v)];
    if (sounding < 2) {
      noise[sounding] = voice;
      white[sounding] = mNoiseWhite[sounding];
      shape[sounding] = mNoiseEnvelope[v];
      out[sounding] = mVoiceOut[mNoiseIndices[static_cast<std::size_t>(v)]];
    }
    ++sounding;
  }
  bool noiseRendered = false;
  if (sounding == 1 || sounding == 2) {
    // The draws RenderNoiseVoices() makes for voices that sound throughout the run.
    const auto drawn = static_cast<std::uint32_t>(sounding * n);
    const std::uint32_t start = WhiteNoise::reserve(drawn);
    const std::uint32_t step = WhiteNoise::power(static_cast<std::uint32_t>(sounding));
    std::uint32_t first = start;
    auto& ticks = mTicksBeforeRun;
    for (int a = 0; a < sounding; ++a) {
      first *= WhiteNoise::kMultiplier;
      WhiteNoise::fillEvery(first, step, mNoiseWhite[a], n);
      // Kept for the hand-back below; only a voice with a tick moves it.
      if (noise[a]->tick > 0.0) ticks[a] = noise[a]->tickEnvelope;
      noise[a]->addTick(mNoiseWhite[a], n);
    }
    noiseRendered = Noise::renderEnvelopesAndFilters(
        envelopes.data(), values.data(), lengths.data(), m, n, sounding, noise, white, shape, out);
    if (!noiseRendered) {
      for (int a = 0; a < sounding; ++a) {
        if (noise[a]->tick > 0.0) noise[a]->tickEnvelope = ticks[a];
      }
      WhiteNoise::giveBack(start * WhiteNoise::power(drawn), start);
    }
  } else {
    Envelope::renderSideBySide(envelopes.data(), values.data(), lengths.data(), m, n);
  }
  // Those that fell silent leave the list: it holds what a scan of the slots would now give.
  std::size_t kept = 0;
  for (std::size_t a = 0; a < static_cast<std::size_t>(m); ++a) {
    if (index[a] < 0) {
      mToneLength[static_cast<std::size_t>(-1 - index[a])] = lengths[a];
    } else {
      mVoiceLength[static_cast<std::size_t>(index[a])] = lengths[a];
    }
    if (envelopes[a]->stage == Envelope::Idle) {
      mEnvelopeList.noise &= ~mEnvelopeList.noiseBit[a];
      continue;
    }
    if (kept != a) {
      envelopes[kept] = envelopes[a];
      values[kept] = values[a];
      index[kept] = index[a];
      mEnvelopeList.noiseBit[kept] = mEnvelopeList.noiseBit[a];
    }
    ++kept;
  }
  mEnvelopeList.count = static_cast<int>(kept);
  return noiseRendered;
}

// Each sounding single-sine voice's sine under the envelope values RenderEnvelopes() left.
void Rhythmoria::RenderSineVoices() {
  for (std::size_t v = 0; v < mSineVoices.size(); ++v) {
    const auto k = static_cast<std::size_t>(mSineIndices[v]);
    if (mVoiceLength[k] > 0) {
      mVoiceLength[k] = mSineVoices[v]->renderTone(mVoiceOut[k], mVoiceLength[k]);
    }
  }
}

// The noise voices draw from the shared sequence one value each per sample, in instrument order;
// drawn ahead from a local copy of the seed they draw exactly as if each value were taken from the
// sequence itself. The shared seed moves once per chunk. A voice's envelope depends on nothing
// else, so it runs first (in RenderEnvelopes()) and tells for how many samples the voice draws (a
// voice that falls silent stays silent until the next chunk's events); then each voice renders on
// its own.
void Rhythmoria::RenderNoiseVoices(int n) {
  const auto& voices = mNoiseVoices;
  const auto& indices = mNoiseIndices;
  Noise* active[kNumNoiseVoices];
  int activeIndex[kNumNoiseVoices];
  int length[kNumNoiseVoices];
  const double* envelope[kNumNoiseVoices];
  int m = 0;
  int longest = 0;
  for (int v = 0; v < kNumNoiseVoices; ++v) {
    const int k = mVoiceLength[static_cast<std::size_t>(indices[v])];
    if (k == 0) continue;
    active[m] = voices[v];
    activeIndex[m] = indices[v];
    length[m] = k;
    envelope[m] = mNoiseEnvelope[v];
    longest = std::max(longest, k);
    ++m;
  }
  if (m == 0) return;

  // The voices' lengths are known: the run claims exactly the values they draw.
  int drawn = 0;
  for (int a = 0; a < m; ++a) drawn += length[a];
  const std::uint32_t start = WhiteNoise::reserve(static_cast<std::uint32_t>(drawn));
  // Sample by sample, each voice still sounding takes the next value in instrument order. Between
  // the samples where voices fall silent the c voices sounding take every c-th value each, so each
  // voice's values are computed on their own, from its first one onwards in steps of 16807^c.
  std::uint32_t seed = start;
  for (int from = 0; from < longest;) {
    int to = longest;
    int sounding = 0;
    for (int a = 0; a < m; ++a) {
      if (length[a] <= from) continue;
      ++sounding;
      to = std::min(to, length[a]);
    }
    const std::uint32_t step = WhiteNoise::power(static_cast<std::uint32_t>(sounding));
    std::uint32_t first = seed;
    for (int a = 0; a < m; ++a) {
      if (length[a] <= from) continue;
      first *= WhiteNoise::kMultiplier;
      // The last voice takes the stretch's last value, from which the next stretch goes on.
      seed = WhiteNoise::fillEvery(first, step, mNoiseWhite[a] + from, to - from);
    }
    from = to;
  }

  for (int a = 0; a < m; ++a) active[a]->addTick(mNoiseWhite[a], length[a]);
  // Several at a time, one group after the other: the first runs of the list render side by side
  // as far as the shortest of them goes, and whatever is left groups up with the next runs. Each
  // voice's samples still come in order, and the voices no longer depend on one another.
  struct Run {
    int voice;
    int done;
  };
  static_assert(kNumNoiseVoices <= Noise::kMaxTogether);
  Run runs[kNumNoiseVoices];
  for (int a = 0; a < m; ++a) runs[a] = {a, 0};
  int count = m;
  while (count >= 2) {
    const int lanes = Noise::lanesTogether(count);
    Noise* voices[kNumNoiseVoices];
    const double* x[kNumNoiseVoices];
    const double* e[kNumNoiseVoices];
    double* out[kNumNoiseVoices];
    int k = n;
    for (int l = 0; l < lanes; ++l) {
      const int a = runs[l].voice;
      const int from = runs[l].done;
      voices[l] = active[a];
      x[l] = mNoiseWhite[a] + from;
      e[l] = envelope[a] + from;
      out[l] = mVoiceOut[activeIndex[a]] + from;
      k = std::min(k, length[a] - from);
    }
    Noise::renderFilteredTogether(lanes, voices, x, e, out, k);
    for (int l = 0; l < lanes; ++l) runs[l].done += k;
    int kept = 0;
    for (int r = 0; r < count; ++r) {
      if (runs[r].done >= length[runs[r].voice]) continue;
      // Moved only once a run before it has ended (as the mix list's entries).
      if (kept != r) runs[kept] = runs[r];
      ++kept;
    }
    count = kept;
  }
  if (count == 1) {
    const int a = runs[0].voice;
    const int from = runs[0].done;
    active[a]->renderFiltered(mNoiseWhite[a] + from, envelope[a] + from,
                              mVoiceOut[activeIndex[a]] + from, length[a] - from);
  }
}

void Rhythmoria::RenderChunk(double** outputs, int start, int n) {
  const double gain = mVolumeGain;
  // With no voice sounding the chunk would only write the sums, 0.0 * gain: +0.0 for a finite
  // gain without a sign bit, the very value a cleared output holds.
  // A voice sounds exactly while one of its envelopes in the slots does.
  if (mEnvelopeListStale) RebuildEnvelopeList();
  const bool anyActive = mEnvelopeList.count > 0;
  if (!anyActive && std::isfinite(gain) && !std::signbit(gain)) {
    if ((mWrittenOutputs & kSumOutputs) != 0) {
      std::fill(outputs[0] + start, outputs[0] + start + n, 0.0);
      std::fill(outputs[1] + start, outputs[1] + start + n, 0.0);
    }
    return;
  }
  // Once written, the sums are written by every chunk to the end of the piece: only what lies
  // before this chunk needs clearing.
  if ((mWrittenOutputs & kSumOutputs) == 0) {
    std::fill(outputs[0], outputs[0] + start, 0.0);
    std::fill(outputs[1], outputs[1] + start, 0.0);
    mWrittenOutputs |= kSumOutputs;
  }
  // No voice depends on another within a run (the noise voices draw in their own pass), so the
  // order in which they render does not matter.
  const bool anyNoise = mEnvelopeList.noise != 0;
  const bool noiseRendered = RenderEnvelopes(n);
  RenderSineVoices();
  Conga* const tones[2] = {&mConga, &mCowbell};
  const int toneIndices[2] = {kConga, kCowbell};
  for (int v = 0; v < 2; ++v) {
    const int length1 = mToneLength[static_cast<std::size_t>(2 * v)];
    const int length2 = mToneLength[static_cast<std::size_t>(2 * v + 1)];
    if (length1 == 0 && length2 == 0) continue;
    const int k = toneIndices[v];
    mVoiceLength[static_cast<std::size_t>(k)] =
        tones[v]->renderTones(mVoiceOut[k], mSecondTone[v], length1, length2);
  }
  if (mVoiceLength[kGuiro] > 0) {
    mVoiceLength[kGuiro] = mGuiro.renderBursts(mVoiceOut[kGuiro], mVoiceLength[kGuiro]);
  }
  if (mVoiceLength[kQuijada] > 0) {
    mVoiceLength[kQuijada] = mQuijada.renderBursts(mVoiceOut[kQuijada], mVoiceLength[kQuijada]);
  }
  if (anyNoise && !noiseRendered) RenderNoiseVoices(n);

  // In instrument order: of several voices written to one extra output, the last one stands.
  SummedVoice summed[kNumInstruments];
  int numSummed = 0;
  // Few voices sound in a run: their bits are found four lengths at a time.
  static_assert(kNumInstruments <= 16);
  std::uint32_t sounding = 0;
  int first = 0;
  for (; first + 4 <= kNumInstruments; first += 4) {
    const __m128i lengths = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&mVoiceLength[first]));
    const __m128i silent = _mm_cmpeq_epi32(lengths, _mm_setzero_si128());
    sounding |= static_cast<std::uint32_t>(~_mm_movemask_ps(_mm_castsi128_ps(silent)) & 0xF)
                << first;
  }
  for (; first < kNumInstruments; ++first) {
    sounding |= static_cast<std::uint32_t>(mVoiceLength[static_cast<std::size_t>(first)] != 0)
                << first;
  }
  for (; sounding != 0; sounding &= sounding - 1) {
    const int k = std::countr_zero(sounding);
    const auto index = static_cast<std::size_t>(k);
    const int length = mVoiceLength[index];
    const double pan = mVoices[index]->pan;
    const double* s = mVoiceOut[k];
    if (mToSum[index] == 1) {
      summed[numSummed++] = {s, _mm_set1_pd(1.0 - pan), _mm_set1_pd(pan), length};
    }
    const int extra = mExtraOutput[index];
    if (extra >= 1 && extra <= kNumExtraOutputs) {
      ClaimOutput(outputs, 2 * extra);
      ClaimOutput(outputs, 2 * extra + 1);
      double* left = outputs[2 * extra] + start;
      double* right = outputs[2 * extra + 1] + start;
      for (int i = 0; i < length; ++i) {
        left[i] = (1.0 - pan) * s[i];
        right[i] = pan * s[i];
      }
    }
  }
  // Each sample of the sums adds the voices sounding in it to 0.0 in instrument order. A voice
  // that falls silent within the chunk leaves the list from there on; between such samples the
  // list stays the same.
  for (int from = 0; from < n;) {
    int to = n;
    int sounding = 0;
    for (int v = 0; v < numSummed; ++v) {
      if (summed[v].length <= from) continue;
      to = std::min(to, summed[v].length);
      // Moved only once a voice before it has left: copied whole, an entry written field by
      // field is read back with wide loads that wait for those stores to drain.
      if (sounding != v) summed[sounding] = summed[v];
      ++sounding;
    }
    numSummed = sounding;
    MixSums(summed, sounding, gain, outputs[0] + start, outputs[1] + start, from, to);
    from = to;
  }
}

// Samples [from, to) of the two sums, two samples to a vector: each is 0.0 plus every listed
// voice's weighted sample in list order, scaled by the gain, exactly as one sample at a time.
// Eight samples at a time while they last, so that the sums stay in registers across the list.
void Rhythmoria::MixSums(const SummedVoice* voices, int count, double gain, double* left,
                         double* right, int from, int to) {
  int i = from;
#if RHYTHMORIA_WIDE_VECTORS
  if (WideVectors::enabled) i = MixSumsWide(voices, count, gain, left, right, from, to);
#endif
  const __m128d g = _mm_set1_pd(gain);
  for (; i + 8 <= to; i += 8) {
    __m128d l[4], r[4];
    for (int p = 0; p < 4; ++p) l[p] = r[p] = _mm_setzero_pd();
    for (int v = 0; v < count; ++v) {
      const double* s = voices[v].samples + i;
      for (int p = 0; p < 4; ++p) {
        l[p] = _mm_add_pd(l[p], _mm_mul_pd(voices[v].left, _mm_loadu_pd(s + 2 * p)));
        r[p] = _mm_add_pd(r[p], _mm_mul_pd(voices[v].right, _mm_loadu_pd(s + 2 * p)));
      }
    }
    for (int p = 0; p < 4; ++p) {
      _mm_storeu_pd(left + i + 2 * p, _mm_mul_pd(l[p], g));
      _mm_storeu_pd(right + i + 2 * p, _mm_mul_pd(r[p], g));
    }
  }
  for (; i + 2 <= to; i += 2) {
    __m128d l = _mm_setzero_pd();
    __m128d r = _mm_setzero_pd();
    for (int v = 0; v < count; ++v) {
      l = _mm_add_pd(l, _mm_mul_pd(voices[v].left, _mm_loadu_pd(voices[v].samples + i)));
      r = _mm_add_pd(r, _mm_mul_pd(voices[v].right, _mm_loadu_pd(voices[v].samples + i)));
    }
    _mm_storeu_pd(left + i, _mm_mul_pd(l, g));
    _mm_storeu_pd(right + i, _mm_mul_pd(r, g));
  }
  if (i < to) {
    double l = 0.0;
    double r = 0.0;
    for (int v = 0; v < count; ++v) {
      l += _mm_cvtsd_f64(voices[v].left) * voices[v].samples[i];
      r += _mm_cvtsd_f64(voices[v].right) * voices[v].samples[i];
    }
    left[i] = l * gain;
    right[i] = r * gain;
  }
}

#if RHYTHMORIA_WIDE_VECTORS
#pragma GCC push_options
#pragma GCC target("avx")
int Rhythmoria::MixSumsWide(const SummedVoice* voices, int count, double gain, double* left,
                            double* right, int from, int to) {
  const __m256d g = _mm256_set1_pd(gain);
  int i = from;
  for (; i + 16 <= to; i += 16) {
    __m256d l[4], r[4];
    for (int p = 0; p < 4; ++p) l[p] = r[p] = _mm256_setzero_pd();
    for (int v = 0; v < count; ++v) {
      const double* s = voices[v].samples + i;
      const __m256d weightLeft = _mm256_set_m128d(voices[v].left, voices[v].left);
      const __m256d weightRight = _mm256_set_m128d(voices[v].right, voices[v].right);
      for (int p = 0; p < 4; ++p) {
        const __m256d x = _mm256_loadu_pd(s + 4 * p);
        l[p] = _mm256_add_pd(l[p], _mm256_mul_pd(weightLeft, x));
        r[p] = _mm256_add_pd(r[p], _mm256_mul_pd(weightRight, x));
      }
    }
    for (int p = 0; p < 4; ++p) {
      _mm256_storeu_pd(left + i + 4 * p, _mm256_mul_pd(l[p], g));
      _mm256_storeu_pd(right + i + 4 * p, _mm256_mul_pd(r[p], g));
    }
  }
  return i;
}
#pragma GCC pop_options
#endif

void Rhythmoria::DrainInputQueue(int limit) {
  while (mMidiInputQueue.HasUnread() && mMidiInputQueue.NextUnread().mOffset < limit) {
    IMidiMessage msg = mMidiInputQueue.NextUnread();
    mMidiInputQueue.MarkRead();
    if (IsNote(msg)) {
      if (msg.mData2 == 0) msg.mStatus = kNoteOff;
      mEventList.Push(msg);  // dropped when full
    } else if (msg.StatusNibble() == 0xB) {
      const int target = ControllerTarget(msg.mData1);
      const double value = msg.mData2 / 127.0;
      if (const IParameter* param = GetParam(target)) {
        if (param->GetNormalizedValue() != value) {
          SetParamFromEditor(target, value);
          if (IGraphics* gui = GetGUI()) gui->SetControlsFromParameter(target, value, true);
        }
      } else if (target == kPlaySwitchTarget) {
        mSequencer.StartStop(value);
      }
    }
  }
  mMidiInputQueue.DropReadAndShift(std::max(mMsPeriod, 1));
}

void Rhythmoria::DispatchEvent(const IMidiMessage& msg) {
  // Data 1 is an unsigned byte, so a voice whose note is -1 or above 255 is never matched.
  const int note = msg.mData1;
  mEnvelopeListStale = true;
  if (msg.StatusNibble() == 0x8) {
    mHeldNotes.Clear(note);
    for (Instrument* voice : mVoices) {
      if (voice->note == note) voice->release();
    }
  } else {
    for (Instrument* voice : mVoices) {
      if (voice->note == note) voice->trigger(SampleCounter());
    }
    mHeldNotes.Set(note, msg.mData2);
  }
}

void Rhythmoria::StepNote(int voice, bool noteOn, int queueOffset) {
  const Instrument& v = *mVoices[static_cast<std::size_t>(voice)];
  const auto note = static_cast<std::uint8_t>(v.note & 0xFF);
  const auto velocity = static_cast<std::uint8_t>(noteOn ? (v.velocity & 0xFF) : 0);
  // The host hears the note at the sample where the tick fired; the voices keep the queue's own
  // timing on the millisecond grid.
  SendNoteToHost(voice, noteOn,
                 noteOn || queueOffset == 0 ? mBlockSample : mBlockSample + queueOffset);
  mMidiInputQueue.Add(IMidiMessage(queueOffset, noteOn ? kNoteOn : kNoteOff, note, velocity));
}

void Rhythmoria::HostNoteOff(int voice) {
  SendNoteToHost(voice, false, mBlockSample);
}

void Rhythmoria::SendNoteToHost(int voice, bool noteOn, int blockOffset) {
  const Instrument& v = *mVoices[static_cast<std::size_t>(voice)];
  // Note numbers outside 0..127 exist for the voices only; they are not MIDI.
  if (v.note < 0 || v.note > 127) return;
  const auto note = static_cast<std::uint8_t>(v.note);
  const auto velocity = static_cast<std::uint8_t>(noteOn ? std::clamp(v.velocity, 0, 127) : 0);
  // Outside a block the position of the last one means nothing: such a note starts the next.
  const std::int64_t at = mInsideBlock ? std::int64_t{HostBlockOffset()} + blockOffset : 0;
  SendOrKeepForHost(IMidiMessage(0, noteOn ? kNoteOn : kNoteOff, note, velocity), at);
}

void Rhythmoria::SendOrKeepForHost(IMidiMessage msg, std::int64_t samplesFromBlockStart) {
  if (mInsideBlock && samplesFromBlockStart < mCurrentBlockLength) {
    msg.mOffset = static_cast<std::int32_t>(std::max<std::int64_t>(samplesFromBlockStart, 0));
    SendMidiToHost(msg);
    return;
  }
  if (mNumPendingHostMessages == kMaxPendingHostMessages) {
    // Never lose a note-off: send it late rather than leave a note hanging at the host.
    msg.mOffset = mInsideBlock ? std::max(mCurrentBlockLength - 1, 0) : 0;
    SendMidiToHost(msg);
    return;
  }
  // Never before the next block: a message from within this one that could not go out goes out
  // at the start of the next.
  const std::int64_t nextBlock = mHostBlockStart + mCurrentBlockLength;
  const std::int64_t due = mInsideBlock
                               ? std::max(mHostBlockStart + samplesFromBlockStart, nextBlock)
                               : nextBlock + std::max<std::int64_t>(samplesFromBlockStart, 0);
  mPendingHostMessages[static_cast<std::size_t>(mNumPendingHostMessages++)] = {msg, due};
  mEarliestPendingDue = std::min(mEarliestPendingDue, due);
}

// The messages that fall in the current host block go out, in the order they were kept; the rest
// stay, in that order.
void Rhythmoria::SendPendingHostMessages() {
  const std::int64_t end = mHostBlockStart + mCurrentBlockLength;
  std::int64_t earliest = INT64_MAX;
  int kept = 0;
  for (int i = 0; i < mNumPendingHostMessages; ++i) {
    PendingHostMessage& pending = mPendingHostMessages[static_cast<std::size_t>(i)];
    if (pending.due < end) {
      IMidiMessage msg = pending.msg;
      msg.mOffset = static_cast<std::int32_t>(pending.due - mHostBlockStart);
      SendMidiToHost(msg);
      continue;
    }
    earliest = std::min(earliest, pending.due);
    if (kept != i) mPendingHostMessages[static_cast<std::size_t>(kept)] = pending;
    ++kept;
  }
  mNumPendingHostMessages = kept;
  mEarliestPendingDue = earliest;
}
