// The exported instrument stream and MIDI event functions.
#include "talven.h"

#include "api/Boundary.h"
#include "instance/Attachment.h"
#include "instance/MidiCalls.h"

extern "C" {

uint32_t TALVEN_CALL TALVEN_StreamCreate(uint32_t freq, uint32_t chans, const char* path, const char* classId,
                                         uint32_t flags, uint32_t* handle)
{
    if (handle)
        *handle = 0;
    TALVEN_ASSERT_RETURN(path != nullptr, 0u);
    return talven::guardBoundary(
        0u, [&] { return talven::createInstrumentStream(freq, chans, path, classId, flags, handle); });
}

int32_t TALVEN_CALL TALVEN_StreamEvents(uint32_t handle, uint32_t mode, const void* events, uint32_t length)
{
    TALVEN_ASSERT_RETURN(handle != 0, -1);
    return talven::guardBoundary(-1, [&] { return talven::sendEventsTo(handle, mode, events, length); });
}

} // extern "C"
