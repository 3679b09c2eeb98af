// The PulseAudio capture service against a real server: blocks come back in
// queue order through the window layer's message hook carrying exactly the
// samples that were played, a stop hands every block back and ends all
// access, and a missing or dying server never hangs or crashes anything.
// The inputs are listed by their names, and a chosen input, or what the
// default output plays, is recorded without a block lost or doubled.

// clang-format off
#include <gtest/gtest.h>  // before Xlib, whose None macro gtest also uses
// clang-format on

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_device.h"
#include "capture/capture_inputs.h"
#include "tests/x11/x11_test_support.h"

extern char** environ;

namespace {

constexpr int BLOCK_BYTES = 8192;
constexpr int BLOCKS = 4;

struct Finished {
    void* device;
    WaveHeader* header;
    uint32_t bytes;
    uint32_t flags;
    int peak;                                  // the largest sample magnitude in the block
    std::chrono::steady_clock::time_point at;  // when the hook took it
};

std::vector<Finished> finished;
bool requeue = true;

int64_t CaptureHook(void*, uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message != MESSAGE_CAPTURE_DATA) return HOOK_PASS_THROUGH;
    auto* header = reinterpret_cast<WaveHeader*>(lParam);
    auto* device = reinterpret_cast<void*>(static_cast<uintptr_t>(wParam));
    auto* samples = reinterpret_cast<const int16_t*>(header->lpData);
    int peak = 0;
    for (uint32_t i = 0; i < header->dwBytesRecorded / 2; ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    finished.push_back(Finished{device, header, header->dwBytesRecorded, header->dwFlags, peak,
                                std::chrono::steady_clock::now()});
    if (requeue) AddCaptureBlock(device, header);
    return HOOK_PASS_THROUGH;
}

WaveFormatRecord DefaultFormat() {
    WaveFormatRecord format;
    format.wFormatTag = PCM_FORMAT_TAG;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 176400;
    return format;
}

// Starts a program with its output thrown away; its pid, 0 on failure.
pid_t Spawn(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    int failure = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failure == 0 ? child : 0;
}

void Stop(pid_t child) {
    if (child <= 0) return;
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
}

bool HaveServer() {
    return std::system("pactl info >/dev/null 2>&1") == 0;
}

class CapturePulse : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UiLayerInit()) GTEST_SKIP() << "no X display to test with";
        // The choice outlives devices: each test starts from the default.
        ChooseCaptureTarget(nullptr, CaptureTarget::DEFAULT_INPUT, "");
        window = CreateTopWindow(6000, 0, 0, 50, 50, "capture", 0xC80000, nullptr);
        ASSERT_NE(window, nullptr);
        finished.clear();
        requeue = true;
        SetMessageHook(CaptureHook);
        for (auto& block : memory) block.assign(BLOCK_BYTES, 0);
        for (int i = 0; i < BLOCKS; ++i) {
            headers[i] = WaveHeader{};
            headers[i].lpData = memory[i].data();
            headers[i].dwBufferLength = BLOCK_BYTES;
        }
    }
    void TearDown() override { SetMessageHook(nullptr); }

    void* window = nullptr;
    std::vector<char> memory[BLOCKS];
    WaveHeader headers[BLOCKS];
};

