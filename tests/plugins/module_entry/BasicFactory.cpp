// The pass-through effect behind a factory that answers IPluginFactory only.
#include "EntryPoints.h"
#include "PassThroughEffect.h"

namespace {

const talven::testplugin::TestFactoryDescription& basicDescription()
{
    static const talven::testplugin::TestFactoryDescription description = [] {
        talven::testplugin::TestFactoryDescription basic = talven::testplugin::passThroughDescription();
        basic.factoryVersion = 1;
        return basic;
    }();
    return description;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(basicDescription())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
