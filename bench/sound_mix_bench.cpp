// What mixing costs: 32 voices of 44.1 kHz stereo through sndmod_wave's
// mixer, 10 ms blocks as its thread mixes them, against a plain loop that
// sums the same samples with the same gains into the same 16-bit output.
// "cpu_per_audio" is the CPU time one second of sound takes to mix (in
// seconds; 10m, ten milliseconds, would be 1% of one core).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "compare.h"
#include "mixer.h"

namespace {

constexpr int VOICES = 32;
constexpr int BLOCK = wave::OUTPUT_RATE / 100;

std::vector<std::shared_ptr<wave::Pcm>> sources() {
    std::vector<std::shared_ptr<wave::Pcm>> out;
    uint32_t seed = 7;
    for (int v = 0; v < VOICES; ++v) {
        auto pcm = std::make_shared<wave::Pcm>();
        pcm->channels = 2;
        pcm->rate = wave::OUTPUT_RATE;
        pcm->samples.resize(static_cast<size_t>(wave::OUTPUT_RATE) * 2);
        for (int16_t& s : pcm->samples) s = static_cast<int16_t>((seed = seed * 1664525u + 1013904223u) >> 21);
        out.push_back(pcm);
    }
    return out;
}

float gainOf(int voice) { return 0.2f + 0.02f * static_cast<float>(voice); }

void report(benchmark::State& state) {
    const double audioSeconds = static_cast<double>(state.iterations()) * BLOCK / wave::OUTPUT_RATE;
    state.counters["cpu_per_audio"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void MixerMixes32Voices(benchmark::State& state) {
    const auto pcms = sources();
    wave::Mixer mixer;
    for (int v = 0; v < VOICES; ++v) {
        wave::VoiceSettings settings = wave::sanitise(gainOf(v), v % 2 ? 0.5f : -0.5f, 1.0f);
        settings.loop = true;
        mixer.play(pcms[static_cast<size_t>(v)], nullptr, settings);
    }
    std::vector<int16_t> out(BLOCK * 2);
    for (auto _ : state) {
        mixer.mix(out.data(), BLOCK);
        benchmark::DoNotOptimize(out.data());
    }
    report(state);
}
BENCHMARK(MixerMixes32Voices);

// The reference: the same samples and gains summed by a plain loop.
void PlainLoopSums32Voices(benchmark::State& state) {
    const auto pcms = sources();
    std::vector<float> accumulator(BLOCK * 2);
    std::vector<int16_t> out(BLOCK * 2);
    size_t position = 0;
    for (auto _ : state) {
        std::fill(accumulator.begin(), accumulator.end(), 0.0f);
        for (int v = 0; v < VOICES; ++v) {
            const int16_t* s = pcms[static_cast<size_t>(v)]->samples.data() + position * 2;
            const float left = gainOf(v) * (v % 2 ? 0.5f : 1.0f), right = gainOf(v) * (v % 2 ? 1.0f : 0.5f);
            for (int i = 0; i < BLOCK; ++i) {
                accumulator[2 * i] += s[2 * i] * left;
                accumulator[2 * i + 1] += s[2 * i + 1] * right;
            }
        }
        for (int i = 0; i < BLOCK * 2; ++i) {
            const float x = accumulator[i];
            out[i] = static_cast<int16_t>(x >= 32767.0f ? 32767 : (x <= -32768.0f ? -32768 : std::lrint(x)));
        }
        benchmark::DoNotOptimize(out.data());
        position = (position + BLOCK) % (wave::OUTPUT_RATE - BLOCK);
    }
    report(state);
}
BENCHMARK(PlainLoopSums32Voices);
VOZER_COMPARE(MixerMixes32Voices, PlainLoopSums32Voices, "");

}  // namespace
