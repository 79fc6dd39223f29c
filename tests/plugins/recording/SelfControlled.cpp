// A component that is its own edit controller.
#include "EntryPoints.h"
#include "RecordingClasses.h"

namespace {

using namespace talven::testplugin;

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        {recorderProcessorUid(), kVstAudioEffectClass, "Talven Self-Controlled", 0, "Fx",
         [] { return SelfControlledComponent::create(); }},
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 1, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