TEST_F(CapturePulse, BlocksReturnInQueueOrderWithThePlayedSamples) {
    if (!HaveServer()) GTEST_SKIP() << "no sound server";
    void* device = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, DefaultFormat(), window);
    ASSERT_NE(device, nullptr);
    for (WaveHeader& header : headers) ASSERT_TRUE(PrepareCaptureBlock(device, &header));

    // A square wave, left +-16384, right -+8192, into the sink whose monitor
    // is the default source.
    std::string signal = ::testing::TempDir() + "capture_signal.raw";
    {
        std::ofstream out(signal, std::ios::binary);
        for (int period = 0; period < 441 * 8; ++period) {
            for (int i = 0; i < 100; ++i) {
                int16_t left = i < 50 ? 16384 : -16384;
                int16_t right = static_cast<int16_t>(i < 50 ? -8192 : 8192);
                out.write(reinterpret_cast<const char*>(&left), 2);
                out.write(reinterpret_cast<const char*>(&right), 2);
            }
        }
    }
    ASSERT_TRUE(StartCaptureDevice(device));
    pid_t player = Spawn({"pacat", "--raw", "--device=meter", "--rate=44100", "--channels=2",
                          "--format=s16le", signal});
    ASSERT_GT(player, 0);

    // Wait for a block that holds nothing but the signal.
    auto onlySignal = [](const Finished& f) {
        auto* samples = reinterpret_cast<const int16_t*>(f.header->lpData);
        for (uint32_t i = 0; i + 1 < f.bytes / 2; i += 2) {
            if ((samples[i] != 16384 && samples[i] != -16384) ||
                samples[i + 1] != -samples[i] / 2) {
                return false;
            }
        }
        return f.bytes > 0;
    };
    bool heard = false;
    RepeatUntil(
        [&] {
            size_t before = finished.size();
            FetchPlatformMessage(100);
            if (finished.size() > before) heard |= onlySignal(finished.back());
            return heard && finished.size() >= 3 * BLOCKS;
        },
        10000);
    Stop(player);
    StopCaptureDevice(device);
    EXPECT_TRUE(heard) << "no block carried exactly the played samples";

    ASSERT_GE(finished.size(), static_cast<size_t>(3 * BLOCKS));
    for (size_t i = 0; i < 3 * BLOCKS; ++i) {
        EXPECT_EQ(finished[i].header, &headers[i % BLOCKS]) << "block " << i;
        EXPECT_EQ(finished[i].device, device);
        EXPECT_EQ(finished[i].bytes, static_cast<uint32_t>(BLOCK_BYTES));
        EXPECT_TRUE(finished[i].flags & BLOCK_DONE);
        EXPECT_FALSE(finished[i].flags & BLOCK_QUEUED);
    }
    std::remove(signal.c_str());
}

TEST_F(CapturePulse, StopHandsEveryBlockBackAndTouchesNoneAfterwards) {
    if (!HaveServer()) GTEST_SKIP() << "no sound server";
    void* device = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, DefaultFormat(), window);
    ASSERT_NE(device, nullptr);
    for (WaveHeader& header : headers) ASSERT_TRUE(PrepareCaptureBlock(device, &header));
    requeue = false;
    ASSERT_TRUE(StartCaptureDevice(device));
    RepeatUntil(
        [] {
            FetchPlatformMessage(50);
            return !finished.empty();
        },
        5000);
    StopCaptureDevice(device);
    while (FetchPlatformMessage(100) != 0) {
    }
    // Every block came back once: the finished ones and the ones still queued.
    ASSERT_EQ(finished.size(), static_cast<size_t>(BLOCKS));
    for (int i = 0; i < BLOCKS; ++i) {
        EXPECT_EQ(finished[i].header, &headers[i]);
        EXPECT_TRUE(headers[i].dwFlags & BLOCK_DONE);
        EXPECT_FALSE(headers[i].dwFlags & BLOCK_QUEUED);
    }
    for (auto& block : memory) std::memset(block.data(), 0x5A, block.size());
    EXPECT_FALSE(AddCaptureBlock(device, &headers[0]));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(FetchPlatformMessage(0), 0);
    for (auto& block : memory) {
        EXPECT_EQ(std::count(block.begin(), block.end(), 0x5A), BLOCK_BYTES);
    }
}

TEST_F(CapturePulse, HeadersAreRefusedUnpreparedOrWhileQueued) {
    if (!HaveServer()) GTEST_SKIP() << "no sound server";
    void* device = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, DefaultFormat(), window);
    ASSERT_NE(device, nullptr);
    EXPECT_FALSE(AddCaptureBlock(device, &headers[0])) << "not prepared";
    EXPECT_TRUE(PrepareCaptureBlock(device, &headers[0]));
    EXPECT_FALSE(AddCaptureBlock(device, &headers[0])) << "already queued";
    WaveHeader empty = {};
    EXPECT_FALSE(PrepareCaptureBlock(device, &empty)) << "no memory";
    StopCaptureDevice(device);
}

