// The exported attach, detach, free and bypass-query functions.
#include "talven.h"

#include "api/Boundary.h"
#include "api/Isolated.h"
#include "instance/Attachment.h"
#include "registry/BassApi.h"

extern "C" {

uint32_t TALVEN_CALL TALVEN_ChannelSetDSPEx(uint32_t channel, const char* path, uint32_t, int32_t priority, void*,
                                            uint32_t, uint32_t, uint8_t showEditor, int32_t editorX,
                                            int32_t editorY, TALVEN_POSITIONPROC positionCallback, const char* title)
{
    TALVEN_ASSERT_RETURN(path != nullptr, 0u);
    return talven::guardBoundary(0u, [&] {
        talven::AttachOptions options;
        options.priority = priority;
        options.showEditor = showEditor;
        options.editorX = editorX;
        options.editorY = editorY;
        options.title = title;
        options.positionCallback = positionCallback;
        return talven::attachPlugin(channel, path, options);
    });
}

uint32_t TALVEN_CALL TALVEN_ChannelSetDSP(uint32_t channel, const char* path, uint32_t reserved, int32_t priority,
                                          uint8_t showEditor, int32_t editorX, int32_t editorY,
                                          TALVEN_POSITIONPROC positionCallback, const char* title)
{
    return TALVEN_ChannelSetDSPEx(channel, path, reserved, priority, nullptr, 0, 0, showEditor, editorX, editorY,
                                  positionCallback, title);
}

int32_t TALVEN_CALL TALVEN_ChannelRemoveDSP(uint32_t, uint32_t handle)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    return talven::guardBoundary(0, [&] {
        const int isolated = talven::detachIsolated(handle);
        return isolated >= 0 ? isolated : talven::detachPlugin(handle);
    });
}

int32_t TALVEN_CALL TALVEN_ChannelFree(uint32_t channel)
{
    return talven::guardBoundary(0, [&] { return static_cast<int32_t>(BASS_StreamFree(channel)); });
}

int32_t TALVEN_CALL TALVEN_GetBypass(uint32_t handle)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getBypass(*link));
        return static_cast<int32_t>(talven::readBypass(handle));
    });
}

} // extern "C"
