// OpenAddress on Linux, with a stand-in xdg-open first in PATH: the address
// arrives as one argument whatever it contains, the call does not wait for
// the handler, a missing xdg-open is a plain failure, one that finds no
// handler is counted as a refusal, and no zombie stays.

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "ui/launch.h"

namespace {

class LaunchPosix : public ::testing::Test {
protected:
    void SetUp() override {
        directory = ::testing::TempDir() + "vt-launch-XXXXXX";
        ASSERT_NE(mkdtemp(directory.data()), nullptr);
        record = directory + "/opened.txt";
        const char* path = std::getenv("PATH");
        savedPath = path ? path : "";
    }
    void TearDown() override {
        setenv("PATH", savedPath.c_str(), 1);
        std::system(("rm -rf '" + directory + "'").c_str());
    }

    // xdg-open that writes its argument count and arguments, one a line,
    // then optionally waits before it writes "done", and ends with the
    // status given (3: it found no handler).
    void InstallStandIn(int seconds = 0, int status = 0) {
        std::string script = directory + "/xdg-open";
        std::ofstream out(script);
        out << "#!/bin/sh\n"
            << "{ echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >>'" << record
            << "'\n";
        if (seconds > 0) {
            out << "sleep " << seconds << "\necho done 2>/dev/null >>'" << record << "'\n";
        }
        out << "exit " << status << "\n";
        out.close();
        chmod(script.c_str(), 0755);
        setenv("PATH", (directory + ":" + savedPath).c_str(), 1);
    }

    std::string Recorded(int waitMs = 3000) {
        for (int waited = 0; waited < waitMs; waited += 20) {
            std::ifstream in(record);
            std::stringstream text;
            text << in.rdbuf();
            if (!text.str().empty()) return text.str();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return "";
    }

    std::string directory, record, savedPath;
};

// Children of this process that have ended but were not reaped.
int ZombieChildren() {
    int zombies = 0;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return 0;
    while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(line.substr(close + 2));
        char state = 0;
        long parent = 0;
        fields >> state >> parent;
        zombies += state == 'Z' && parent == static_cast<long>(getpid());
    }
    closedir(proc);
    return zombies;
}

TEST_F(LaunchPosix, TheAddressIsOneArgumentAsItIs) {
    InstallStandIn();
    const char* address = "https://example.org/donate?a=1&b=\"two words\";$(echo no)`x` 'q'";
    EXPECT_EQ(OpenAddress(address), 1);
    EXPECT_EQ(Recorded(), std::string("1\n") + address + "\n");
}

TEST_F(LaunchPosix, DoesNotWaitForTheHandler) {
    InstallStandIn(3);
    EXPECT_EQ(OpenAddress("https://example.org/"), 1);
    std::string recorded = Recorded();
    EXPECT_EQ(recorded.find("done"), std::string::npos) << "returned only after the handler ended";
}

TEST_F(LaunchPosix, LeavesNoZombie) {
    InstallStandIn();
    ASSERT_EQ(OpenAddress("https://example.org/"), 1);
    Recorded();
    int zombies = 1;
    for (int i = 0; i < 100 && zombies != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        zombies = ZombieChildren();
    }
    EXPECT_EQ(zombies, 0);
}

TEST_F(LaunchPosix, AnXdgOpenThatFindsNoHandlerIsCountedAsARefusal) {
    InstallStandIn(0, 3);
    const int64_t before = RefusedAddressCount();
    ASSERT_EQ(OpenAddress("https://example.org/"), 1);
    for (int i = 0; i < 250 && RefusedAddressCount() == before; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(RefusedAddressCount(), before + 1);
}

TEST_F(LaunchPosix, MissingXdgOpenIsAFailure) {
    setenv("PATH", directory.c_str(), 1);
    EXPECT_EQ(OpenAddress("https://example.org/"), 0);
    EXPECT_EQ(OpenAddress(""), 0);
}

}  // namespace
