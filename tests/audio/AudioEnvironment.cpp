#include "registry/Registry.h"

#include <gtest/gtest.h>

namespace {

// No load hook runs for the statically linked internals: set the registry
// up as the hook would.
class AudioEnvironment : public ::testing::Environment {
public:
    void SetUp() override { talven::registryLoad(); }
    void TearDown() override { talven::registryUnload(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new AudioEnvironment);

} // namespace
