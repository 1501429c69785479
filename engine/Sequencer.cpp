#include "engine/Sequencer.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/CombinedRhythm.h"
#include "engine/Instruments.h"
#include "engine/RhythmBank.h"

namespace {

constexpr double kNoPpq = -1000000.0;
constexpr double kDefaultHostTempo = 120.0;
// A host that jumps far ahead between blocks would need one pass per skipped tick; beyond this
// many the grid is moved in one step.
constexpr int kMaxTickSkips = 1 << 20;

double Round(double x) {
  return std::round(x);
}  // halves away from zero

double Finite(double x, double fallback) {
  return std::isfinite(x) ? x : fallback;
}

}  // namespace

void Sequencer::SetSampleRate(double rate) {
  if (!std::isfinite(rate) || rate <= 0.0) return;
  sampleRate = rate;
}

void Sequencer::SetTempo(double bpm) {
  tempo = bpm;
  UpdateTempo();
}

void Sequencer::SetTempoSync(bool on) {
  const bool wasOn = tempoSync != 0;
  tempoSync = on ? 1 : 0;
  // Leaving host sync, the clock position is the host's sample position; counted against the
  // internal tick length it would fire a tick on every sample until it caught up. Start the
  // internal clock one tick from now instead.
  if (wasOn && !on) tickPos = 0.0;
  UpdateTempo();
}

void Sequencer::UpdateTempo() {
  if (tempoSync) {
    if (hostTempo <= 0.0) hostTempo = kDefaultHostTempo;
    samplesPerTick = 2.5 / hostTempo * sampleRate;
  } else {
    const double previous = samplesPerTick;
    const double bpm = tempo > 0.0 ? tempo : kDefaultHostTempo;
    samplesPerTick = 2.5 / bpm * sampleRate;
    // The internal clock counts samples since its last tick. Counted against a shorter tick, a
    // position reached at a slower tempo or a higher rate would fire a tick on every sample until
    // it caught up: keep the same fraction of the tick instead. An unchanged length leaves the
    // position exactly as it was.
    if (samplesPerTick != previous && previous > 0.0 && std::isfinite(previous)) {
      tickPos *= samplesPerTick / previous;
    }
    nextTick = samplesPerTick;
  }
}

void Sequencer::EndHeldGuiro(bool releaseVoice) {
  if (!guiroHeldAtHost) return;
  if (releaseVoice) {
    Emit(kGuiro, false, 0);
  } else {
    mListener.HostNoteOff(kGuiro);
  }
  guiroHeldAtHost = false;
}

void Sequencer::SetPower(bool on) {
  // Nothing is emitted while the power is off, so a held guiro would never be ended.
  if (!on) EndHeldGuiro(false);
  power = on ? 1 : 0;
}

void Sequencer::Stop() {
  if (running) EndHeldGuiro(false);
  running = 0;
}

void Sequencer::Restart() {
  // A guiro note held across the restart would otherwise get a second note-on at the host, and
  // the voice would sound on until the pattern next released it.
  EndHeldGuiro(true);
  lastStep = -1;
  tickCountdown = 0;
  step = 0;
  if (!tempoSync) {
    tickPos = 0.0;
    nextTick = 0.0;
  }
}

void Sequencer::ToggleRun(bool restart) {
  const bool start = !running;
  if (start && restart) Restart();
  if (!start) Stop();
  mListener.Panic();
  running = start ? 1 : 0;
}

void Sequencer::StartStop(double value) {
  const bool on = value >= 0.5;
  if (on && !running) Restart();
  if (!on) Stop();
  mListener.Panic();
  running = on ? 1 : 0;
}

void Sequencer::HostSync(ITransportInfo info, double hostTempoNow) {
  const double ppq = Finite(info.mPPQPos, -1.0);
  const double samplePos = Finite(info.mSamplePos, -1.0);
  const bool rewound = (lastPpq - ppq) > 0.5;

  bool tempoChanged = false;
  const double t = Round(Finite(hostTempoNow, 0.0) * 1000.0) * 0.001;
  if (t != hostTempo) {
    tempoChanged = true;
    UpdateTempo();
    hostTempo = t;
  }

  if (info.mTransportIsRunning) {
    if (!hostPlaying) {
      hostPlaying = 1;
      lastPpq = kNoPpq;
      if (rewound) Restart();
      mListener.Panic();
      running = 1;
    }
  } else if (hostPlaying) {
    hostPlaying = 0;
    Stop();
    mListener.Panic();
  }

  if (hostPlaying && ppq != lastPpq) {
    tickPos = samplePos;
    UpdateTempo();
    if (rewound) {
      Restart();
      if (tickPos > 0.0) {
        const double x = ppq * 24.0;
        const double d = (Round(x) - x) * samplesPerTick;
        nextTick = d < 0.0 ? tickPos : tickPos + d;
      } else {
        nextTick = 0.0;
      }
    } else if (tempoChanged) {
      nextTick = tickPos > 0.0 ? Round(tickPos / samplesPerTick) * samplesPerTick : 0.0;
      int guard = 0;
      while (tickPos > nextTick && ++guard < kMaxTickSkips) nextTick += samplesPerTick;
      if (tickPos > nextTick)
        nextTick = (std::floor(tickPos / samplesPerTick) + 1.0) * samplesPerTick;
    }
  }
  if (hostPlaying) lastPpq = ppq;
}