TEST_F(CapturePulse, NoServerMeansNoInputs) {
    const char* saved = std::getenv("PULSE_SERVER");
    std::string previous = saved ? saved : "";
    std::string nowhere = "unix:" + ::testing::TempDir() + "no-such-server/native";
    setenv("PULSE_SERVER", nowhere.c_str(), 1);
    std::vector<CaptureInputRecord> inputs = ListCaptureInputs(2000);
    if (saved) {
        setenv("PULSE_SERVER", previous.c_str(), 1);
    } else {
        unsetenv("PULSE_SERVER");
    }
    EXPECT_TRUE(inputs.empty());
}

TEST_F(CapturePulse, FormatsWithoutASampleFormatAreRefused) {
    WaveFormatRecord format = DefaultFormat();
    format.wBitsPerSample = 12;
    EXPECT_EQ(OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, format, window), nullptr);
    format = DefaultFormat();
    format.nChannels = 0;
    EXPECT_EQ(OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, format, window), nullptr);
}

TEST_F(CapturePulse, DeviceNumbersBeyondTheCaptureSourcesOpenNothing) {
    if (!HaveServer()) GTEST_SKIP() << "no sound server";
    // The test server has only a monitor source, which is no capture device.
    EXPECT_EQ(OpenCaptureDevice(0, DefaultFormat(), window), nullptr);
    EXPECT_EQ(OpenCaptureDevice(57, DefaultFormat(), window), nullptr);
}

// A private server on a socket of our own; its pid, 0 on failure.
pid_t StartServer(const std::string& runtime, const std::string& socket) {
    pid_t server = Spawn({"env", "HOME=" + runtime, "XDG_RUNTIME_DIR=" + runtime, "pulseaudio",
                          "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                          "--system=false", "--load=module-native-protocol-unix socket=" + socket,
                          "--load=module-null-sink sink_name=dying"});
    std::string probe = "PULSE_SERVER=unix:" + socket + " pactl info >/dev/null 2>&1";
    bool up = RepeatUntil(
        [&] {
            if (std::system(probe.c_str()) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return false;
        },
        5000);
    return up ? server : 0;
}

// Messages until the recorder has `count` blocks, or the time is up.
bool AwaitBlocks(size_t count, int timeoutMs) {
    return RepeatUntil(
        [count] {
            FetchPlatformMessage(50);
            return finished.size() >= count;
        },
        timeoutMs);
}

// A device opened before its server runs (a meter started at login) records
// once a server of our own comes up; the server dies while recording:
// deliveries end and nothing hangs; a new server on the same socket is
// recorded from again, the queued blocks going on in their order; a stop
// while the next attempt is awaited returns.
TEST_F(CapturePulse, ADeadServerIsReconnectedWhenItComesBack) {
    if (std::system("command -v pulseaudio >/dev/null 2>&1") != 0) GTEST_SKIP() << "no pulseaudio";
    std::string runtime = ::testing::TempDir() + "vt-dying-pulse-XXXXXX";
    ASSERT_NE(mkdtemp(runtime.data()), nullptr);
    std::string socket = runtime + "/native";
    const char* saved = std::getenv("PULSE_SERVER");
    std::string previous = saved ? saved : "";
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    void* device = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, DefaultFormat(), window);
    ASSERT_NE(device, nullptr);
    for (WaveHeader& header : headers) ASSERT_TRUE(PrepareCaptureBlock(device, &header));
    ASSERT_TRUE(StartCaptureDevice(device));
    EXPECT_FALSE(AwaitBlocks(1, 300));
    // The null sink's monitor is the only source and so the default one.
    pid_t server = StartServer(runtime, socket);
    if (server == 0) {
        StopCaptureDevice(device);
        GTEST_SKIP() << "the private server did not come up";
    }
    EXPECT_TRUE(AwaitBlocks(2, 5000)) << "nothing recorded from a server that came up late";

    Stop(server);
    // Whatever was in flight arrives; then the deliveries end.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    while (FetchPlatformMessage(50) != 0) {
    }
    size_t before = finished.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    while (FetchPlatformMessage(50) != 0) {
    }
    EXPECT_EQ(finished.size(), before);

    server = StartServer(runtime, socket);
    ASSERT_GT(server, 0);
    EXPECT_TRUE(AwaitBlocks(before + 2 * BLOCKS, 10000)) << "nothing recorded from the new server";
    for (size_t i = 0; i < finished.size(); ++i) {
        EXPECT_EQ(finished[i].header, &headers[i % BLOCKS]) << "block " << i;
    }

    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    // The stop runs beside the test, so that a hang fails instead of waiting
    // for the test's time limit.
    std::atomic<bool> returned{false};
    std::thread stopper([&returned, device] {
        StopCaptureDevice(device);
        returned = true;
    });
    bool stopped = RepeatUntil(
        [&returned] {
            FetchPlatformMessage(50);
            return returned.load();
        },
        5000);
    EXPECT_TRUE(stopped) << "the stop did not return";
    stopped ? stopper.join() : stopper.detach();
    if (saved) {
        setenv("PULSE_SERVER", previous.c_str(), 1);
    } else {
        unsetenv("PULSE_SERVER");
    }
    std::system(("rm -rf '" + runtime + "'").c_str());
}

