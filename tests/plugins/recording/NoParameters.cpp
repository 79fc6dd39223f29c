// A controller without parameters.
#include "EntryPoints.h"
#include "RecordingClasses.h"

namespace {

using namespace talven::testplugin;

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        recorderProcessorClass(),
        {recorderControllerUid(), kVstComponentControllerClass, "Talven Empty Controller", 0, "",
         [] { return RecordingController::create(false); }},
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 2, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
