#include "registry/Registry.h"

#include <gtest/gtest.h>

namespace {

// The test program links the library's internals statically: there is no
// load hook, so the registry is set up here as the hook would.
class RegistryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { talven::registryLoad(); }
    void TearDown() override { talven::registryUnload(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new RegistryEnvironment);

} // namespace