// ------------------------------------------------------------ chosen inputs

// Runs a pactl command with a time limit; its first line of output.
std::string Pactl(const std::string& arguments) {
    std::string line;
    FILE* pipe = popen(("timeout 5 pactl " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return line;
    char buffer[256];
    if (fgets(buffer, sizeof buffer, pipe) != nullptr) line = buffer;
    pclose(pipe);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

// A 441 Hz sine of the given amplitude on both channels, 30 s long: it
// keeps its peak through a server that resamples.
std::string WriteTone(const std::string& name, int amplitude) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 44100 * 30; ++i) {
        auto sample = static_cast<int16_t>(std::lround(amplitude * std::sin(i * M_PI / 50)));
        out.write(reinterpret_cast<const char*>(&sample), 2);
        out.write(reinterpret_cast<const char*>(&sample), 2);
    }
    return path;
}

pid_t Play(const std::string& sink, const std::string& path) {
    return Spawn({"pacat", "--raw", "--device=" + sink, "--rate=44100", "--channels=2",
                  "--format=s16le", path});
}

// Two outputs "a" (Out_a) and "b" (Out_b), each with a capture input fed
// from its monitor, "mic_a" (Mic_a) and "mic_b" (Mic_b), each playing a tone
// of its own, and "meter", whose monitor is the default input, a third.
// Everything goes again at the end.
class ChosenInputs : public CapturePulse {
protected:
    static constexpr int TONE_A = 6000;
    static constexpr int TONE_B = 14000;
    static constexpr int TONE_METER = 26000;

    void SetUp() override {
        CapturePulse::SetUp();
        if (IsSkipped()) return;
        if (!HaveServer()) GTEST_SKIP() << "no sound server";
        for (const char* out : {"a", "b"}) {
            std::string sink = Pactl(std::string("load-module module-null-sink sink_name=") + out +
                                     " sink_properties=device.description=Out_" + out);
            ASSERT_FALSE(sink.empty());
            modules.push_back(sink);
            ASSERT_TRUE(LoadInput(out));
        }
        // The server moves the streams of the old default output that named
        // no output of their own to a new default. The default is an output
        // that nothing plays to, so that the tones stay where they are put.
        std::string idle = Pactl("load-module module-null-sink sink_name=idle");
        ASSERT_FALSE(idle.empty());
        modules.push_back(idle);
        ASSERT_EQ(std::system("timeout 5 pactl set-default-sink idle"), 0);
        tones = {WriteTone("tone_a.raw", TONE_A), WriteTone("tone_b.raw", TONE_B),
                 WriteTone("tone_meter.raw", TONE_METER)};
        players = {Play("a", tones[0]), Play("b", tones[1]), Play("meter", tones[2])};
        // A microphone runs at its own pace whoever records it. An input of
        // the test server that nobody records idles in steps of up to two
        // seconds, so each is kept running by a recorder of its own.
        for (const char* input : {"mic_a", "mic_b"}) {
            players.push_back(Spawn({"pacat", "--record", std::string("--device=") + input,
                                     "--latency-msec=20", "/dev/null"}));
        }
        for (pid_t player : players) ASSERT_GT(player, 0);
    }
    void TearDown() override {
        for (pid_t player : players) Stop(player);
        for (auto module = modules.rbegin(); module != modules.rend(); ++module) {
            Pactl("unload-module " + *module);
        }
        Pactl("set-default-sink meter");
        for (const std::string& tone : tones) std::remove(tone.c_str());
        CapturePulse::TearDown();
    }

    // Loads mic_OUT, fed by OUT's monitor; remembers its module.
    bool LoadInput(const std::string& out) {
        std::string module =
            Pactl("load-module module-remap-source master=" + out + ".monitor source_name=mic_" +
                  out + " source_properties=device.description=Mic_" + out);
        if (module.empty()) return false;
        modules.push_back(module);
        inputModules[out] = module;
        return true;
    }
    void UnloadInput(const std::string& out) {
        Pactl("unload-module " + inputModules[out]);
        modules.erase(std::find(modules.begin(), modules.end(), inputModules[out]));
    }

    // Which tone a block carries whole: 'a', 'b', 'm' (meter), '0' for
    // silence, '?' for none of them or a block that holds two.
    static char Tone(const Finished& block) {
        auto near = [&block](int amplitude) { return std::abs(block.peak - amplitude) < 300; };
        if (near(TONE_A)) return 'a';
        if (near(TONE_B)) return 'b';
        if (near(TONE_METER)) return 'm';
        return block.peak < 100 ? '0' : '?';
    }

    // Takes blocks until `count` in a row carry the tone; the index of the
    // first of them, -1 when the time ran out.
    static int64_t AwaitTone(char tone, size_t from, int count = 3, int timeoutMs = 10000) {
        int64_t first = -1;
        RepeatUntil(
            [&] {
                FetchPlatformMessage(50);
                for (size_t i = from; i < finished.size(); ++i) {
                    if (Tone(finished[i]) != tone) {
                        first = -1;
                        continue;
                    }
                    if (first < 0) first = static_cast<int64_t>(i);
                    if (static_cast<int64_t>(i) - first + 1 >= count) return true;
                }
                first = -1;
                return false;
            },
            timeoutMs);
        if (first >= 0 && static_cast<int64_t>(finished.size()) - first >= count) return first;
        return -1;
    }

    // The tones of the blocks so far, for failure messages.
    static std::string Tones() {
        std::string tones;
        for (const Finished& block : finished)
            tones += Tone(block) + std::to_string(block.peak) + " ";
        return tones;
    }

    // Every block so far came back full, in queue order: none lost, none
    // twice.
    void ExpectContinuous(void* device) {
        for (size_t i = 0; i < finished.size(); ++i) {
            ASSERT_EQ(finished[i].header, &headers[i % BLOCKS]) << "block " << i;
            ASSERT_EQ(finished[i].bytes, static_cast<uint32_t>(BLOCK_BYTES)) << "block " << i;
            ASSERT_EQ(finished[i].device, device);
        }
    }

    std::vector<std::string> modules;
    std::map<std::string, std::string> inputModules;
    std::vector<std::string> tones;
    std::vector<pid_t> players;
};

TEST_F(ChosenInputs, ListsInputsByNameBeforeTheMonitorsOfOutputs) {
    std::vector<CaptureInputRecord> inputs = ListCaptureInputs(3000);
    auto find = [&inputs](const std::string& id) {
        return std::find_if(inputs.begin(), inputs.end(),
                            [&id](const CaptureInputRecord& input) { return input.id == id; });
    };
    for (const char* out : {"a", "b"}) {
        auto input = find(std::string("mic_") + out);
        ASSERT_NE(input, inputs.end()) << out;
        EXPECT_EQ(input->name, std::string("Mic_") + out);
        EXPECT_FALSE(input->ofOutput);
        auto monitor = find(std::string(out) + ".monitor");
        ASSERT_NE(monitor, inputs.end()) << out;
        EXPECT_EQ(monitor->name, std::string("Out_") + out);
        EXPECT_TRUE(monitor->ofOutput);
    }
    auto firstMonitor =
        std::find_if(inputs.begin(), inputs.end(),
                     [](const CaptureInputRecord& input) { return input.ofOutput; });
    EXPECT_TRUE(std::all_of(firstMonitor, inputs.end(),
                            [](const CaptureInputRecord& input) { return input.ofOutput; }));
    EXPECT_TRUE(PlayingCaptureAvailable());
    // The server's default source, and only it, is marked.
    auto isDefault = [](const CaptureInputRecord& input) { return input.isDefault; };
    EXPECT_EQ(std::count_if(inputs.begin(), inputs.end(), isDefault), 1);
    auto defaultSource = find(Pactl("get-default-source"));
    ASSERT_NE(defaultSource, inputs.end());
    EXPECT_TRUE(defaultSource->isDefault);
}

// Chosen before recording, an input is recorded from the first block; a new
// choice while recording reaches the blocks within a couple of them; a
// chosen input that goes away leaves the default input recording until it
// returns; an unknown one records the default. No block is lost or doubled.
TEST_F(ChosenInputs, AChosenInputIsRecordedAtOnceAndAgainWhenItReturns) {
    void* device = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, DefaultFormat(), window);
    ASSERT_NE(device, nullptr);
    EXPECT_FALSE(ChooseCaptureTarget(device, CaptureTarget::NAMED_INPUT, ""));
    ASSERT_TRUE(ChooseCaptureTarget(device, CaptureTarget::NAMED_INPUT, "mic_a"));
    for (WaveHeader& header : headers) ASSERT_TRUE(PrepareCaptureBlock(device, &header));
    ASSERT_TRUE(StartCaptureDevice(device));
    int64_t first = AwaitTone('a', 0);
    ASSERT_GE(first, 0) << "mic_a was not recorded: " << Tones();
    for (int64_t i = 0; i < first; ++i) EXPECT_NE(Tone(finished[i]), 'm') << "block " << i;

    size_t before = finished.size();
    auto chosen = std::chrono::steady_clock::now();
    ASSERT_TRUE(ChooseCaptureTarget(device, CaptureTarget::NAMED_INPUT, "mic_b"));
    int64_t switched = AwaitTone('b', before);
    ASSERT_GE(switched, 0) << "mic_b was not recorded: " << Tones();
    // At most the block being filled carries mic_a, and the one the server
    // may hold.
    EXPECT_LE(switched - static_cast<int64_t>(before), 2);
    RecordProperty("blocks_to_switch", static_cast<int>(switched - before));
    RecordProperty("ms_to_first_block_of_the_new_input",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        finished[switched].at - chosen)
                                        .count()));

    UnloadInput("b");
    ASSERT_GE(AwaitTone('m', finished.size()), 0)
        << "no fall back to the default input: " << Tones();
    ASSERT_TRUE(LoadInput("b"));
    ASSERT_GE(AwaitTone('b', finished.size()), 0) << "no return to mic_b: " << Tones();

    ASSERT_TRUE(ChooseCaptureTarget(device, CaptureTarget::NAMED_INPUT, "no_such_source"));
    ASSERT_GE(AwaitTone('m', finished.size()), 0)
        << "an unknown input does not record the default: " << Tones();
    ExpectContinuous(device);
    StopCaptureDevice(device);
    EXPECT_FALSE(ChooseCaptureTarget(device, CaptureTarget::DEFAULT_INPUT, ""));
}

