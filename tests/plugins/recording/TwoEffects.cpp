// Two audio effect classes; a host that takes the first must create "Processor".
#include "EntryPoints.h"
#include "RecordingClasses.h"

namespace {

using namespace talven::testplugin;

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        recorderProcessorClass(),
        {secondProcessorUid(), kVstAudioEffectClass, "Talven Second Effect", 0, "Fx", createSecondProcessor},
        recorderControllerClass(),
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 3, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
