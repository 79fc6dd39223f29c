// The exported editor function: argument check and the C boundary; the work
// is in instance/EditorCalls.
#include "talven.h"

#include "api/Boundary.h"
#include "api/Isolated.h"
#include "instance/EditorCalls.h"

extern "C" {

int32_t TALVEN_CALL TALVEN_ShowEditor(uint32_t handle, uint8_t visible, int32_t x, int32_t y,
                                      TALVEN_POSITIONPROC positionCallback, const char* title)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, showEditor(*link, visible, x, y, positionCallback, title));
        return talven::showEditor(handle, visible != 0, x, y, positionCallback, title);
    });
}

int32_t TALVEN_CALL TALVEN_EmbedEditor(uint32_t handle, void* parent)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, embedEditor(*link, parent));
        return talven::embedEditor(handle, parent);
    });
}

int32_t TALVEN_CALL TALVEN_GetEditorSize(uint32_t handle, int32_t* width, int32_t* height)
{
    TALVEN_ASSERT_RETURN(handle != 0 && width && height, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getEditorSize(*link, *width, *height));
        return talven::editorSize(handle, *width, *height);
    });
}

int32_t TALVEN_CALL TALVEN_SetEditorSize(uint32_t handle, int32_t* width, int32_t* height)
{
    TALVEN_ASSERT_RETURN(handle != 0 && width && height && *width > 0 && *height > 0, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, setEditorSize(*link, *width, *height));
        return talven::setEditorSize(handle, *width, *height);
    });
}

int32_t TALVEN_CALL TALVEN_SetEditorCallback(uint32_t handle, TALVEN_EDITORPROC callback, void* user)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, setEditorCallback(*link, callback, user));
        return talven::setEditorCallback(handle, callback, user);
    });
}

} // extern "C"
