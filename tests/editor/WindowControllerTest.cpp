// The window controller against a recording window and a recording view:
// how it attaches, sizes, scales and detaches the view, and its frame.
#include "FakeView.h"
#include "RecordingWindow.h"

#include "editor/WindowController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace talven::test {
namespace {

using Steinberg::IPlugFrame;
using Steinberg::IPtr;
using Steinberg::ViewRect;
using Steinberg::Vst::EditorHost::WindowController;
using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Not;

class WindowControllerTest : public testing::Test {
protected:
    void TearDown() override
    {
        window.reset();
        controller.reset();
        if (view)
            view->release();
    }

    // The controller made for the view, as openEditor does, and a window.
    void make(bool scaleSupport = true)
    {
        view = new FakeView(400, 300, scaleSupport);
        controller = std::make_shared<WindowController>(IPtr<Steinberg::IPlugView>(view));
        window = std::make_shared<RecordingWindow>("t", Size{400, 300}, true, controller);
    }

    void showAndForget()
    {
        window->show(10, 20);
        view->calls.clear();
    }

    IPlugFrame* frame() const { return static_cast<IPlugFrame*>(controller.get()); }

    FakeView* view = nullptr;
    std::shared_ptr<WindowController> controller;
    std::shared_ptr<RecordingWindow> window;
};

TEST_F(WindowControllerTest, ShowingTellsTheScaleThenAttachesTheViewWithTheControllerAsItsFrame)
{
    make();
    EXPECT_EQ(view->references(), 2); // the controller's own
    window->show(10, 20);
    EXPECT_THAT(view->calls, ElementsAre("setContentScaleFactor 1.50", "isPlatformTypeSupported X11EmbedWindowID",
                                         "setFrame frame", "attached X11EmbedWindowID"));
    EXPECT_EQ(view->frame, frame());
}

TEST_F(WindowControllerTest, TheFrameAnswersForItselfAndCountsNoReferences)
{
    make();
    void* asFrame = nullptr;
    void* asUnknown = nullptr;
    EXPECT_EQ(frame()->queryInterface(IPlugFrame::iid, &asFrame), Steinberg::kResultOk);
    EXPECT_EQ(frame()->queryInterface(Steinberg::FUnknown::iid, &asUnknown), Steinberg::kResultOk);
    EXPECT_EQ(asFrame, frame());
    EXPECT_EQ(asUnknown, frame());
    EXPECT_EQ(frame()->addRef(), 1000u);
    EXPECT_EQ(frame()->release(), 1000u);

    // Other interfaces: the window offers none, and neither does the frame.
    int marker = 0;
    void* other = &marker;
    EXPECT_EQ(frame()->queryInterface(Steinberg::IPlugView::iid, &other), Steinberg::kNoInterface);
    window->show(1, 1);
    EXPECT_EQ(frame()->queryInterface(Steinberg::IPlugView::iid, &other), Steinberg::kNoInterface);
    EXPECT_EQ(frame()->queryInterface(IPlugFrame::iid, nullptr), Steinberg::kInvalidArgument);
}

TEST_F(WindowControllerTest, AViewThatRefusesThePlatformTypeIsNeitherAttachedNorRemovedButStillReleased)
{
    make();
    view->supportsType = false;
    window->show(10, 20);
    EXPECT_THAT(view->calls, Not(Contains("setFrame frame")));
    EXPECT_THAT(view->calls, Not(Contains("attached X11EmbedWindowID")));

    view->calls.clear();
    window->userClose();
    EXPECT_THAT(view->calls, IsEmpty());
    EXPECT_EQ(view->references(), 1);
    EXPECT_EQ(controller->view(), nullptr);
}

TEST_F(WindowControllerTest, AViewThatStaysOutOfTheWindowKeepsItHiddenHasNoFrameAndIsOwedNoRemoval)
{
    struct Case {
        const char* name;
        bool supportsType;
        bool attachedFails;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"refuses the type", false, false, {"setContentScaleFactor 1.50", "isPlatformTypeSupported X11EmbedWindowID"}},
        {"attached fails", true, true,
         {"setContentScaleFactor 1.50", "isPlatformTypeSupported X11EmbedWindowID", "setFrame frame",
          "attached X11EmbedWindowID", "setFrame null"}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        auto* const fake = new FakeView(400, 300);
        fake->supportsType = each.supportsType;
        fake->attachedFails = each.attachedFails;
        auto joined = std::make_shared<WindowController>(IPtr<Steinberg::IPlugView>(fake));
        auto hidden = std::make_shared<RecordingWindow>("t", Size{400, 300}, true, joined);
        hidden->show(10, 20);
        EXPECT_FALSE(hidden->visible);
        EXPECT_FALSE(joined->viewAttached());
        EXPECT_EQ(fake->calls, each.calls);
        EXPECT_EQ(fake->frame, nullptr);

        fake->calls.clear();
        joined->detachView();
        EXPECT_THAT(fake->calls, IsEmpty());
        EXPECT_EQ(fake->references(), 1);
        hidden.reset();
        joined.reset();
        fake->release();
    }
}

TEST_F(WindowControllerTest, TheUsersCloseTakesTheViewOutOfItsFrameAndLetsItGo)
{
    make();
    showAndForget();
    window->userClose();
    // Removed while it still has its frame: a view may use it to unregister.
    EXPECT_THAT(view->calls, ElementsAre("removed", "setFrame null"));
    EXPECT_EQ(view->frame, nullptr);
    EXPECT_EQ(view->references(), 1);

    // Gone for good: a later resize request from it is not its frame's business.
    ViewRect wanted(0, 0, 500, 300);
    EXPECT_EQ(frame()->resizeView(view, &wanted), Steinberg::kInvalidArgument);
    EXPECT_THAT(window->calls, Not(Contains("resize 500x300")));
}

TEST_F(WindowControllerTest, AViewWhoseRemovalFailsStaysHeldWithItsWindowUntilTheControllerEnds)
{
    make();
    showAndForget();
    view->removedFails = true;
    controller->detachView();
    EXPECT_THAT(view->calls, ElementsAre("removed"));
    EXPECT_EQ(view->frame, frame()); // still attached, so still framed
    EXPECT_EQ(view->references(), 2);
    EXPECT_EQ(controller->view(), view);

    // The window is still known: the view may still ask for a size.
    ViewRect wanted(0, 0, 450, 300);
    EXPECT_EQ(frame()->resizeView(view, &wanted), Steinberg::kResultOk);
    EXPECT_EQ(window->getContentSize(), (Size{450, 300}));

    view->calls.clear();
    window.reset();
    controller.reset();
    EXPECT_THAT(view->calls, IsEmpty()); // released without another removed
    EXPECT_EQ(view->references(), 1);
}

TEST_F(WindowControllerTest, AWindowSizeReachesTheViewOnlyWhenItDiffersFromTheViewsOwn)
{
    make();
    showAndForget();
    controller->onResize(*window, {400, 300});
    EXPECT_THAT(view->calls, ElementsAre("getSize"));

    view->calls.clear();
    controller->onResize(*window, {420, 310});
    EXPECT_THAT(view->calls, ElementsAre("getSize", "onSize 0,0,420,310"));

    view->calls.clear();
    view->getSizeFails = true;
    controller->onResize(*window, {500, 400});
    EXPECT_THAT(view->calls, ElementsAre("getSize"));
}

TEST_F(WindowControllerTest, TheViewDecidesTheSizeTheUserDragsTo)
{
    make();
    showAndForget();
    view->maxWidth = 500;
    EXPECT_EQ(controller->constrainSize(*window, {700, 320}), (Size{500, 320}));
    EXPECT_EQ(controller->constrainSize(*window, {450, 320}), (Size{450, 320}));
    EXPECT_THAT(view->calls, ElementsAre("checkSizeConstraint 0,0,700,320", "checkSizeConstraint 0,0,450,320"));

    // A view that refuses keeps its own size.
    view->refuseSizes = true;
    EXPECT_EQ(controller->constrainSize(*window, {700, 320}), (Size{400, 300}));

    // Without a view the proposal stands.
    window->userClose();
    EXPECT_EQ(controller->constrainSize(*window, {700, 320}), (Size{700, 320}));
}

TEST_F(WindowControllerTest, OnlyAViewWithScaleSupportHearsTheScaleFactor)
{
    make(false);
    window->show(10, 20);
    controller->onContentScaleFactorChanged(*window, 2.0f);
    EXPECT_THAT(view->calls, ElementsAre("isPlatformTypeSupported X11EmbedWindowID", "setFrame frame",
                                         "attached X11EmbedWindowID"));
}

TEST_F(WindowControllerTest, ResizeViewResizesTheWindowAndThenAlwaysCallsOnSize)
{
    make();
    showAndForget();
    ViewRect wanted(0, 0, 500, 350);
    EXPECT_EQ(frame()->resizeView(view, &wanted), Steinberg::kResultOk);
    EXPECT_THAT(window->calls, Contains("resize 500x350"));
    EXPECT_EQ(window->getContentSize(), (Size{500, 350}));
    // The window's size event reaches the view first, then resizeView's own call.
    EXPECT_THAT(view->calls, ElementsAre("getSize", "getSize", "onSize 0,0,500,350", "getSize", "onSize 0,0,500,350"));

    // The same size again: nothing for the window to do, onSize all the same.
    view->calls.clear();
    EXPECT_EQ(frame()->resizeView(view, &wanted), Steinberg::kResultOk);
    EXPECT_THAT(view->calls, ElementsAre("getSize", "getSize", "onSize 0,0,500,350"));
}

TEST_F(WindowControllerTest, ResizeViewRefusesRequestsItCannotServe)
{
    make();
    ViewRect wanted(0, 0, 500, 350);
    EXPECT_EQ(frame()->resizeView(view, &wanted), Steinberg::kInternalError); // no window yet

    showAndForget();
    FakeView* stranger = new FakeView(10, 10);
    EXPECT_EQ(frame()->resizeView(stranger, &wanted), Steinberg::kInvalidArgument);
    stranger->release();
    EXPECT_EQ(frame()->resizeView(nullptr, &wanted), Steinberg::kInvalidArgument);
    EXPECT_EQ(frame()->resizeView(view, nullptr), Steinberg::kInvalidArgument);

    view->getSizeFails = true;
    EXPECT_EQ(frame()->resizeView(view, &wanted), Steinberg::kInternalError);
    EXPECT_THAT(window->calls, ElementsAre("show 10,20"));
}

TEST_F(WindowControllerTest, AResizeRequestFromInsideTheResizeItCausedIsRefused)
{
    make();
    showAndForget();
    std::vector<Steinberg::tresult> inner;
    view->duringOnSize = [&](FakeView& self) {
        ViewRect bigger(0, 0, self.size.getWidth() + 10, self.size.getHeight() + 10);
        inner.push_back(self.frame->resizeView(&self, &bigger));
    };
    ViewRect wanted(0, 0, 500, 350);
    EXPECT_EQ(frame()->resizeView(view, &wanted), Steinberg::kResultOk);
    // From the window's size event and from resizeView's own onSize: both
    // refused, so a view that always wants more cannot recurse without end.
    EXPECT_THAT(inner, ElementsAre(Steinberg::kResultFalse, Steinberg::kResultFalse));
    EXPECT_EQ(window->getContentSize(), (Size{500, 350}));

    // Once the call is over, the view may ask again.
    view->duringOnSize = nullptr;
    ViewRect again(0, 0, 520, 370);
    EXPECT_EQ(frame()->resizeView(view, &again), Steinberg::kResultOk);
    EXPECT_EQ(window->getContentSize(), (Size{520, 370}));
}

struct ProgramSize {
    const char* name;
    bool shown;
    bool resizable;
    int maxWidth;
    bool refuseSizes;
    Size asked;
    bool taken;
    Size result; // what comes back (the asked size, untouched, when not taken)
};

// The program's size goes through the view's constraints to the window,
// which passes it on; only an attached, resizable view takes one.
TEST_F(WindowControllerTest, TheProgramsSizeIsHeldToTheViewsConstraints)
{
    const ProgramSize cases[] = {
        {"free", true, true, 0, false, {500, 420}, true, {500, 420}},
        {"capped", true, true, 450, false, {600, 380}, true, {450, 380}},
        {"refused", true, true, 0, true, {520, 410}, true, {400, 300}},
        {"fixed", true, false, 0, false, {500, 420}, false, {500, 420}},
        {"not shown", false, true, 0, false, {500, 420}, false, {500, 420}},
    };
    for (const ProgramSize& c : cases) {
        SCOPED_TRACE(c.name);
        make();
        if (c.shown)
            showAndForget();
        view->resizable = c.resizable;
        view->maxWidth = c.maxWidth;
        view->refuseSizes = c.refuseSizes;
        Size size = c.asked;
        EXPECT_EQ(controller->setViewSize(size), c.taken);
        EXPECT_EQ(size, c.result);
        Size read;
        EXPECT_EQ(controller->viewSize(read), c.shown);
        if (c.taken) {
            EXPECT_EQ(read, c.result);
            EXPECT_EQ(window->getContentSize(), c.result);
        }
        TearDown();
        view = nullptr;
    }
}

TEST_F(WindowControllerTest, TheViewsOwnResizeIsReportedAfterTheWindowTookItAndOutsideTheGuard)
{
    make();
    std::vector<Size> reports;
    std::vector<Steinberg::tresult> inner;
    controller->setResizeReport([&](Size size) {
        reports.push_back(size);
        // The program may ask back in; the view's own request from here is
        // served, since the resize that led here is over.
        if (reports.size() == 1) {
            ViewRect again(0, 0, 520, 370);
            inner.push_back(frame()->resizeView(view, &again));
        }
    });
    showAndForget();
    ViewRect wanted(0, 0, 500, 350);
    EXPECT_EQ(frame()->resizeView(view, &wanted), Steinberg::kResultOk);
    EXPECT_THAT(reports, ElementsAre(Size{500, 350}, Size{520, 370}));
    EXPECT_THAT(inner, ElementsAre(Steinberg::kResultOk));

    // A request refused reports nothing; nor does the program's own size.
    reports.clear();
    FakeView* stranger = new FakeView(10, 10);
    EXPECT_EQ(frame()->resizeView(stranger, &wanted), Steinberg::kInvalidArgument);
    stranger->release();
    Size size{450, 320};
    EXPECT_TRUE(controller->setViewSize(size));
    EXPECT_THAT(reports, IsEmpty());
}

} // namespace
} // namespace talven::test
