// Records every call the host makes, with its thread: the recorder's gain with
// no bus at all.
#include "EntryPoints.h"
#include "RecordingClasses.h"

namespace {

using namespace talven::testplugin;

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        busVariantClass<RecordedBuses::none>("Talven No Buses"),
        recorderControllerClass(),
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 2, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