TEST_F(ChosenInputs, WhatIsPlayingFollowsTheDefaultOutput) {
    void* device = OpenCaptureDevice(DEFAULT_CAPTURE_DEVICE, DefaultFormat(), window);
    ASSERT_NE(device, nullptr);
    for (WaveHeader& header : headers) ASSERT_TRUE(PrepareCaptureBlock(device, &header));
    ASSERT_TRUE(StartCaptureDevice(device));
    ASSERT_TRUE(ChooseCaptureTarget(device, CaptureTarget::PLAYING, ""));
    ASSERT_GE(AwaitTone('0', finished.size()), 0) << "the idle default output was not recorded";
    ASSERT_EQ(std::system("timeout 5 pactl set-default-sink a"), 0);
    ASSERT_GE(AwaitTone('a', finished.size()), 0)
        << "output a's sound was not recorded: " << Tones();
    // Output a falls silent first: its tone would follow the default to b.
    Stop(players[0]);
    players[0] = 0;
    ASSERT_EQ(std::system("timeout 5 pactl set-default-sink b"), 0);
    ASSERT_GE(AwaitTone('b', finished.size()), 0)
        << "the new default output was not followed: " << Tones();
    ASSERT_TRUE(ChooseCaptureTarget(device, CaptureTarget::DEFAULT_INPUT, ""));
    ASSERT_GE(AwaitTone('m', finished.size()), 0) << "no return to the default input: " << Tones();
    ExpectContinuous(device);
    StopCaptureDevice(device);
}

}  // namespace
