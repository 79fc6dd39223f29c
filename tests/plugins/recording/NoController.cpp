// An effect that names no controller class and is no controller itself.
#include "EntryPoints.h"
#include "RecordingClasses.h"

namespace {

using namespace talven::testplugin;

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        {recorderProcessorUid(), kVstAudioEffectClass, "Talven No Controller", 0, "Fx",
         [] { return RecordingProcessor::create(ProcessorOptions{}); }},
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 1, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
