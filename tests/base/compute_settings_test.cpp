// The settings that choose the threads of the passes over the cases and
// the engine's path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/compute_settings.h"

namespace ordena {
namespace {

TEST(ComputeSettings, ComeFromTheEnvironment) {
    ::setenv("ORDENA_THREADS", "3", 1);
    ::setenv("ORDENA_GENERAL_PATH", "1", 1);
    ComputeSettings s = ComputeSettings::fromEnvironment();
    EXPECT_EQ(s.threads, 3);
    EXPECT_TRUE(s.generalPath);
    // Values that are not a positive count, or not 1, leave the defaults.
    ::setenv("ORDENA_THREADS", "two", 1);
    ::setenv("ORDENA_GENERAL_PATH", "yes", 1);
    s = ComputeSettings::fromEnvironment();
    EXPECT_GE(s.threads, 1);
    EXPECT_FALSE(s.generalPath);
    ::setenv("ORDENA_THREADS", "0", 1);
    EXPECT_GE(ComputeSettings::fromEnvironment().threads, 1);
    ::unsetenv("ORDENA_THREADS");
    ::unsetenv("ORDENA_GENERAL_PATH");
    EXPECT_GE(ComputeSettings::fromEnvironment().threads, 1);
    EXPECT_FALSE(ComputeSettings::fromEnvironment().generalPath);
}

}  // namespace
}  // namespace ordena
