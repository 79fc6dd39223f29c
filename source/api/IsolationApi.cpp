// The attach with its options in a record, isolated or not, and the status
// of an isolated attachment's process.
#include "talven.h"

#include "api/Boundary.h"
#include "api/Isolated.h"
#include "instance/Attachment.h"
#include "instance/InstanceHold.h"

extern "C" {

uint32_t TALVEN_CALL TALVEN_ChannelSetDSPWith(uint32_t channel, const TALVEN_ATTACH* attach)
{
    TALVEN_ASSERT_RETURN(attach != nullptr && attach->size >= sizeof(TALVEN_ATTACH), 0u);
    TALVEN_ASSERT_RETURN(attach->path != nullptr, 0u);
    return talven::guardBoundary(0u, [&] {
        talven::AttachOptions options;
        options.priority = attach->priority;
        options.showEditor = attach->showEditor;
        options.editorX = attach->editorX;
        options.editorY = attach->editorY;
        options.title = attach->title;
        options.positionCallback = attach->positionCallback;
        options.classId = attach->classId;
        if ((attach->flags & TALVEN_ATTACH_ISOLATED) != 0)
            return talven::attachIsolated(channel, attach->path, options);
        return talven::attachPlugin(channel, attach->path, options);
    });
}

int32_t TALVEN_CALL TALVEN_GetStatus(uint32_t handle)
{
    TALVEN_ASSERT_RETURN(handle != 0, -1);
    return talven::guardBoundary(-1, [&] {
        if (const std::shared_ptr<talven::IsolatedLink> link = talven::isolatedLinkOf(handle, false))
            return link->status();
        talven::InstanceHold hold(handle);
        return hold.get() && hold.get()->attached.load() ? TALVEN_STATUS_RUNNING : -1;
    });
}

int32_t TALVEN_CALL TALVEN_SetStatusCallback(uint32_t handle, TALVEN_STATUSPROC callback, void* user)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    return talven::guardBoundary(0, [&] {
        if (const std::shared_ptr<talven::IsolatedLink> link = talven::isolatedLinkOf(handle, false)) {
            link->setStatusCallback(callback, user);
            return 1;
        }
        // An attachment in the program's own process never changes status.
        talven::InstanceHold hold(handle);
        return hold.get() && hold.get()->attached.load() ? 1 : 0;
    });
}

} // extern "C"
