// Where a probe module keeps its ProbeRecord: in its own memory, or, when
// TALVEN_PROBE_SHARED names a folder, in the file <folder>/<module>.probe
// that every process loading the module maps (SharedFile.h). Compiled into
// each plug-in, TALVEN_TEST_PLUGIN_NAME naming it.
#include "ProbeState.h"
#include "SharedFile.h"

namespace talven::testplugin {

ProbeRecord& probeRecord()
{
    static ProbeRecord own;
    static const SharedFile file(TALVEN_TEST_PLUGIN_NAME ".probe", sizeof(SharedRecord<ProbeRecord>));
    static ProbeRecord* const shared = file.data() ? SharedRecord<ProbeRecord>::adopt(file.data()) : nullptr;
    return shared ? *shared : own;
}

} // namespace talven::testplugin