namespace {

// The power of two above position (positive and finite), from its exponent bits.
double PowerOfTwoAbove(double position) {
  const auto bits = std::bit_cast<std::uint64_t>(position);
  return std::bit_cast<double>((bits & 0x7FF0000000000000ULL) + (1ULL << 52));
}

// How many additions of 1.0 to position give exactly position + their number: those whose sums
// stay below the next power of two, as long as the values there are spaced at most 1 apart
// (position in [1, 2^52)). Returns 0 where that does not hold.
int ExactUnitSteps(double position, int limit) {
  if (!(position >= 1.0 && position < 0x1p52)) return 0;
  // The difference is exact, as position lies within a factor of two of the power.
  const double power = PowerOfTwoAbove(position);
  const double room = power - position;
  // The whole numbers below room.
  const auto whole = static_cast<std::int64_t>(room);
  const std::int64_t steps = static_cast<double>(whole) == room ? whole - 1 : whole;
  return steps < limit ? static_cast<int>(steps) : limit;
}

}  // namespace

int Sequencer::CountStepByStep(int count) {
  if (!running || !(nextTick >= 0.0)) return 0;
  double position = tickPos;
  int k = 0;
  while (k < count) {
    const int span = ExactUnitSteps(position, count - k);
    if (span > 0) {
      // The first of the span's sums (position + j + 1, all exact) to reach the tick; a guess
      // from one subtraction, then put right by comparing the exact sums themselves.
      const double guess = nextTick - position - 1.0;
      int j = !(guess > 0.0) ? 0 : guess >= span ? span : static_cast<int>(guess);
      while (j > 0 && position + j >= nextTick) --j;
      while (j < span && position + j + 1.0 < nextTick) ++j;
      position += j;
      k += j;
      if (j < span) break;
      continue;
    }
    const double next = position + 1.0;
    if (next >= nextTick) break;
    position = next;
    ++k;
  }
  tickPos = position;
  return k;
}

void Sequencer::AdvanceTick() {
  if (tempoSync) {
    int guard = 0;
    while (nextTick <= tickPos && ++guard < kMaxTickSkips) nextTick += samplesPerTick;
    if (nextTick <= tickPos) {
      nextTick = (std::floor(tickPos / samplesPerTick) + 1.0) * samplesPerTick;
    }
  } else {
    tickPos = nextTick > 0.0 ? tickPos - nextTick : 0.0;
    nextTick = samplesPerTick;
  }
  ClockTick();
}

void Sequencer::Emit(int voice, bool noteOn, int queueOffset) {
  if (voice == kGuiro) guiroHeldAtHost = noteOn;
  mListener.StepNote(voice, noteOn, queueOffset);
}

void Sequencer::ClockTick() {
  if (!running) return;
  if (tickCountdown > 0) {
    --tickCountdown;
    return;
  }
  const int prev = lastStep;
  tickCountdown = mRhythm.triplet ? kTicksPerTripletStep - 1 : kTicksPerStep - 1;
  lastStep = step;
  while (!mRhythm.active[step]) step = (step + 1) % kNumSteps;

  if (power) {
    const int noteOffOffset = static_cast<int>(samplesPerTick);
    for (int row = anySelected ? 0 : kTambourine; row < kNumInstruments; ++row) {
      const bool hit = mRhythm.grid[row][step] != 0;
      if (row != kGuiro) {
        if (hit) {
          Emit(row, true, 0);
          Emit(row, false, noteOffOffset);
        }
        continue;
      }
      // The guiro is held: one note lasts as long as consecutive steps carry it.
      if (prev > step) {
        Emit(row, false, 0);
        if (hit) Emit(row, true, 0);
      } else if (prev == -1 || !mRhythm.grid[kGuiro][prev]) {
        if (hit) Emit(row, true, 0);
      } else if (!hit) {
        Emit(row, false, 0);
      }
    }
  }
  step = (step + 1) % kNumSteps;
}
