// Cost of the voices per output sample, one voice class at a time and the whole kit at once,
// and proof that silence after a note stays as cheap as it should (no denormal slowdown).
//
// Sounding voices are retriggered every block of kBlock samples, so every measured sample is one
// the voice really computes (a retrigger continues from the current level and never falls silent).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "voices/Base.h"
#include "voices/Conga.h"
#include "voices/Guiro.h"
#include "voices/HighPass.h"
#include "voices/Instrument.h"
#include "voices/Noise.h"
#include "voices/Quijada.h"
#include "voices/Resonator.h"
#include "voices/WhiteNoise.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 64;

void reportPerSample(benchmark::State& state, std::int64_t samples) {
  state.counters["per_sample"] = benchmark::Counter(
      static_cast<double>(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void setUpBase(Base& v, double hz, double attack, double decay) {
  v.setSampleRate(kRate);
  v.setFrequency(hz);
  v.setAttack(attack);
  v.setDecay(decay);
}

// highpass < 0: the instrument has no Highpass parameter; tick 0: no Tick parameter.
void setUpNoise(Noise& v, double hz, double attack, double decay, double q, double tick,
                double highpass) {
  v.setSampleRate(kRate);
  v.setFrequency(hz);
  v.setAttack(attack);
  v.setDecay(decay);
  v.setResonance(q);
  if (tick > 0.0) v.setTick(tick);
  if (highpass > 0.0) v.setHighpass(highpass);
}

void setUpConga(Conga& v, double hz1, double attack, double decay1, double level2, double hz2,
                double decay2) {
  v.setSampleRate(kRate);
  v.setFrequency1(hz1);
  v.setAttack(attack);
  v.setDecay1(decay1);
  v.setLevel2(level2);
  v.setFrequency2(hz2);
  v.setDecay2(decay2);
}

void setUpGuiro(Guiro& v) {
  v.setSampleRate(kRate);
  v.setFrequency(4100.0);
  v.setRate(65.0);
  v.setDensity(0.0006);
}

void setUpQuijada(Quijada& v) {
  v.setSampleRate(kRate);
  v.setFrequency(2700.0);
  v.setAttack(0.05);
  v.setDecay(0.3);
  v.setRate(25.0);
  v.setDensity(0.0036);
}

// The fifteen voices in instrument order with the factory defaults of their parameters.
struct Kit {
  Kit() {
    setUpBase(base, 65.0, 0.001, 0.2);
    setUpNoise(snare1, 5500.0, 0.001, 0.4, 0.4, 0.5, 800.0);
    setUpNoise(snare2, 5500.0, 0.001, 0.08, 0.3, 0.2, 1400.0);
    setUpBase(smallBongo, 600.0, 0.001, 0.05);
    setUpBase(largeBongo, 400.0, 0.001, 0.05);
    setUpConga(conga, 195.0, 0.001, 0.25, 1.0, 4600.0, 0.004);
    setUpConga(cowbell, 860.0, 0.001, 0.05, 1.0, 4600.0, 0.004);
    setUpBase(claves, 2120.0, 0.001, 0.004);
    setUpNoise(hihat, 10000.0, 0.01, 0.02, 2.0, 0.0, -1.0);
    setUpBase(rimshot, 1650.0, 0.001, 0.001);
    setUpNoise(cymbal1, 5600.0, 0.001, 0.2, 0.6, 0.0, 5500.0);
    setUpNoise(cymbal2, 5600.0, 0.001, 0.2, 0.3, 0.0, 5500.0);
    setUpNoise(tambourine, 4600.0, 0.02, 0.08, 10.0, 0.0, 6600.0);
    setUpGuiro(guiro);
    setUpQuijada(quijada);
  }
  Kit(const Kit&) = delete;
  Kit& operator=(const Kit&) = delete;

  Base base;
  Noise snare1;
  Noise snare2;
  Base smallBongo;
  Base largeBongo;
  Conga conga;
  Conga cowbell;
  Base claves;
  Noise hihat;
  Base rimshot;
  Noise cymbal1;
  Noise cymbal2;
  Noise tambourine;
  Guiro guiro;
  Quijada quijada;
  std::array<Instrument*, 15> voices{&base,    &snare1,  &snare2,     &smallBongo, &largeBongo,
                                     &conga,   &cowbell, &claves,     &hihat,      &rimshot,
                                     &cymbal1, &cymbal2, &tambourine, &guiro,      &quijada};
};

// Through the Instrument interface, as the engine calls it.
void runSounding(benchmark::State& state, Instrument& voice) {
  std::int64_t samples = 0;
  for (auto _ : state) {
    voice.trigger(0);
    for (int i = 0; i < kBlock; ++i) benchmark::DoNotOptimize(voice.process());
    samples += kBlock;
  }
  reportPerSample(state, samples);
}

void BM_Base(benchmark::State& state) {
  Base v;
  setUpBase(v, 65.0, 0.001, 0.2);
  runSounding(state, v);
}
BENCHMARK(BM_Base);

void BM_NoiseSnareWithTick(benchmark::State& state) {
  Noise v;
  setUpNoise(v, 5500.0, 0.001, 0.4, 0.4, 0.5, 800.0);
  runSounding(state, v);
}
BENCHMARK(BM_NoiseSnareWithTick);

void BM_NoiseHihat(benchmark::State& state) {
  Noise v;
  setUpNoise(v, 10000.0, 0.01, 0.02, 2.0, 0.0, -1.0);
  runSounding(state, v);
}
BENCHMARK(BM_NoiseHihat);

void BM_Conga(benchmark::State& state) {
  Conga v;
  setUpConga(v, 195.0, 0.001, 0.25, 1.0, 4600.0, 0.004);
  runSounding(state, v);
}
BENCHMARK(BM_Conga);

void BM_Guiro(benchmark::State& state) {
  Guiro v;
  setUpGuiro(v);
  runSounding(state, v);
}
BENCHMARK(BM_Guiro);

void BM_Quijada(benchmark::State& state) {
  Quijada v;
  setUpQuijada(v);
  runSounding(state, v);
}
BENCHMARK(BM_Quijada);

// Times blocks of the whole kit; one output sample = one sample of each of the fifteen voices.
// With retrigger, every voice is struck again at the start of each block so all keep sounding.
void timeKit(benchmark::State& state, Kit& kit, bool retrigger) {
  std::int64_t samples = 0;
  for (auto _ : state) {
    if (retrigger) {
      for (Instrument* v : kit.voices) v->trigger(0);
    }
    for (int i = 0; i < kBlock; ++i) {
      double sum = 0.0;
      for (Instrument* v : kit.voices) sum += v->process();
      benchmark::DoNotOptimize(sum);
    }
    samples += kBlock;
  }
  reportPerSample(state, samples);
}

void BM_AllFifteenSounding(benchmark::State& state) {
  Kit kit;
  timeKit(state, kit, true);
}
BENCHMARK(BM_AllFifteenSounding);

// The whole kit played once, released, and then left silent for ten seconds before timing
// starts: every later sample must cost no more than fifteen idle tests.
void BM_AllFifteenSilentAfterDecay(benchmark::State& state) {
  Kit kit;
  for (Instrument* v : kit.voices) v->trigger(0);
  for (int i = 0; i < static_cast<int>(kRate); ++i) {
    if (i == static_cast<int>(kRate / 2)) kit.guiro.release();
    for (Instrument* v : kit.voices) v->process();
  }
  for (Instrument* v : kit.voices) {
    if (v->isActive()) state.SkipWithError("a voice is still sounding");
  }
  for (int i = 0; i < 10 * static_cast<int>(kRate); ++i) {
    for (Instrument* v : kit.voices) v->process();
  }
  timeKit(state, kit, false);
}
BENCHMARK(BM_AllFifteenSilentAfterDecay);

// Baseline for the silence figure above: the same kit, never played.
void BM_AllFifteenNeverTriggered(benchmark::State& state) {
  Kit kit;
  timeKit(state, kit, false);
}
BENCHMARK(BM_AllFifteenNeverTriggered);

// What the shared generator's atomic step costs each noise voice per sample.
void BM_WhiteNoiseDraw(benchmark::State& state) {
  std::int64_t samples = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBlock; ++i) benchmark::DoNotOptimize(WhiteNoise::draw());
    samples += kBlock;
  }
  reportPerSample(state, samples);
}
BENCHMARK(BM_WhiteNoiseDraw);

std::array<double, kBlock> noiseBlock() {
  std::array<double, kBlock> block{};
  for (auto& x : block) x = WhiteNoise::draw();
  return block;
}

template <typename F>
void runFilter(benchmark::State& state, F& filter, const std::array<double, kBlock>& input) {
  std::int64_t samples = 0;
  for (auto _ : state) {
    for (double x : input) benchmark::DoNotOptimize(filter.process(x));
    samples += kBlock;
  }
  reportPerSample(state, samples);
}

// The high-pass is the one recursion that may see a silent input: after an impulse and ten
// seconds of zeros it must cost what it costs on noise.
void BM_HighPassOnNoise(benchmark::State& state) {
  HighPass hp(1000.0);
  hp.setSampleRate(kRate);
  runFilter(state, hp, noiseBlock());
}
BENCHMARK(BM_HighPassOnNoise);

void BM_HighPassSilentAfterImpulse(benchmark::State& state) {
  HighPass hp(1000.0);
  hp.setSampleRate(kRate);
  hp.process(1.0);
  for (int i = 0; i < 10 * static_cast<int>(kRate); ++i) hp.process(0.0);
  runFilter(state, hp, std::array<double, kBlock>{});
}
BENCHMARK(BM_HighPassSilentAfterImpulse);

// Reference pair: the resonator has no offset (in a voice it never runs on silence). Left
// ringing out on zeros it sinks into denormals; the gap between these two is the slowdown the
// measurements above would reveal.
Resonator makeResonator() {
  Resonator r;
  r.setSampleRate(kRate);
  r.setFrequency(10000.0);
  r.setQ(2.0);
  return r;
}

void BM_ResonatorOnNoiseReference(benchmark::State& state) {
  Resonator r = makeResonator();
  runFilter(state, r, noiseBlock());
}
BENCHMARK(BM_ResonatorOnNoiseReference);

void BM_ResonatorSilentAfterImpulseReference(benchmark::State& state) {
  Resonator r = makeResonator();
  r.process(1.0);
  for (int i = 0; i < 10 * static_cast<int>(kRate); ++i) r.process(0.0);
  runFilter(state, r, std::array<double, kBlock>{});
}
BENCHMARK(BM_ResonatorSilentAfterImpulseReference);

}  // namespace
