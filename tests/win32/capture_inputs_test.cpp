// The wave-in devices as the inputs list shows them: one entry per device
// that tells its endpoint, named in full where the short name was cut.
#include "capture/capture_inputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/win32/win32_support.h"

namespace {

TEST(CaptureInputsWinmm, EveryWaveInDeviceByItsEndpointAndFullName) {
    std::vector<CaptureInputRecord> inputs = ListCaptureInputs(1000);
    EXPECT_LE(inputs.size(), static_cast<size_t>(waveInGetNumDevs()));
    for (size_t i = 0; i < inputs.size(); ++i) {
        // What the test bed gives, for the record.
        std::printf("input %zu: id \"%s\" name \"%s\"%s\n", i, inputs[i].id.c_str(),
                    inputs[i].name.c_str(), inputs[i].isDefault ? " (the default)" : "");
        EXPECT_FALSE(inputs[i].id.empty());
        EXPECT_FALSE(inputs[i].name.empty());
        EXPECT_FALSE(inputs[i].ofOutput);
    }
    EXPECT_FALSE(PlayingCaptureAvailable());
    // The default capture endpoint is one of them, where the system names one.
    EXPECT_LE(std::count_if(inputs.begin(), inputs.end(),
                            [](const CaptureInputRecord& input) { return input.isDefault; }),
              1);
}

}  // namespace
