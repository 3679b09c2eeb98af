// The PulseAudio capture service against a real server: blocks come back in
// queue order through the window layer's message hook carrying exactly the
// samples that were played, a stop hands every block back and ends all
// access, and a missing or dying server never hangs or crashes anything.

// clang-format off
#include <gtest/gtest.h>  // before Xlib, whose None macro gtest also uses
// clang-format on

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_device.h"
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
};

std::vector<Finished> finished;
bool requeue = true;

int64_t CaptureHook(void*, uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message != MM_WIM_DATA) return HOOK_PASS_THROUGH;
    auto* header = reinterpret_cast<WaveHeader*>(lParam);
    auto* device = reinterpret_cast<void*>(static_cast<uintptr_t>(wParam));
    finished.push_back(Finished{device, header, header->dwBytesRecorded, header->dwFlags});
    if (requeue) AddCaptureBlock(device, header);
    return HOOK_PASS_THROUGH;
}

WaveFormatRecord DefaultFormat() {
    WaveFormatRecord format;
    format.wFormatTag = WAVE_FORMAT_PCM;
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
    void* device = OpenCaptureDevice(WAVE_MAPPER, DefaultFormat(), window);
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
        EXPECT_TRUE(finished[i].flags & WHDR_DONE);
        EXPECT_FALSE(finished[i].flags & WHDR_INQUEUE);
    }
    std::remove(signal.c_str());
}

TEST_F(CapturePulse, StopHandsEveryBlockBackAndTouchesNoneAfterwards) {
    if (!HaveServer()) GTEST_SKIP() << "no sound server";
    void* device = OpenCaptureDevice(WAVE_MAPPER, DefaultFormat(), window);
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
        EXPECT_TRUE(headers[i].dwFlags & WHDR_DONE);
        EXPECT_FALSE(headers[i].dwFlags & WHDR_INQUEUE);
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
    void* device = OpenCaptureDevice(WAVE_MAPPER, DefaultFormat(), window);
    ASSERT_NE(device, nullptr);
    EXPECT_FALSE(AddCaptureBlock(device, &headers[0])) << "not prepared";
    EXPECT_TRUE(PrepareCaptureBlock(device, &headers[0]));
    EXPECT_FALSE(AddCaptureBlock(device, &headers[0])) << "already queued";
    WaveHeader empty = {};
    EXPECT_FALSE(PrepareCaptureBlock(device, &empty)) << "no memory";
    StopCaptureDevice(device);
}

TEST_F(CapturePulse, NoServerMeansNoDevice) {
    const char* saved = std::getenv("PULSE_SERVER");
    std::string previous = saved ? saved : "";
    std::string nowhere = "unix:" + ::testing::TempDir() + "no-such-server/native";
    setenv("PULSE_SERVER", nowhere.c_str(), 1);
    void* device = OpenCaptureDevice(WAVE_MAPPER, DefaultFormat(), window);
    if (saved) {
        setenv("PULSE_SERVER", previous.c_str(), 1);
    } else {
        unsetenv("PULSE_SERVER");
    }
    EXPECT_EQ(device, nullptr);
}

TEST_F(CapturePulse, FormatsWithoutASampleFormatAreRefused) {
    WaveFormatRecord format = DefaultFormat();
    format.wBitsPerSample = 12;
    EXPECT_EQ(OpenCaptureDevice(WAVE_MAPPER, format, window), nullptr);
    format = DefaultFormat();
    format.nChannels = 0;
    EXPECT_EQ(OpenCaptureDevice(WAVE_MAPPER, format, window), nullptr);
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

// A server of our own that dies while recording: deliveries end and nothing
// hangs; a new server on the same socket is recorded from again, the queued
// blocks going on in their order; a stop while the next attempt is awaited
// returns.
TEST_F(CapturePulse, ADeadServerIsReconnectedWhenItComesBack) {
    if (std::system("command -v pulseaudio >/dev/null 2>&1") != 0) GTEST_SKIP() << "no pulseaudio";
    std::string runtime = ::testing::TempDir() + "vt-dying-pulse-XXXXXX";
    ASSERT_NE(mkdtemp(runtime.data()), nullptr);
    std::string socket = runtime + "/native";
    pid_t server = StartServer(runtime, socket);
    if (server == 0) GTEST_SKIP() << "the private server did not come up";
    const char* saved = std::getenv("PULSE_SERVER");
    std::string previous = saved ? saved : "";
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    // The null sink's monitor is the only source and so the default one.
    void* device = OpenCaptureDevice(WAVE_MAPPER, DefaultFormat(), window);
    ASSERT_NE(device, nullptr);
    for (WaveHeader& header : headers) ASSERT_TRUE(PrepareCaptureBlock(device, &header));
    ASSERT_TRUE(StartCaptureDevice(device));
    EXPECT_TRUE(AwaitBlocks(2, 5000));

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

}  // namespace
