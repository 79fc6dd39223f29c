// Records every call the host makes, with its thread: the recorder's gain with
// a stereo side-chain input and an event input besides its main buses, which take any layout.
#include "EntryPoints.h"
#include "RecordingClasses.h"

namespace {

using namespace talven::testplugin;

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        busVariantClass<RecordedBuses::everyKind>("Talven Bus Recorder"),
        recorderControllerClass(),
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 2, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
