// Reference: the shortest path from "play" to sound on the PulseAudio API. Decodes the file,
// opens a low-latency stream fed with silence, then on "go" writes the sound.
// Protocol: prints "ready"; reads "go" (prints "t NANOSECONDS" and plays) or "quit".
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <pulse/simple.h>
#include <sndfile.h>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc < 2)
        return 2;
    SF_INFO info{};
    SNDFILE* file = sf_open(argv[1], SFM_READ, &info);
    if (!file)
        return 1;
    std::vector<int16_t> sound(std::size_t(info.frames) * std::size_t(info.channels));
    sf_readf_short(file, sound.data(), info.frames);
    sf_close(file);

    pa_sample_spec format{PA_SAMPLE_S16LE, uint32_t(info.samplerate), uint8_t(info.channels)};
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(info.samplerate / 100 * info.channels * 2); // 10 ms
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    int error = 0;
    pa_simple* pa = pa_simple_new(nullptr, "ref_pa", PA_STREAM_PLAYBACK, nullptr, "play", &format,
                                  nullptr, &attr, &error);
    if (!pa)
        return 1;
    std::atomic<int> state{0}; // 0 silence, 1 sound, 2 quit
    std::thread feeder([&] {
        std::vector<int16_t> silence(std::size_t(info.samplerate / 1000) *
                                     std::size_t(info.channels));
        std::size_t at = 0;
        const std::size_t step = silence.size();
        while (state != 2) {
            if (state == 1 && at < sound.size()) {
                const std::size_t n = std::min(step, sound.size() - at);
                pa_simple_write(pa, sound.data() + at, n * 2, &error);
                at += n;
            } else {
                pa_simple_write(pa, silence.data(), silence.size() * 2, &error);
            }
        }
    });
    std::printf("ready\n");
    std::fflush(stdout);
    std::string command;
    while (std::cin >> command) {
        if (command == "go") {
            const auto t = std::chrono::steady_clock::now().time_since_epoch();
            state = 1;
            std::printf("t %lld\n",
                        (long long)std::chrono::duration_cast<std::chrono::nanoseconds>(t).count());
            std::fflush(stdout);
        } else if (command == "quit") {
            break;
        }
    }
    state = 2;
    feeder.join();
    pa_simple_free(pa);
    return 0;
}
