#pragma once

#include <cstdint>

#include "framework/IPlugStructs.h"

class CombinedRhythm;

// What the sequencer asks of the engine around it.
class SequencerListener {
 public:
  virtual ~SequencerListener() = default;
  // A note of the running rhythm for voice k: to the host's MIDI output and into the voices'
  // input queue at queueOffset samples.
  virtual void StepNote(int voice, bool noteOn, int queueOffset) = 0;
  // Ends a note at the host only; the voices are not involved.
  virtual void HostNoteOff(int voice) = 0;
  virtual void Panic() = 0;
};

// The 24-ticks-per-beat clock and the step sequencer it drives. It runs from the internal tempo or
// follows the host's transport, and steps through the combined rhythm: three ticks a step, four in
// a triplet rhythm, skipping inactive steps.
class Sequencer {
 public:
  static constexpr int kTicksPerStep = 3;
  static constexpr int kTicksPerTripletStep = 4;

  Sequencer(SequencerListener& listener, const CombinedRhythm& rhythm)
      : mListener(listener), mRhythm(rhythm) {}

  // Rates that cannot run a clock (0, negative, not finite) are ignored.
  void SetSampleRate(double sampleRate);
  void SetTempo(double bpm);
  void SetTempoSync(bool on);
  // Power off ends a held guiro at the host; the voices are the engine's to silence.
  void SetPower(bool on);
  void SetAnySelected(bool any) { anySelected = any ? 1 : 0; }
  void UpdateTempo();
  void Restart();
  // The editor's start/stop switch; a modified click restarts from step 0.
  void ToggleRun(bool restart);
  // A learned controller on the start/stop switch, with its value as 0..1.
  void StartStop(double value);
  // Once per block while Tempo Sync is on, with the host's transport and tempo.
  void HostSync(ITransportInfo info, double hostTempoNow);
  // Once per output sample.
  void ClockStep() {
    if (running && nextTick >= 0.0) tickPos += 1.0;
    if (tickPos >= nextTick) AdvanceTick();
  }
  void ClockTick();
  // ClockStep() for up to count samples as long as all it does is count (the clock runs and no
  // tick comes due); returns for how many samples it did. Each sample adds 1.0, as ClockStep()
  // does: tickPos need not be a whole number, and one sum of many would round differently. The
  // result is always that of adding 1.0 sample by sample. The usual case is inline, as the
  // engine asks once per sub-block and once per event.
  int CountUntilTick(int count) {
    // Most calls end before the tick with every sum on the way a double, and then the count
    // additions of 1.0 make one. They are where that one sum is exact: below 2^53, a sum that is
    // a multiple of the spacing of doubles where it lies leaves every sum before it one too.
    if (running && nextTick >= 0.0 && tickPos >= 0.0) {
      const double steps = count;
      const double end = tickPos + steps;
      if (end < nextTick && end < 0x1p53 && IsExactSum(tickPos, steps, end)) {
        tickPos = end;
        return count;
      }
    }
    return CountStepByStep(count);
  }
  // True when ClockStep would change nothing: the clock stands and no tick is due.
  bool IsIdleStep() const { return !running && tickPos < nextTick; }

  double tempo = 120.0;
  std::uint8_t tempoSync = 0;
  std::uint8_t power = 1;
  std::uint8_t anySelected = 0;
  double hostTempo = 0.0;
  double samplesPerTick = 2.5 / 120.0 * 44100.0;
  double tickPos = 0.0;
  double nextTick = 0.0;
  std::uint8_t running = 0;
  std::uint8_t hostPlaying = 0;
  double lastPpq = -1000000.0;
  std::int32_t tickCountdown = 0;
  std::int32_t step = 0;
  std::int32_t lastStep = -1;
  double sampleRate = 44100.0;
  // The host has been sent a guiro note-on that no note-off has ended yet.
  bool guiroHeldAtHost = false;

 private:
  // Whether sum, a + b rounded (a and b not negative), is exact: the larger operand taken back
  // out of it leaves exactly the smaller one (the rounding error, itself exact, is zero).
  static bool IsExactSum(double a, double b, double sum) {
    const double larger = a > b ? a : b;
    const double smaller = a > b ? b : a;
    return smaller - (sum - larger) == 0.0;
  }
  // CountUntilTick() where a sum rounds or the tick comes due.
  int CountStepByStep(int count);
  void AdvanceTick();
  void Emit(int voice, bool noteOn, int queueOffset);
  // Ends a guiro note the host was told of: at the host only, or (releaseVoice) through the
  // voices' queue as well.
  void EndHeldGuiro(bool releaseVoice);
  // The clock stops; a held guiro ends at the host.
  void Stop();

  SequencerListener& mListener;
  const CombinedRhythm& mRhythm;
};
