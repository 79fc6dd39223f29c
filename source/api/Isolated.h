#pragma once

// For the exported handle functions: an attachment whose plug-in runs in a
// process of its own has the same call made there. Used inside the
// function's guardBoundary body, after its argument checks, e.g.
//   TALVEN_FORWARD_ISOLATED(handle, getParam(*link, id));
#include "isolation/IsolatedCalls.h"
#include "isolation/IsolatedInstance.h"

#define TALVEN_FORWARD_ISOLATED(handle, call)                                        \
    if (const std::shared_ptr<talven::IsolatedLink> link = talven::isolatedLinkOf(handle)) \
        return talven::isolated::call;
